// The keyword tables driven as data: every keyword takes its declared
// default back without changing anything, rejects a value outside its
// declared range with the form's code, and is found by its own name; the
// DEFAULTS listing shows the declared defaults of a fresh area.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/area.h"
#include "frame/clp_table.h"
#include "frame/linebuf.h"
#include "include/kz.h"

namespace {

using kz::ModelArea;
using namespace kz::clp;

struct TableRef {
  const char* prefix;
  const Keyword* rows;
  int count;
};

std::vector<TableRef> allTables() {
  std::vector<TableRef> v;
  int n = 0;
  const Keyword* t = mainTable(&n);
  v.push_back({"", t, n});
  t = setTable(&n);
  v.push_back({"Set ", t, n});
  t = toleranceTable(&n);
  v.push_back({"Set Tolerance ", t, n});
  return v;
}

// The parts of the output channel that option lines change.
struct ChannelState {
  kz::PageSettings page[5];
  int16_t destination, mute, quiet, warnings, inputListing;
  char compressChar, decimal, thousands;
  bool operator==(const ChannelState& o) const {
    for (int d = 0; d < 5; ++d) {
      const auto &x = page[d], &y = o.page[d];
      if (x.pageSize != y.pageSize || x.lineSize != y.lineSize || x.topMargin != y.topMargin ||
          x.bottomMargin != y.bottomMargin || x.leftMargin != y.leftMargin || x.waits != y.waits)
        return false;
    }
    return destination == o.destination && mute == o.mute && quiet == o.quiet && warnings == o.warnings &&
           inputListing == o.inputListing && compressChar == o.compressChar && decimal == o.decimal &&
           thousands == o.thousands;
  }
};

ChannelState channelOf(const ModelArea& a) {
  ChannelState s;
  for (int d = 0; d < 5; ++d) s.page[d] = a.out.page[d];
  s.destination = a.out.destination;
  s.mute = a.out.mute;
  s.quiet = a.out.quiet;
  s.warnings = a.out.warnings;
  s.inputListing = a.out.inputListing;
  s.compressChar = a.out.compressChar;
  s.decimal = a.out.style.decimal;
  s.thousands = a.out.style.thousands;
  return s;
}

class ClpTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("KZDevelopment");
    b_ = KZOSL{};
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 1024, 0, -2, 0), 0);
    ASSERT_EQ(b_.rc, 2);
  }
  void TearDown() override {
    if (b_.magic == KZ_MAGIC_OPEN) KZDONE(&b_);
  }
  ModelArea& area() { return *kz::lookupArea(b_.area); }
  int clp(const std::string& line) {
    KZCLP(&b_, line.c_str());
    return b_.rc;
  }
  void resetCode() { KZCLP(&b_, ""); }
  std::vector<std::string> windowLines(int from) {
    std::vector<std::string> v;
    kz::ConsoleWindow* w = area().window.get();
    for (int k = from; w && k < w->heldCount(); ++k) v.push_back(w->heldLine(k));
    return v;
  }
  KZOSL b_{};
};

TEST_F(ClpTableTest, TablesHoldTheirKeywordsInOrder) {
  int n = 0;
  const Keyword* m = mainTable(&n);
  ASSERT_EQ(n, 87);
  EXPECT_STREQ(m[0].name, "SPREADSH");
  EXPECT_STREQ(m[16].name, "SETTINGS");
  EXPECT_STREQ(m[86].name, "DEVELOPE");
  const Keyword* s = setTable(&n);
  ASSERT_EQ(n, 108);
  EXPECT_STREQ(s[0].name, "ITERATIO");
  EXPECT_STREQ(s[68].name, "DUALSIMP");
  EXPECT_STREQ(s[107].name, "HASHLENG");
  toleranceTable(&n);
  EXPECT_EQ(n, 11);
}

TEST_F(ClpTableTest, EveryKeywordIsFoundByItsOwnNameInAnyCase) {
  for (const TableRef& t : allTables())
    for (int i = 0; i < t.count; ++i) {
      std::string name = t.rows[i].name;
      EXPECT_EQ(matchKeyword(t.rows, t.count, name.c_str(), static_cast<int>(name.size())), i) << name;
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_EQ(matchKeyword(t.rows, t.count, lower.c_str(), static_cast<int>(lower.size())), i) << lower;
    }
}

struct MatchCase {
  const char* typed;
  const char* table;  // "main", "set", "tol"
  const char* expect; // entry name, or null for 205
};

