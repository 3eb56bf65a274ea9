// KZLOAD and KZLOADQP as a host calls them: argument and sequence codes,
// memory, classification seen through the statistics block, rejected
// status words, malformed arrays, SIGBITS and the statistics block itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "kz.h"

namespace {

constexpr double kInf = 1e23;

// A model in the caller's arrays; room for the logicals unless exact.
struct HostModel {
  int32_t n = 0, m = 1;
  std::vector<double> a, bndmin, bndmax;
  std::vector<int32_t> rownos, colptr, status;

  // Columns: bounds, status and entries (row, value).
  struct Col {
    double lo, up;
    int32_t st;
    std::vector<std::pair<int32_t, double>> e;
  };
  struct Row {
    double lo, up;
    int32_t st;
  };
  static HostModel make(const std::vector<Col>& cols, std::vector<Row> rows, int base = 0, bool exact = false) {
    HostModel h;
    h.n = static_cast<int32_t>(cols.size());
    h.m = static_cast<int32_t>(rows.size()) + 1;
    h.colptr.push_back(base);
    for (const Col& c : cols) {
      for (auto [r, v] : c.e) {
        h.rownos.push_back(r);
        h.a.push_back(v);
      }
      h.colptr.push_back(static_cast<int32_t>(h.a.size()) + base);
      h.bndmin.push_back(c.lo);
      h.bndmax.push_back(c.up);
      h.status.push_back(c.st);
    }
    rows.insert(rows.begin(), Row{0.0, 0.0, 0});
    for (const Row& r : rows) {
      h.bndmin.push_back(r.lo);
      h.bndmax.push_back(r.up);
      h.status.push_back(r.st);
    }
    if (!exact) {
      h.a.resize(h.a.size() + h.m);
      h.rownos.resize(h.rownos.size() + h.m);
      h.colptr.resize(h.n + h.m + 1);
    }
    return h;
  }
  static HostModel small(int base = 0) {
    return make({{0, 10, 0, {{0, 1.0}, {1, 1.0}}}, {-kInf, kInf, 0, {{1, 2.0}, {2, 1.0}}}, {2, 2, 0, {{0, 3.0}, {2, 1.0}}}},
                {{1.0, kInf, 0}, {-kInf, 8.0, 0}}, base);
  }
};

class Area {
 public:
  explicit Area(int namestyle = 0, int32_t use = 20000) {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    init_ = KZINIT(&b_, use, 0, -3, namestyle);
    cap_ = std::make_unique<Capture>(&b_);
  }
  ~Area() {
    KZDONE(&b_);
  }
  int16_t init() const { return init_; }
  KZOSL* b() { return &b_; }
  int32_t rc() const { return b_.rc; }
  Capture& cap() { return *cap_; }
  int16_t load(HostModel& h, void* names = nullptr) {
    return KZLOAD(&b_, h.m, h.n, h.a.data(), h.rownos.data(), h.colptr.data(), h.bndmin.data(), h.bndmax.data(),
                  h.status.data(), names);
  }

