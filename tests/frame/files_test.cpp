// The file layer: units, buffering, line reading and file names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "frame/files.h"

namespace kz {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kzfilesXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ft_ = std::make_unique<FileTable>();
  }
  void TearDown() override {
    fileCloseAll(*ft_);
    std::filesystem::remove_all(dir_);
  }
  std::string path(const char* leaf) const { return dir_ + "/" + leaf; }
  static std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void spit(const std::string& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
  }
  static long sizeOf(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
  }

  std::string dir_;
  std::unique_ptr<FileTable> ft_;  // about 30 KB: keep it off the stack
};

TEST_F(FilesTest, WriteLinesThenReadThemBack) {
  const std::string p = path("log.txt");
  ASSERT_EQ(fileOpen(*ft_, 4, kFileModeCreate, p.c_str()), 0);
  EXPECT_TRUE(fileIsOpen(*ft_, 4));
  EXPECT_EQ(std::string(fileName(*ft_, 4)), p);
  int16_t fn = 0;
  EXPECT_EQ(fileWrite(*ft_, 4, "hello", 5, &fn), 0);
  EXPECT_EQ(fileWrite(*ft_, 4, "", 0, &fn), 0);
  EXPECT_EQ(fileWrite(*ft_, 4, "world", 5, &fn), 0);
  EXPECT_EQ(fn, 0);
  // Unbuffered records are on disk at once.
  EXPECT_EQ(slurp(p), "hello\n\nworld\n");
  EXPECT_EQ(ft_->unit[4].bytesWritten, 13);
  EXPECT_EQ(fileClose(*ft_, 4), 0);
  EXPECT_FALSE(fileIsOpen(*ft_, 4));

  ASSERT_EQ(fileOpen(*ft_, 1, kFileModeRead, p.c_str()), 0);
  char buf[64];
  int len = -1;
  EXPECT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 0);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(len, 5);
  EXPECT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 0);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 0);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(fn, 0);
  EXPECT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 1);
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(ft_->unit[1].bytesRead, 13);
}

TEST_F(FilesTest, AppendCreatesThenAddsAtTheEnd) {
  const std::string p = path("app.txt");
  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeAppend, p.c_str()), 0);
  ASSERT_EQ(fileWrite(*ft_, 2, "a", 1, nullptr), 0);
  ASSERT_EQ(fileClose(*ft_, 2), 0);
  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeAppend, nullptr), 0);  // the stored name
  ASSERT_EQ(fileWrite(*ft_, 2, "b", 1, nullptr), 0);
  ASSERT_EQ(fileClose(*ft_, 2), 0);

  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeRead, nullptr), 0);
  char buf[8] = {};
  int16_t fn = 0;
  EXPECT_EQ(fileRead(*ft_, 2, buf, 4, &fn), 0);
  EXPECT_EQ(std::string(buf, 4), "a\nb\n");
  EXPECT_EQ(fileRead(*ft_, 2, buf, 1, &fn), 1);
  EXPECT_EQ(fn, 1);
}

TEST_F(FilesTest, BlockBufferingWritesWholeBlocks) {
  const std::string p = path("work.bin");
  std::vector<char> data(9000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  ASSERT_EQ(fileOpen(*ft_, 2, kFileBlockBuffered + kFileModeCreate, p.c_str()), 0);
  for (int c = 0; c < 3; ++c) {
    ASSERT_EQ(fileWrite(*ft_, 2, data.data() + 3000 * c, 3000, nullptr), 0);
  }
  EXPECT_EQ(sizeOf(p), 2 * kFileBlock);  // 808 bytes still in the buffer
  ASSERT_EQ(fileClose(*ft_, 2), 0);
  EXPECT_EQ(sizeOf(p), 9000);  // no line ends in a block-buffered file

  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeRead, p.c_str()), 0);
  std::vector<char> back(9000);
  int16_t fn = 0;
  for (int off = 0; off < 9000; off += 1000) {
    ASSERT_EQ(fileRead(*ft_, 2, back.data() + off, 1000, &fn), 0);
  }
  EXPECT_EQ(back, data);
  EXPECT_EQ(fileRead(*ft_, 2, back.data(), 1, &fn), 1);
  EXPECT_EQ(fn, 1);

  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeRead, p.c_str()), 0);
  char ten[10];
  ASSERT_EQ(fileSkip(*ft_, 2, 5000, &fn), 0);
  ASSERT_EQ(fileRead(*ft_, 2, ten, 10, &fn), 0);
  EXPECT_EQ(std::string(ten, 10), std::string(data.data() + 5000, 10));
  fn = 0;
  EXPECT_EQ(fileSkip(*ft_, 2, 4000, &fn), 1);  // only 3990 left
  EXPECT_EQ(fn, 1);
}

