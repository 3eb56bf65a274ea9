// The option parser from the inside: the failure codes and the order of the
// end-of-line checks, the value forms, the leading token (model files,
// option files, continuation lines) and the keywords with special handling.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frame/area.h"
#include "frame/clp.h"
#include "frame/clp_table.h"
#include "include/kz.h"

namespace {

using kz::ModelArea;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

class ClpParseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("KZDevelopment");
    // The staged listing settings are process-wide: start every test from
    // their initial values, whatever an earlier test in this process left.
    kz::clp::setStagedListInput(0);
    kz::clp::setStagedMatList(1);
    kz::clp::setStagedMpsx(0);
    char tmpl[] = "/tmp/kzclpXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    b_ = KZOSL{};
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 1024, 0, -2, 0), 0);
  }
  void TearDown() override {
    if (b_.magic == KZ_MAGIC_OPEN) KZDONE(&b_);
    unsetenv("KZDevelopment");
    std::string cmd = "rm -rf '" + dir_ + "'";
    (void)!std::system(cmd.c_str());
  }
  ModelArea& area() { return *kz::lookupArea(b_.area); }
  // Applies a line; returns rc.
  int clp(const std::string& line) {
    KZCLP(&b_, line.c_str());
    return b_.rc;
  }
  void resetCode() { KZCLP(&b_, ""); }
  // Parses a line as the buffer holds it (no leading period).
  int parseRaw(const std::string& line) {
    std::snprintf(area().cmd, sizeof area().cmd, "%s", line.c_str());
    area().cmdLast = static_cast<int16_t>(line.size() - 1);
    kz::parseCommandBuffer(area());
    return area().fnValue ? area().irc : 0;
  }
  int heldLines() { return area().window->heldCount(); }
  std::vector<std::string> windowLines(int from) {
    std::vector<std::string> v;
    kz::ConsoleWindow* w = area().window.get();
    for (int k = from; w && k < w->heldCount(); ++k) v.push_back(w->heldLine(k));
    return v;
  }
  std::string path(const char* name) { return dir_ + "/" + name; }
  KZOSL b_{};
  std::string dir_;
};

struct CodeCase {
  std::string line;
  int code;
};

TEST_F(ClpParseTest, EveryFailureHasItsCode) {
  static const char kReadOnly[8192] = "not writable";
  char mem[64];
  std::snprintf(mem, sizeof mem, "Memory 4096@%llu",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(kReadOnly)));
  const CodeCase cases[] = {
      {"Solution Q", 204},
      {"Set Barrier Q", 204},
      {"Nonsense Yes", 205},
      {"Set Nonsense 1", 205},
      {"Set Tolerance Nonsense 1", 205},
      {"Set S Yes", 205},
      {"Linesize 39", 207},
      {"Pagesize 10", 207},
      {"Set Iterations abc", 207},
      {"Presolve +AB", 207},
      {"Set DualSimplex Q", 207},
      {"Pagesize 22 Tmargins 3", 208},
      {"Linesize 40 Lmargins 1", 209},
      {"Solution", 210},
      {"Set", 210},
      {"Set Iterations", 210},
      {"Set Tolerance Primal", 210},
      {"View A", 210},
      {"Set IndexRange 1", 210},
      {"Parametric A^ B 1 2", 210},
      {"Output " + dir_ + "/no/such/dir/log.txt", 211},
      {"Decimals 9 Fieldsize 10", 214},
      {mem, 104},
  };
  for (const CodeCase& c : cases) {
    EXPECT_EQ(KZCLP(&b_, c.line.c_str()), 1) << c.line;
    EXPECT_EQ(b_.rc, c.code) << c.line;
    EXPECT_EQ(area().irc, c.code) << c.line;
    resetCode();
  }
  EXPECT_EQ(area().out.destination, kz::kDestWindow) << "a failed Output falls back to the window";
}

TEST_F(ClpParseTest, EndOfLineChecksReplaceEarlierCodes) {
  const CodeCase cases[] = {
      {"Linesize 40 Lmargins 1 Solution Q", 209},
      {"Pagesize 22 Tmargins 3 Nonsense 1", 208},
      {"Decimals 9 Fieldsize 10 Set Iterations abc", 214},
      {"Pagesize 22 Tmargins 3 Linesize 40 Lmargins 1", 209},
      {"Pagesize 22 Tmargins 3 Decimals 9 Fieldsize 10", 214},
  };
  for (const CodeCase& c : cases) {
    EXPECT_EQ(clp(c.line), c.code) << c.line;
    resetCode();
  }
}

TEST_F(ClpParseTest, SettingsThatFailTheEndOfLineChecksAreNotKept) {
  ASSERT_EQ(clp("Linesize 40 Lmargins 1"), 209);
  EXPECT_EQ(area().out.page[1].lineSize, 96);
  EXPECT_EQ(area().out.page[1].leftMargin, 0);
  ASSERT_EQ(clp("Decimals 9 Fieldsize 10"), 214);
  EXPECT_EQ(area().opt.fieldSize, 11);
  EXPECT_EQ(area().opt.decimals, 5);
  EXPECT_EQ(area().opt.reportField, 115);
  resetCode();
  // The next line is not blamed for them.
  EXPECT_EQ(KZCLP(&b_, "Solution Yes"), 0);
  EXPECT_EQ(b_.rc, 2);
  ASSERT_EQ(clp("Decimals 2 Fieldsize 10"), 2);
  EXPECT_EQ(area().opt.reportField, 102);
}

