// The MPS reader on small files of its own: every section and bound type,
// the selection names, shortcuts, directives, the library's own rows, the
// fixed format, every error and warning with its printed line, and the
// hash-table sizes.
#include "tests/model/mps_support.h"

#include <unistd.h>

#include <cmath>
#include <map>

#include "model/store_ops.h"

namespace kz::test {
namespace {

constexpr double kInf = 1e23;

struct RowWant {
  std::string name;
  double lo, up;
  int32_t status;
};
struct ColWant {
  std::string name;
  double lo, up;
  int32_t status;
  std::vector<std::pair<int32_t, double>> entries;
};

void expectModel(const MpsArrays& x, const std::vector<RowWant>& rows, const std::vector<ColWant>& cols) {
  ASSERT_EQ(x.row, static_cast<int32_t>(rows.size()));
  ASSERT_EQ(x.col, static_cast<int32_t>(cols.size()));
  int32_t nnz = 0;
  for (int32_t j = 0; j < x.col; ++j) {
    const ColWant& c = cols[static_cast<size_t>(j)];
    EXPECT_EQ(x.colName(j), c.name) << "column " << j;
    EXPECT_EQ(x.lo[j], c.lo) << c.name;
    EXPECT_EQ(x.up[j], c.up) << c.name;
    EXPECT_EQ(x.status[j], c.status) << c.name;
    EXPECT_EQ(x.entries(j), c.entries) << c.name;
    nnz += static_cast<int32_t>(c.entries.size());
  }
  EXPECT_EQ(x.nnz, nnz);
  EXPECT_EQ(x.colptr[0], 0);
  for (int32_t r = 0; r < x.row; ++r) {
    const RowWant& w = rows[static_cast<size_t>(r)];
    EXPECT_EQ(x.rowName(r), w.name) << "row " << r;
    EXPECT_EQ(x.lo[x.col + r], w.lo) << w.name;
    EXPECT_EQ(x.up[x.col + r], w.up) << w.name;
    EXPECT_EQ(x.status[x.col + r], w.status) << w.name;
  }
}

// ---- a table of small files, one per section or feature ----

struct FixtureCase {
  std::string file;
  std::vector<RowWant> rows;
  std::vector<ColWant> cols;
  std::vector<std::tuple<int32_t, int32_t, double>> quadratic;
};

std::vector<FixtureCase> fixtureCases() {
  return {
      {"rows_rhs_ranges.mps",
       {{"COST", -7.5, -7.5, 0},
        {"LIM1", 6, 10, 0},
        {"LIM2", 3, 8, 0},
        {"EQP", 5, 7, 0},
        {"EQN", 3, 5, 0},
        {"FREE", -kInf, kInf, 0},
        {"LIM3", -kInf, 8, 0}},
       {{"X1", 0, kInf, 0, {{0, 1}, {1, 1}, {2, 2}, {3, 3}}}, {"X2", 0, kInf, 0, {{0, -1}, {4, 1}, {5, 4}, {6, 5}}}},
       {}},
      {"bounds_all.mps",
       {{"COST", 0, 0, 0}, {"R1", -kInf, 4, 0}},
       {{"UP1", 0, 4.5, 0, {{1, 1}}},     {"FX1", 2.5, 2.5, 0, {{1, 1}}},   {"LO1", -3, kInf, 0, {{1, 1}}},
        {"FR1", -kInf, kInf, 0, {{1, 1}}}, {"MI1", -kInf, 0, 0, {{1, 1}}},  {"MI2", -kInf, -3, 0, {{1, 1}}},
        {"PL1", -2, kInf, 0, {{1, 1}}},    {"BV1", 0, 1, 4, {{1, 1}}},      {"BV2", 0, 1, 4, {{1, 1}}},
        {"UI1", 0, 7, 4, {{1, 1}}},        {"SC1", 1.5, 9, 8, {{1, 1}}},    {"SD1", 2, kInf, 16, {{1, 1}}},
        {"SD2", 3, kInf, 8, {{1, 1}}},     {"LI1", 2, 16777216, 4, {{1, 1}}}, {"LI2", -1, 8, 4, {{1, 1}}},
        {"NEG", -9, -4, 0, {{1, 1}}},       {"OTHER", 0, 6, 0, {{1, 1}}}},
       {}},
      {"markers_quad.mps",
       {{"OBJ", 0, 0, 0}, {"C1", 1, kInf, 0}},
       {{"X", 0, kInf, 0, {{0, 1}, {1, 1}}},
        {"Y", 0, 5, 4, {{0, 2}, {1, 1}}},
        {"Z", 0, kInf, 4, {{0, 3}}},
        {"W", 0, kInf, 0, {{0, 4}, {1, 1}}}},
       {{0, 0, 2.0}, {0, 3, -1.0}, {3, 3, 4.5}, {2, 0, 0.5}}},
      {"sos.mps",
       {{"OBJ", 0, 0, 0}, {"C1", -kInf, 2, 0}, {"SET1", 0, 1, 0}, {"SET2", 0, 1, 0x80000}},
       {{"X1", 0, kInf, 0, {{0, 1}, {1, 1}, {2, 1}}},
        {"X2", 0, kInf, 0, {{0, 2}, {1, 1}, {3, 1}}},
        {"X3", 0, kInf, 0, {{0, 3}, {2, 1}}},
        {"X4", 0, kInf, 0, {{0, 4}, {1, 1}, {3, 1}}},
        {"X5", 0, kInf, 0, {{0, 5}}}},
       {}},
      {"noname.mps", {{"OBJ", 0, 0, 0}, {"C1", -kInf, 1, 0}}, {{"X", 0, kInf, 0, {{0, 1}, {1, 1}}}}, {}},
      {"two_objectives.mps",
       {{"FIRST", 0, 0, 0}, {"C1", -kInf, 4, 0}, {"SECOND", -kInf, kInf, 0}},
       {{"X", 0, kInf, 0, {{0, 1}, {1, 1}, {2, 2}}}, {"Y", 0, kInf, 0, {{2, 3}, {1, 1}}}},
       {}},
      {"shortcuts.mps",
       {{"OBJ", 0, 0, 0}, {"C1", -kInf, 8, 0}, {"C2", -kInf, 9, 0}},
       {{"X", 0, kInf, 0, {{0, 1}, {1, 2}}},
        {"Y", 0, 10, 0, {{2, 4}, {1, 5}}},
        {"Z", 0, kInf, 0, {{2, 6}, {0, 7}}},
        {"W", 0, kInf, 0, {{2, 8}}}},
       {}},
      {"numbers.mps",
       {{"OBJ", 0, 0, 0}, {"C1", -kInf, 1000, 0}, {"C2", -2, kInf, 0}},
       {{"X", 0, kInf, 0, {{0, 150}, {1, 0.25}}},
        {"Y", 0, kInf, 0, {{0, -0.5}, {1, 0.5}, {2, 7}}},
        {"Z", 0, kInf, 0, {{1, 1e-10}}}},
       {}},
      {"free_layout.mps",
       {{"COST_FUN", 0, 0, 0}, {"CAPACITY", -kInf, 5, 0}, {"LOWER_LI", -7, kInf, 0}},
       {{"X1_UPPER", 0, 4, 0, {{0, -1}, {1, 1}}}, {"X4_MINUS", -kInf, 3, 0, {{0, 1}, {1, 1}, {2, 1}}}},
       {}},
      {"priorities.mps",
       {{"OBJ", 0, 0, 0}, {"C1", -kInf, 4, 0}},
       {{"X", 0, kInf, 4, {{0, 1}, {1, 1}}}, {"Y", 0, kInf, 4, {{0, 1}, {1, 1}}}, {"Z", 0, kInf, 4, {}}},
       {}},
  };
}

class MpsFixtureTable : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(MpsFixtureTable, ReadsTheArraysTheFileDescribes) {
  const FixtureCase& c = GetParam();
  MpsArea area;
  ASSERT_TRUE(area.ok());
  MpsArrays x(20, 30, 200, 20);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture(c.file)), 0) << area.block()->rc;
  EXPECT_EQ(area.block()->rc, 2);
  expectModel(x, c.rows, c.cols);
  EXPECT_EQ(x.noqp, static_cast<int32_t>(c.quadratic.size()));
  for (size_t k = 0; k < c.quadratic.size(); ++k)
    EXPECT_EQ(std::make_tuple(x.q1[k], x.q2[k], x.qv[k]), c.quadratic[k]) << k;
  // The area is ready for KZLOAD, with the names as one block.
  EXPECT_EQ(area.area().fixedNames[0], 1);
  EXPECT_TRUE(area.area().store.fromMps);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MpsFixtureTable, ::testing::ValuesIn(fixtureCases()),
                         [](const auto& info) {
                           std::string n = info.param.file.substr(0, info.param.file.find('.'));
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(MpsReader, TitleFromTheNameLineOrUnname) {
  MpsArea area;
  MpsArrays x(10, 10, 100);
  MpsSummary s;
  MpsRequest q;
  auto read = [&](const std::string& file, MpsFormat f) {
    q = MpsRequest{};
    q.fileName = file.c_str();
    q.format = f;
    q.row = &x.row;
    q.column = &x.col;
    q.nonzero = &x.nnz;
    q.a = x.a.data();
    q.rownos = x.rownos.data();
    q.colptr = x.colptr.data();
    q.bndmin = x.lo.data();
    q.bndmax = x.up.data();
    q.status = x.status.data();
    q.names = x.names.data();
    q.noqp = &x.noqp;
    q.maxrow = x.maxrow;
    q.maxcol = x.maxcol;
    q.maxnon = x.maxnon;
    s = MpsSummary{};
    return readMpsFile(area.area(), q, &s);
  };
  ASSERT_EQ(read(mpsFixture("rows_rhs_ranges.mps"), MpsFormat::kFree), 0);
  EXPECT_STREQ(s.title, "ROWSRHS   extra text");
  ASSERT_EQ(read(mpsFixture("noname.mps"), MpsFormat::kFree), 0);
  EXPECT_STREQ(s.title, "UNNAME");
  area.area().opt.colNameLen = area.area().opt.rowNameLen = 8;
  ASSERT_EQ(read(mpsFixture("fixed_names.mps"), MpsFormat::kFixed), 0);
  EXPECT_STREQ(s.title, "FIXED NAMES WITH BLANKS");
}

TEST(MpsReader, ObjectiveSelectionPicksTheNamedRowAndIsRestored) {
  MpsArea area;
  ASSERT_EQ(area.clp("OBJECTIV SECOND"), 0);
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("two_objectives.mps")), 0);
  expectModel(x, {{"SECOND", 0, 0, 0}, {"FIRST", -kInf, kInf, 0}, {"C1", -kInf, 4, 0}},
              {{"X", 0, kInf, 0, {{1, 1}, {2, 1}, {0, 2}}}, {"Y", 0, kInf, 0, {{0, 3}, {2, 1}}}});
  EXPECT_EQ(std::string(area.area().opt.mpsObjective, 8), "SECOND  ");
  // "?" takes the first N row and is "?" again afterwards.
  ASSERT_EQ(area.clp("OBJECTIV ?"), 0);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("two_objectives.mps")), 0);
  EXPECT_EQ(x.rowName(0), "FIRST");
  EXPECT_EQ(area.area().opt.mpsObjective[0], '?');
}