TEST_F(FilesTest, ReadLineDropsCrAndCutsLongLines) {
  const std::string p = path("lines.txt");
  spit(p, "ab\r\nlonglongline\n\r\nx\ry\nlast");
  ASSERT_EQ(fileOpen(*ft_, 1, kFileModeRead, p.c_str()), 0);
  char buf[5];
  int len = -1;
  int16_t fn = 0;
  const char* want[] = {"ab", "long", "", "x\ry", "last"};
  for (const char* w : want) {
    ASSERT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 0) << w;
    EXPECT_STREQ(buf, w);
    EXPECT_EQ(len, static_cast<int>(std::string(w).size()));
  }
  EXPECT_EQ(fileReadLine(*ft_, 1, buf, sizeof buf, &len, &fn), 1);
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(len, 0);
}

TEST_F(FilesTest, ReadLineOnADirectUnitLeavesThePositionAfterTheLine) {
  const std::string p = path("direct.txt");
  spit(p, "one\ntwo\n");
  ASSERT_EQ(fileOpen(*ft_, 3, kFileModeReadWriteDirect, p.c_str()), 0);
  char buf[16];
  int16_t fn = 0;
  ASSERT_EQ(fileReadLine(*ft_, 3, buf, sizeof buf, nullptr, &fn), 0);
  EXPECT_STREQ(buf, "one");
  ASSERT_EQ(fileWrite(*ft_, 3, "TWO", 3, &fn), 0);
  ASSERT_EQ(fileClose(*ft_, 3), 0);
  EXPECT_EQ(slurp(p), "one\nTWO\n");
}

TEST_F(FilesTest, WriteAfterReadLandsAtTheReadPosition) {
  const std::string p = path("rw.txt");
  spit(p, "abcdefgh");
  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeReadWrite, p.c_str()), 0);
  char buf[4];
  int16_t fn = 0;
  ASSERT_EQ(fileRead(*ft_, 2, buf, 3, &fn), 0);  // the buffer has read all eight bytes
  ASSERT_EQ(fileWrite(*ft_, 2, "XY", 2, &fn), 0);
  ASSERT_EQ(fileRead(*ft_, 2, buf, 2, &fn), 0);
  EXPECT_EQ(std::string(buf, 2), "gh");
  ASSERT_EQ(fileClose(*ft_, 2), 0);
  EXPECT_EQ(slurp(p), "abcXY\ngh");
}

TEST_F(FilesTest, ReopeningAnOpenUnitWritesItsBufferFirst) {
  const std::string a = path("a.bin");
  const std::string b = path("b.bin");
  ASSERT_EQ(fileOpen(*ft_, 5, kFileBlockBuffered + kFileModeCreate, a.c_str()), 0);
  ASSERT_EQ(fileWrite(*ft_, 5, "abc", 3, nullptr), 0);
  ASSERT_EQ(fileOpen(*ft_, 5, kFileModeCreate, b.c_str()), 0);
  EXPECT_EQ(slurp(a), "abc");
  EXPECT_EQ(std::string(fileName(*ft_, 5)), b);
}