 private:
  KZOSL b_{};
  int16_t init_ = 1;
  std::unique_ptr<Capture> cap_;
};

TEST(LoadArguments, FailureTable) {
  struct Case {
    const char* what;
    std::function<int16_t(KZOSL*, HostModel&)> call;
    int32_t rcC, rcFortran;
  };
  auto load = [](KZOSL* b, HostModel& h, int32_t row, int32_t col, int nullArg) {
    void* p[6] = {h.a.data(), h.rownos.data(), h.colptr.data(), h.bndmin.data(), h.bndmax.data(), h.status.data()};
    if (nullArg >= 0) p[nullArg] = nullptr;
    return KZLOAD(b, row, col, static_cast<double*>(p[0]), static_cast<int32_t*>(p[1]), static_cast<int32_t*>(p[2]),
                  static_cast<double*>(p[3]), static_cast<double*>(p[4]), static_cast<int32_t*>(p[5]), nullptr);
  };
  const std::vector<Case> cases = {
      {"no rows", [&](KZOSL* b, HostModel& h) { return load(b, h, 0, h.n, -1); }, 301, 301},
      {"negative columns", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, -1, -1); }, 302, 302},
      {"a null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 0); }, 904, 905},
      {"rownos null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 1); }, 905, 906},
      {"colptr null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 2); }, 906, 907},
      {"bndmin null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 3); }, 907, 908},
      {"bndmax null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 4); }, 908, 909},
      {"status null", [&](KZOSL* b, HostModel& h) { return load(b, h, h.m, h.n, 5); }, 909, 910},
      {"quadratic load without columns",
       [&](KZOSL* b, HostModel& h) {
         return KZLOADQP(b, h.m, 0, h.a.data(), h.rownos.data(), h.colptr.data(), h.bndmin.data(), h.bndmax.data(),
                         h.status.data(), nullptr, 0, nullptr, nullptr, nullptr);
       },
       302, 302},
      {"quadratic load, bndmax null",
       [&](KZOSL* b, HostModel& h) {
         return KZLOADQP(b, h.m, h.n, h.a.data(), h.rownos.data(), h.colptr.data(), h.bndmin.data(), nullptr,
                         h.status.data(), nullptr, 0, nullptr, nullptr, nullptr);
       },
       908, 909},
  };
  for (int style : {0, 1}) {
    for (const Case& c : cases) {
      Area ar(style);
      ASSERT_EQ(ar.init(), 0);
      HostModel h = HostModel::small(style == 1 ? 1 : 0);
      EXPECT_EQ(c.call(ar.b(), h), 1) << c.what;
      EXPECT_EQ(ar.rc(), style == 1 ? c.rcFortran : c.rcC) << c.what << " namestyle " << style;
      // The area takes a correct load afterwards.
      HostModel good = HostModel::small(style == 1 ? 1 : 0);
      EXPECT_EQ(ar.load(good), 0) << c.what;
      EXPECT_EQ(ar.rc(), 4) << c.what;
    }
  }
}

TEST(LoadArguments, NoColumnsIsAModel) {
  Area ar;
  HostModel h = HostModel::make({}, {{-kInf, 4.0, 0}});
  EXPECT_EQ(ar.load(h), 0) << ar.rc();
  EXPECT_EQ(ar.rc(), 4);
}

TEST(LoadSequence, ReloadRefusedAndItsWaysOut) {
  Area ar;
  HostModel h = HostModel::small();
  ASSERT_EQ(ar.load(h), 0);
  HostModel h2 = HostModel::small();
  EXPECT_EQ(ar.load(h2), 1);
  EXPECT_EQ(ar.rc(), 120);
  // An empty option line puts the area back to state 2.
  EXPECT_EQ(KZCLP(ar.b(), ""), 0);
  EXPECT_EQ(ar.load(h2), 0);
  EXPECT_EQ(ar.rc(), 4);

  for (const char* line : {"Set COPYDATA Yes", "Set KZUNDO No"}) {
    Area other;
    ASSERT_EQ(KZCLP(other.b(), line), 0) << line;
    HostModel x = HostModel::small(), y = HostModel::small();
    ASSERT_EQ(other.load(x), 0) << line;
    EXPECT_EQ(other.load(y), 0) << line << " rc " << other.rc();
    EXPECT_EQ(other.rc(), 4) << line;
  }
}

TEST(LoadSequence, RefusedQuadraticReloadKeepsTheCode) {
  Area ar;
  HostModel h = HostModel::small();
  ASSERT_EQ(ar.load(h), 0);
  HostModel h2 = HostModel::small();
  EXPECT_EQ(KZLOADQP(ar.b(), h2.m, h2.n, h2.a.data(), h2.rownos.data(), h2.colptr.data(), h2.bndmin.data(),
                     h2.bndmax.data(), h2.status.data(), nullptr, 0, nullptr, nullptr, nullptr),
            1);
  EXPECT_EQ(ar.rc(), 4);
}

TEST(LoadMemory, SmallPoolGives306) {
  Area ar(0, 4);  // 4 K bytes of work memory
  ASSERT_EQ(ar.init(), 0);
  std::vector<HostModel::Col> cols;
  for (int j = 0; j < 200; ++j) cols.push_back({0, 1, 0, {{0, 1.0}, {1, 1.0}}});
  HostModel h = HostModel::make(cols, {{-kInf, 4.0, 0}});
  EXPECT_EQ(ar.load(h), 1);
  EXPECT_EQ(ar.rc(), 306);
  // The next load starts over and fails the same way; a small one fits.
  EXPECT_EQ(ar.load(h), 1);
  EXPECT_EQ(ar.rc(), 306);
  HostModel tiny = HostModel::make({{0, 1, 0, {{0, 1.0}}}}, {});
  EXPECT_EQ(ar.load(tiny), 0) << ar.rc();
}

// The statistics lines of a load (class 5), as the host receives them.
std::vector<std::string> statisticsLines(Capture& c) {
  std::vector<std::string> out;
  for (const auto& l : c.lines)
    if (l.lineClass == 5) out.push_back(l.text);
  return out;
}

TEST(LoadStatistics, SmallModelBlock) {
  Area ar;
  HostModel h = HostModel::small();
  ar.cap().clear();
  ASSERT_EQ(ar.load(h), 0);
  const std::vector<std::string> got = statisticsLines(ar.cap());
  ASSERT_EQ(got.size(), 9u);
  // The problem name (KZINIT's run name until a line names a model file),
  // then the date and time in 24 characters.
  EXPECT_EQ(got[0].substr(0, 21), "STATISTICS - RUNTIME ");
  EXPECT_EQ(got[0].size(), 21u + 24u);
  EXPECT_EQ(got[1].find("32bit"), std::string::npos);
  EXPECT_NE(got[1].find(" VERSION 16.65 "), std::string::npos);
  EXPECT_NE(got[1].find("   USABLE MEMORY "), std::string::npos);
  EXPECT_EQ(got[1].substr(got[1].size() - 6), " MBYTE");
  const std::vector<std::string> want = {
      "  SOLVE NUMBER            0",
      "  VARIABLES            3",
      "                0 LOWER,            1 FIXED,            1 UPPER,            1 FREE",
      "  CONSTRAINTS            3",
      "                1 GE,            0 EQ,            1 LE,            1 NULL/FREE,            0 RANGED",
      "                6 NON-ZEROS",
      "  MINIMIZATION.",
  };
  for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k + 2], want[k]) << k;
}

TEST(LoadStatistics, IntegerAndMaximizingLines) {
  Area ar;
  ASSERT_EQ(KZCLP(ar.b(), "Maximize Yes"), 0);
  HostModel h = HostModel::make({{0, 1, 0x4, {{0, 1.0}, {1, 1.0}}},
                                 {0, 7, 0x4, {{0, 1.0}, {1, 1.0}}},
                                 {1, 7, 0x8, {{0, 1.0}, {2, 1.0}}}},
                                {{1.0, 5.0, 0}, {3.0, 3.0, 0x100000}});
  ar.cap().clear();
  ASSERT_EQ(ar.load(h), 0) << ar.rc();
  const std::vector<std::string> got = statisticsLines(ar.cap());
  ASSERT_GE(got.size(), 9u);
  EXPECT_EQ(got[4],
            "                1 LOWER,            0 FIXED,            3 UPPER,            0 FREE,            1 BV,"
            "            1 INT,            1 SC");
  EXPECT_EQ(got[6],
            "                0 GE,            1 EQ,            0 LE,            1 NULL/FREE,            1 RANGED "
            "           1 CVX");
  ASSERT_EQ(got[7].size(), 33u + 12u);
  EXPECT_EQ(got[7].substr(0, 33), "                6 NON-ZEROS WORK ");
  EXPECT_EQ(got[8], "  MAXIMIZATION.");
}

// Column classes through the statistics block: line 5 counts
// LOWER, FIXED, UPPER, FREE (and BV, INT).
std::string columnLine(const std::vector<HostModel::Col>& cols, const char* option = nullptr) {
  Area ar;
  if (option) EXPECT_EQ(KZCLP(ar.b(), option), 0) << option;
  HostModel h = HostModel::make(cols, {{-kInf, 10.0, 0}});
  ar.cap().clear();
  EXPECT_EQ(ar.load(h), 0) << ar.rc();
  auto lines = statisticsLines(ar.cap());
  return lines.size() > 4 ? lines[4] : "";
}

std::string counts(int lower, int fixed, int upper, int free) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "     %12d LOWER, %12d FIXED, %12d UPPER, %12d FREE", lower, fixed, upper, free);
  return buf;
}