TEST_F(ClpParseTest, AFailingLineKeepsWhatWasAppliedBeforeTheFailingToken) {
  ASSERT_EQ(clp("Set Iterations 50 Solution No Bogus 1 Set Iterations 60"), 205);
  EXPECT_EQ(area().opt.iterations, 50);
  EXPECT_EQ(area().opt.solution, 0);
  resetCode();
  ASSERT_EQ(clp("Set ReInvert 33 Set ReInvert"), 210);
  EXPECT_EQ(area().opt.reinvert, 33);
}

TEST_F(ClpParseTest, SequenceAndEmptyText) {
  area().irc = 1;
  EXPECT_EQ(KZCLP(&b_, "Solution Yes"), 1);
  EXPECT_EQ(b_.rc, 110);
  area().irc = 0;
  EXPECT_EQ(KZCLP(&b_, "Solution Yes"), 1);
  EXPECT_EQ(b_.rc, 110);
  // An empty text puts the code back to 2, even after a model was loaded.
  area().irc = 4;
  EXPECT_EQ(KZCLP(&b_, ""), 0);
  EXPECT_EQ(b_.rc, 2);
  EXPECT_EQ(KZCLP(&b_, nullptr), 0);
  EXPECT_EQ(b_.rc, 2);
  // A successful line leaves the sequence state alone.
  area().irc = 4;
  EXPECT_EQ(KZCLP(&b_, "Solution Yes"), 0);
  EXPECT_EQ(b_.rc, 4);
}

TEST_F(ClpParseTest, CountedText) {
  std::string t = "Set Barrier Yes";
  std::string counted = std::string(1, static_cast<char>(t.size() + 2)) + "~" + t + "Set Barrier X";
  ASSERT_EQ(KZCLP(&b_, counted.c_str()), 0);
  EXPECT_EQ(area().opt.barrier, 1) << "the count ends the text";
  std::string shortText = std::string(1, static_cast<char>(5)) + "~Set Barrier X";
  EXPECT_EQ(KZCLP(&b_, shortText.c_str()), 1);
  EXPECT_EQ(b_.rc, 210) << "only \"Set\" was counted in";
  // A terminated text whose second character is '~': the count byte does
  // not carry the reading past the terminator (the sanitizer build sees it).
  resetCode();
  char* shortLine = static_cast<char*>(std::malloc(3));
  std::memcpy(shortLine, "\x7f~", 3);
  EXPECT_EQ(KZCLP(&b_, shortLine), 0);
  std::free(shortLine);
}

TEST_F(ClpParseTest, PagingAndLineSize) {
  ASSERT_EQ(clp("Pagesize 0"), 2);
  EXPECT_EQ(area().out.page[1].pageSize, 0);
  ASSERT_EQ(clp("Linesize 120"), 2);
  for (const auto& p : area().out.page) EXPECT_EQ(p.lineSize, 120);
  ASSERT_EQ(clp("Output " + path("p.txt") + " Pagesize 30 Tmargins 2 Bmargins 1 Lmargins 4"), 2);
  EXPECT_EQ(area().out.page[4].pageSize, 30);
  EXPECT_EQ(area().out.page[4].topMargin, 2);
  EXPECT_EQ(area().out.page[4].leftMargin, 4);
  EXPECT_EQ(area().out.page[1].pageSize, 0) << "only the current destination";
  EXPECT_EQ(area().out.page[1].leftMargin, 0);
  ASSERT_EQ(clp("Output CON:"), 2);
}

struct TimeCase {
  const char* value;
  int32_t seconds;
};

TEST_F(ClpParseTest, TimeValues) {
  const TimeCase cases[] = {{"1:30", 90}, {"90", 90}, {"1:00:00", 3600}, {":01", 1}, {"2:", 120}, {"1.5", 1}};
  for (const TimeCase& c : cases) {
    ASSERT_EQ(clp(std::string("StopAfter ") + c.value), 2) << c.value;
    EXPECT_EQ(area().opt.stopAfter, c.seconds) << c.value;
    ASSERT_EQ(clp(std::string("StopUnchanged ") + c.value), 2) << c.value;
    EXPECT_EQ(area().opt.stopUnchanged, c.seconds) << c.value;
  }
  ASSERT_EQ(clp("Set TimeLimit -1"), 2);
  EXPECT_EQ(area().opt.timeLimit, 2000000000);
  ASSERT_EQ(clp("StopNode 0"), 2);
  EXPECT_EQ(area().opt.stopNode, 1);
  EXPECT_EQ(clp("StopAfter 1:x"), 207);
}

struct NumberCase {
  const char* value;
  double expect;
};

TEST_F(ClpParseTest, NumberForms) {
  const NumberCase cases[] = {{"12", 12},    {"-3.5", -3.5},  {"2E3", 2000}, {"2d-2", 0.02},
                              {"1.5D+1", 15}, {"50%", 0.5},    {"+", 1},      {"-", -1},
                              {".25", 0.25},  {"7.", 7},       {"1e-300", 1e-300}};
  for (const NumberCase& c : cases) {
    // (A + or - that ends the line would be a continuation mark.)
    ASSERT_EQ(clp(std::string("Set LBColumn ") + c.value + " Solution Yes"), 2) << c.value;
    EXPECT_DOUBLE_EQ(area().opt.lbColumn, c.expect) << c.value;
  }
  for (const char* bad : {"1.2.3", "e5", "1e", "1,5", "--1", "1e999", "%", "0x10"}) {
    EXPECT_EQ(clp(std::string("Set LBColumn ") + bad), 207) << bad;
    resetCode();
  }
  // The 16-bit rule: a magnitude above 32767 reads as -32000.
  EXPECT_EQ(clp("Set ReInvert 40000"), 207);
  resetCode();
  ASSERT_EQ(clp("Set BVPriority 40000"), 2);
  EXPECT_EQ(area().opt.bvPriority, 16000);
  ASSERT_EQ(clp("Set StickWith 40000"), 2);
  EXPECT_EQ(area().opt.stickWith, 32000);
  // European: comma as the decimal character.
  ASSERT_EQ(clp("European Yes Set LBColumn 1,5"), 2);
  EXPECT_DOUBLE_EQ(area().opt.lbColumn, 1.5);
  EXPECT_EQ(area().out.style.decimal, ',');
  EXPECT_EQ(clp("Set LBColumn 1.5"), 207);
  resetCode();
  ASSERT_EQ(clp("European No"), 2);
  EXPECT_EQ(area().out.style.decimal, '.');
  EXPECT_EQ(area().out.style.thousands, ',');
}