TEST_F(FilesTest, FailuresAreReportedNotCrashed) {
  int16_t fn = 0;
  char buf[8];
  int len = 0;
  EXPECT_EQ(fileOpen(*ft_, 1, kFileModeRead, path("missing").c_str()), 1);
  EXPECT_FALSE(fileIsOpen(*ft_, 1));
  EXPECT_EQ(ft_->unit[1].mode, 0);
  EXPECT_EQ(fileOpen(*ft_, 1, 7, path("x").c_str()), 1);  // no such access
  EXPECT_EQ(fileOpen(*ft_, 1, 0, path("x").c_str()), 1);
  EXPECT_EQ(fileOpen(*ft_, 6, kFileModeCreate, nullptr), 1);  // no stored name
  EXPECT_EQ(fileOpen(*ft_, 7, kFileModeCreate, path("x").c_str()), 1);
  EXPECT_EQ(fileOpen(*ft_, -1, kFileModeCreate, path("x").c_str()), 1);
  const std::string tooLong(kFileNameMax + 1, 'n');
  EXPECT_EQ(fileOpen(*ft_, 0, kFileModeCreate, tooLong.c_str()), 1);

  EXPECT_EQ(fileWrite(*ft_, 0, "a", 1, &fn), 1);  // not open
  EXPECT_EQ(fn, 1);
  ASSERT_EQ(fileOpen(*ft_, 0, kFileModeCreate, path("w").c_str()), 0);
  fn = 0;
  EXPECT_EQ(fileWrite(*ft_, 0, nullptr, 3, &fn), 1);
  EXPECT_EQ(fn, 1);
  fn = 0;
  EXPECT_EQ(fileRead(*ft_, 0, buf, 1, &fn), 1);  // write-only unit
  EXPECT_EQ(fn, 1);
  EXPECT_EQ(fileReadLine(*ft_, 0, nullptr, 8, &len, nullptr), 1);
  ASSERT_EQ(fileOpen(*ft_, 1, kFileModeRead, path("w").c_str()), 0);
  EXPECT_EQ(fileWrite(*ft_, 1, "a", 1, nullptr), 1);  // read-only unit
  EXPECT_EQ(fileRead(*ft_, 1, nullptr, 1, nullptr), 1);
  EXPECT_EQ(fileRead(*ft_, 9, buf, 1, nullptr), 1);
  EXPECT_EQ(fileSkip(*ft_, 9, 1, nullptr), 1);
  EXPECT_EQ(fileReadLine(*ft_, 9, buf, 8, &len, nullptr), 1);

  EXPECT_EQ(fileClose(*ft_, 3), 0);  // not open: nothing to do
  EXPECT_EQ(fileClose(*ft_, 7), 1);
  EXPECT_FALSE(fileIsOpen(*ft_, 7));
  EXPECT_STREQ(fileName(*ft_, 7), "");
  EXPECT_EQ(buildFileName(*ft_, 7, "a", "log", nullptr, 1, 1), -1);
  EXPECT_EQ(buildFileName(*ft_, 0, nullptr, "log", nullptr, 1, 1), -1);
  EXPECT_EQ(fileDelete(*ft_, -3), 1);
}

TEST_F(FilesTest, FullDeviceFailsWritesAndClose) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  int16_t fn = 0;
  ASSERT_EQ(fileOpen(*ft_, 4, kFileModeAppend, "/dev/full"), 0);
  EXPECT_EQ(fileWrite(*ft_, 4, "line", 4, &fn), 1);
  EXPECT_EQ(fn, 1);
  ASSERT_EQ(fileOpen(*ft_, 4, kFileBlockBuffered + kFileModeAppend, "/dev/full"), 0);
  EXPECT_EQ(fileWrite(*ft_, 4, "data", 4, nullptr), 0);  // still in the buffer
  EXPECT_EQ(fileClose(*ft_, 4), 1);                      // the buffer could not be written
  EXPECT_FALSE(fileIsOpen(*ft_, 4));
}

TEST_F(FilesTest, DeleteRemovesTheNamedFile) {
  const std::string p = path("gone.txt");
  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeCreate, p.c_str()), 0);
  ASSERT_EQ(fileWrite(*ft_, 2, "x", 1, nullptr), 0);
  EXPECT_EQ(fileDelete(*ft_, 2), 0);  // closes the unit first
  EXPECT_FALSE(fileIsOpen(*ft_, 2));
  EXPECT_EQ(sizeOf(p), -1);
  EXPECT_EQ(fileDelete(*ft_, 2), 1);
}

TEST_F(FilesTest, BuiltNamesOpenWithoutTheirQuotes) {
  ASSERT_GE(buildFileName(*ft_, 2, "work%d", "bas", dir_.c_str(), 3, 2), 0);
  EXPECT_EQ(std::string(fileName(*ft_, 2)), dir_ + "/work_3_2.bas");
  ASSERT_EQ(fileOpen(*ft_, 2, kFileModeCreate, nullptr), 0);
  ASSERT_EQ(fileClose(*ft_, 2), 0);
  EXPECT_EQ(sizeOf(dir_ + "/work_3_2.bas"), 0);

  const std::string quoted = "\"" + dir_ + "/my file\"";
  ASSERT_GE(buildFileName(*ft_, 3, quoted.c_str(), "log", "/elsewhere", 1, 1), 0);
  EXPECT_EQ(std::string(fileName(*ft_, 3)), "\"" + dir_ + "/my file.log\"");
  ASSERT_EQ(fileOpen(*ft_, 3, kFileModeCreate, nullptr), 0);
  ASSERT_EQ(fileWrite(*ft_, 3, "q", 1, nullptr), 0);
  ASSERT_EQ(fileClose(*ft_, 3), 0);
  EXPECT_EQ(slurp(dir_ + "/my file.log"), "q\n");
  EXPECT_EQ(fileDelete(*ft_, 3), 0);
  EXPECT_EQ(sizeOf(dir_ + "/my file.log"), -1);
}

