// Entering and Leaving trace lines of the entry frame, as a host sees them in
// its log file with Set Debug on.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kz.h"

namespace {

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> v;
  for (std::string l; std::getline(in, l);) v.push_back(l);
  return v;
}

const char* const kStamp = " \\d\\d:\\d\\d:\\d\\d";

TEST(Trace, EnteringAndLeavingLines) {
  char tmpl[] = "/tmp/kztraceXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl, log = dir + "/trace.txt";
  setenv("KZDevelopment", "1", 1);
  KZOSL b{};
  b.size = sizeof b;
  ASSERT_EQ(KZINIT(&b, 300, 0, -3, 0), 0);
  std::string line = "Output " + log + " Set Debug Yes";
  ASSERT_EQ(KZCLP(&b, line.c_str()), 0);
  int32_t calls = b.calls;
  ASSERT_EQ(KZMSG(&b), 0);
  EXPECT_EQ(b.calls, calls);
  ASSERT_EQ(KZDONE(&b), 0);
  unsetenv("KZDevelopment");

  std::vector<std::string> lines = readLines(log);
  std::vector<std::string> want = {
      std::string("Leaving KZCLP, Fnct Value 0 Rc 2 Mem \\d+ ") + kStamp,
      std::string("Entering KZMSG, KZOSL 0x[0-9a-f]+ Rc 2, KZ's Internal rc 2 Mem \\d+ ") + kStamp,
      "KZCLP Function Successful.",
      std::string("Leaving KZMSG, Fnct Value 0 Rc 2 Mem \\d+ ") + kStamp,
      std::string("Entering KZDONE, KZOSL 0x[0-9a-f]+ Rc 2 KZComArea 0x[0-9a-f]+ Cum [0-9.e+-]+ KZ [0-9.e+-]+ Pct \\d+") +
          kStamp,
  };
  // Every trace line is preceded by an empty line (a single blank).
  std::vector<std::string> texts;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == " ") continue;
    if (lines[i].rfind("Entering", 0) == 0 || lines[i].rfind("Leaving", 0) == 0) {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(lines[i - 1], " ") << lines[i];
    }
    texts.push_back(lines[i]);
  }
  ASSERT_EQ(texts.size(), want.size()) << log;
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(std::regex_match(texts[i], std::regex(want[i]))) << texts[i] << "\n  vs " << want[i];
  std::string cmd = "rm -rf '" + dir + "'";
  (void)!std::system(cmd.c_str());
}

TEST(Trace, DebugNeedsTheDevelopmentVariable) {
  unsetenv("KZDevelopment");
  char tmpl[] = "/tmp/kztraceXXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl, log = dir + "/trace.txt";
  KZOSL b{};
  b.size = sizeof b;
  ASSERT_EQ(KZINIT(&b, 300, 0, -3, 0), 0);
  std::string line = "Output " + log + " Set Debug Yes";
  ASSERT_EQ(KZCLP(&b, line.c_str()), 0);
  KZMSG(&b);
  KZDONE(&b);
  std::vector<std::string> lines = readLines(log);
  EXPECT_EQ(lines, std::vector<std::string>{"KZCLP Function Successful."});
  std::string cmd = "rm -rf '" + dir + "'";
  (void)!std::system(cmd.c_str());
}

}  // namespace
