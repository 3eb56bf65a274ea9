// The model store: classification, status conversion, logical entries,
// names, the name hash and the lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lp/internal_form.h"
#include "model/store_ops.h"
#include "tests/model/fixture.h"

namespace kz::test {
namespace {

constexpr double kInf = 1e23;

std::string nameOf(const ModelStore& s, int32_t i) {
  char buf[64];
  itemName(s, i, buf, sizeof buf);
  return buf;
}

// Kind word of column j after loading a one-row model holding just it.
uint32_t columnKind(double lo, double up, int32_t st = 0) {
  AreaFixture f;
  TestModel t(2);
  t.column(lo, up, {{0, 1.0}, {1, 1.0}}, st).row(1, -kInf, 10.0);
  auto x = t.arrays();
  EXPECT_EQ(f.load(x, t), 0) << f.block()->rc;
  return f.area().store.kind[1];
}

TEST(Classify, InfiniteBoundThresholds) {
  struct Case {
    double lo, up;
    uint32_t set, clear;
  };
  const std::vector<Case> cases = {
      // A lower bound of -1e23 with a finite upper bound: mirrored by the
      // internal form, so the column carries a shifted lower bound.
      {-1e23, 5.0, kKindLower | kKindMirrored, kKindFree},
      {-9.99e22, kInf, kKindFree, kKindLower | kKindUpper},
      {-9.98e22, 9.98e22, kKindLower | kKindUpper, kKindFree},
      {0.0, 1e23, 0, kKindLower | kKindUpper | kKindFree},
      {0.0, 9.99e22, 0, kKindUpper},
      {2.0, 2.0, kKindFixed | kKindLower, kKindFree},
  };
  for (const Case& c : cases) {
    const uint32_t k = columnKind(c.lo, c.up);
    EXPECT_EQ(k & c.set, c.set) << c.lo << " " << c.up;
    EXPECT_EQ(k & c.clear, 0u) << c.lo << " " << c.up;
  }
}

TEST(Classify, BeforeTheInternalForm) {
  // The classification rule itself, on working bounds.
  AreaFixture f;
  TestModel t(1);
  t.column(0, 1, {{0, 1.0}});
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0);
  ModelArea& a = f.area();
  ModelStore& s = a.store;
  struct Case {
    double lo, up;
    uint32_t kind;
  };
  const std::vector<Case> cases = {
      {-1e23, 5.0, kKindLower | kKindUpper}, {-1e23, 1e23, kKindFree},      {0.0, 1e23, 0},
      {-9.99e22, 4.0, kKindLower | kKindUpper}, {-9.98e22, 4.0, kKindLower | kKindUpper},
      {3.0, 3.0, kKindFixed | kKindLower},   {0.0, 4.0, kKindUpper},        {1.5, 1e30, kKindLower},
  };
  for (const Case& c : cases) {
    s.kind[1] = 0;
    s.lo[1] = c.lo;
    s.up[1] = c.up;
    classifyColumn(a, 1, false);
    EXPECT_EQ(s.kind[1], c.kind) << c.lo << " " << c.up;
  }
}

TEST(Classify, IntegerColumns) {
  struct Case {
    double lo, up;
    uint32_t want;
    double wantUp;
  };
  const std::vector<Case> cases = {
      {0.0, 1e300, kKindBinary, 1.0},     // Set IBOUNDS (1) replaces a missing upper bound
      {1.0, 1.0, kKindBinary, 1.0},       // fixed at 1: binary
      {0.0, 0.0, kKindBinary, 0.0},
      {2.0, 2.0, kKindInteger, 2.0},      // fixed general integer
      {-1e23, 7.5, kKindInteger, 7.0},    // no lower bound: 0; upper moved onto the grid
      {1e-9, 1.0 - 1e-9, kKindBinary, 1.0},
  };
  for (const Case& c : cases) {
    AreaFixture f;
    TestModel t(1);
    t.column(c.lo, c.up, {{0, 1.0}}, 0x4);
    auto x = t.arrays();
    ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
    const ModelStore& s = f.area().store;
    EXPECT_EQ(s.kind[1] & kKindIntegral, c.want) << c.lo << " " << c.up;
    double L, U;
    callerColumnBounds(f.area(), 1, &L, &U);
    EXPECT_DOUBLE_EQ(U, c.wantUp) << c.lo << " " << c.up;
    EXPECT_EQ(s.binaries, c.want == kKindBinary ? 1 : 0);
    EXPECT_EQ(s.generalIntegers, c.want == kKindInteger ? 1 : 0);
  }
}

TEST(ConvertStatus, RejectedCombinationsGiveTheCheckCodes) {
  struct Case {
    const char* what;
    bool row;
    int32_t status;
    double lo, up;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"semi-continuous I and II", false, 0x18, 1.0, 5.0, 328},
      {"semi-continuous without lower bound", false, 0x8, -1e23, 5.0, 326},
      {"crossed column bounds", false, 0, 3.0, 2.0, 304},
      {"integer row", true, 0x4, 0.0, 5.0, 320},
      {"semi-continuous row", true, 0x10, 0.0, 5.0, 320},
      {"row starting at one", true, 0x80, 0.0, 5.0, 320},
      {"crossed row bounds", true, 0, 6.0, 5.0, 305},
  };
  for (const Case& c : cases) {
    AreaFixture f;
    TestModel t(2);
    if (c.row) {
      t.column(0, 10, {{0, 1.0}, {1, 1.0}}).row(1, c.lo, c.up, c.status);
    } else {
      t.column(c.lo, c.up, {{0, 1.0}, {1, 1.0}}, c.status).row(1, -1e23, 4.0);
    }
    auto x = t.arrays();
    EXPECT_EQ(f.load(x, t), 1) << c.what;
    EXPECT_EQ(f.block()->rc, c.code) << c.what;
    EXPECT_FALSE(f.area().store.loaded) << c.what;
  }
}

