// The internal form: mirroring, the lower-bound shift, the row forms, the
// variable list, placeholder bounds, row deactivation and CompactLists.
#include <gtest/gtest.h>

#include "lp/internal_form.h"
#include "model/store_ops.h"
#include "tests/model/fixture.h"

namespace kz::test {
namespace {

constexpr double kInf = 1e23;

// Loads t unscaled into f and returns the store.
ModelStore& loadUnscaled(AreaFixture& f, TestModel& t, TestModel::Arrays& x, const char* extra = nullptr) {
  EXPECT_EQ(KZCLP(f.block(), "Set Scale No"), 0);
  if (extra) EXPECT_EQ(KZCLP(f.block(), extra), 0) << extra;
  x = t.arrays();
  EXPECT_EQ(f.load(x, t), 0) << f.block()->rc;
  return f.area().store;
}

TEST(InternalForm, NegativeColumnIsMirroredAndShifted) {
  AreaFixture f;
  TestModel t(2);
  t.column(-5.0, -2.0, {{0, 3.0}, {1, 2.0}}).row(1, -kInf, 10.0);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_TRUE(s.kind[1] & kKindMirrored);
  EXPECT_TRUE(s.kind[1] & kKindLower);
  EXPECT_TRUE(s.kind[1] & kKindUpper);
  EXPECT_EQ(s.lo[1], 2.0);  // the shifted-out lower bound, kept
  EXPECT_EQ(s.up[1], 3.0);  // the simplex variable runs from 0 to 3
  EXPECT_EQ(x.a[0], -3.0);  // coefficients negated in the caller's a
  EXPECT_EQ(x.a[1], -2.0);
  EXPECT_EQ(callerColumnValue(f.area(), 1, 0.0), -2.0);
  EXPECT_EQ(callerColumnValue(f.area(), 1, 3.0), -5.0);
  // Row 1: -2 y <= 10 with y = x' + 2 gives -2 x' <= 14.
  const int32_t row = s.obj + 1;
  EXPECT_EQ(s.rhs[row], 14.0);
  EXPECT_EQ(s.rowShift[row], -4.0);
  EXPECT_EQ(callerRowActivity(f.area(), row, 14.0), 10.0);
  EXPECT_EQ(s.rowShift[s.obj], -6.0);  // the objective's constant of the shift
}

TEST(InternalForm, RowForms) {
  AreaFixture f;
  TestModel t(7);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}, {4, 1.0}, {5, 1.0}})
      .column(0, 10, {{6, 1.0}}, 0x4)
      .row(1, -kInf, 4.0)           // <=
      .row(2, 1.0, kInf)            // >=
      .row(3, 1.0, 3.0)             // ranged, continuous
      .row(4, 3.0, 3.0000000001)    // a range below the threshold: equality
      .row(5, -kInf, kInf)          // free
      .row(6, 1.0, 3.0);            // ranged over an integer column
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  const int32_t o = s.obj;
  struct Want {
    int32_t row;
    double rhs, coef, range;
    uint32_t kind;
  };
  const std::vector<Want> wants = {
      {1, 4.0, 1.0, -1, kKindInteger},
      {2, 1.0, -1.0, -1, kKindLogicalMinus},
      {3, 1.0, -1.0, 2.0, kKindLogicalMinus | kKindUpper | kKindBothSides},
      {4, 3.0000000001, 1.0, 0.0, kKindZeroRange | kKindBothSides},
      {5, 0.0, 1.0, -1, kKindFree | kKindInteger},
      {6, 3.0, 1.0, 2.0, kKindInteger | kKindUpper | kKindBothSides},
  };
  for (const Want& w : wants) {
    const int32_t i = o + w.row;
    EXPECT_EQ(s.rhs[i], w.rhs) << w.row;
    EXPECT_EQ(s.a[colBegin(s, i)], w.coef) << w.row;
    const uint32_t formBits = kKindLower | kKindUpper | kKindInteger | kKindLogicalMinus | kKindBinary |
                              kKindFree | kKindFixed | kKindBothSides;
    EXPECT_EQ(s.kind[i] & formBits, w.kind) << w.row;
    if (w.range >= 0)
      EXPECT_EQ(s.up[i], w.range) << w.row;
    else
      EXPECT_EQ(s.up[i], 16777216.0) << w.row;  // infinite range: the placeholder
  }
  EXPECT_EQ(s.kind[o] & (kKindInteger | kKindLogicalMinus), kKindInteger);  // minimizing
}