TEST(LoadClassification, InfiniteBoundThresholds) {
  struct Case {
    double lo, up;
    std::string line;
  };
  const std::vector<Case> cases = {
      {-9.99e22, 5.0, counts(0, 0, 1, 0)},   // -9.99e22 is infinite
      {-9.98e22, 5.0, counts(1, 0, 1, 0)},   // -9.98e22 is not
      {0.0, 9.99e22, counts(0, 0, 0, 0)},
      {0.0, 9.98e22, counts(0, 0, 1, 0)},
      {-9.99e22, 9.99e22, counts(0, 0, 0, 1)},
      {-1e23, 1e23, counts(0, 0, 0, 1)},
      {4.0, 4.0, counts(0, 1, 0, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(columnLine({{c.lo, c.up, 0, {{0, 1.0}, {1, 1.0}}}}), c.line) << c.lo << " " << c.up;
}

TEST(LoadClassification, IntegerColumnsAndIBounds) {
  // An integer column without an upper bound takes Set IBOUNDS: 1 makes it binary.
  EXPECT_EQ(columnLine({{0, 1e300, 0x4, {{0, 1.0}, {1, 1.0}}}}), counts(0, 0, 1, 0) + ",            1 BV");
  EXPECT_EQ(columnLine({{0, 1e300, 0x4, {{0, 1.0}, {1, 1.0}}}}, "Set IBOUNDS 5"),
            counts(0, 0, 1, 0) + ",            1 INT");
  // Fixed at 1: binary; fixed at 2: a fixed general integer.
  EXPECT_EQ(columnLine({{1, 1, 0x4, {{0, 1.0}, {1, 1.0}}}}), counts(0, 1, 0, 0) + ",            1 BV");
  EXPECT_EQ(columnLine({{2, 2, 0x4, {{0, 1.0}, {1, 1.0}}}}), counts(0, 1, 0, 0) + ",            1 INT");
  // No lower bound: the integer column starts at 0.
  EXPECT_EQ(columnLine({{-kInf, 6, 0x4, {{0, 1.0}, {1, 1.0}}}}), counts(0, 0, 1, 0) + ",            1 INT");
}

TEST(LoadClassification, RejectedStatusWords) {
  struct Case {
    const char* what;
    int32_t colStatus, rowStatus;
    double colLo;
    int32_t rc;
  };
  const std::vector<Case> cases = {
      {"semi-continuous I and II", 0x18, 0, 1.0, 328},
      {"semi-continuous without a lower bound", 0x8, 0, -kInf, 326},
      {"integer row", 0, 0x4, 0.0, 320},
      {"semi-continuous row", 0, 0x8, 0.0, 320},
  };
  for (bool kzok : {false, true}) {
    for (const Case& c : cases) {
      Area ar;
      if (kzok) ASSERT_EQ(KZCLP(ar.b(), "Set KZOK Yes"), 0);
      HostModel h = HostModel::make({{c.colLo, 5, c.colStatus, {{0, 1.0}, {1, 1.0}}}}, {{-kInf, 4.0, c.rowStatus}});
      EXPECT_EQ(ar.load(h), 1) << c.what;
      EXPECT_EQ(ar.rc(), c.rc) << c.what << (kzok ? " with KZOK" : "");
    }
  }
}

// Malformed arrays, exactly as large as they claim to be (no room for the
// logicals): the load refuses them before it reads or writes past them.
TEST(LoadArrays, MalformedArraysAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    std::function<void(HostModel&)> spoil;
    int32_t rc;
  };
  const std::vector<Case> cases = {
      {"decreasing colptr", [](HostModel& h) { h.colptr[1] = 3, h.colptr[2] = 1; }, 312},
      {"a start past the end", [](HostModel& h) { h.colptr[1] = 9; }, 312},
      {"a start before the first position", [](HostModel& h) { h.colptr[0] = -1; }, 312},
      {"row number m", [](HostModel& h) { h.rownos[1] = h.m; }, 314},
      {"row number far out", [](HostModel& h) { h.rownos[2] = 1 << 30; }, 314},
      {"NaN coefficient", [=](HostModel& h) { h.a[0] = nan; }, 318},
      {"infinite coefficient", [=](HostModel& h) { h.a[3] = -inf; }, 318},
      {"coefficient above 1e23", [](HostModel& h) { h.a[2] = 2e23; }, 318},
      {"NaN column bound", [=](HostModel& h) { h.bndmin[1] = nan; }, 304},
      {"NaN row bound", [=](HostModel& h) { h.bndmax[h.n + 1] = nan; }, 305},
  };
  for (bool kzok : {false, true}) {
    for (const Case& c : cases) {
      Area ar;
      if (kzok) ASSERT_EQ(KZCLP(ar.b(), "Set KZOK Yes"), 0);
      HostModel h = HostModel::make({{0, 10, 0, {{0, 1.0}, {1, 1.0}}}, {0, 10, 0, {{1, 2.0}, {2, 1.0}}}},
                                    {{1.0, kInf, 0}, {-kInf, 8.0, 0}}, 0, true);
      c.spoil(h);
      EXPECT_EQ(ar.load(h), 1) << c.what;
      EXPECT_EQ(ar.rc(), c.rc) << c.what << (kzok ? " with KZOK" : "");
    }
  }
}

TEST(LoadArrays, NegativeRowNumbersAreSkipped) {
  Area ar;
  HostModel h = HostModel::make({{0, 10, 0, {{0, 1.0}, {-1, 5.0}, {1, 1.0}}}}, {{1.0, kInf, 0}});
  EXPECT_EQ(ar.load(h), 0) << ar.rc();
}

TEST(LoadArrays, SigbitsTruncatesInPlace) {
  Area ar;
  ASSERT_EQ(KZCLP(ar.b(), "SIGBITS 4 Set Scale No"), 0);
  HostModel h = HostModel::make({{0.1, 10, 0, {{0, 0.1}, {1, 2.0}}}}, {{0.3, kInf, 0}});
  ASSERT_EQ(ar.load(h), 0) << ar.rc();
  auto bits = [](double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
  };
  EXPECT_EQ(bits(h.a[0]), bits(0.1) & ~uint64_t{0xffffffff});
  EXPECT_EQ(h.a[1], 2.0);
  EXPECT_EQ(bits(h.bndmin[0]), bits(0.1) & ~uint64_t{0xffffffff});
  EXPECT_EQ(h.bndmax[0], 10.0);
  EXPECT_EQ(bits(h.bndmin[2]), bits(0.3) & ~uint64_t{0xffffffff});
}

TEST(LoadQuadratic, TermsGoToTheInteriorPoint) {
  Area ar;
  HostModel h = HostModel::make({{0, 10, 0, {{0, 1.0}, {1, 1.0}}}, {0, 10, 0, {{1, 1.0}}}}, {{1.0, kInf, 0}});
  std::vector<int32_t> c1{0, 1, 1}, c2{0, 0, 1};
  std::vector<double> q{2.0, 0.5, 4.0};
  EXPECT_EQ(KZLOADQP(ar.b(), h.m, h.n, h.a.data(), h.rownos.data(), h.colptr.data(), h.bndmin.data(), h.bndmax.data(),
                     h.status.data(), nullptr, 3, c1.data(), c2.data(), q.data()),
            0)
      << ar.rc();
  EXPECT_EQ(ar.rc(), 4);
  // A term naming a column outside the model.
  Area other;
  HostModel g = HostModel::make({{0, 10, 0, {{0, 1.0}, {1, 1.0}}}}, {{1.0, kInf, 0}});
  std::vector<int32_t> d1{0}, d2{5};
  EXPECT_EQ(KZLOADQP(other.b(), g.m, g.n, g.a.data(), g.rownos.data(), g.colptr.data(), g.bndmin.data(),
                     g.bndmax.data(), g.status.data(), nullptr, 1, d1.data(), d2.data(), q.data()),
            1);
  EXPECT_EQ(other.rc(), 300);
}

}  // namespace

namespace {

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

TEST(LoadTrace, EnteringAndLeavingLines) {
  setenv("KZDevelopment", "1", 1);
  {
    Area ar;
    ASSERT_EQ(KZCLP(ar.b(), "Set Debug Yes"), 0);
    HostModel h = HostModel::small();
    ar.cap().clear();
    ASSERT_EQ(ar.load(h), 0) << ar.rc();
    char name[16];
    ASSERT_EQ(KZNAME(ar.b(), 1, name), 0);
    std::vector<std::string> trace;
    for (const auto& l : ar.cap().lines)
      if (l.lineClass == 6 && !l.text.empty()) trace.push_back(l.text);
    ASSERT_GE(trace.size(), 5u);
    EXPECT_TRUE(startsWith(trace[0], "Entering KZLOAD, KZOSL ")) << trace[0];
    EXPECT_NE(trace[0].find(" Row 3 column 3 a "), std::string::npos) << trace[0];
    EXPECT_TRUE(startsWith(trace[1], "bndmin ")) << trace[1];
    EXPECT_NE(trace[1].find(" ClassicStyle"), std::string::npos) << trace[1];
    EXPECT_TRUE(startsWith(trace[2], "Leaving KZLOAD, Fnct Value 0 Rc 4 Row 3 Col 3 Mem ")) << trace[2];
    EXPECT_TRUE(startsWith(trace[3], "Entering KZNAME, KZOSL ")) << trace[3];
    EXPECT_TRUE(startsWith(trace[4], "Leaving KZNAME, Fnct Value 0 Rc 4 Len 8 Col x1")) << trace[4];
  }
  {
    Area ar(1);
    ASSERT_EQ(KZCLP(ar.b(), "Set Debug Yes"), 0);
    HostModel h = HostModel::small(1);
    ar.cap().clear();
    ASSERT_EQ(ar.load(h), 0) << ar.rc();
    ASSERT_FALSE(ar.cap().lines.empty());
    bool fortran = false;
    for (const auto& l : ar.cap().lines)
      if (startsWith(l.text, "Entering KZLOAD")) fortran = l.text.find(" FORTRAN Mem ") != std::string::npos;
    EXPECT_TRUE(fortran);
  }
  unsetenv("KZDevelopment");
}

}  // namespace