TEST_F(ClpParseTest, OutputToAFileAppendsWithPlusAndReturnsToTheWindow) {
  std::string file = path("run.txt");
  ASSERT_EQ(clp("Output " + file), 2);
  EXPECT_EQ(area().out.destination, kz::kDestFile);
  ASSERT_EQ(clp("Message `first line here"), 2);
  ASSERT_EQ(clp("Output CON:"), 2);
  EXPECT_EQ(area().out.destination, kz::kDestWindow);
  EXPECT_EQ(readFile(file), "first line here\n");
  ASSERT_EQ(clp("Output +" + file + " Message second"), 2);
  ASSERT_EQ(clp("Output CON:"), 2);
  EXPECT_EQ(readFile(file), "first line here\nsecond\n");
  ASSERT_EQ(clp("Output " + file + " Message third"), 2);
  ASSERT_EQ(clp("Output CON:"), 2);
  EXPECT_EQ(readFile(file), "third\n");
  // The default extension, and a quoted name with a blank.
  ASSERT_EQ(clp("Output " + path("noext") + " Message x Output CON:"), 2);
  EXPECT_EQ(readFile(path("noext.prn")), "x\n");
  ASSERT_EQ(clp("Output \"" + path("my log.txt") + "\" Message y Output CON:"), 2);
  EXPECT_EQ(readFile(path("my log.txt")), "y\n");
}

TEST_F(ClpParseTest, WhenAppliesTheRestOfTheLineForTheNamedSolve) {
  int32_t before = area().opt.iterations;
  area().solves = 0;
  ASSERT_EQ(clp("When 2 Set Iterations 50"), 2);
  EXPECT_EQ(area().opt.iterations, before);
  area().solves = 1;
  ASSERT_EQ(clp("When 2 Set Iterations 50"), 2);
  EXPECT_EQ(area().opt.iterations, 50);
  area().solves = 3;
  ASSERT_EQ(clp("When +2 Set Iterations 51"), 2);
  EXPECT_EQ(area().opt.iterations, 51);
  ASSERT_EQ(clp("When -2 Set Iterations 52"), 2);
  EXPECT_EQ(area().opt.iterations, 51);
  area().solves = 0;
  ASSERT_EQ(clp("When -2 Set Iterations 52 Bogus"), 205) << "applied, so its errors count";
  resetCode();
  ASSERT_EQ(clp("When 5 Bogus"), 2) << "skipped, so the line ends normally";
}

struct WordCase {
  const char* line;
  int32_t presolve;
};

TEST_F(ClpParseTest, PresolveBitStrings) {
  const WordCase cases[] = {
      {"Presolve No", 2048},       {"Presolve Yes", 12255},    {"Presolve 101", 5},
      {"Presolve M", 14335},       {"Presolve 0", 2048},       {"Presolve 1.0.1", 5},
      {"Presolve AC", 5},          {"Presolve Yes Presolve +C", 12255 | 4}, {"Presolve Yes Presolve -A", 12254},
      {"Presolve Yes Presolve ??0*", 12255 & ~4}, {"Presolve 11 Presolve 0?", 2},
      {"Set Eliminate O", 0},      {"Set Eliminate No", 2048}, {"Set Eliminate Yes", 12255},
      {"Presolve 1 Presolve 1+C-A", 4},
  };
  for (const WordCase& c : cases) {
    ASSERT_EQ(clp(c.line), 2) << c.line;
    EXPECT_EQ(area().opt.presolve, c.presolve) << c.line;
  }
  ASSERT_EQ(clp("BPresolve Yes MPresolve No"), 2);
  EXPECT_EQ(area().opt.bPresolve, 8447 | 2048);
  EXPECT_EQ(area().opt.mPresolve, 2048);
}

TEST_F(ClpParseTest, BarrierAndSolverChoice) {
  int32_t v = -1;
  ASSERT_EQ(clp("Set Barrier Yes"), 2);
  EXPECT_EQ(area().opt.barrier, 1);
  EXPECT_EQ(KZGETCLP(&b_, 13, &v), 2);
  EXPECT_EQ(v, 2);
  ASSERT_EQ(clp("Set Barrier X"), 2);
  EXPECT_EQ(area().opt.barrier, 2);
  EXPECT_EQ(KZGETCLP(&b_, 13, &v), 2);
  EXPECT_EQ(v, 3);
  ASSERT_EQ(clp("Set Barrier No"), 2);
  EXPECT_EQ(area().opt.barrier, 0);
  EXPECT_EQ(KZGETCLP(&b_, 13, &v), 2);
  EXPECT_EQ(v, 1) << "the DualSimplex mode of KZINIT";
  ASSERT_EQ(clp("Set DualSimplex A"), 2);
  EXPECT_EQ(KZGETCLP(&b_, 13, &v), 2);
  EXPECT_EQ(v, 1) << "any non-zero mode reads as 1";
  v = 3;
  EXPECT_EQ(KZGETCLP(&b_, -13, &v), 0);
  EXPECT_EQ(area().opt.barrier, 3);
  v = 0;
  EXPECT_EQ(KZGETCLP(&b_, -13, &v), 0);
  EXPECT_EQ(area().opt.barrier, 0);
  EXPECT_EQ(area().opt.dualMode, 0);
  ASSERT_EQ(clp("Set DualSimplex Y/N"), 2);
  EXPECT_EQ(area().opt.dualMode, 1);
  EXPECT_EQ(area().opt.dualAllowed, 0);
}

