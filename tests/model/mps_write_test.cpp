// The MPS writer of TOMPS: the exact file for a small model, mirrored and
// scaled columns written with their loaded values, generated names, the
// increments, the default file name and a write failure.
#include <sys/stat.h>
#include <unistd.h>

#include "model/store_ops.h"
#include "tests/model/mps_support.h"

namespace kz::test {
namespace {

int16_t loadArrays(MpsArea& area, MpsArrays& x) {
  if (x.noqp > 0)
    return KZLOADQP(area.block(), x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(),
                    x.up.data(), x.status.data(), x.names.data(), x.noqp, x.q1.data(), x.q2.data(), x.qv.data());
  return KZLOAD(area.block(), x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(), x.up.data(),
                x.status.data(), x.names.data());
}

TEST(MpsWriter, WritesTheExpectedFile) {
  MpsArea area;
  MpsArrays x(20, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("rows_rhs_ranges.mps")), 0);
  ASSERT_EQ(loadArrays(area, x), 0);
  const std::string path = tempPath("exact.mps");
  ASSERT_EQ(writeMpsFile(area.area(), path.c_str()), 0);
  // Ranged rows are written as L rows whose range gives the lower bound back.
  EXPECT_EQ(slurp(path),
            "NAME 0\n"
            "ROWS\n"
            " N  COST\n"
            " L  LIM1\n"
            " L  LIM2\n"
            " L  EQP\n"
            " L  EQN\n"
            " N  FREE\n"
            " L  LIM3\n"
            "COLUMNS\n"
            "    X1 COST 1 LIM1 1\n"
            "    X1 LIM2 2 EQP 3\n"
            "    X2 COST -1 EQN 1\n"
            "    X2 FREE 4 LIM3 5\n"
            "RHS\n"
            "    RHS       COST -7.5\n"
            "    RHS       LIM1 10\n"
            "    RHS       LIM2 8\n"
            "    RHS       EQP 7\n"
            "    RHS       EQN 5\n"
            "    RHS       LIM3 8\n"
            "RANGES\n"
            "    RANGE     LIM1 4\n"
            "    RANGE     LIM2 5\n"
            "    RANGE     EQP 2\n"
            "    RANGE     EQN 2\n"
            "ENDATA\n");
  unlink(path.c_str());
}

TEST(MpsWriter, MirroredAndScaledColumnsKeepTheirLoadedValues) {
  MpsArea area;
  MpsArrays x(20, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("mirror.mps")), 0);
  const MpsArrays kept = x;
  ASSERT_EQ(loadArrays(area, x), 0);
  // The load-time analysis stored X1 and X2 as -x and changed a in place.
  const ModelStore& s = area.area().store;
  EXPECT_TRUE(s.kind[1] & kKindMirrored);
  EXPECT_TRUE(s.kind[2] & kKindMirrored);
  EXPECT_FALSE(s.kind[3] & kKindMirrored);
  EXPECT_NE(x.a[0], kept.a[0]);
  const std::string path = tempPath("mirror.mps");
  ASSERT_EQ(writeMpsFile(area.area(), path.c_str()), 0);
  const std::string text = slurp(path);
  EXPECT_NE(text.find(" MI BOUND     X1 0\n UP BOUND     X1 5\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" LO BOUND     X2 -10\n UP BOUND     X2 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" FR BOUND     X3 0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("    X1 OBJ 1 C1 3\n    X1 C2 0.1\n"), std::string::npos) << text;
  MpsArea again;
  MpsArrays y(20, 20, 100);
  ASSERT_EQ(y.readFree(again.block(), path), 0);
  ASSERT_EQ(y.nnz, kept.nnz);
  for (int32_t p = 0; p < y.nnz; ++p) EXPECT_EQ(y.a[p], kept.a[p]) << p;
  for (int32_t i = 0; i < y.col + y.row; ++i) {
    EXPECT_EQ(y.lo[i], kept.lo[i]) << i;
    EXPECT_EQ(y.up[i], kept.up[i]) << i;
  }
  unlink(path.c_str());
}

TEST(MpsWriter, IntegerColumnsKeepTheirMarkWithoutFiniteBounds) {
  MpsArea area;
  MpsArrays x(20, 20, 100, 10);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("markers_quad.mps")), 0);
  const MpsArrays kept = x;
  ASSERT_EQ(loadArrays(area, x), 0);
  const std::string path = tempPath("int.mps");
  ASSERT_EQ(writeMpsFile(area.area(), path.c_str()), 0);
  const std::string text = slurp(path);
  EXPECT_NE(text.find("'MARKER'                 'INTORG'\n    Y OBJ 2 C1 1\n    Z OBJ 3\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find(" UI BOUND     Y 5\n"), std::string::npos) << text;
  EXPECT_NE(text.find("QUADOBJ\n    X X 2\n    X Z 0.5\n    X W -1\n    W W 4.5\nENDATA\n"), std::string::npos)
      << text;
  MpsArea again;
  MpsArrays y(20, 20, 100, 10);
  ASSERT_EQ(y.readFree(again.block(), path), 0);
  EXPECT_EQ(std::vector<int32_t>(y.status.begin(), y.status.begin() + y.col),
            std::vector<int32_t>(kept.status.begin(), kept.status.begin() + kept.col));
  EXPECT_EQ(y.canonicalQuadratic(), kept.canonicalQuadratic());
  unlink(path.c_str());
}

TEST(MpsWriter, GeneratedNames) {
  for (const char* option : {"TOMPS S", "Set CNLEN 12"}) {
    SCOPED_TRACE(option);
    MpsArea area;
    ASSERT_EQ(area.clp(option), 0);
    MpsArrays x(20, 20, 100, 0, 12, 8);
    ASSERT_EQ(x.readFree(area.block(), mpsFixture("two_objectives.mps")), 0);
    ASSERT_EQ(loadArrays(area, x), 0);
    const std::string path = tempPath("gen.mps");
    ASSERT_EQ(writeMpsFile(area.area(), path.c_str()), 0);
    MpsArea again;
    MpsArrays y(20, 20, 100);
    ASSERT_EQ(y.readFree(again.block(), path), 0);
    EXPECT_EQ(y.colName(0), "C1");
    EXPECT_EQ(y.colName(1), "C2");
    EXPECT_EQ(y.rowName(0), "R0");
    EXPECT_EQ(y.rowName(2), "R2");
    unlink(path.c_str());
  }
}

TEST(MpsWriter, IncrementsTravelAsTheirOwnRow) {
  MpsArea area;
  std::vector<double> inc(10, 1.0);
  area.area().store.attached.increment = inc.data();
  MpsArrays x(20, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("priorities.mps")), 0);
  const std::vector<double> read = inc;
  ASSERT_EQ(loadArrays(area, x), 0);
  const std::string path = tempPath("inc.mps");
  ASSERT_EQ(writeMpsFile(area.area(), path.c_str()), 0);
  area.area().store.attached = CallerArrays{};
  const std::string text = slurp(path);
  EXPECT_NE(text.find(" N   KZ_INCRE\n"), std::string::npos);
  EXPECT_NE(text.find("    Y         KZ_INCRE   FIBONACCI\n"), std::string::npos) << text;
  MpsArea again;
  std::vector<double> back(10, -3.0);
  again.area().store.attached.increment = back.data();
  MpsArrays y(20, 20, 100);
  ASSERT_EQ(y.readFree(again.block(), path), 0);
  again.area().store.attached = CallerArrays{};
  EXPECT_EQ(y.row, x.row);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(back[j], read[j]) << j;
  unlink(path.c_str());
}

TEST(MpsWriter, DefaultNameIsTheProblemNameInTheModelFolder) {
  char tmpl[] = "/tmp/kzmpswXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  MpsArea area;
  ASSERT_EQ(area.clp("FILENAME " + dir + "/probname.lp"), 0);
  MpsArrays x(20, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("noname.mps")), 0);
  ASSERT_EQ(loadArrays(area, x), 0);
  ASSERT_EQ(writeMpsFile(area.area(), nullptr), 0);
  EXPECT_NE(slurp(dir + "/probname.mps").find("ROWS\n N  OBJ\n L  C1\n"), std::string::npos);
  unlink((dir + "/probname.mps").c_str());
  rmdir(dir.c_str());
}

TEST(MpsWriter, AFileThatCannotBeWrittenWarns) {
  MpsArea area;
  MpsArrays x(20, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("noname.mps")), 0);
  ASSERT_EQ(loadArrays(area, x), 0);
  LineLog& log = area.listen();
  EXPECT_EQ(writeMpsFile(area.area(), "/no/such/folder/out.mps"), 1);
  EXPECT_TRUE(log.has("? Warning 20700 /no/such/folder/out.mps"));
  // The model stays loaded.
  EXPECT_EQ(area.area().irc, 4);
}

}  // namespace
}  // namespace kz::test
