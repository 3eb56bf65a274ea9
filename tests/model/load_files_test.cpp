// The start information of a load: basis files, the integer file, the
// basis memory, the reload entry and the quadratic terms of KZLOADQP.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "lp/internal_form.h"
#include "model/load.h"
#include "model/store_ops.h"
#include "tests/model/fixture.h"

namespace kz::test {
namespace {

constexpr double kInf = 1e23;

std::string tempPath(const char* stem) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "/tmp/kz_load_files_%d_%s", static_cast<int>(getpid()), stem);
  return buf;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeAll(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

// Three named columns, two named rows.
struct Named {
  TestModel t{3};
  std::string names = "ALPHA   BETA    GAMMA   COST    CAP     DEMAND  ";
  Named() {
    t.column(0, 10, {{0, 1.0}, {1, 1.0}}).column(0, 10, {{1, 1.0}, {2, 1.0}}).column(0, 1, {{0, 2.0}, {2, 1.0}});
    t.row(1, -kInf, 8.0).row(2, 1.0, 6.0);
  }
};

TEST(BasisFile, WrittenAfterASolveAndReadAtTheNextLoad) {
  const std::string path = tempPath("round.bss");
  std::remove(path.c_str());
  Named m;
  {
    AreaFixture f(2);
    ASSERT_EQ(KZCLP(f.block(), ("Basis " + path).c_str()), 0);
    auto x = m.t.arrays();
    ASSERT_EQ(f.load(x, m.t, m.names.data()), 0) << f.block()->rc;
    ModelStore& s = f.area().store;
    // As a solve would leave it: BETA basic, GAMMA at upper, CAP basic, DEMAND at upper.
    for (int32_t i = 1; i <= s.total; ++i) s.kind[i] &= ~kKindStartMarks;
    s.kind[2] |= kKindBasic;
    s.kind[3] |= kKindAtUpper;
    s.kind[s.obj + 1] |= kKindBasic;
    s.kind[s.obj + 2] |= kKindAtUpper;
    ASSERT_TRUE(writeBasisFile(f.area(), nullptr));
  }
  const std::string text = readAll(path);
  EXPECT_EQ(text.substr(0, 14), "NAME          ");
  EXPECT_NE(text.find(" BC BETA    \n"), std::string::npos) << text;
  EXPECT_NE(text.find(" UC GAMMA   \n"), std::string::npos) << text;
  EXPECT_NE(text.find(" BR CAP     \n"), std::string::npos) << text;
  EXPECT_NE(text.find(" UR DEMAND  \n"), std::string::npos) << text;
  EXPECT_EQ(text.find("ALPHA"), std::string::npos) << "a column at its lower bound has no record";
  EXPECT_EQ(text.substr(text.size() - 7), "ENDATA\n");

  AreaFixture g(2);
  ASSERT_EQ(KZCLP(g.block(), ("Basis " + path).c_str()), 0);
  Named m2;
  m2.t.colStatus[0] = 0x1;  // ignored: the file gives the start
  auto x = m2.t.arrays();
  ASSERT_EQ(g.load(x, m2.t, m2.names.data()), 0) << g.block()->rc;
  const ModelStore& s = g.area().store;
  EXPECT_TRUE(s.startBasisGiven);
  EXPECT_FALSE(s.kind[1] & kKindBasic);
  EXPECT_TRUE(s.kind[2] & kKindBasic);
  EXPECT_TRUE(s.kind[3] & kKindAtUpper);
  EXPECT_TRUE(s.kind[s.obj + 1] & kKindBasic);
  EXPECT_TRUE(s.kind[s.obj + 2] & kKindAtUpper);
  std::remove(path.c_str());
}

TEST(BasisFile, ExchangeRecords) {
  const std::string path = tempPath("x.bss");
  writeAll(path,
           "* a comment before the name line\n"
           "NAME          MODEL                                                       1\n"
           " XU ALPHA     DEMAND\n"
           " XL BETA      CAP\n"
           "ENDATA\n"
           " BC GAMMA\n");
  Named m;
  AreaFixture f(2);
  ASSERT_EQ(KZCLP(f.block(), ("Basis " + path).c_str()), 0);
  auto x = m.t.arrays();
  ASSERT_EQ(f.load(x, m.t, m.names.data()), 0) << f.block()->rc;
  const ModelStore& s = f.area().store;
  EXPECT_TRUE(s.kind[1] & kKindBasic);
  EXPECT_TRUE(s.kind[2] & kKindBasic);
  EXPECT_FALSE(s.kind[3] & kKindBasic) << "records after the first non-blank line are not read";
  // DEMAND has a finite upper side: at upper; CAP (XL) at its lower side.
  EXPECT_FALSE(s.kind[s.obj + 2] & kKindBasic);
  EXPECT_TRUE(s.kind[s.obj + 2] & kKindAtUpper);
  EXPECT_FALSE(s.kind[s.obj + 1] & kKindBasic);
  EXPECT_FALSE(s.kind[s.obj + 1] & kKindAtUpper);
  std::remove(path.c_str());
}

TEST(BasisFile, GeneratedNamesAreReadByNumber) {
  const std::string path = tempPath("gen.bss");
  writeAll(path, "NAME          X\n BC x2\n BR c1\n UC x0\nENDATA\n");
  Named m;
  AreaFixture f(0);
  ASSERT_EQ(KZCLP(f.block(), ("Basis " + path).c_str()), 0);
  auto x = m.t.arrays();
  ASSERT_EQ(f.load(x, m.t), 0) << f.block()->rc;
  const ModelStore& s = f.area().store;
  EXPECT_TRUE(s.kind[3] & kKindBasic);
  EXPECT_TRUE(s.kind[s.obj + 1] & kKindBasic);
  EXPECT_TRUE(s.kind[1] & kKindAtUpper);
  std::remove(path.c_str());
}

TEST(BasisFile, NeverAndNoneReadNothing) {
  for (const char* text : {"NEVER", "NONE"}) {
    Named m;
    m.t.colStatus[1] = 0x1;
    AreaFixture f(2);
    ASSERT_EQ(KZCLP(f.block(), (std::string("Basis ") + text).c_str()), 0);
    auto x = m.t.arrays();
    ASSERT_EQ(f.load(x, m.t, m.names.data()), 0);
    EXPECT_FALSE(f.area().store.startBasisGiven) << text;
    EXPECT_TRUE(f.area().store.kind[2] & kKindBasic) << text;  // from the status word
  }
}

TEST(BasisFile, UnwritableFileWarns) {
  Named m;
  AreaFixture f(2);
  ASSERT_EQ(KZCLP(f.block(), "Basis /nonexistent-dir/x"), 0);
  auto x = m.t.arrays();
  ASSERT_EQ(f.load(x, m.t, m.names.data()), 0);
  EXPECT_FALSE(writeBasisFile(f.area(), nullptr));
}

TEST(IntegerFile, RoundTrip) {
  const std::string path = tempPath("int");
  std::remove((path + ".b01").c_str());
  Named m;
  m.t.colStatus[2] = 0x4;  // GAMMA binary
  m.t.colStatus[1] = 0x4;  // BETA general integer
  m.t.rowStatus[2] = static_cast<int32_t>(kStatusIntFileY);
  {
    AreaFixture f(2);
    ASSERT_EQ(KZCLP(f.block(), ("Basis " + path).c_str()), 0);
    auto x = m.t.arrays();
    ASSERT_EQ(f.load(x, m.t, m.names.data()), 0) << f.block()->rc;
    std::vector<double> values{0, 0, 7, 1};
    ASSERT_TRUE(writeIntegerFile(f.area(), values.data()));
  }
  const std::string text = readAll(path + ".b01");
  EXPECT_NE(text.find(" YR DEMAND   V\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" BC BETA      7\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" BC GAMMA     1\n"), std::string::npos) << text;

  AreaFixture g(2);
  ASSERT_EQ(KZCLP(g.block(), ("Basis " + path).c_str()), 0);
  Named m2;
  m2.t.colStatus[2] = 0x4;
  m2.t.colStatus[1] = 0x4;
  auto x = m2.t.arrays();
  ASSERT_EQ(g.load(x, m2.t, m2.names.data()), 0) << g.block()->rc;
  const ModelStore& s = g.area().store;
  ASSERT_NE(s.attached.startValue, nullptr);
  EXPECT_EQ(s.attached.startValue[0], -1e200);
  EXPECT_EQ(s.attached.startValue[1], 7.0);
  EXPECT_EQ(s.attached.startValue[2], 1.0);
  EXPECT_EQ(static_cast<uint32_t>(x.status[m2.t.n + 2]) & kStatusIntFileY, kStatusIntFileY);
  std::remove((path + ".b01").c_str());
}

TEST(BasisMemory, SavedBasisIsUsedByTheNextLoadOfTheModel) {
  Named m;
  AreaFixture f(2);
  ASSERT_EQ(KZCLP(f.block(), "Basis +2"), 0);
  auto x = m.t.arrays();
  ASSERT_EQ(f.load(x, m.t, m.names.data()), 0);
  ModelArea& a = f.area();
  ModelStore& s = a.store;
  ASSERT_EQ(s.basisMemory.slots.size(), 2u);
  ASSERT_GE(s.basisMemory.current, 0);
  for (int32_t i = 1; i <= s.total; ++i) s.kind[i] &= ~kKindStartMarks;
  s.kind[3] |= kKindBasic;
  s.kind[s.obj + 2] |= kKindAtUpper;
  basisMemorySave(a);
  const int32_t saved = s.basisMemory.current;
  EXPECT_TRUE(s.basisMemory.slots[static_cast<size_t>(saved)].hasData);

  // The same model again, its columns in another order: the names match.
  f.resetState();
  Named m2;
  std::swap(m2.t.colLo[0], m2.t.colLo[2]);
  auto y = m2.t.arrays();
  m2.names = "GAMMA   BETA    ALPHA   COST    CAP     DEMAND  ";
  y.status[0] = 0x1;  // replaced by the memory's start
  ASSERT_EQ(f.load(y, m2.t, m2.names.data()), 0) << f.block()->rc;
  EXPECT_TRUE(s.startBasisGiven);
  EXPECT_TRUE(s.kind[1] & kKindBasic);  // GAMMA is column 1 now
  EXPECT_FALSE(s.kind[3] & kKindBasic);
  EXPECT_TRUE(s.kind[s.obj + 2] & kKindAtUpper);
  EXPECT_EQ(static_cast<uint32_t>(y.status[0]) & kStatusStartMarks, kStatusBasic);
  EXPECT_EQ(static_cast<uint32_t>(y.status[m2.t.n + 2]) & kStatusStartMarks, kStatusAtUpper);
  EXPECT_EQ(s.basisMemory.slots[static_cast<size_t>(saved)].useCount, 1);
}

TEST(BasisMemory, RowCountMustBeClose) {
  Named m;
  AreaFixture f(2);
  auto x = m.t.arrays();
  ASSERT_EQ(f.load(x, m.t, m.names.data()), 0);
  ModelArea& a = f.area();
  a.store.kind[1] |= kKindBasic;
  basisMemorySave(a);
  // One more row: a difference of 1 in 3 constraint rows is more than 2 %.
  f.resetState();
  TestModel t(4);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}}).column(0, 10, {{1, 1.0}, {2, 1.0}}).column(0, 1, {{0, 2.0}, {3, 1.0}});
  t.row(1, -kInf, 8.0).row(2, 1.0, 6.0).row(3, 0.0, 1.0);
  std::string names = "ALPHA   BETA    GAMMA   COST    CAP     DEMAND  EXTRA   ";
  t.colStatus[1] = 0x1;
  auto y = t.arrays();
  ASSERT_EQ(f.load(y, t, names.data()), 0);
  EXPECT_FALSE(a.store.startBasisGiven);
  EXPECT_TRUE(a.store.kind[2] & kKindBasic) << "the status words give the start";
  EXPECT_FALSE(a.store.kind[1] & kKindBasic);
}

