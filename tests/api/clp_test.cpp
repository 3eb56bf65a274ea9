// Option lines as a host sees them: KZCLP and KZGETCLP results, KZMSG texts,
// the settings listing through the message callback, and a log file.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "kz.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool anyContains(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

class ClpHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("KZDevelopment");
    char tmpl[] = "/tmp/kzclphostXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 512, 0, -2, 0), 0);
  }
  void TearDown() override {
    if (b_.magic == KZ_MAGIC_OPEN) KZDONE(&b_);
    cap_.reset();
    unsetenv("KZDevelopment");
    std::string cmd = "rm -rf '" + dir_ + "'";
    (void)!std::system(cmd.c_str());
  }
  Capture& capture() {
    if (!cap_) cap_ = std::make_unique<Capture>(&b_);
    cap_->clear();
    return *cap_;
  }
  KZOSL b_{};
  std::string dir_;
  std::unique_ptr<Capture> cap_;
};

TEST_F(ClpHostTest, OutputFileTakesLaterOutputAndTheMessageOfKzclp) {
  std::string log = dir_ + "/run.log";
  ASSERT_EQ(KZCLP(&b_, ("Output " + log).c_str()), 0);
  EXPECT_EQ(b_.rc, 2);
  ASSERT_EQ(KZMSG(&b_), 0);
  ASSERT_EQ(KZCLP(&b_, "Message `after the message"), 0);
  ASSERT_EQ(KZDONE(&b_), 0);
  EXPECT_EQ(readFile(log), "KZCLP Function Successful.\nafter the message\n");
}

TEST_F(ClpHostTest, OutputPlusAppends) {
  std::string log = dir_ + "/run.txt";
  { std::ofstream(log) << "earlier\n"; }
  ASSERT_EQ(KZCLP(&b_, ("Output +" + log + " Message appended Output CON:").c_str()), 0);
  EXPECT_EQ(readFile(log), "earlier\nappended\n");
  ASSERT_EQ(KZCLP(&b_, ("Output " + dir_ + "/no/such/dir/x.txt").c_str()), 1);
  EXPECT_EQ(b_.rc, 211);
}

struct HostCase {
  const char* line;
  int32_t rc;
  const char* text;
};

TEST_F(ClpHostTest, FailuresReadThroughKzmsg) {
  const HostCase cases[] = {
      {"Solution Maybe", 204, "KZCLP command line parameter value must be NO or YES."},
      {"Set S Yes", 205, "KZCLP misspelled command line parameter."},
      {"Linesize 39", 207, "KZCLP unreasonable command line parameter value."},
      {"Pagesize 24 Tmargins 5", 208, "KZCLP PAGESIZE must be greater the TMARGIN+BMARGIN+20."},
      {"Linesize 40 Lmargins 1", 209, "KZCLP LINESIZE is less than LMARGIN+40."},
      {"Solution", 210, "KZCLP premature end of command line parameter."},
      {"Decimals 9 Fieldsize 10", 214, "KZCLP FIELDSIZE must be greater DECIMALS+1."},
  };
  Capture& cap = capture();
  for (const HostCase& c : cases) {
    EXPECT_EQ(KZCLP(&b_, c.line), 1) << c.line;
    EXPECT_EQ(b_.rc, c.rc) << c.line;
    cap.clear();
    ASSERT_EQ(KZMSG(&b_), 0);
    EXPECT_EQ(cap.texts(), std::vector<std::string>{c.text}) << c.line;
    EXPECT_EQ(KZCLP(&b_, ""), 0);
    EXPECT_EQ(b_.rc, 2);
  }
}

TEST_F(ClpHostTest, EmptyTextAndCounting) {
  int32_t calls = b_.calls;
  EXPECT_EQ(KZCLP(&b_, ""), 0);
  EXPECT_EQ(b_.rc, 2);
  EXPECT_EQ(KZCLP(&b_, "Set Iterations 10"), 0);
  int32_t v = 0;
  EXPECT_EQ(KZGETCLP(&b_, 13, &v), 2);
  EXPECT_EQ(b_.calls, calls + 3);
}