TEST_F(ClpTableTest, PrefixMatchingAndAmbiguity) {
  const MatchCase cases[] = {
      {"Set", "main", "SETTINGS"},       {"DualSimplex", "set", "DUALSIMP"}, {"Dual", "set", "DUALSIMP"},
      {"S", "set", nullptr},             {"CONFIG", "main", nullptr},        {"CONFIGU", "main", "CONFIGU"},
      {"configur", "main", "CONFIGUR"},  {"ConfigurationX", "main", "CONFIGUR"}, {"Lin", "main", "LINESIZE"},
      {"L", "main", nullptr},            {"Xyzzy", "main", nullptr},         {"StopAfter", "main", "STOPAFTE"},
      {"Stop", "main", nullptr},         {"prim", "tol", "PRIMAL"},          {"D", "tol", nullptr},
      {"MIPF", "main", nullptr},         {"Set_", "main", nullptr},          {"Iterations", "set", "ITERATIO"},
  };
  for (const MatchCase& c : cases) {
    int n = 0;
    const Keyword* t = std::strcmp(c.table, "main") == 0   ? mainTable(&n)
                       : std::strcmp(c.table, "set") == 0 ? setTable(&n)
                                                          : toleranceTable(&n);
    int idx = matchKeyword(t, n, c.typed, static_cast<int>(std::strlen(c.typed)));
    if (c.expect) {
      ASSERT_GE(idx, 0) << c.typed;
      EXPECT_STREQ(t[idx].name, c.expect) << c.typed;
    } else {
      EXPECT_EQ(idx, -1) << c.typed;
    }
  }
}

TEST_F(ClpTableTest, SetDualSelectsDualSimplexAndCaseDoesNotMatter) {
  ASSERT_EQ(clp("Set DualSimplex No"), 2);
  EXPECT_EQ(area().opt.dualMode, 0);
  ASSERT_EQ(clp("Set Dual Yes"), 2);
  EXPECT_EQ(area().opt.dualMode, 1);
  EXPECT_EQ(area().opt.dualAllowed, 1);

  ASSERT_EQ(clp("Set DualSimplex No"), 2);
  ASSERT_EQ(clp("set dualsimplex y"), 2);
  kz::Options lower = area().opt;
  ASSERT_EQ(clp("Set DualSimplex No"), 2);
  ASSERT_EQ(clp("Set DualSimplex Yes"), 2);
  EXPECT_TRUE(lower == area().opt);

  EXPECT_EQ(clp("Set S Yes"), 205);
  EXPECT_EQ(KZCLP(&b_, "Set S Yes"), 1);
}

// Every keyword with a default that can be written: writing it back is
// accepted and changes no setting.
TEST_F(ClpTableTest, EveryKeywordAcceptsItsDefaultWrittenBack) {
  int tried = 0;
  for (const TableRef& t : allTables())
    for (int i = 0; i < t.count; ++i) {
      const Keyword& k = t.rows[i];
      if (!k.def) continue;
      std::string line = std::string(t.prefix) + k.name + " " + k.def;
      kz::Options before = area().opt;
      ChannelState ch = channelOf(area());
      int32_t poolK = area().pool.sizeK;
      EXPECT_EQ(KZCLP(&b_, line.c_str()), 0) << line;
      EXPECT_EQ(b_.rc, 2) << line;
      EXPECT_TRUE(before == area().opt) << line << " changed a setting";
      EXPECT_TRUE(ch == channelOf(area())) << line << " changed the output channel";
      EXPECT_EQ(poolK, area().pool.sizeK) << line;
      ++tried;
    }
  EXPECT_GT(tried, 150);
}

// A value outside the declared range: 207 for numbers and times, 204 for
// Y/N, 207 for a letter outside a letter set. The failing line changes
// nothing.
TEST_F(ClpTableTest, EveryKeywordRejectsAValueOutsideItsRange) {
  for (const TableRef& t : allTables())
    for (int i = 0; i < t.count; ++i) {
      const Keyword& k = t.rows[i];
      std::vector<std::pair<std::string, int>> bad;
      switch (k.form) {
        case Form::kNumber:
        case Form::kTime: {
          char buf[64];
          if (std::isfinite(k.lo)) {
            std::snprintf(buf, sizeof buf, "%.17g", k.lo - 1.0);
            bad.push_back({buf, 207});
          }
          if (std::isfinite(k.hi)) {
            std::snprintf(buf, sizeof buf, "%.17g", k.hi + 1.0);
            bad.push_back({buf, 207});
          }
          bad.push_back({"1x", 207});
          break;
        }
        case Form::kYesNo:
          // LISTINPU and Set Debug are ignored without KZDevelopment.
          if (k.handler && (std::strcmp(k.name, "LISTINPU") == 0 || std::strcmp(k.name, "DEBUG") == 0)) break;
          bad.push_back({"Q", 204});
          break;
        case Form::kLetter: bad.push_back({"Q", 207}); break;
        default: break;
      }
      for (const auto& [value, code] : bad) {
        std::string line = std::string(t.prefix) + k.name + " " + value;
        kz::Options before = area().opt;
        ChannelState ch = channelOf(area());
        EXPECT_EQ(KZCLP(&b_, line.c_str()), 1) << line;
        EXPECT_EQ(b_.rc, code) << line;
        EXPECT_TRUE(before == area().opt) << line << " changed a setting";
        EXPECT_TRUE(ch == channelOf(area())) << line << " changed the output channel";
        resetCode();
      }
    }
}