TEST_F(ClpParseTest, DebugAndInputListingNeedKZDevelopment) {
  ASSERT_EQ(clp("Set Debug Yes ListInput Yes"), 2);
  EXPECT_EQ(area().trace, 0);
  EXPECT_EQ(area().out.inputListing, 0);
  setenv("KZDevelopment", "1", 1);
  std::string file = path("trace.txt");
  ASSERT_EQ(clp("Output " + file + " Set Debug Yes"), 2);
  EXPECT_EQ(area().trace, 1);
  EXPECT_EQ(area().opt.kzok, 1) << "the model check comes on with it";
  EXPECT_EQ(area().out.inputListing, 1);
  ASSERT_EQ(clp("Solution Yes"), 2);
  ASSERT_EQ(clp("Set Debug X"), 2);
  ASSERT_EQ(clp("Set Debug No"), 2);
  EXPECT_EQ(area().trace, 4) << "X cannot be taken back";
  area().trace = 0;
  ASSERT_EQ(clp("ListInput No Output CON:"), 2);
  EXPECT_EQ(area().out.inputListing, 0);
  std::string log = readFile(file);
  EXPECT_NE(log.find("KZCLP...>Solution Yes<"), std::string::npos) << log;
  EXPECT_NE(log.find("Entering KZCLP, KZOSL"), std::string::npos) << log;
  EXPECT_NE(log.find("Leaving KZCLP, Fnct Value 0 Rc 2 Mem"), std::string::npos) << log;
}

TEST_F(ClpParseTest, KzgetclpReadsAndWritesWithoutTheParser) {
  kz::Options before = area().opt;
  int32_t calls = b_.calls;
  char sentinel[32];
  std::memset(sentinel, '#', sizeof sentinel);
  EXPECT_EQ(KZGETCLP(&b_, 99, sentinel), 32767);
  EXPECT_EQ(KZGETCLP(&b_, -99, sentinel), 32767);
  EXPECT_EQ(KZGETCLP(&b_, 0, sentinel), 32767);
  EXPECT_EQ(KZGETCLP(&b_, 6, nullptr), 32767);
  EXPECT_TRUE(before == area().opt);
  EXPECT_EQ(b_.calls, calls + 4);

  EXPECT_EQ(KZGETCLP(&b_, -6, const_cast<char*>("ABCDEFGHIJKLMNOPQRSTUVWXYZ")), 0);
  EXPECT_EQ(std::string(area().opt.paramName[0], 23), "ABCDEFGHIJKLMNOPQRSTUVW");
  EXPECT_EQ(KZGETCLP(&b_, -7, const_cast<char*>("ROW1")), 0);
  EXPECT_EQ(std::string(area().opt.paramName[1], 23), "ROW1                   ");
  EXPECT_EQ(KZGETCLP(&b_, 6, sentinel), 4);
  EXPECT_EQ(std::string(sentinel, 23), "ABCDEFGHIJKLMNOPQRSTUVW");
  EXPECT_EQ(sentinel[23], '#') << "exactly 23 characters";

  double d = 2.5;
  EXPECT_EQ(KZGETCLP(&b_, -9, &d), 0);
  d = 0;
  EXPECT_EQ(KZGETCLP(&b_, 9, &d), 3);
  EXPECT_DOUBLE_EQ(d, 2.5);
  int16_t s = -7;
  EXPECT_EQ(KZGETCLP(&b_, -11, &s), 0);
  EXPECT_EQ(area().opt.paramBracket, -7) << "widened to 32 bits";
  s = 0;
  EXPECT_EQ(KZGETCLP(&b_, 11, &s), 1);
  EXPECT_EQ(s, -7);
  EXPECT_EQ(KZGETCLP(&b_, 5, &s), 1);
  EXPECT_EQ(s, area().opt.paramFlags);
  EXPECT_EQ(KZGETCLP(&b_, 4, &s), 1);
  EXPECT_EQ(s, 0);

  KZOSL closed{};
  closed.size = sizeof closed;
  EXPECT_EQ(KZGETCLP(&closed, 4, &s), 32767);
  EXPECT_EQ(closed.rc, 901);
}

TEST_F(ClpParseTest, ParametricNamesAndNumbers) {
  ASSERT_EQ(clp("Parametric ROW1^ COL2 0 10 0.5"), 2);
  const kz::Options& o = area().opt;
  EXPECT_EQ(std::string(o.paramName[0], 4), "ROW1");
  EXPECT_EQ(std::string(o.paramName[1], 4), "COL2");
  EXPECT_EQ(o.paramFlags, 3);
  EXPECT_EQ(o.paramBracket, 0);
  EXPECT_DOUBLE_EQ(o.paramValue[2], 0.5);
  ASSERT_EQ(clp("Parametric (^ COL9) 1 2 3"), 2);
  EXPECT_EQ(o.paramFlags, 2);
  EXPECT_EQ(o.paramBracket, 1);
  ASSERT_EQ(clp("Parametric ONLY 4 5 6 Solution No"), 2);
  EXPECT_EQ(o.paramFlags, 1);
  EXPECT_EQ(o.solution, 0);
  EXPECT_EQ(clp("Parametric A^ B 1 x 3"), 207);
}