TEST(MpsReader, SetSelectionReadsOnlyTheNamedSet) {
  MpsArea area;
  ASSERT_EQ(area.clp("RHS OTHER"), 0);
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("rows_rhs_ranges.mps")), 0);
  // Only LIM1 999 of set OTHER; its range 4 then gives [995, 999].
  EXPECT_EQ(x.lo[x.col + 1], 995);
  EXPECT_EQ(x.up[x.col + 1], 999);
  EXPECT_EQ(x.lo[x.col + 0], 0);  // the objective's RHS belongs to set RHS
  EXPECT_EQ(std::string(area.area().opt.mpsRhs, 8), "OTHER   ");
}

TEST(MpsReader, TheObjectivePlaceholderNamedObj) {
  MpsArea area;
  const std::string path = tempPath("obj.mps");
  // A constraint named OBJ ahead of the N row takes the name from row 0.
  writeText(path, "NAME\nROWS\n L  OBJ\n N  COST\nCOLUMNS\n    X  OBJ  1  COST  2\nRHS\n    RHS  OBJ  3\nENDATA\n");
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), path), 0);
  expectModel(x, {{"COST", 0, 0, 0}, {"OBJ", -kInf, 3, 0}}, {{"X", 0, kInf, 0, {{1, 1}, {0, 2}}}});
  // Without an N row the objective is OBJ, without coefficients.
  writeText(path, "ROWS\n L  C1\nCOLUMNS\n    X  C1  1\nENDATA\n");
  ASSERT_EQ(x.readFree(area.block(), path), 0);
  expectModel(x, {{"OBJ", 0, 0, 0}, {"C1", -kInf, 0, 0}}, {{"X", 0, kInf, 0, {{1, 1}}}});
  unlink(path.c_str());
}