TEST(InternalForm, MaximizingMarksTheObjectiveLogical) {
  AreaFixture f;
  TestModel t(2);
  t.column(0, 10, {{0, 1.0}, {1, 1.0}}).row(1, -kInf, 4.0);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x, "Maximize Yes");
  EXPECT_EQ(s.kind[s.obj] & (kKindInteger | kKindLogicalMinus), kKindLogicalMinus);
  EXPECT_EQ(x.a[2], -1.0);  // the objective's logical
}

TEST(InternalForm, PlaceholderUpperBounds) {
  AreaFixture f;
  TestModel t(2);
  t.column(-kInf, kInf, {{0, 1.0}, {1, 1.0}}).column(0, kInf, {{1, 1.0}}).column(0, 4, {{1, 1.0}}, 0x2);
  t.row(1, 1.0, kInf);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_EQ(s.up[1], 16777216.0);
  EXPECT_TRUE(s.kind[1] & kKindFree);
  EXPECT_FALSE(s.kind[1] & kKindUpper);
  EXPECT_EQ(s.up[2], 16777216.0);
  EXPECT_FALSE(s.kind[2] & kKindUpper);
  EXPECT_EQ(s.up[3], 4.0);
  EXPECT_TRUE(s.kind[3] & kKindAtUpper);  // a real bound keeps its start mark
  EXPECT_EQ(s.lo[s.obj], -1e200);
  EXPECT_EQ(s.up[s.obj], 1e200);
}

TEST(InternalForm, VariableListGroups) {
  AreaFixture f;
  TestModel t(3);
  t.column(0, 5, {{1, 1.0}})
      .column(0, 1, {{1, 1.0}}, 0x4)
      .column(0, 5, {{2, 1.0}})
      .column(1, 9, {{2, 2.0}}, 0x4)
      .row(1, -kInf, 3)
      .row(2, 2, 2);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  ASSERT_EQ(s.groupSpecialEnd, 2);
  ASSERT_EQ(s.groupColumnsEnd, 4);
  EXPECT_EQ(s.varList[0], 2);
  EXPECT_EQ(s.varList[1], 4);
  EXPECT_EQ(s.varList[2], 1);
  EXPECT_EQ(s.varList[3], 3);
  // Rows: the objective and row 1; the equality's logical (range 0, not
  // basic) lies outside the active part.
  ASSERT_EQ(s.activeVars, 6);
  EXPECT_EQ(s.varList[4], s.obj);
  EXPECT_EQ(s.varList[5], s.obj + 1);
  EXPECT_EQ(s.varList[6], s.obj + 2);
  EXPECT_EQ(s.activeRows, 3);
}

TEST(InternalForm, AllColumnsFreeStartSquare) {
  AreaFixture f;
  TestModel t(3);
  t.column(-kInf, kInf, {{1, 1.0}}).column(-kInf, kInf, {{2, 1.0}}).column(-kInf, kInf, {{2, 1.0}}, 0x2);
  t.row(1, 1, 1).row(2, 2, 2, 0x1);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_EQ(s.workingMask, 0u);
  EXPECT_TRUE(s.kind[1] & kKindBasic);
  EXPECT_TRUE(s.kind[2] & kKindBasic);
  EXPECT_FALSE(s.kind[3] & kKindBasic);
  EXPECT_FALSE(s.kind[s.obj + 2] & kKindBasic);
}

TEST(InternalForm, StartMarksFromStatusWords) {
  AreaFixture f;
  TestModel t(3);
  t.column(0, 5, {{1, 1.0}}, 0x1).column(0, 5, {{2, 1.0}}, 0x2).column(0, 1, {{2, 1.0}}, 0x4 | 0x80);
  t.row(1, -kInf, 3, 0x1).row(2, -kInf, 3);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_TRUE(s.kind[1] & kKindBasic);
  EXPECT_TRUE(s.kind[2] & kKindAtUpper);
  EXPECT_TRUE(s.auxCol[3] & kAuxStartAtOne);
  EXPECT_TRUE(s.kind[s.obj + 1] & kKindBasic);
  EXPECT_TRUE(s.advancedStart);
  EXPECT_TRUE(s.anyStartBasic);
}