TEST_F(ClpParseTest, ModelFileToken) {
  EXPECT_STREQ(area().opt.fileName, "RUNTIME");
  EXPECT_STREQ(area().opt.modelFile, "./RUNTIME.lp");
  ASSERT_EQ(parseRaw(path("model.mps") + " Set Iterations 5"), 0);
  EXPECT_STREQ(area().opt.fileName, "model");
  EXPECT_EQ(area().opt.modelFile, path("model.mps"));
  EXPECT_EQ(area().opt.modelIsMps, 1);
  EXPECT_EQ(area().opt.iterations, 5);
  ASSERT_EQ(clp("Filename \"" + path("my model") + "\""), 2);
  EXPECT_STREQ(area().opt.fileName, "my model");
  EXPECT_EQ(area().opt.modelFile, path("my model.lp"));
  EXPECT_EQ(area().opt.modelIsMps, 0);
  ASSERT_EQ(clp("LTS " + path("data")), 2);
  EXPECT_EQ(area().opt.modelFile, path("data.lts"));
  EXPECT_EQ(area().opt.modelIsLts, 1);
  // A line that names a model file deletes the activity file.
  writeFile(path("act.dat"), "old");
  ASSERT_EQ(clp("Activity " + path("act") + " *ABC *#A"), 2);
  EXPECT_EQ(area().opt.activityMask[0], 7);
  EXPECT_EQ(area().opt.activityMask[1], ((1 << 26) - 1) & ~1);
  EXPECT_EQ(readFile(path("act.dat")), "old") << "no model file named yet";
  ASSERT_EQ(parseRaw(path("m2") + " Solution Yes"), 0);
  EXPECT_FALSE(std::ifstream(path("act.dat")).good());
}