TEST_F(ClpTableTest, DefaultLinesOfKzinitAreApplied) {
  const kz::Options& o = area().opt;
  EXPECT_EQ(o.maxCpu, 1);
  EXPECT_EQ(o.multiSolver, -1);
  EXPECT_EQ(o.dualMode, 1);
  EXPECT_EQ(o.dualAllowed, 1);
  EXPECT_EQ(o.hashLength, 3);
  EXPECT_EQ(o.prepass, 2);
  EXPECT_EQ(o.basisCount, 10);
  EXPECT_EQ(o.conflict, 0);
  for (const auto& p : area().out.page) EXPECT_EQ(p.lineSize, 96);
  // The template alone does not hold them.
  kz::Options tmpl;
  EXPECT_NE(tmpl.maxCpu, o.maxCpu);
  EXPECT_NE(tmpl.multiSolver, o.multiSolver);
  EXPECT_NE(tmpl.dualMode, o.dualMode);
  EXPECT_NE(tmpl.hashLength, o.hashLength);
  EXPECT_NE(tmpl.prepass, o.prepass);
  EXPECT_NE(tmpl.basisCount, o.basisCount);
  // Run-time defaults and the model token "RUNTIME" of KZINIT's first line.
  EXPECT_STREQ(o.basisFile, "NEVER");
  EXPECT_STREQ(o.fileName, "RUNTIME");
  EXPECT_DOUBLE_EQ(o.tranEntry, 2.0 * std::pow(std::ldexp(1.0, -52), 5.0 / 6.0));
  EXPECT_NEAR(o.tranEntry, 1.8e-13, 0.1e-13);
  EXPECT_EQ(o.reportField, 115);
}

// The listing of a fresh area shows the declared defaults: every Y/N
// keyword as YES or NO by its default, every plain number by its default in
// free format, and the entries that have patterns of their own.
TEST_F(ClpTableTest, DefaultsListingShowsTheTableDefaults) {
  int before = area().window->heldCount();
  ASSERT_EQ(clp("Defaults Yes"), 2);
  std::vector<std::string> lines = windowLines(before);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "CURRENT DIRECTORY: ./");
  EXPECT_EQ(lines[1], "INPUT FILE DIRECTORY: ./");
  EXPECT_EQ(lines[2], "DEFAULT COMMAND LINE PARAMETERS -");
  std::string all;
  bool shared = false;
  for (size_t i = 3; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 96u) << lines[i];
    all += lines[i] + "\n";
    if (lines[i].find(" SOLUTION  YES") != std::string::npos && lines[i].find(" COSTANAL  NO") != std::string::npos)
      shared = true;
  }
  EXPECT_TRUE(shared) << "short entries share a line";
  kz::NumberStyle style;
  for (const TableRef& t : allTables()) {
    bool set = t.prefix[0] != '\0';
    bool tol = std::strlen(t.prefix) > 4;
    for (int i = 0; i < t.count; ++i) {
      const Keyword& k = t.rows[i];
      // DEFAULTS itself reads YES on the line that asks for the listing.
      if (!k.def || k.show == Show::kNone || std::strcmp(k.name, "DEFAULTS") == 0) continue;
      char head[40];
      if (tol)
        std::snprintf(head, sizeof head, "SET  TOLERANC  %-8s ", k.name);
      else
        std::snprintf(head, sizeof head, "%s %-8s  ", set ? "SET " : "", k.name);
      std::string value;
      if (k.show == Show::kOnOff && k.form == Form::kYesNo) {
        value = (k.def[0] == 'Y') ? "YES" : "NO";
      } else if (k.show == Show::kNumber && k.form == Form::kNumber && !k.handler) {
        double x = std::strtod(k.def, nullptr);
        kz::LineBuffer lb;
        kz::appendNumber(lb, x, 0, style);
        value.assign(lb.text, static_cast<size_t>(lb.pos));
        while (!value.empty() && value.back() == ' ') value.pop_back();
      } else if (k.show == Show::kText && (k.form == Form::kName || k.form == Form::kText) && k.def[0] != '"') {
        value = k.def;
      } else {
        continue;
      }
      EXPECT_NE(all.find(std::string(head) + value), std::string::npos) << head << value << "\n" << all;
    }
  }
  for (const char* special : {"LIMITSEARCH NONE", "SET  INDEXRANGE  -1 -1", "SET  LUMEMORY  4/3.5",
                              " MATLIST   NONE", " MEMORY    1024 K bytes.", " FILENAME  RUNTIME",
                              "SET  DUALSIMP  1", " MULTISOL  -1", "SET  HASHLENG  3", "SET  PREPASSE  2",
                              "SET  MAXCPU    1", " PRESOLVE  12255", "SET  REDUCEDC  -0.0000001"})
    EXPECT_NE(all.find(special), std::string::npos) << special << "\n" << all;
}

}  // namespace