TEST(Reload, LoadsTheLastArraysAgain) {
  AreaFixture f;
  TestModel t(3);
  t.column(-5, -1, {{0, 3.0}, {1, 1e3}}).column(1, 4, {{1, 0.5}, {2, 1e-3}}).row(1, -kInf, 8.0).row(2, -2.0, 6.0);
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0);
  ModelArea& a = f.area();
  ASSERT_EQ(reloadModel(a), 0) << a.irc;
  EXPECT_EQ(a.irc, 4);
  EXPECT_TRUE(a.store.method & kMethodSimplex);
  // The reload took the caller's values, not the scaled ones of the first load.
  double L, U;
  callerColumnBounds(a, 1, &L, &U);
  EXPECT_DOUBLE_EQ(L, -5.0);
  EXPECT_DOUBLE_EQ(U, -1.0);
  const ModelStore& s = a.store;
  for (int32_t p = colBegin(s, 2); p < colEnd(s, 2); ++p) {
    const double v = s.a[p] * s.scale[2] / s.scale[s.obj + s.rownos[p]];
    EXPECT_DOUBLE_EQ(v, s.rownos[p] == 1 ? 0.5 : 1e-3);
  }
}

TEST(LoadEnvironment, KzloadclpAppliesBeforeTheLoad) {
  setenv("KZLOADCLP", "Set Scale No", 1);
  AreaFixture f;
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 1e4}}).row(1, -kInf, 8.0);
  auto x = t.arrays();
  const int16_t fv = f.load(x, t);
  unsetenv("KZLOADCLP");
  ASSERT_EQ(fv, 0);
  EXPECT_FALSE(f.area().store.scaled);
  EXPECT_EQ(x.a[1], 1e4);
}