TEST(MpsReader, ShortNameLengthsTruncateNames) {
  MpsArea area;
  ASSERT_EQ(area.clp("Set RNLEN 2 Set CNLEN 1"), 0);
  MpsArrays x(10, 10, 100, 0, 1, 2);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("numbers.mps")), 0);
  EXPECT_EQ(x.rowName(0), "OB");
  EXPECT_EQ(x.colName(2), "Z");
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("priorities.mps")), 0);
  EXPECT_EQ(x.row, 2);  // "KZ" is the KZ_INCRE row cut to two characters
}

TEST(MpsReader, ObjsenseSectionSetsTheSense) {
  MpsArea area;
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("objsense.mps")), 0);
  EXPECT_EQ(area.area().opt.maximize, 1);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("objsense_line.mps")), 0);
  EXPECT_EQ(area.area().opt.maximize, 0);
  EXPECT_EQ(x.row, 2);
}

TEST(MpsReader, DirectivesIncludeSubstituteAndPrint) {
  MpsArea area;
  LineLog& log = area.listen();
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("directives.mps")), 0) << area.block()->rc;
  expectModel(x, {{"OBJ", 0, 0, 0}, {"C1", -kInf, 7, 0}, {"C1X", -kInf, 2.5, 0}},
              {{"X", 0, kInf, 0, {{0, 2.5}, {1, 1}}}, {"Y", 0, kInf, 0, {{2, 1}}}});
  EXPECT_TRUE(log.has("Reading the directive fixture"));
  EXPECT_TRUE(log.has("Default value 7"));
}