TEST(ConvertStatus, CarriesTheMarkBits) {
  AreaFixture f;
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 2.0}}, 0x40 | 0x100 | 0x400 | 0x2000 | 0x8000 | 0x400000)
      .row(1, -1e23, 4.0, 0x40 | 0x100 | 0x80000 | 0x100000);
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
  const ModelStore& s = f.area().store;
  EXPECT_EQ(s.kind[1] & (kKindMark40 | kKindMark100 | kKindMark400 | kKindMark8000),
            kKindMark40 | kKindMark100 | kKindMark400 | kKindMark8000);
  EXPECT_EQ(s.auxCol[1] & (kAuxMark400 | kAuxBigM | kAuxMark400000), kAuxMark400 | kAuxBigM | kAuxMark400000);
  const int32_t row = s.obj + 1;
  EXPECT_EQ(s.kind[row] & (kKindMark40 | kKindMark100), kKindMark40 | kKindMark100);
  EXPECT_EQ(s.auxRow[row], kAuxRowPiecewise | kAuxRowConvex);
  EXPECT_EQ(s.convexRows, 1);
  EXPECT_EQ(s.piecewiseRows, 1);
}

TEST(Logicals, AppendedByRowClass) {
  AreaFixture f;
  TestModel t(6);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}, {4, 1.0}, {5, 1.0}})
      .row(1, 1.0, 1e23)     // >=
      .row(2, -1e23, 4.0)    // <=
      .row(3, 2.0, 2.0)      // =
      .row(4, 1.0, 3.0)      // ranged
      .row(5, -1e23, 1e23);  // free
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
  const ModelStore& s = f.area().store;
  const int32_t nnz = 6;
  // Positions nnz .. nnz + m - 1 hold the logicals, row numbers 0 .. m - 1.
  for (int32_t r = 0; r < t.m; ++r) {
    EXPECT_EQ(x.rownos[nnz + r], r);
    EXPECT_EQ(x.colptr[t.n + 1 + r], nnz + r + 1);
  }
  EXPECT_EQ(x.a[nnz + 0], 1.0);   // objective, minimizing
  EXPECT_EQ(x.a[nnz + 1], -1.0);  // >= row
  EXPECT_EQ(x.a[nnz + 2], 1.0);
  EXPECT_EQ(x.a[nnz + 3], 1.0);
  EXPECT_EQ(x.a[nnz + 4], -1.0);  // ranged over a continuous column: lower side, -1
  EXPECT_EQ(x.a[nnz + 5], 1.0);
  EXPECT_EQ(s.entries, nnz + t.m);
  // Beyond the logicals nothing was written.
  EXPECT_EQ(x.a[nnz + t.m], -777.0);
  EXPECT_EQ(x.rownos[nnz + t.m], -777);
}

