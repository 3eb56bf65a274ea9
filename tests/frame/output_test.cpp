// The line writer's filters and destinations, the message callback, warning
// and error lines, trace lines and the page header.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/area.h"
#include "frame/output.h"
#include "include/kz.h"

namespace {

using kz::ModelArea;

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = KZOSL{};
    b_.size = sizeof b_;
    ASSERT_EQ(KZINIT(&b_, 100, 0, -2, 0), 0);  // a window that keeps lines without echoing
    a_ = kz::lookupArea(b_.area);
    char tmpl[] = "/tmp/kzoutXXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override {
    KZDONE(&b_);
    std::string cmd = "rm -rf " + dir_;
    (void)std::system(cmd.c_str());
  }
  std::vector<std::string> windowSince(int from) {
    std::vector<std::string> v;
    for (int k = from; k < a_->window->heldCount(); ++k) v.push_back(a_->window->heldLine(k));
    return v;
  }
  int held() { return a_->window->heldCount(); }
  void toFile(const std::string& path) {
    ASSERT_EQ(kz::fileOpen(a_->files, kz::kUnitLog, kz::kFileModeCreate, path.c_str()), 0);
    a_->out.destination = kz::kDestFile;
  }
  KZOSL b_{};
  ModelArea* a_ = nullptr;
  std::string dir_;
};

TEST_F(OutputTest, QuietPassesOnlyTraceLines) {
  int from = held();
  a_->out.quiet = 1;
  kz::writeTextLine(*a_, "info", kz::kClassInfo);
  kz::writeTextLine(*a_, "error", kz::kClassError);
  kz::writeTextLine(*a_, "trace", kz::kClassTrace);
  EXPECT_EQ(windowSince(from), std::vector<std::string>{"trace"});
}

TEST_F(OutputTest, MuteStopsTheWindowButNotTheFile) {
  std::string path = dir_ + "/log.txt";
  a_->out.mute = 1;
  int from = held();
  kz::writeTextLine(*a_, "hidden", kz::kClassInfo);
  EXPECT_EQ(held(), from);
  toFile(path);
  kz::writeTextLine(*a_, "to file", kz::kClassInfo);
  kz::closeLogFile(*a_);
  EXPECT_EQ(slurp(path), "to file\n");
}

TEST_F(OutputTest, TrailingBlanksDroppedAndBlankLineIsOneCharacter) {
  std::string path = dir_ + "/log.txt";
  toFile(path);
  kz::writeTextLine(*a_, "abc   ", kz::kClassInfo);
  kz::writeTextLine(*a_, "     ", kz::kClassInfo);
  kz::writeEmptyLine(*a_, kz::kClassInfo);
  kz::writeCharsLine(*a_, "", 0, kz::kClassInfo);
  kz::closeLogFile(*a_);
  EXPECT_EQ(slurp(path), "abc\n \n \n \n");
}

TEST_F(OutputTest, FailedLogWriteReturnsOutputToTheWindow) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full on this machine";
  toFile("/dev/full");
  kz::writeTextLine(*a_, "lost", kz::kClassInfo);
  EXPECT_EQ(a_->out.destination, kz::kDestWindow);
  EXPECT_FALSE(kz::fileIsOpen(a_->files, kz::kUnitLog));
  int from = held();
  kz::writeTextLine(*a_, "back in the window", kz::kClassInfo);
  EXPECT_EQ(windowSince(from), std::vector<std::string>{"back in the window"});
}

TEST_F(OutputTest, LinesFromOtherThreadsNeverReachTheWindow) {
  int from = held();
  std::thread t([&] { kz::writeTextLine(*a_, "from a worker", kz::kClassInfo); });
  t.join();
  EXPECT_EQ(held(), from);
}

TEST_F(OutputTest, SubModelLinesGoThroughTheParentOnlyForFiles) {
  KZOSL cb{};
  cb.size = sizeof cb;
  cb.childMagic = KZ_MAGIC_OPEN;
  ASSERT_EQ(KZINIT(&cb, 50, 0, -3, 0), 0);
  ModelArea* child = kz::lookupArea(cb.area);
  child->out.routing = a_;
  child->out.destination = kz::kDestWindow;
  int from = held();
  kz::writeTextLine(*child, "dropped", kz::kClassInfo);
  EXPECT_EQ(held(), from);
  std::string path = dir_ + "/parent.txt";
  toFile(path);
  child->out.destination = kz::kDestFile;
  kz::writeTextLine(*child, "routed", kz::kClassInfo);
  kz::closeLogFile(*a_);
  EXPECT_EQ(slurp(path), "routed\n");
  child->out.routing = child;
  KZDONE(&cb);
}

struct Seen {
  std::vector<std::pair<int, std::string>> lines;
  int suppressType = -1;
  ModelArea* area = nullptr;
};
Seen* gSeen = nullptr;

void collect(void* rec) {
  auto* r = static_cast<KZMessageRecord*>(rec);
  gSeen->lines.push_back({r->lineClass, r->text});
  EXPECT_EQ(r->inCallback, 1);
  EXPECT_EQ(r->length, static_cast<int16_t>(std::strlen(r->text) + 1));
  if (kz::messageTypeOf(r->lineClass) == gSeen->suppressType) r->length = -1;
  // A line written inside the callback bypasses it.
  if (gSeen->area) kz::writeTextLine(*gSeen->area, "inside", kz::kClassInfo);
}

