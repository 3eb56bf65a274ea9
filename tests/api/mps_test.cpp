// KZMPSQP, KZMPSI and KZMPSF as a host calls them: the argument codes (with
// the index base of a Fortran-style area), the state rule, the file name
// rules, the trace lines, and a read model loaded by KZLOAD.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "capture.h"
#include "kz.h"

namespace {

std::string fixture(const std::string& name) {
  std::string f = __FILE__;
  return f.substr(0, f.rfind("/tests/api")) + "/tests/model/fixtures/mps/" + name;
}

struct Host {
  KZOSL b{};
  explicit Host(int32_t namestyle = 0) {
    b.size = sizeof b;
    ok = KZINIT(&b, 20000, 0, -3, namestyle) == 0;
  }
  ~Host() { KZDONE(&b); }
  bool ok = false;
};

// Arrays of one read, every pointer valid unless cleared.
struct Args {
  std::vector<double> a = std::vector<double>(200), lo = std::vector<double>(100), up = std::vector<double>(100),
                      qv = std::vector<double>(20);
  std::vector<int32_t> rownos = std::vector<int32_t>(200), colptr = std::vector<int32_t>(100),
                       status = std::vector<int32_t>(100), q1 = std::vector<int32_t>(20), q2 = std::vector<int32_t>(20);
  std::vector<char> names = std::vector<char>(1000);
  int32_t row = 0, col = 0, nnz = 0, noqp = 0;
  std::string file;
  // Pointers 2..16 of KZMPSQP (index = argument position); null where cleared.
  std::array<void*, 17> p{};
  int32_t maxqp = 20, maxrow = 40, maxcol = 40, maxnon = 200;
  Args() {
    file = fixture("markers_quad.mps");
    p = {nullptr, nullptr, (void*)file.c_str(), &row, &col, &nnz, a.data(), rownos.data(), colptr.data(),
         lo.data(), up.data(), status.data(), names.data(), &noqp, q1.data(), q2.data(), qv.data()};
  }
  int16_t mpsqp(KZOSL* b) {
    return KZMPSQP(b, (const char*)p[2], (int32_t*)p[3], (int32_t*)p[4], (int32_t*)p[5], (double*)p[6],
                   (int32_t*)p[7], (int32_t*)p[8], (double*)p[9], (double*)p[10], (int32_t*)p[11], (char*)p[12],
                   (int32_t*)p[13], (int32_t*)p[14], (int32_t*)p[15], (double*)p[16], maxqp, maxrow, maxcol, maxnon);
  }
  int16_t mpsi(KZOSL* b) {
    return KZMPSI(b, (const char*)p[2], (int32_t*)p[3], (int32_t*)p[4], (int32_t*)p[5], (double*)p[6],
                  (int32_t*)p[7], (int32_t*)p[8], (double*)p[9], (double*)p[10], (int32_t*)p[11], (char*)p[12], maxrow,
                  maxcol, maxnon);
  }
  int16_t mpsf(KZOSL* b) {
    return KZMPSF(b, (const char*)p[2], (int32_t*)p[3], (int32_t*)p[4], (int32_t*)p[5], (double*)p[6],
                  (int32_t*)p[7], (int32_t*)p[8], (double*)p[9], (double*)p[10], (int32_t*)p[11], (char*)p[12], maxrow,
                  maxcol, maxnon);
  }
};

TEST(MpsHost, NullArgumentsNameTheirPosition) {
  for (int32_t style : {0, 1}) {
    SCOPED_TRACE(style);
    const int base = style == 1 ? 1 : 0;  // name style 1 is the Fortran index base
    for (int pos = 2; pos <= 16; ++pos) {
      if (pos == 12) continue;  // the names may be null
      Host h(style);
      ASSERT_TRUE(h.ok);
      Args x;
      x.p[pos] = nullptr;
      EXPECT_EQ(x.mpsqp(&h.b), 1) << pos;
      EXPECT_EQ(h.b.rc, 900 + pos + base) << pos;
    }
  }
}

TEST(MpsHost, QuadraticArraysAreCheckedOnlyWithRoomForTerms) {
  Host h;
  Args x;
  x.p[14] = x.p[15] = x.p[16] = nullptr;
  x.maxqp = 0;
  x.file = fixture("noname.mps");
  x.p[2] = (void*)x.file.c_str();
  EXPECT_EQ(x.mpsqp(&h.b), 0) << h.b.rc;
}

TEST(MpsHost, CapacityCodes) {
  struct Case {
    int which;  // 0 maxqp, 1 maxrow, 2 maxcol, 3 maxnon
    int32_t qp, mpsqp, mpsi, mpsf;
  };
  for (const Case c : {Case{0, 0, 917, 0, 0}, Case{1, 0, 918, 913, 913}, Case{2, 0, 919, 914, 914},
                       Case{3, 0, 920, 915, 915}}) {
    for (int entry = 0; entry < 3; ++entry) {
      const int32_t want = entry == 0 ? c.mpsqp : entry == 1 ? c.mpsi : c.mpsf;
      if (want == 0) continue;
      Host h;
      Args x;
      if (c.which == 0) x.maxqp = -1;
      if (c.which == 1) x.maxrow = 0;
      if (c.which == 2) x.maxcol = 0;
      if (c.which == 3) x.maxnon = 0;
      const int16_t fv = entry == 0 ? x.mpsqp(&h.b) : entry == 1 ? x.mpsi(&h.b) : x.mpsf(&h.b);
      EXPECT_EQ(fv, 1);
      EXPECT_EQ(h.b.rc, want) << "entry " << entry << " case " << c.which;
    }
  }
}

TEST(MpsHost, ReadModelLoadsWithItsNames) {
  Host h;
  Args x;
  x.file = fixture("two_objectives.mps");
  x.p[2] = (void*)x.file.c_str();
  ASSERT_EQ(x.mpsqp(&h.b), 0) << h.b.rc;
  EXPECT_EQ(h.b.rc, 2);
  ASSERT_EQ(KZLOAD(&h.b, x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(), x.up.data(),
                   x.status.data(), x.names.data()),
            0)
      << h.b.rc;
  char name[64] = {};
  ASSERT_EQ(KZNAME(&h.b, 1, name), 0);
  EXPECT_EQ(std::string(name).substr(0, 1), "Y");
  ASSERT_EQ(KZNAME(&h.b, x.col + 2, name), 0);  // row 2
  EXPECT_EQ(std::string(name).substr(0, 6), "SECOND");
}

TEST(MpsHost, FileNameRules) {
  // No extension: ".mps" is added.
  Host h;
  Args x;
  std::string stem = fixture("noname");
  x.p[2] = (void*)stem.c_str();
  EXPECT_EQ(x.mpsqp(&h.b), 0) << h.b.rc;
  // KZMPSF: a '$' ends the name.
  std::string dollar = fixture("fixed_names.mps") + "$ignored";
  x.p[2] = (void*)dollar.c_str();
  EXPECT_EQ(x.mpsf(&h.b), 0) << h.b.rc;
  // KZMPSQP from a C area: '$' is part of the name, so the file is missing.
  EXPECT_EQ(x.mpsqp(&h.b), 1);
  EXPECT_EQ(h.b.rc, 400);
  // From a Fortran-style area it ends the name.
  Host f(1);
  x.p[2] = (void*)dollar.c_str();
  x.file = fixture("noname.mps") + "$";
  x.p[2] = (void*)x.file.c_str();
  EXPECT_EQ(x.mpsqp(&f.b), 0) << f.b.rc;
}

TEST(MpsHost, MessagesOfTheReaderCodes) {
  Host h;
  Capture cap(&h.b);
  Args x;
  x.file = fixture("e402_norows.mps");
  x.p[2] = (void*)x.file.c_str();
  ASSERT_EQ(x.mpsqp(&h.b), 1);
  cap.clear();
  KZMSG(&h.b);
  ASSERT_FALSE(cap.texts().empty());
  EXPECT_EQ(cap.texts()[0], "KZMPSQP found incomplete MPS file.");
}

TEST(MpsHost, TraceLines) {
  setenv("KZDevelopment", "1", 1);
  char tmpl[] = "/tmp/kzmpstraceXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string log = std::string(tmpl) + "/trace.txt";
  {
    Host h;
    ASSERT_EQ(KZCLP(&h.b, ("Output " + log + " Set Debug Yes").c_str()), 0);
    Args x;
    x.file = fixture("noname.mps");
    x.p[2] = (void*)x.file.c_str();
    ASSERT_EQ(x.mpsqp(&h.b), 0);
    ASSERT_EQ(x.mpsi(&h.b), 0);
    x.file = fixture("fixed_names.mps");
    x.p[2] = (void*)x.file.c_str();
    ASSERT_EQ(x.mpsf(&h.b), 0);
  }
  unsetenv("KZDevelopment");
  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);)
    if (l.rfind("Entering KZMPS", 0) == 0 || l.rfind("Leaving KZMPS", 0) == 0 || l.rfind("a 0x", 0) == 0 ||
        l.rfind("status 0x", 0) == 0)
      lines.push_back(l);
  const std::string p = "0x[0-9a-f]+", t = " \\d\\d:\\d\\d:\\d\\d";
  const std::string file = fixture("noname.mps");
  std::vector<std::string> want;
  for (const char* r : {"KZMPSQP", "KZMPSI"}) {
    want.push_back(std::string("Entering ") + r + ", KZOSL " + p + " Rc 2 filenam " + file + " row " + p +
                   " column " + p + " nonzero " + p + " Mem \\d+ " + t);
    want.push_back("a " + p + " rownos " + p + " colptr " + p + " bndmin " + p + " bndmax " + p + t);
    want.push_back("status " + p + " colnam " + p + " maxqp " + (std::string(r) == "KZMPSI" ? "0" : "20") +
                   " maxrow 40 maxcol 40 maxnon 200 " + t);
    want.push_back(std::string("Leaving ") + r + ", Fnct Value 0 Rc 2 Row 2 Col 1 Nonzro 2 noQp 0 Mem \\d+ " + t);
  }
  want.push_back("Entering KZMPSF, KZOSL " + p + " Rc 2 filenam " + fixture("fixed_names.mps") + " row " + p +
                 " column " + p + " nonzero " + p + " Mem \\d+ " + t);
  want.push_back("status " + p + " colnam " + p + " maxrow 40 maxcol 40 maxnon 200 " + t);
  want.push_back("Leaving KZMPSF, Fnct Value 0 Rc 2 Row 3 Col 2 Nonzro 5 Mem \\d+ " + t);
  ASSERT_EQ(lines.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(want[i]))) << lines[i] << "\n  vs " << want[i];
  unlink(log.c_str());
  rmdir(tmpl);
}