TEST(Names, GeneratedForCAndFortranCallers) {
  for (int style : {0, 1}) {
    AreaFixture f(style);
    TestModel t(3);
    t.column(0, 1, {{0, 1.0}}).column(0, 1, {{1, 1.0}}).row(1, 0, 1).row(2, 0, 1);
    auto x = t.arrays(style == 1 ? 1 : 0);
    ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
    const ModelStore& s = f.area().store;
    const bool fortran = style == 1;
    EXPECT_EQ(nameOf(s, 1), fortran ? "x1      " : "x0      ");
    EXPECT_EQ(nameOf(s, 2), fortran ? "x2      " : "x1      ");
    EXPECT_EQ(nameOf(s, 3), "obj     ");
    EXPECT_EQ(nameOf(s, 4), fortran ? "c2      " : "c1      ");
    EXPECT_EQ(nameOf(s, 6), "??? c=6");
    EXPECT_EQ(nameOf(s, 0), "??? c=0");
    // Lookups of generated names.
    EXPECT_EQ(findItem(f.area().store, fortran ? "x2" : "x1", 0, kNameEither), 2);
    EXPECT_EQ(findItem(f.area().store, fortran ? "c3" : "c2", 2, kNameRow), 5);
    EXPECT_EQ(findItem(f.area().store, "OBJ", 0, kNameEither), 3);
    EXPECT_EQ(findItem(f.area().store, "x9", 0, kNameEither), 0);
    EXPECT_EQ(findItem(f.area().store, "x0      ", 8, kNameEither), fortran ? 0 : 1);
    EXPECT_EQ(findItem(f.area().store, "x1", 2, kNameEither), 0);  // a length neither kind has
    EXPECT_EQ(indexOfName(f.area().store, fortran ? "c2" : "c1", 0, kNameRow), 1);
  }
}

TEST(Names, StylesOneAndZero) {
  // Style 1: one block, columns then rows (objective first), 8 characters each.
  {
    AreaFixture f(2);
    TestModel t(2);
    t.column(0, 1, {{0, 1.0}, {1, 1.0}}).column(0, 1, {{1, 2.0}}).row(1, 0, 3);
    auto x = t.arrays();
    std::string block = "alpha   beta    COST    LIMIT   ";
    ASSERT_EQ(f.load(x, t, block.data()), 0) << f.block()->rc;
    ModelStore& s = f.area().store;
    EXPECT_EQ(nameOf(s, 1), "alpha   ");
    EXPECT_EQ(nameOf(s, 4), "LIMIT   ");
    EXPECT_EQ(findItem(s, "LIMIT", 0, kNameEither), 4);
    EXPECT_EQ(findItem(s, "LIMIT", 5, kNameEither), 0);
    EXPECT_EQ(findItem(s, "ALPHA", 0, kNameEither), 1);  // folded
    EXPECT_EQ(findItem(s, "beta    ", 8, kNameColumn), 2);
    EXPECT_EQ(findItem(s, "beta", 4, kNameRow), 0);
  }
  // A control character, or a blank name among the first ten: no names.
  for (const std::string block : {std::string("AL\x01HA  BETA    COST    LIMIT   "),
                                  std::string("ALPHA           COST    LIMIT   ")}) {
    AreaFixture f(2);
    TestModel t(2);
    t.column(0, 1, {{0, 1.0}, {1, 1.0}}).column(0, 1, {{1, 2.0}}).row(1, 0, 3);
    auto x = t.arrays();
    std::string b = block;
    ASSERT_EQ(f.load(x, t, b.data()), 0);
    EXPECT_EQ(nameOf(f.area().store, 1), "x0      ");
    EXPECT_EQ(nameOf(f.area().store, 4), "c1      ");
  }
  // A first name of blanks: generated names.
  {
    AreaFixture f(2);
    TestModel t(2);
    t.column(0, 1, {{0, 1.0}, {1, 1.0}}).row(1, 0, 3);
    auto x = t.arrays();
    std::string block = "        COST    LIMIT   ";
    ASSERT_EQ(f.load(x, t, block.data()), 0);
    EXPECT_EQ(nameOf(f.area().store, 1), "x0      ");
    EXPECT_EQ(nameOf(f.area().store, 3), "c1      ");
  }
  // Style 0: pointers, copied up to the name length; a NUL pads with blanks.
  {
    AreaFixture f(0);
    TestModel t(2);
    t.column(0, 1, {{0, 1.0}, {1, 1.0}}).column(0, 1, {{1, 2.0}}).row(1, 0, 3);
    auto x = t.arrays();
    const char* names[] = {"first", "a_name_too_long", "z", nullptr};
    ASSERT_EQ(f.load(x, t, names), 0);
    ModelStore& s = f.area().store;
    EXPECT_EQ(nameOf(s, 1), "first   ");
    EXPECT_EQ(nameOf(s, 2), "a_name_t");
    EXPECT_EQ(nameOf(s, 3), "z       ");
    EXPECT_EQ(nameOf(s, 4), "c1      ");  // a null pointer: generated
    EXPECT_EQ(findItem(s, "a_name_t", 8, kNameEither), 2);
  }
}