struct NameCase {
  const char* given;
  const char* ext;
  const char* dir;
  int serial;
  int next;
  const char* want;
  int ret;  // position after the last period, or the length without one
};

TEST(BuildFileName, Table) {
  const NameCase cases[] = {
      {"run%d.log", "log", nullptr, 1, 1, "run_1_1.log", 8},
      {"run%d.log", "log", "/data", 1, 1, "/data/run_1_1.log", 14},
      {"out%d", "log", "", 3, 12, "out_3_12.log", 9},
      {"%d%d", "lst", nullptr, 1, 2, "_1_2_1_2.lst", 9},
      {"LPT1:", "log", "/data", 1, 1, "LPT1", 4},
      {"model", "mps", "/data", 1, 1, "/data/model.mps", 12},
      {"model", "mps", "/data/", 1, 1, "/data/model.mps", 12},
      {"model", "mps", "C:", 1, 1, "C:model.mps", 8},
      {"model", "mps", "C:\\work\\", 1, 1, "C:\\work\\model.mps", 14},
      {"sub/model.txt", "mps", "/data", 1, 1, "sub/model.txt", 10},
      {"sub\\model", "mps", "/data", 1, 1, "sub\\model.mps", 10},
      {"a:b", "mps", "/data", 1, 1, "a:b.mps", 4},
      {"../x", "mps", "/data", 1, 1, "../x.mps", 5},  // the directory's periods are no extension
      {"  model  rest", "log", nullptr, 1, 1, "model.log", 6},
      {"\"my file\"", "log", "/data", 1, 1, "\"my file.log\"", 9},  // a blank: no directory
      {"\"run.lst", "log", "/d", 1, 1, "\"/d/run.lst\"", 8},
      {"\"run%d\" junk", "log", nullptr, 2, 5, "\"run_2_5.log\"", 9},
      {"m", "mpsx", nullptr, 1, 1, "m.mps", 2},
      {"m", ".bas", nullptr, 1, 1, "m.bas", 2},
      {"m", nullptr, nullptr, 1, 1, "m", 1},
      {"m", "", nullptr, 1, 1, "m", 1},
  };
  auto ft = std::make_unique<FileTable>();
  for (const auto& c : cases) {
    int ret = buildFileName(*ft, 4, c.given, c.ext, c.dir, c.serial, c.next);
    EXPECT_STREQ(fileName(*ft, 4), c.want) << c.given;
    EXPECT_EQ(ret, c.ret) << c.given;
  }
}

TEST(BuildFileName, BlankNameLeavesTheStoredName) {
  auto ft = std::make_unique<FileTable>();
  ASSERT_EQ(buildFileName(*ft, 1, "keep", "log", nullptr, 1, 1), 5);
  EXPECT_EQ(buildFileName(*ft, 1, "   ", "log", nullptr, 1, 1), -1);
  EXPECT_EQ(buildFileName(*ft, 1, "\"\"", "log", nullptr, 1, 1), -1);
  EXPECT_STREQ(fileName(*ft, 1), "keep.log");
}

TEST(BuildFileName, LongNamesAreTruncated) {
  auto ft = std::make_unique<FileTable>();
  const std::string longName(300, 'a');
  EXPECT_EQ(buildFileName(*ft, 0, longName.c_str(), "log", nullptr, 1, 1), kFileNameMax);
  EXPECT_EQ(std::string(fileName(*ft, 0)), std::string(kFileNameMax, 'a'));

  const std::string longDir(250, 'd');
  EXPECT_EQ(buildFileName(*ft, 0, "name%d", "log", longDir.c_str(), 1, 1), kFileNameMax);
  EXPECT_EQ(std::string(fileName(*ft, 0)), longDir + "/name_1");

  const std::string quoted = "\"" + std::string(300, 'q') + " x\"";
  buildFileName(*ft, 0, quoted.c_str(), "log", nullptr, 1, 1);
  const std::string got = fileName(*ft, 0);
  ASSERT_EQ(got.size(), static_cast<size_t>(kFileNameMax));
  EXPECT_EQ(got.front(), '"');
  EXPECT_EQ(got.back(), '"');
}

}  // namespace
}  // namespace kz