TEST(InternalForm, RowDeactivation) {
  auto build = [](TestModel& t, int32_t st) {
    t.column(0, 5, {{1, 1.0}, {2, 1.0}, {3, 1.0}}).row(1, -kInf, 3, st).row(2, -kInf, 3).row(3, -kInf, 3);
  };
  {
    // A mask but no row asking for it: nothing is scheduled.
    AreaFixture f;
    TestModel t(4);
    build(t, 0);
    TestModel::Arrays x;
    ModelStore& s = loadUnscaled(f, t, x, "DEACTIVA c*");
    for (int32_t i = s.obj; i <= s.total; ++i) EXPECT_EQ(s.flags2[i], 0u);
  }
  {
    AreaFixture f;
    TestModel t(4);
    build(t, 0x1000000);
    TestModel::Arrays x;
    ModelStore& s = loadUnscaled(f, t, x);
    EXPECT_EQ(s.flags2[s.obj + 1], kFlag2Deactivate);
    EXPECT_EQ(s.flags2[s.obj + 2], 0u);
  }
  {
    AreaFixture f;
    TestModel t(4);
    build(t, 0x1000000);
    TestModel::Arrays x;
    ModelStore& s = loadUnscaled(f, t, x, "DEACTIVA c3");
    EXPECT_EQ(s.flags2[s.obj + 1], kFlag2Deactivate);
    EXPECT_EQ(s.flags2[s.obj + 2], 0u);
    EXPECT_EQ(s.flags2[s.obj + 3], kFlag2Deactivate | kFlag2MaskMark);
  }
}

TEST(InternalForm, CompactListsMovesRemovedEntriesBehind) {
  AreaFixture f;
  TestModel t(4);
  t.column(0, 5, {{0, 1.0}, {1, 2.0}, {2, 3.0}, {3, 4.0}}).column(0, 5, {{2, 5.0}, {3, 6.0}});
  t.row(1, -kInf, 3).row(2, -kInf, 3).row(3, -kInf, 3);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  // Row 1 and column 2 taken out, as the presolve would.
  s.kind[s.obj + 1] |= kKindRemoved;
  s.kind[2] |= kKindRemoved;
  compactLists(f.area());
  EXPECT_EQ(s.colActiveEnd[1] - colBegin(s, 1), 3);
  for (int32_t p = colBegin(s, 1); p < s.colActiveEnd[1]; ++p) EXPECT_NE(s.rownos[p], 1);
  EXPECT_EQ(s.rownos[colEnd(s, 1) - 1], 1);
  EXPECT_EQ(s.a[colEnd(s, 1) - 1], 2.0);  // value moved with its row number
  // Row 2's row-wise entries: column 2 behind column 1, the logical kept.
  const int32_t r = 2;
  EXPECT_EQ(s.rowActiveEnd[r] - s.rowStart[r], 2);
  EXPECT_EQ(s.rowCol[s.rowStart[r + 1] - 1], 2);
  // The removed row's own logical column has no active entry.
  EXPECT_EQ(s.colActiveEnd[s.obj + 1], colBegin(s, s.obj + 1));
}

TEST(InternalForm, InfeasibleBoundsReported) {
  AreaFixture f;
  TestModel t(3);
  t.column(0, 5, {{1, 1.0}}).row(1, -kInf, 3).row(2, 1.0, kInf);  // row 2 has no entries
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_TRUE(s.loadInfeasible);
  EXPECT_TRUE(s.kind[s.obj + 2] & kKindPossiblyInfeasible);
  EXPECT_FALSE(s.kind[s.obj + 1] & kKindPossiblyInfeasible);
}

TEST(InternalForm, SemiContinuousColumnsRunFromZero) {
  AreaFixture f;
  TestModel t(2);
  t.column(3.0, 8.0, {{0, 1.0}, {1, 1.0}}, 0x8).row(1, -kInf, 9);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  EXPECT_EQ(s.semis, 1);
  EXPECT_EQ(s.lo[1], 0.0);
  EXPECT_EQ(s.up[1], 8.0);
  EXPECT_TRUE(s.kind[1] & kKindLower);
  EXPECT_FALSE(s.kind[1] & kKindMirrored);
  EXPECT_EQ(x.bndmin[0], 3.0);  // the caller's bound is kept
}

}  // namespace
}  // namespace kz::test