TEST(MpsReader, PrioritiesAndIncrementsGoToTheAttachedArrays) {
  MpsArea area;
  std::vector<int16_t> prio(10, -5);
  std::vector<double> inc(10, -5.0);
  area.area().store.attached.priority = prio.data();
  area.area().store.attached.increment = inc.data();
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("priorities.mps")), 0);
  EXPECT_EQ(x.row, 2);  // the KZ_INCRE row is not a row
  EXPECT_EQ(prio[0], 12);
  EXPECT_EQ(prio[1], kNoPriority);
  EXPECT_EQ(prio[2], 3);
  EXPECT_EQ(inc[0], 2.5);
  EXPECT_EQ(inc[1], kIncFibonacci);
  EXPECT_EQ(inc[2], kIncPrimes);
  EXPECT_EQ(prio[3], -5);  // no fourth column
  area.area().store.attached = CallerArrays{};
}

TEST(MpsReader, NumbersAreCorrectlyRounded) {
  // Decimal strings whose nearest double a sloppy conversion misses.
  const std::vector<std::string> texts = {"0.1", "1e23", "1.7976931348623157e308",
                                          "9007199254740993", "0.30000000000000004441", "123456789012345678901234",
                                          "1.00000000000000011102230246251565404236316680908203125",
                                          "3.0000000000000001e-12", "7.2057594037927933D16", "-.000001234567890123457"};
  std::string body = "NAME N\nROWS\n N OBJ\nCOLUMNS\n";
  for (size_t k = 0; k < texts.size(); ++k) body += " X" + std::to_string(k) + " OBJ " + texts[k] + "\n";
  body += "ENDATA\n";
  const std::string path = tempPath("round.mps");
  writeText(path, body);
  MpsArea area;
  ASSERT_EQ(area.clp("Set TCTOLERA 0"), 0);  // keep the tiny ones
  MpsArrays x(10, 20, 100);
  ASSERT_EQ(x.readFree(area.block(), path), 0);
  ASSERT_EQ(x.nnz, static_cast<int32_t>(texts.size()));
  for (size_t k = 0; k < texts.size(); ++k) {
    std::string t = texts[k];
    for (char& c : t)
      if (c == 'D') c = 'e';
    EXPECT_EQ(x.a[k], std::strtod(t.c_str(), nullptr)) << texts[k];  // glibc rounds correctly
  }
  unlink(path.c_str());
}

TEST(MpsReader, EuropeanDecimalComma) {
  MpsArea area;
  ASSERT_EQ(area.clp("European Yes"), 0);
  const std::string path = tempPath("comma.mps");
  writeText(path, "NAME X\nROWS\n N OBJ\n L C1\nCOLUMNS\n X OBJ 1,5 C1 2\nRHS\n RHS C1 0,25\nENDATA\n");
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), path), 0);
  EXPECT_EQ(x.a[0], 1.5);
  EXPECT_EQ(x.up[x.col + 1], 0.25);
  unlink(path.c_str());
}