TEST(LoadQuadratic, LowerTriangleColumnByColumn) {
  AreaFixture f;
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}}).column(0, 10, {{1, 1.0}}).column(0, 10, {{1, 1.0}}).row(1, 1.0, kInf);
  auto x = t.arrays();
  std::vector<int32_t> c1{2, 0, 1, 0, 2}, c2{0, 0, 2, 2, 2};
  std::vector<double> q{1.5, 2.0, 0.25, 0.5, 3.0};
  ASSERT_EQ(KZLOADQP(f.block(), t.m, t.n, x.a.data(), x.rownos.data(), x.colptr.data(), x.bndmin.data(),
                     x.bndmax.data(), x.status.data(), nullptr, 5, c1.data(), c2.data(), q.data()),
            0)
      << f.block()->rc;
  const ModelStore& s = f.area().store;
  EXPECT_TRUE(s.method & kMethodInterior);
  // Column 1: rows 1 (2.0) and 3 (1.5 + 0.5); column 2: row 3 (0.25); column 3: row 3 (3.0).
  ASSERT_EQ(s.qpTerms, 4);
  EXPECT_EQ(s.qpStart[1], 0);
  EXPECT_EQ(s.qpStart[2], 2);
  EXPECT_EQ(s.qpStart[3], 3);
  EXPECT_EQ(s.qpStart[4], 4);
  EXPECT_EQ(s.qpRow[0], 1);
  EXPECT_EQ(s.qpValue[0], 2.0);
  EXPECT_EQ(s.qpRow[1], 3);
  EXPECT_EQ(s.qpValue[1], 2.0);
  EXPECT_EQ(s.qpRow[2], 3);
  EXPECT_EQ(s.qpValue[2], 0.25);
  EXPECT_EQ(s.qpRow[3], 3);
  EXPECT_EQ(s.qpValue[3], 3.0);
  EXPECT_EQ(s.qpOffDiagonal, 2);
  EXPECT_EQ(s.kind[s.obj] & (kKindFree | kKindFixed), kKindFree);
  // The interior point leaves the caller's coefficients alone.
  EXPECT_EQ(x.a[0], 1.0);
  EXPECT_EQ(x.a[4], -777.0);  // no logical entries for the interior point
}

TEST(LoadQuadratic, IntegerModelWithoutTermsIsAnArrayLoad) {
  AreaFixture f;
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}}, 0x4).row(1, 1.0, kInf);
  auto x = t.arrays();
  ASSERT_EQ(KZLOADQP(f.block(), t.m, t.n, x.a.data(), x.rownos.data(), x.colptr.data(), x.bndmin.data(),
                     x.bndmax.data(), x.status.data(), nullptr, 0, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(f.area().store.method, kMethodSimplex);
  EXPECT_TRUE(f.area().store.internalForm);
}

TEST(LoadInterior, BarrierYesTakesTheInteriorPath) {
  AreaFixture f;
  ASSERT_EQ(KZCLP(f.block(), "Set Barrier Yes"), 0);
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}}).row(1, 1.0, kInf);
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
  EXPECT_TRUE(f.area().store.method & kMethodInterior);
  EXPECT_FALSE(f.area().store.internalForm);
  EXPECT_EQ(x.a[0], 1.0);
}

}  // namespace
}  // namespace kz::test