TEST(MpsHost, CompressedFilesReadLikePlainOnes) {
  const std::string gz = std::string("/tmp/kzmps_host_") + std::to_string(getpid()) + ".mps.gz";
  const std::string cmd = "gzip -c '" + fixture("bounds_all.mps") + "' > '" + gz + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  Host h;
  Args plain, packed;
  plain.file = fixture("bounds_all.mps");
  plain.p[2] = (void*)plain.file.c_str();
  packed.file = gz;
  packed.p[2] = (void*)packed.file.c_str();
  ASSERT_EQ(plain.mpsqp(&h.b), 0);
  ASSERT_EQ(packed.mpsqp(&h.b), 0);
  EXPECT_EQ(plain.col, packed.col);
  EXPECT_EQ(plain.lo, packed.lo);
  EXPECT_EQ(plain.up, packed.up);
  EXPECT_EQ(plain.status, packed.status);
  unlink(gz.c_str());
}

}  // namespace

// KZLOADQP with ToMPS writes the loaded model as "<FileName>.mps"; read again
// it gives the arrays of the original file. The model file just read is never
// overwritten by the written copy.
TEST(MpsHost, ToMpsWritesTheLoadedModel) {
  char tmpl[] = "/tmp/kztompsXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string in = dir + "/markqp.mps";
  {
    std::ifstream src(fixture("markers_quad.mps"), std::ios::binary);
    std::ofstream dst(in, std::ios::binary);
    dst << src.rdbuf();
  }
  auto readAll = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  };
  const std::string original = readAll(in);

  auto readInto = [](Host& h, Args& x, const std::string& path) {
    x.file = path;
    x.p[2] = (void*)x.file.c_str();
    return x.mpsqp(&h.b);
  };
  Host ref;
  Args want;
  ASSERT_EQ(readInto(ref, want, in), 0) << ref.b.rc;
  ASSERT_GT(want.noqp, 0);

  for (const char* target : {"out", "markqp"}) {
    SCOPED_TRACE(target);
    Host h;
    Capture cap(&h.b);
    Args x;
    ASSERT_EQ(readInto(h, x, in), 0) << h.b.rc;
    const std::string line = "FileName " + dir + "/" + target + " ToMPS Yes";
    ASSERT_EQ(KZCLP(&h.b, line.c_str()), 0) << h.b.rc;
    cap.clear();
    ASSERT_EQ(KZLOADQP(&h.b, x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(),
                       x.up.data(), x.status.data(), x.names.data(), x.noqp, x.q1.data(), x.q2.data(), x.qv.data()),
              0)
        << h.b.rc;
    if (std::string(target) == "markqp") {
      // The copy would replace the file it came from: nothing is written.
      EXPECT_EQ(readAll(in), original);
      bool warned = false;
      for (const std::string& t : cap.texts()) warned |= t.find(in) != std::string::npos;
      EXPECT_TRUE(warned) << "no warning names " << in;
      continue;
    }
    Host back;
    Args got;
    ASSERT_EQ(readInto(back, got, dir + "/out.mps"), 0) << back.b.rc;
    ASSERT_EQ(got.row, want.row);
    ASSERT_EQ(got.col, want.col);
    ASSERT_EQ(got.nnz, want.nnz);
    ASSERT_EQ(got.noqp, want.noqp);
    const size_t n = static_cast<size_t>(want.col), nz = static_cast<size_t>(want.nnz), nq = static_cast<size_t>(want.noqp);
    const size_t items = n + static_cast<size_t>(want.row);
    EXPECT_TRUE(std::equal(want.a.begin(), want.a.begin() + nz, got.a.begin()));
    EXPECT_TRUE(std::equal(want.rownos.begin(), want.rownos.begin() + nz, got.rownos.begin()));
    EXPECT_TRUE(std::equal(want.colptr.begin(), want.colptr.begin() + n + 1, got.colptr.begin()));
    EXPECT_TRUE(std::equal(want.lo.begin(), want.lo.begin() + items, got.lo.begin()));
    EXPECT_TRUE(std::equal(want.up.begin(), want.up.begin() + items, got.up.begin()));
    EXPECT_TRUE(std::equal(want.status.begin(), want.status.begin() + items, got.status.begin()));
    EXPECT_EQ(want.names, got.names);
    // The writer lists the stored terms column by column, each pair once:
    // compare the terms as a set.
    auto terms = [nq](const Args& r) {
      std::vector<std::tuple<int32_t, int32_t, double>> t;
      for (size_t k = 0; k < nq; ++k)
        t.emplace_back(std::min(r.q1[k], r.q2[k]), std::max(r.q1[k], r.q2[k]), r.qv[k]);
      std::sort(t.begin(), t.end());
      return t;
    };
    EXPECT_EQ(terms(want), terms(got));
  }
}