TEST(MpsReader, FixedFormatNamesHoldBlanks) {
  MpsArea area;
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFixed(area.block(), mpsFixture("fixed_names.mps")), 0) << area.block()->rc;
  expectModel(x, {{"COST ROW", 0, 0, 0}, {"ROW A 1", 4, 4, 0}, {"ROW B 2", -kInf, 6, 0}},
              {{"COL 1", -10, kInf, 0, {{0, 1.5}, {1, 2.0}, {2, -1.0}}},
               {"COL 2", 0, -2, 0, {{0, 10}, {2, 3}}}});
  // The same file read as free format is not the same model.
  MpsArrays y(10, 10, 100);
  y.readFree(area.block(), mpsFixture("fixed_names.mps"));
  EXPECT_NE(y.col, 2);
}

// A line of fixed fields: (column, text) pairs.
std::string fixedLine(const std::vector<std::pair<size_t, std::string>>& fields) {
  std::string s;
  for (const auto& [col, text] : fields) {
    if (s.size() < col - 1) s.resize(col - 1, ' ');
    s += text;
  }
  return s + "\n";
}

TEST(MpsReader, FixedFormatQuadraticTermsOnlyThroughTheReader) {
  const std::string path = tempPath("fixedqp.mps");
  writeText(path, "NAME          FQ\nROWS\n" + fixedLine({{2, "N"}, {5, "OBJ"}}) + fixedLine({{2, "L"}, {5, "C 1"}}) +
                      "COLUMNS\n" + fixedLine({{5, "X 1"}, {15, "OBJ"}, {25, "1.0"}, {40, "C 1"}, {50, "1.0"}}) +
                      "RHS\n" + fixedLine({{5, "RHS"}, {15, "C 1"}, {25, "1.0"}}) + "QUADOBJ\n" +
                      fixedLine({{5, "X 1"}, {15, "X 1"}, {25, "2.0"}}) + "ENDATA\n");
  MpsArea area;
  MpsArrays x(10, 10, 100, 4);
  // KZMPSF knows no QUADOBJ section.
  EXPECT_EQ(x.readFixed(area.block(), path), 1);
  EXPECT_EQ(area.block()->rc, kMpsBadLine);
  ASSERT_EQ(area.clp(""), 0);
  ASSERT_EQ(x.readFixedQuadratic(area.area(), path), 0);
  EXPECT_EQ(x.col, 1);
  EXPECT_EQ(x.rowName(1), "C 1");
  EXPECT_EQ(x.noqp, 1);
  EXPECT_EQ(std::make_tuple(x.q1[0], x.q2[0], x.qv[0]), std::make_tuple(0, 0, 2.0));
  unlink(path.c_str());
}

TEST(MpsReader, HashTablesArePrimeSizedFromCapacity) {
  MpsArea area;
  MpsArrays x(100, 300, 1000);
  MpsRequest q;
  q.fileName = nullptr;
  std::string path = mpsFixture("bounds_all.mps");
  q.fileName = path.c_str();
  q.row = &x.row;
  q.column = &x.col;
  q.nonzero = &x.nnz;
  q.a = x.a.data();
  q.rownos = x.rownos.data();
  q.colptr = x.colptr.data();
  q.bndmin = x.lo.data();
  q.bndmax = x.up.data();
  q.status = x.status.data();
  q.names = x.names.data();
  q.noqp = &x.noqp;
  q.maxrow = x.maxrow;
  q.maxcol = x.maxcol;
  q.maxnon = x.maxnon;
  MpsSummary s;
  ASSERT_EQ(readMpsFile(area.area(), q, &s), 0);
  // Ten slots per name of capacity, raised to the next size without an odd divisor.
  EXPECT_EQ(s.rowTable, nameHashSize(1000));
  EXPECT_EQ(s.columnTable, nameHashSize(3000));
  EXPECT_EQ(s.rowTable, 1009);
  EXPECT_EQ(s.columnTable, 3001);
}

// ---- errors: one malformed file each ----

struct ErrorCase {
  std::string file;
  int32_t maxrow, maxcol, maxnon, maxqp;
  int code;
  int line;           // line number the message names (0: none)
  std::string token;  // text after the line number
};

std::string errorLine(int code, int line, const std::string& token) {
  std::string s = "?? Error " + std::to_string(code);
  if (line > 0) s += " Line number " + std::to_string(line);
  return s + " " + token;
}