TEST(Names, LinearScanStartsAfterThePreviousMatchAndWraps) {
  AreaFixture f(2);
  TestModel t(1);
  std::string block;
  const char* cols[] = {"DUP", "B", "DUP", "C"};
  for (const char* c : cols) {
    t.column(0, 1, {{0, 1.0}});
    std::string n = c;
    n.resize(8, ' ');
    block += n;
  }
  block += "OBJ     ";
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t, block.data()), 0);
  ModelStore& s = f.area().store;
  EXPECT_EQ(findItem(s, "DUP", 3, kNameColumn), 1);
  EXPECT_EQ(findItem(s, "DUP", 3, kNameColumn), 3);
  EXPECT_EQ(findItem(s, "DUP", 3, kNameColumn), 1);  // wrapped around
  EXPECT_EQ(findItem(s, "C", 1, kNameColumn), 4);
  EXPECT_EQ(findItem(s, "B", 1, kNameColumn), 2);    // wraps from after C
  EXPECT_EQ(findItem(s, "NONE", 4, kNameColumn), 0);
}

TEST(NameHash, WeightsAndChunks) {
  // Values worked out by hand from the weights: chunks of 32, 16, 8, 4, 2, 1.
  struct Case {
    std::string name;
    uint32_t hash;
  };
  const std::vector<Case> cases = {
      {"AB", 2788943131u},
      {"A", 2417055737u},
      {"A ", 3117966873u},  // at least two characters are kept
      {"ABC", 721096838u},
      {"ROW12   ", 1942038123u},
      {std::string(35, 'X'), 2365885448u},
      {"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!", 1823925262u},
  };
  for (const Case& c : cases) EXPECT_EQ(nameHash(c.name.data(), static_cast<int>(c.name.size())), c.hash) << c.name;
  EXPECT_EQ(nameHash("ROW12", 5), nameHash("ROW12   ", 8));
  EXPECT_EQ(nameHash("", 0), 0u);
}

TEST(NameHash, TableSizes) {
  EXPECT_EQ(nameHashSize(1001), 1009);  // 1001 = 7 * 11 * 13
  EXPECT_EQ(nameHashSize(1000), 1009);
  EXPECT_EQ(nameHashSize(13), 13);
  EXPECT_EQ(nameHashSize(25), 29);
}