TEST_F(ClpParseTest, OptionFiles) {
  writeFile(path("opts.clp"), "Set Iterations 123\r\nSolution No\nSet Tolerance Primal 1e-6");
  ASSERT_EQ(clp(path("opts.clp") + " Set ReInvert 77"), 2);
  EXPECT_EQ(area().opt.iterations, 123);
  EXPECT_EQ(area().opt.solution, 0);
  EXPECT_DOUBLE_EQ(area().opt.xToZero, 1e-6);
  EXPECT_EQ(area().opt.reinvert, 77);
  // A file in the leading place: its own first token is the model token.
  writeFile(path("lead.clp"), "mymodel.mps\nSet Iterations 9");
  ASSERT_EQ(parseRaw(path("lead.clp")), 0);
  EXPECT_STREQ(area().opt.fileName, "mymodel");
  EXPECT_EQ(area().opt.iterations, 9);
  // A file that names itself does not expand for ever; a missing one fails.
  writeFile(path("self.clp"), path("self.clp"));
  EXPECT_EQ(clp(path("self.clp")), 207);
  resetCode();
  EXPECT_EQ(clp(path("missing.clp")), 207);
  resetCode();
  // A blank buffer reads the default option file; a missing one is no error.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  EXPECT_EQ(parseRaw("   "), 0);
  writeFile("KZ.clp", ". Set Iterations 31");
  EXPECT_EQ(parseRaw("  "), 0);
  EXPECT_EQ(area().opt.iterations, 31);
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(ClpParseTest, ContinuationPromptsOnTheWindowAndEnds) {
  int from = heldLines();
  ASSERT_EQ(clp("Set Iterations 77 +"), 2);
  EXPECT_EQ(area().opt.iterations, 77);
  EXPECT_EQ(windowLines(from), std::vector<std::string>{"Enter Command Line?"});
  // Output to a file: the prompt still goes to the window.
  std::string file = path("c.txt");
  ASSERT_EQ(clp("Output " + file), 2);
  from = heldLines();
  ASSERT_EQ(clp("Solution Yes +"), 2);
  ASSERT_EQ(clp("Output CON:"), 2);
  EXPECT_EQ(windowLines(from), std::vector<std::string>{"Enter Command Line?"});
  EXPECT_EQ(readFile(file).find("Enter Command Line?"), std::string::npos);
  // Nothing but continuations: two empty answers end the line.
  from = heldLines();
  EXPECT_EQ(parseRaw("+"), 0);
  EXPECT_EQ(windowLines(from).size(), 2u);
}

TEST_F(ClpParseTest, ClpEnvirInsertsTheVariable) {
  setenv("KZ_CLP_TEST_VAR", "Set Iterations 4321", 1);
  ASSERT_EQ(clp("ClpEnvir KZ_CLP_TEST_VAR Solution No"), 2);
  EXPECT_EQ(area().opt.iterations, 4321);
  EXPECT_EQ(area().opt.solution, 0);
  setenv("KZCLPUPPERVAR", "Set ReInvert 9", 1);
  ASSERT_EQ(clp("ClpEnvir kzclpuppervar"), 2);
  EXPECT_EQ(area().opt.reinvert, 9);
  ASSERT_EQ(clp("ClpEnvir KZ_CLP_NOT_SET_ANYWHERE"), 2);
  setenv("KZ_CLP_SELF", "ClpEnvir KZ_CLP_SELF", 1);
  EXPECT_EQ(clp("ClpEnvir KZ_CLP_SELF"), 207) << "an expansion that does not fit the buffer";
  unsetenv("KZ_CLP_TEST_VAR");
  unsetenv("KZCLPUPPERVAR");
  unsetenv("KZ_CLP_SELF");
}

TEST_F(ClpParseTest, MessageIsWrittenEvenWhenQuiet) {
  area().out.quiet = 1;
  int from = heldLines();
  ASSERT_EQ(clp("Message hello Message `two words here"), 2);
  EXPECT_EQ(windowLines(from), (std::vector<std::string>{"hello", "two words here"}));
  EXPECT_EQ(area().out.quiet, 1);
  ASSERT_EQ(clp("Warnings Yes"), 2);
  EXPECT_EQ(area().out.quiet, 0) << "WARNINGS clears the quiet switch";
  from = heldLines();
  ASSERT_EQ(clp("Configu No"), 2);
  EXPECT_EQ(windowLines(from), std::vector<std::string>{"Switch error:"});
}

struct StrategyCase {
  const char* value;
  int16_t number;
  uint16_t flags;
  char node, branch;
};

TEST_F(ClpParseTest, StrategyNumbersAndLetters) {
  using namespace kz;
  const StrategyCase cases[] = {
      {"1", 1, 0, ' ', ' '},
      {"1601", 1, 0, ' ', 'P'},
      {"905", 1, kStrategyA, 'D', ' '},
      {"5", 1, kStrategyA, ' ', ' '},
      {"302", 2, kStrategyA | kStrategyB, ' ', ' '},
      {"2B", 2, kStrategyA | kStrategyB, ' ', ' '},
      {"3BA", 3, kStrategyA, ' ', ' '},
      {"4CFJG", 4, kStrategyA | kStrategyF | kStrategyJ, 'G', ' '},
      {"1xX", 1, kStrategyX, ' ', ' '},
      {"1X", 1, 0, ' ', ' '},
  };
  for (const StrategyCase& c : cases) {
    ASSERT_EQ(clp(std::string("Strategy ") + c.value), 2) << c.value;
    EXPECT_EQ(area().opt.strategy, c.number) << c.value;
    EXPECT_EQ(area().opt.strategyFlags, c.flags) << c.value;
    EXPECT_EQ(area().opt.strategyNode, c.node) << c.value;
    EXPECT_EQ(area().opt.strategyBranch, c.branch) << c.value;
  }
  ASSERT_EQ(clp("Strategy 3"), 2);
  ASSERT_EQ(clp("Strategy H12(StopAfter 5) Solution No"), 2);
  EXPECT_EQ(area().opt.strategy, 3) << "H keeps the number";
  EXPECT_EQ(area().opt.strategySubCount, 12);
  EXPECT_STREQ(area().opt.strategySubList, "StopAfter 5");
  EXPECT_EQ(area().opt.solution, 0);
  ASSERT_EQ(clp("Strategy H"), 2);
  EXPECT_EQ(area().opt.strategySubCount, 40);
  EXPECT_EQ(clp("Strategy 0"), 207);
  resetCode();
  ASSERT_EQ(clp("Strategy 100"), 2);
  EXPECT_EQ(area().opt.strategy, 100);
}

TEST_F(ClpParseTest, LimitSearchForms) {
  const kz::Options& o = area().opt;
  ASSERT_EQ(clp("LimitSearch 10"), 2);
  EXPECT_EQ(o.limitMode, 2);
  EXPECT_DOUBLE_EQ(o.limitLow, 10);
  ASSERT_EQ(clp("LimitSearch 5%"), 2);
  EXPECT_EQ(o.limitMode, 3);
  EXPECT_DOUBLE_EQ(o.limitLow, 0.05);
  ASSERT_EQ(clp("LimitSearch 1/2"), 2);
  EXPECT_EQ(o.limitMode, 2);
  EXPECT_DOUBLE_EQ(o.limitHigh, 2);
  ASSERT_EQ(clp("LimitSearch /N"), 2);
  EXPECT_DOUBLE_EQ(o.limitHigh, 1e200);
  ASSERT_EQ(clp("LimitSearch /7 LimitSearch (0.5)"), 2);
  EXPECT_DOUBLE_EQ(o.limitHigh, 7);
  EXPECT_DOUBLE_EQ(o.limitBracket, 0.5);
  ASSERT_EQ(clp("LimitSearch None"), 2);
  EXPECT_EQ(o.limitMode, 1);
  EXPECT_EQ(clp("LimitSearch 1/x"), 207);
}

TEST_F(ClpParseTest, BasisForms) {
  const kz::Options& o = area().opt;
  EXPECT_EQ(o.basisCount, 10);
  ASSERT_EQ(clp("Basis +3 Basis .2"), 2);
  EXPECT_EQ(o.basisCount, 3);
  EXPECT_EQ(o.basisNameCount, 0) << "base 2 exists";
  ASSERT_EQ(clp("Basis .final"), 2);
  EXPECT_EQ(o.basisNameCount, 1);
  EXPECT_STREQ(o.basisCurrent, "final   ");
  ASSERT_EQ(clp("Basis .final Basis " + path("b.bas")), 2);
  EXPECT_EQ(o.basisNameCount, 1);
  EXPECT_EQ(o.basisFile, path("b.bas"));
}

TEST_F(ClpParseTest, StagedListingSettings) {
  ASSERT_EQ(clp("MatList E"), 2);
  EXPECT_EQ(area().opt.matList, 2);
  ASSERT_EQ(clp("MatList BFR MpsxSolution Yes"), 2);
  EXPECT_EQ(area().opt.matList, 14);
  EXPECT_EQ(area().opt.mpsxSolution, 1);
  EXPECT_EQ(clp("MatList Q"), 207);
  resetCode();
  // Without a library window and without a file the three are off.
  KZOSL other{};
  other.size = sizeof other;
  ASSERT_EQ(KZINIT(&other, 256, 0, -3, 0), 0);
  ModelArea& b = *kz::lookupArea(other.area);
  EXPECT_EQ(b.opt.matList, 1);
  EXPECT_EQ(b.opt.mpsxSolution, 0);
  ASSERT_EQ(KZCLP(&other, "MatList C"), 0);
  EXPECT_EQ(b.opt.matList, 1);
  KZDONE(&other);
  // The staged values are still there for an area that may take them.
  ASSERT_EQ(clp("Solution Yes"), 2);
  EXPECT_EQ(area().opt.matList, 4);
  ASSERT_EQ(clp("MatList N MpsxSolution No"), 2);
}

TEST_F(ClpParseTest, MuteSwitches) {
  ModelArea& a = area();
  ASSERT_EQ(clp("Mute Yes"), 2);
  EXPECT_EQ(a.out.quiet, 1);
  EXPECT_EQ(a.out.warnings, 0);
  EXPECT_EQ(a.opt.solution, 0);
  EXPECT_EQ(a.opt.constraints, 0);
  EXPECT_EQ(a.opt.freqLogMode, 0);
  ASSERT_EQ(clp("Set FreqLog 0"), 2);
  EXPECT_EQ(a.out.quiet, 1) << "a log that is off does not lift the quiet switch";
  ASSERT_EQ(clp("Set FreqLog 10"), 2);
  EXPECT_EQ(a.out.quiet, 0);
  EXPECT_EQ(a.opt.freqLogMode, 10);
  EXPECT_EQ(a.opt.freqLogInterval, 0);
  ASSERT_EQ(clp("Mute S"), 2);
  EXPECT_EQ(a.out.mute, 1);
  ASSERT_EQ(clp("Mute No"), 2);
  EXPECT_EQ(a.out.mute, 0);
  EXPECT_EQ(a.out.quiet, 0);
  EXPECT_EQ(a.out.warnings, 1);
  ASSERT_EQ(clp("Set FreqLog -0:05"), 2);
  EXPECT_EQ(a.opt.freqLogMode, -1);
  EXPECT_EQ(a.opt.freqLogInterval, 5);
  ASSERT_EQ(clp("Set FreqLog +:02"), 2);
  EXPECT_EQ(a.opt.freqLogMode, 1);
  EXPECT_EQ(a.opt.freqLogInterval, 2);
  EXPECT_EQ(clp("Mute Q"), 204);
}

TEST_F(ClpParseTest, PerturbationSignIsTakenOnce) {
  ModelArea& a = area();
  ASSERT_EQ(clp("Set Perturb -5"), 2);
  EXPECT_DOUBLE_EQ(a.opt.perturb, 5);
  EXPECT_EQ(a.opt.perturbSign, 0);
  EXPECT_EQ(a.opt.perturbNonZero, 1);
  ASSERT_EQ(clp("Solution Yes"), 2);
  EXPECT_EQ(a.opt.perturbSign, 0) << "a later line does not turn the sign";
  ASSERT_EQ(clp("Set Perturb 3"), 2);
  EXPECT_EQ(a.opt.perturbSign, 1);
  ASSERT_EQ(clp("Set Perturb 0"), 2);
  EXPECT_EQ(a.opt.perturbNonZero, 0);
}

struct SetCase {
  const char* line;
  double (*get)(const kz::Options&);
  double expect;
};

TEST_F(ClpParseTest, SetRulesAfterTheRangeCheck) {
  const SetCase cases[] = {
      {"Set Columns 0", [](const kz::Options& o) { return double(o.maxColumns); }, 2000000000},
      {"Set Columns 5e9", [](const kz::Options& o) { return double(o.maxColumns); }, 2000000000},
      {"Set Columns 10", [](const kz::Options& o) { return double(o.maxColumns); }, 10},
      {"Set Rows 10", [](const kz::Options& o) { return double(o.maxRows); }, 13},
      {"Set Rows -3", [](const kz::Options& o) { return double(o.maxRows); }, 2000000003},
      {"Set Markowitz 4", [](const kz::Options& o) { return o.markowitz; }, 0.25},
      {"Set Markowitz 0.9999", [](const kz::Options& o) { return o.markowitz; }, 0.999},
      {"Set YPivot -1e-9", [](const kz::Options& o) { return o.yPivot; }, 1e-9},
      {"Set ReducedCost 1e-6", [](const kz::Options& o) { return o.reducedCost; }, -1e-6},
      {"Set Tolerance Dual 1e-5", [](const kz::Options& o) { return o.reducedCost; }, -1e-5},
      {"Set Tolerance Dual D", [](const kz::Options& o) { return o.reducedCost; }, -1e-7},
      {"Set Tolerance Primal 1e-6 Set Tolerance Primal D", [](const kz::Options& o) { return o.xToZero; }, 1e-8},
      {"Set PartialPricing 0.5", [](const kz::Options& o) { return o.partialPricing; }, 50},
      {"Set IntPct 5", [](const kz::Options& o) { return o.intPct; }, 0.05},
      {"Set ObjWgt 50", [](const kz::Options& o) { return o.objWeight; }, 0.5},
      {"MipFixed 0.5", [](const kz::Options& o) { return o.mipFixed; }, 0.5},
      {"MipFixed 30", [](const kz::Options& o) { return o.mipFixed; }, 0.3},
      {"ExtraMem 0", [](const kz::Options& o) { return double(o.extraMem); }, 0},
      {"ExtraMem 2", [](const kz::Options& o) { return double(o.extraMem); }, 2097151},
      {"Set IBounds 7.9", [](const kz::Options& o) { return o.iBounds; }, 7},
      {"Set IBounds 1e20", [](const kz::Options& o) { return o.iBounds; }, 9.00719925474e15},
      {"Set CbFrequency 1.5", [](const kz::Options& o) { return double(o.cbFrequencyMs); }, 1500},
      {"Set LuMemory 1/6", [](const kz::Options& o) { return o.luFactor[0]; }, 4},
      {"Set LuMemory 1/6", [](const kz::Options& o) { return o.luFactor[1]; }, 6},
      {"Set LuMemory 5", [](const kz::Options& o) { return o.luFactor[1]; }, 5},
      {"Set UbBound 1e9", [](const kz::Options& o) { return o.ubBound; }, 16777216},
      {"Set UbBound 1e-9", [](const kz::Options& o) { return o.ubBound; }, 0},
      {"Set HashLength 0", [](const kz::Options& o) { return double(o.hashLength); }, 3},
      {"Set MPrice -4", [](const kz::Options& o) { return double(o.mPrice); }, 0},
      {"Set DepthWidth 0", [](const kz::Options& o) { return double(o.depthWidth); }, 2100000000},
      {"Set MaxCpu 0", [](const kz::Options& o) { return double(o.maxCpu); }, 0},  // replaced below
      {"Set SimSolve Yes", [](const kz::Options& o) { return double(o.simSolve); }, 2147483647},
      {"Alternate Yes", [](const kz::Options& o) { return double(o.alternates); }, 32767},
      {"KnapReduce Yes", [](const kz::Options& o) { return double(o.knapsack); }, 15},
      {"Set PartSolve C(1 2)", [](const kz::Options& o) { return double(o.partSolve); }, 4},
      {"Set SolveDual R", [](const kz::Options& o) { return double(o.solveDual); }, 3},
      {"Set Scale 3o", [](const kz::Options& o) { return double(o.scaleFlag); }, 1},
      {"Set Scale Yes", [](const kz::Options& o) { return double(o.scaleFlag); }, 0},
      {"Conflict B Force I", [](const kz::Options& o) { return double(o.conflict); }, 1},
      {"MultiSolver D(Set MaxCpu 2)", [](const kz::Options& o) { return double(o.multiSolver); }, 3},
      {"Priority ABR", [](const kz::Options& o) { return double(o.priority); }, 11},
      {"OneKeyLp Yes", [](const kz::Options& o) { return double(o.polling); }, 0},
      {"Comments NO", [](const kz::Options& o) { return double(o.commentChar); }, 1},
      {"Set TcTolerance 0", [](const kz::Options& o) { return o.tcTolerance; }, kz::defaultTranEntry() * kz::defaultTranEntry()},
  };
  for (const SetCase& c : cases) {
    ASSERT_EQ(clp(c.line), 2) << c.line;
    double expect = c.expect;
    if (std::strcmp(c.line, "Set MaxCpu 0") == 0) expect = area().opt.systemProcessors;
    EXPECT_DOUBLE_EQ(c.get(area().opt), expect) << c.line;
  }
  EXPECT_STREQ(area().opt.partSolveList, "1 2");
  EXPECT_STREQ(area().opt.multiSolverList, "Set MaxCpu 2");
  ASSERT_EQ(clp("Set PartSolve Y Set MaxCpu 4 Set CmprsName ' ' Delimiter ;"), 2);
  EXPECT_STREQ(area().opt.partSolveList, "") << "no list clears it";
  EXPECT_EQ(area().opt.runner, 0) << "two or more processors clear the runner";
  EXPECT_EQ(area().out.compressChar, ' ');
  EXPECT_EQ(area().opt.delimiter, ';');
  ASSERT_EQ(clp("Set CmprsName '_' Set Runner Yes"), 2);
  EXPECT_EQ(area().out.compressChar, '_');
  EXPECT_EQ(area().opt.runner, 1);
  EXPECT_EQ(clp("Set SolveDual Q"), 207);
}

TEST_F(ClpParseTest, SetResetReturnsTheAreaButKeepsTheSettings) {
  ModelArea& a = area();
  ASSERT_EQ(clp("Set Iterations 99"), 2);
  int64_t emptyFree = a.pool.freeBytes;
  ASSERT_NE(kz::poolOp(a.pool, kz::kPoolAllocate, 4096), nullptr);
  a.irc = 4;
  a.flags = 0xFFFFFFFFu;
  a.indexBase[0] = 7;
  ASSERT_EQ(KZCLP(&b_, "Set Reset No"), 0);
  EXPECT_EQ(b_.rc, 4);
  ASSERT_EQ(KZCLP(&b_, "Set Reset Yes"), 0);
  EXPECT_EQ(b_.rc, 2);
  EXPECT_EQ(a.flags, 0x4000u | 0x10000u | 0x40000u | 0x100000u | 0x200000u | 0x400000u);
  EXPECT_EQ(a.indexBase[0], a.indexBase[1]);
  EXPECT_EQ(a.pool.freeBytes, emptyFree);
  EXPECT_EQ(a.opt.iterations, 99);
}

TEST_F(ClpParseTest, MemoryMakesAndDropsThePool) {
  ModelArea& a = area();
  ASSERT_EQ(clp("Memory 2"), 2);
  EXPECT_EQ(a.pool.sizeK, 2048);
  EXPECT_GT(a.pool.freeBytes, 2000000);
  ASSERT_NE(kz::poolOp(a.pool, kz::kPoolAllocate, 100), nullptr);
  ASSERT_EQ(clp("Memory 2"), 2);
  EXPECT_EQ(a.pool.keep, 1) << "the same size keeps the pool";
  ASSERT_EQ(clp("Memory 0"), 2);
  EXPECT_EQ(a.pool.freeBytes, -1);
  EXPECT_EQ(kz::poolOp(a.pool, kz::kPoolAllocate, 8), nullptr);
  ASSERT_EQ(clp("Memory 1"), 2);
  EXPECT_EQ(a.pool.sizeK, 1024);
  alignas(16) static char block[65536];
  char line[80];
  std::snprintf(line, sizeof line, "Memory 65536@%llu",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
  ASSERT_EQ(clp(line), 2);
  EXPECT_EQ(a.pool.sizeK, 64);
  EXPECT_GE(a.pool.base, block);
  EXPECT_LT(a.pool.base, block + sizeof block);
  ASSERT_EQ(clp("Memory 1"), 2);
  EXPECT_EQ(clp("Memory -1"), 207);
}

}  // namespace