class MpsErrorTable : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(MpsErrorTable, FailsWithTheCodeAndNamesTheLine) {
  const ErrorCase& c = GetParam();
  MpsArea area;
  LineLog& log = area.listen();
  MpsArrays x(c.maxrow, c.maxcol, c.maxnon, c.maxqp);
  std::string path = c.file.rfind("/", 0) == 0 ? c.file : mpsFixture(c.file);
  EXPECT_EQ(x.readFree(area.block(), path), 1);
  EXPECT_EQ(area.block()->rc, c.code);
  std::string want = errorLine(c.code, c.line, c.token);
  while (!want.empty() && want.back() == ' ') want.pop_back();
  bool found = false;
  for (const auto& l : log.lines) {
    std::string t = l.second;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    if (t == want) {
      found = true;
      EXPECT_EQ(l.first, 6002);
    }
  }
  EXPECT_TRUE(found) << "no line \"" << want << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Errors, MpsErrorTable,
    ::testing::Values(ErrorCase{"rows_rhs_ranges.mps", 3, 10, 100, 0, 301, 7, "EQP"},
                      ErrorCase{"bounds_all.mps", 10, 3, 100, 0, 302, 9, "FR1"},
                      ErrorCase{"numbers.mps", 10, 10, 6, 0, 307, 10, "C1"},
                      ErrorCase{"e330_rows_marker.mps", 10, 10, 100, 0, 330, 4, ""},
                      ErrorCase{"e330_section.mps", 10, 10, 100, 0, 330, 9, "QMATRIX"},
                      ErrorCase{"/no/such/dir/model.mps", 10, 10, 100, 0, 400, 0, "/no/such/dir/model.mps"},
                      ErrorCase{"e400_empty.mps", 10, 10, 100, 0, 400, 0, ""},
                      ErrorCase{"e400_oneline.mps", 10, 10, 100, 0, 400, 1, ""},
                      ErrorCase{"e402_norows.mps", 10, 10, 100, 0, 402, 2, "COLUMNS"},
                      ErrorCase{"e402_eof_columns.mps", 10, 10, 100, 0, 402, 7, ""},
                      ErrorCase{"e402_sos_member.mps", 10, 10, 100, 0, 402, 10, "NOSUCH"},
                      ErrorCase{"e403_sos_twice.mps", 10, 10, 100, 0, 403, 13, "X"},
                      ErrorCase{"e404_row_type.mps", 10, 10, 100, 0, 404, 4, "X"},
                      ErrorCase{"e406_columns.mps", 10, 10, 100, 0, 406, 6, "abc"},
                      ErrorCase{"e406_rhs.mps", 10, 10, 100, 0, 406, 8, "1..0"},
                      ErrorCase{"e406_bounds.mps", 10, 10, 100, 0, 406, 8, "1e"},
                      ErrorCase{"e406_quadobj.mps", 10, 10, 100, 5, 406, 9, "two"},
                      ErrorCase{"e408_bound_type.mps", 10, 10, 100, 0, 408, 8, "XX"},
                      ErrorCase{"e410_split.mps", 10, 10, 100, 0, 410, 8, "X"},
                      ErrorCase{"e412_duplicate.mps", 10, 10, 100, 0, 412, 7, "C1"},
                      ErrorCase{"markers_quad.mps", 10, 10, 100, 2, 440, 20, "W"},
                      ErrorCase{"e499_sos_type.mps", 10, 10, 100, 0, 499, 8, "3"},
                      ErrorCase{"e233_nested.mps", 10, 10, 100, 0, 233, 2, "e233_inner"},
                      ErrorCase{"e233_noname.mps", 10, 10, 100, 0, 233, 4, ""},
                      ErrorCase{"e233_missing.mps", 10, 10, 100, 0, 233, 4, "no_such_file_here"}),
    [](const auto& info) { return "case" + std::to_string(info.index) + "_" + std::to_string(info.param.code); });