TEST(NameHash, TableLookupWithCollisionsAndShortcuts) {
  AreaFixture f(2);
  TestModel t(1);
  std::string block;
  const int32_t count = 40;
  for (int32_t j = 0; j < count; ++j) {
    t.column(0, 1, {{0, 1.0}});
    char n[9];
    std::snprintf(n, sizeof n, "C%-7d", j);
    block.append(n, 8);
  }
  block += "OBJ     ";
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t, block.data()), 0);
  ModelArea& a = f.area();
  ModelStore& s = a.store;
  // A table barely larger than the names: long probe sequences.
  ASSERT_TRUE(buildNameHash(a, kNameColumn, nameHashSize(count + 1)));
  for (int32_t j = 0; j < count; ++j) {
    char n[16];
    std::snprintf(n, sizeof n, "c%d", j);  // folded on lookup
    EXPECT_EQ(hashFind(s, kNameColumn, n, static_cast<int>(std::strlen(n))), j) << n;
    EXPECT_EQ(findItem(s, n, 0, kNameColumn), j + 1);
  }
  EXPECT_EQ(hashFind(s, kNameColumn, "C40", 3), -1);
  s.colHash.slots[-2] = 7;
  s.colHash.slots[-1] = 9;
  EXPECT_EQ(hashFind(s, kNameColumn, "\"", 1), 7);
  EXPECT_EQ(hashFind(s, kNameColumn, "\" x", 3), 7);
  EXPECT_EQ(hashFind(s, kNameColumn, "'", 1), 9);
  EXPECT_EQ(hashFind(s, kNameColumn, "~(12)", 5), 12);
  EXPECT_EQ(hashFind(s, kNameColumn, "~(99)", 5), -1);
}

TEST(NameHash, FullTableEndsAtTheStartSlot) {
  AreaFixture f(2);
  TestModel t(1);
  std::string block;
  for (int32_t j = 0; j < 7; ++j) {
    t.column(0, 1, {{0, 1.0}});
    block += "N" + std::to_string(j) + "      ";
  }
  block += "OBJ     ";
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t, block.data()), 0);
  // Five slots for seven names: the table fills and an insert says so.
  EXPECT_FALSE(buildNameHash(f.area(), kNameColumn, 5));
  EXPECT_EQ(hashFind(f.area().store, kNameColumn, "ZZ", 2), -1);
}

}  // namespace
}  // namespace kz::test

namespace kz::test {
namespace {

TEST(IntegerData, PrioritiesAndIncrements) {
  AreaFixture f;
  ASSERT_EQ(KZCLP(f.block(), "Set BVPRIORI 7"), 0);
  ModelStore& s = f.area().store;
  std::vector<int16_t> priority{16000, 16000, 3, 16000};
  std::vector<double> increment{1.0, -1.0, -0.25, 2.5};
  s.attached.priority = priority.data();
  s.attached.increment = increment.data();
  TestModel t(2);
  t.column(0, 1, {{0, 1.0}, {1, 1.0}}, 0x4)     // binary, no priority: Set BVPRIORI
      .column(0, 9, {{1, 1.0}}, 0x4)            // increment -1 means 1
      .column(1, 40, {{1, 1.0}}, 0x4)           // -0.25: a power sequence with base 4
      .column(1.2, 11, {{1, 1.0}}, 0x4)         // increment 2.5: bounds onto the grid
      .row(1, -1e23, 100.0);
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0) << f.block()->rc;
  EXPECT_EQ(priority[0], 7);
  EXPECT_EQ(priority[1], 16000) << "not binary";
  EXPECT_EQ(priority[2], 3);
  EXPECT_EQ(increment[1], 1.0);
  EXPECT_EQ(increment[2], -4.0);
  double L, U;
  callerColumnBounds(f.area(), 4, &L, &U);
  EXPECT_EQ(L, 2.5);
  EXPECT_EQ(U, 10.0);
  EXPECT_EQ(s.binaries, 1);
  EXPECT_EQ(s.generalIntegers, 3);
  s.attached = CallerArrays{};
}

TEST(IntegerData, PowerSequenceNeedsANonNegativeLowerBound) {
  for (int32_t st : {0x4, 0x4 | 0x20}) {
    AreaFixture f;
    ModelStore& s = f.area().store;
    std::vector<double> increment{-0.5};
    s.attached.increment = increment.data();
    TestModel t(2);
    t.column(-3, 9, {{0, 1.0}, {1, 1.0}}, st).row(1, -1e23, 100.0);
    auto x = t.arrays();
    if (st & 0x20) {
      EXPECT_EQ(f.load(x, t), 0) << "counted from the lower bound";
    } else {
      EXPECT_EQ(f.load(x, t), 1);
      EXPECT_EQ(f.block()->rc, 420);
    }
    s.attached = CallerArrays{};
  }
}

}  // namespace
}  // namespace kz::test