TEST_F(OutputTest, CallbackSuppressionByType) {
  Seen seen;
  seen.suppressType = 18;  // warnings
  seen.area = a_;
  gSeen = &seen;
  ASSERT_EQ(KZRT2(&b_, collect, nullptr), 0);
  kz::writeTextLine(*a_, "warn one", kz::kClassWarning);
  kz::writeTextLine(*a_, "warn two", kz::kClassWarning);
  kz::writeTextLine(*a_, "info \x01tab\x7f", kz::kClassInfo);
  kz::writeTextLine(*a_, "class zero", 0);
  std::vector<std::pair<int, std::string>> want = {{3002, "warn one"}, {3000, "info tab"}};
  EXPECT_EQ(seen.lines, want);
  EXPECT_EQ(a_->messageRecord.lines, 2);
  EXPECT_TRUE(a_->messageRecord.suppress & (1u << 19));
  gSeen = nullptr;
  KZRT2(&b_, nullptr, nullptr);
}

TEST(MessageTypes, Table) {
  const std::vector<std::pair<int, int>> cases = {{0, -1}, {1, 15}, {2, 12}, {6, 7}, {9, 0}, {16, 8}, {17, 22},
                                                  {3000, 16}, {3002, 18}, {6000, 19}, {6002, 21}, {300, 300 & 0xff}};
  for (auto [cls, type] : cases) EXPECT_EQ(kz::messageTypeOf(cls), type) << cls;
}

TEST_F(OutputTest, WarningAndErrorLines) {
  std::string path = dir_ + "/log.txt";
  toFile(path);
  std::snprintf(a_->cmd, sizeof a_->cmd, "    XROW12    ROW12   1.0");
  a_->reader.lineNumber = 57;
  a_->fnValue = 0;
  kz::warningOrErrorLine(*a_, 20030, "ROW12");
  EXPECT_EQ(a_->fnValue, 0);
  a_->out.quiet = 1;
  a_->reader.lineNumber = 0;
  kz::warningOrErrorLine(*a_, 406, "1.0x");
  EXPECT_EQ(a_->fnValue, 1);
  EXPECT_EQ(a_->out.quiet, 0) << "an error line clears the quiet switch";
  a_->out.warnings = 0;
  kz::warningOrErrorLine(*a_, 20040, "C7");
  kz::closeLogFile(*a_);
  EXPECT_EQ(slurp(path),
            "    XROW12    ROW12   1.0\n? Warning 20030 Line number 57 ROW12\n \n"
            "    XROW12    ROW12   1.0\n?? Error 406 1.0x\n \n");
}

TEST_F(OutputTest, TraceLineCarriesTheElapsedStamp) {
  std::string path = dir_ + "/trace.txt";
  toFile(path);
  kz::startStopwatch(*a_);
  kz::traceLine(*a_, "Entering KZTEST, Rc %d", 2);
  uint64_t now = kz::plat::tickMs();
  const uint64_t back = (3600ull * 2 + 61) * 1000;
  bool canGoBack = now > back;
  if (canGoBack) a_->stopwatch = now - back;
  kz::traceLine(*a_, "Leaving KZTEST");
  kz::closeLogFile(*a_);
  EXPECT_EQ(slurp(path), std::string(" \nEntering KZTEST, Rc 2 00:00:00\n \nLeaving KZTEST ") +
                             (canGoBack ? "02:01:01" : "00:00:00") + "\n");
}

TEST_F(OutputTest, PageHeaderLine) {
  std::string path = dir_ + "/page.txt";
  toFile(path);
  std::snprintf(a_->out.modelFileName, sizeof a_->out.modelFileName, "/data/models/afiro.mps");
  std::snprintf(a_->out.runDate, sizeof a_->out.runDate, "Fri Dec 11 04:53:12 2026");
  a_->out.pageCounter = 0;
  kz::pageHeaderLine(*a_, 60, kz::kClassReport);
  kz::closeLogFile(*a_);
  std::string line = slurp(path);
  ASSERT_FALSE(line.empty());
  line.pop_back();
  EXPECT_EQ(line.size(), 60u);
  EXPECT_EQ(line.substr(0, 11), "File: afiro");
  EXPECT_EQ(line.substr(60 - 7 - 5 - 24, 24), "Fri Dec 11 04:53:12 2026");
  EXPECT_EQ(line.substr(60 - 7), " Page 1");
  EXPECT_EQ(a_->out.pageCounter, 1);
  EXPECT_EQ(a_->out.page[kz::kDestFile].started, 1);
}

TEST_F(OutputTest, WindowKeepsTheLast400Lines) {
  kz::ConsoleWindow w(1, false);
  for (int i = 1; i <= 401; ++i) {
    std::string s = "line " + std::to_string(i);
    w.writeLine(s.c_str(), static_cast<int>(s.size()), false);
  }
  EXPECT_EQ(w.heldCount(), 400);
  EXPECT_EQ(w.heldLine(0), "line 2");
  EXPECT_EQ(w.heldLine(399), "line 401");
  w.writeLine("progress", 8, true);
  EXPECT_EQ(w.heldLine(399), "progress");
  EXPECT_EQ(w.linesWritten(), 401);
  std::string longLine(200, 'x');
  w.writeLine(longLine.c_str(), 200, false);
  EXPECT_EQ(w.heldLine(399).size(), 148u);
  EXPECT_EQ(kz::ConsoleWindow(7, false).caption(), "KZ V16 Rel 65  Message Window - 7");
}

}  // namespace