TEST(MpsErrors, LongLinesAndTooManySubstitutions) {
  MpsArea area;
  LineLog& log = area.listen();
  MpsArrays x(10, 10, 100);
  const std::string head = "NAME LONG\nROWS\n N OBJ\n L C1\nCOLUMNS\n";
  // A line of 4096 characters, and one far longer.
  std::string path = tempPath("long.mps");
  for (int extra : {4082, 20000}) {
    writeText(path, head + " X OBJ 1 C1 1" + std::string(static_cast<size_t>(extra), ' ') + "9\nENDATA\n");
    log.lines.clear();
    area.clp("");
    EXPECT_EQ(x.readFree(area.block(), path), 1);
    EXPECT_EQ(area.block()->rc, 234);
    EXPECT_TRUE(log.has("?? Error 234 Line number 6 ")) << extra;
  }
  // 4095 characters is still a line: the 9 is a row name without a value.
  writeText(path, head + " X OBJ 1 C1 1" + std::string(4081, ' ') + "9\nENDATA\n");
  log.lines.clear();
  area.clp("");
  EXPECT_EQ(x.readFree(area.block(), path), 0);
  EXPECT_TRUE(log.has("? Warning 20030 Line number 6 9"));
  // A long comment line is no data line.
  writeText(path, head + "*" + std::string(9000, 'c') + "\n X OBJ 1\nENDATA\n");
  EXPECT_EQ(x.readFree(area.block(), path), 0);
  // Substitution growing the line beyond 4095 characters.
  std::string value(200, '1');
  std::string refs;
  for (int k = 0; k < 30; ++k) refs += " &V.";
  writeText(path, "..INPUT V " + value + "\n" + head + " X OBJ 1 C1" + refs + "\nENDATA\n");
  area.clp("");
  EXPECT_EQ(x.readFree(area.block(), path), 1);
  EXPECT_EQ(area.block()->rc, 234);
  // 501 substitutions in one line.
  refs.clear();
  for (int k = 0; k < 501; ++k) refs += "&E.";
  writeText(path, "..INPUT E\n" + head + " X OBJ 1 C1 1" + refs + "\nENDATA\n");
  log.lines.clear();
  area.clp("");
  EXPECT_EQ(x.readFree(area.block(), path), 1);
  EXPECT_EQ(area.block()->rc, 232);
  EXPECT_TRUE(log.has("?? Error 232 Line number 7 &E")) << (log.lines.empty() ? "" : log.lines.back().second);
  // 500 are allowed.
  refs.clear();
  for (int k = 0; k < 500; ++k) refs += "&E.";
  writeText(path, "..INPUT E\n" + head + " X OBJ 1 C1 1" + refs + "\nENDATA\n");
  area.clp("");
  EXPECT_EQ(x.readFree(area.block(), path), 0);
  EXPECT_EQ(x.a[1], 1.0);
  unlink(path.c_str());
}

TEST(MpsErrors, TablesThatDoNotFitTheWorkMemory) {
  MpsArea area(64);  // a pool of 64 K bytes
  ASSERT_TRUE(area.ok());
  MpsArrays x(20000, 20000, 100);
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("noname.mps")), 1);
  EXPECT_EQ(area.block()->rc, 306);
  // The same capacities fit a larger pool.
  MpsArea big(100000);
  EXPECT_EQ(x.readFree(big.block(), mpsFixture("noname.mps")), 0);
}

TEST(MpsErrors, RecordedErrorsLetTheReadGoOn) {
  MpsArea area;
  MpsArrays x(10, 10, 100, 5);
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("e408_bound_type.mps")), 1);
  EXPECT_EQ(x.up[0], 3);  // the UP line after the unknown type was read
  area.clp("");
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("e406_quadobj.mps")), 1);
  EXPECT_EQ(area.block()->rc, 406);
  EXPECT_EQ(x.noqp, 1);
  EXPECT_EQ(std::make_tuple(x.q1[0], x.q2[0], x.qv[0]), std::make_tuple(1, 1, 3.0));
  // More terms than maxqp: all are counted.
  MpsArrays y(10, 10, 100, 2);
  area.clp("");
  EXPECT_EQ(y.readFree(area.block(), mpsFixture("markers_quad.mps")), 1);
  EXPECT_EQ(area.block()->rc, 440);
  EXPECT_EQ(y.noqp, 4);
}

TEST(MpsErrors, NonzeroRoomKeepsOneEntryPerRow) {
  MpsArea area;
  MpsArrays exact(10, 10, 6);
  EXPECT_EQ(exact.readFree(area.block(), mpsFixture("numbers.mps")), 1);
  EXPECT_EQ(area.block()->rc, 307);
  MpsArrays room(10, 10, 9);  // 6 entries and 3 rows
  area.clp("");
  EXPECT_EQ(room.readFree(area.block(), mpsFixture("numbers.mps")), 0);
  // SOS sets need one spare entry per column while they are read: 8
  // entries, 5 spares and 4 rows, though 12 entries and 4 rows remain.
  MpsArrays sosTight(10, 10, 16);
  EXPECT_EQ(sosTight.readFree(area.block(), mpsFixture("sos.mps")), 1);
  EXPECT_EQ(area.block()->rc, 307);
  MpsArrays sosRoom(10, 10, 17);
  area.clp("");
  EXPECT_EQ(sosRoom.readFree(area.block(), mpsFixture("sos.mps")), 0);
}