TEST_F(ClpHostTest, KzgetclpCodes) {
  char text[24];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(KZGETCLP(&b_, 99, text), 32767);
  EXPECT_EQ(text[0], '#');
  EXPECT_EQ(KZGETCLP(&b_, -6, const_cast<char*>("A NAME LONGER THAN TWENTY-THREE")), 0);
  EXPECT_EQ(KZGETCLP(&b_, 6, text), 4);
  EXPECT_EQ(std::string(text, 23), "A NAME LONGER THAN TWEN");
  EXPECT_EQ(text[23], '#');
  int32_t choice = 0;
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  EXPECT_EQ(choice, 1) << "Set DualSimplex Yes from KZINIT";
  ASSERT_EQ(KZCLP(&b_, "Set Barrier X"), 0);
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  EXPECT_EQ(choice, 3);
  choice = 0;
  EXPECT_EQ(KZGETCLP(&b_, -13, &choice), 0);
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  EXPECT_EQ(choice, 0);
}

TEST_F(ClpHostTest, CountedTextAndOptionFile) {
  std::string t = "Set Barrier Yes";
  std::string counted = std::string(1, static_cast<char>(t.size() + 2)) + "~" + t + " trailing junk";
  ASSERT_EQ(KZCLP(&b_, counted.c_str()), 0);
  int32_t choice = 0;
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  EXPECT_EQ(choice, 2);
  std::string opts = dir_ + "/host.clp";
  { std::ofstream(opts) << "Set Barrier X\nSolution No\n"; }
  ASSERT_EQ(KZCLP(&b_, opts.c_str()), 0);
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  EXPECT_EQ(choice, 3);
}

TEST_F(ClpHostTest, DefaultsListingReachesTheCallback) {
  Capture& cap = capture();
  ASSERT_EQ(KZCLP(&b_, "Defaults Yes"), 0);
  std::vector<std::string> lines = cap.texts();
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[2], "DEFAULT COMMAND LINE PARAMETERS -");
  EXPECT_TRUE(anyContains(lines, " SOLUTION  YES"));
  EXPECT_TRUE(anyContains(lines, " LINESIZE  96"));
  EXPECT_TRUE(anyContains(lines, "SET  ITERATIO  2147483647"));
  EXPECT_TRUE(anyContains(lines, "SET  INDEXRANGE  -1 -1"));
  EXPECT_TRUE(anyContains(lines, "SET  LUMEMORY  4/3.5"));
  EXPECT_TRUE(anyContains(lines, "LIMITSEARCH NONE"));
}

TEST_F(ClpHostTest, TraceLinesOfKzclpAndKzgetclp) {
  setenv("KZDevelopment", "1", 1);
  ASSERT_EQ(KZCLP(&b_, "Set Debug Yes"), 0);
  Capture& cap = capture();
  ASSERT_EQ(KZCLP(&b_, "Solution Yes"), 0);
  int32_t choice = 0;
  EXPECT_EQ(KZGETCLP(&b_, 13, &choice), 2);
  std::vector<std::string> lines = cap.texts();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Entering KZCLP, KZOSL ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(" data Solution Yes Mem "), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].rfind("Leaving KZCLP, Fnct Value 0 Rc 2 Mem ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("Entering KZGETCLP, Rc 2 code 13 data ", 0), 0u) << lines[2];
  EXPECT_NE(lines[2].find(" 00:00:00"), std::string::npos) << "the Entering line restarts the stopwatch";
  EXPECT_EQ(lines[3].rfind("Leaving KZGETCLP, Fnct Value 0 Rc 2 Value: 1 MEM ", 0), 0u) << lines[3];
  ASSERT_EQ(KZCLP(&b_, "Set Debug No"), 0);
}

}  // namespace