TEST(MpsErrors, AFailedReadLeavesTheAreaRefusingUntilAnOptionLine) {
  MpsArea area;
  MpsArrays x(10, 10, 100);
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("e412_duplicate.mps")), 1);
  EXPECT_EQ(area.block()->rc, 412);
  // State 412 is outside 2..99: the call does nothing and the code stays.
  x.row = -5;
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("noname.mps")), 1);
  EXPECT_EQ(area.block()->rc, 412);
  EXPECT_EQ(x.row, -5);
  ASSERT_EQ(area.clp(""), 0);
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("noname.mps")), 0);
  EXPECT_EQ(x.row, 2);
}

// ---- warnings ----

TEST(MpsWarnings, EachWarningNamesItsLineAndReadingGoesOn) {
  MpsArea area;
  LineLog& log = area.listen();
  MpsArrays x(10, 10, 100);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("warnings.mps")), 0);
  const std::vector<std::pair<std::string, std::string>> want = {
      {"? Warning 20080 Line number 5 C1", " L  C1"},
      {"? Warning 20030 Line number 8 NOROW", "    X         OBJ       1.0   NOROW     2.0"},
      {"? Warning 20090 Line number 9", "    M1        'MARKER'                 'ODD'"},
      {"? Warning 10004 Line number 12 &NOPE", "    RHS       &NOPE.    1.0   C1        2.0"},
      {"? Warning 20030 Line number 12 &NOPE.", "    RHS       &NOPE.    1.0   C1        2.0"},
      {"? Warning 20001 Line number 14 FREE", "    RNG       FREE      1.0"},
      {"? Warning 20045 Line number 16 NOCOL", " UP BND       NOCOL     1.0"},
      {"? Warning 20100 Line number 17", " UP BND       X         4.0"},
  };
  for (const auto& [line, echo] : want) {
    std::string w = line;
    bool found = false;
    for (size_t i = 1; i < log.lines.size(); ++i) {
      std::string t = log.lines[i].second;
      while (!t.empty() && t.back() == ' ') t.pop_back();
      if (t == w) {
        found = true;
        EXPECT_EQ(log.lines[i].first, 3002);
        EXPECT_EQ(log.lines[i - 1].second, echo);
      }
    }
    EXPECT_TRUE(found) << w;
  }
  EXPECT_EQ(x.up[0], 4);     // the last BOUNDS line counts
  EXPECT_EQ(x.row, 3);       // the duplicate C1 is not a row
  // With WARNINGS off, no warning line.
  ASSERT_EQ(area.clp("WARNINGS No"), 0);
  log.lines.clear();
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("warnings.mps")), 0);
  for (const auto& l : log.lines) EXPECT_EQ(l.second.rfind("? Warning", 0), std::string::npos) << l.second;
}

TEST(MpsWarnings, InputListingLeavesOutTheEcho) {
  MpsArea area;
  area.area().out.inputListing = 1;
  LineLog& log = area.listen();
  MpsArrays x(10, 10, 100);
  EXPECT_EQ(x.readFree(area.block(), mpsFixture("e412_duplicate.mps")), 1);
  // Each input line is listed once as read; the error line follows it.
  EXPECT_EQ(log.before("?? Error 412 Line number 7 C1"), "    X         C1        2.0");
  int echoes = 0;
  for (const auto& l : log.lines) echoes += l.second == "    X         C1        2.0";
  EXPECT_EQ(echoes, 1);
}

TEST(MpsProgress, SectionLinesCarryTheCounts) {
  MpsArea area;
  LineLog& log = area.listen();
  MpsArrays x(20, 30, 200, 20);
  ASSERT_EQ(x.readFree(area.block(), mpsFixture("markers_quad.mps")), 0);
  for (const char* want : {"Reading NAME", "Reading COLUMNS...ROW=2 COLUMN=0 NONZRO=0",
                           "Reading RHS...ROW=2 COLUMN=4 NONZRO=7", "Reading BOUNDS...ROW=2 COLUMN=4 NONZRO=7",
                           "Reading QUADOBJ...MaxQP=20 COLUMN=4 NONZRO=7", "Reading ENDATA"})
    EXPECT_TRUE(log.has(want)) << want;
  EXPECT_TRUE(log.has("Reading file: " + mpsFixture("markers_quad.mps")));
  // After a recorded error the section lines say so.
  log.lines.clear();
  x.readFree(area.block(), mpsFixture("e408_bound_type.mps"));
  EXPECT_TRUE(log.has("Reading ENDATA Error Found"));
}

}  // namespace
}  // namespace kz::test
