// The input-line reader on its own: line ends and the line counter, control
// characters, comments in both modes, directives, substitution, include
// files, padding to column 72 and compressed files.
#include "model/input_reader.h"

#include <unistd.h>

#include "tests/model/mps_support.h"

namespace kz::test {
namespace {

// Every data line of a file with its line number.
std::vector<std::pair<int32_t, std::string>> readAll(MpsArea& area, const std::string& text, bool mps,
                                                     LineRead* last = nullptr) {
  const std::string path = tempPath("lines.txt");
  writeText(path, text);
  InputReader in(area.area());
  std::vector<std::pair<int32_t, std::string>> out;
  EXPECT_TRUE(in.open(path.c_str()));
  in.setMpsMode(mps);
  LineRead r;
  while ((r = in.next()) == LineRead::kLine) out.push_back({in.lineNumber(), std::string(in.line(), in.length())});
  if (last) *last = r;
  unlink(path.c_str());
  return out;
}

using Lines = std::vector<std::pair<int32_t, std::string>>;

TEST(InputReader, LineEndsAndTheCounter) {
  MpsArea area;
  // LF, CR LF and a lone CR each end one line; empty lines are no data but
  // are counted; the last line needs no line end.
  EXPECT_EQ(readAll(area, "one\r\ntwo\n\nthree\rfour", false),
            (Lines{{1, "one"}, {2, "two"}, {4, "three"}, {5, "four"}}));
}

TEST(InputReader, ControlCharactersBecomeBlanksAndTrailingBlanksGo) {
  MpsArea area;
  EXPECT_EQ(readAll(area, std::string("a\tb\x01" "c\x7f" "d   \n", 10), false), (Lines{{1, "a b c d"}}));
}

TEST(InputReader, CommentCharacter) {
  MpsArea area;
  // Plain text: a comment line is skipped, a later comment ends the line.
  EXPECT_EQ(readAll(area, "* all comment\n  * indented comment\nvalue 1 * note\n", false), (Lines{{3, "value 1"}}));
  // MPS files: only the first four columns count.
  EXPECT_EQ(readAll(area, "* all comment\n   *x\n    X  *Y  1\nAB*C\n", true),
            (Lines{{3, "    X  *Y  1"}, {4, "AB"}}));
  // COMMENTS changes the character.
  ASSERT_EQ(area.clp("COMMENTS !"), 0);
  EXPECT_EQ(readAll(area, "! gone\n* kept\n", true), (Lines{{2, "* kept"}}));
}

TEST(InputReader, MpsLinesReadBlankToColumn72) {
  MpsArea area;
  const std::string path = tempPath("pad.txt");
  writeText(path, "ab\n");
  InputReader in(area.area());
  ASSERT_TRUE(in.open(path.c_str()));
  in.setMpsMode(true);
  ASSERT_EQ(in.next(), LineRead::kLine);
  EXPECT_EQ(in.length(), 2);
  EXPECT_EQ(std::string(in.line(), 72), "ab" + std::string(70, ' '));
  EXPECT_EQ(in.at(71), ' ');
  EXPECT_EQ(in.next(), LineRead::kEnd);
  unlink(path.c_str());
}

TEST(InputReader, SubstitutionVariables) {
  MpsArea area;
  LineLog& log = area.listen();
  const Lines got = readAll(area,
                            "..INPUT A 12\n"
                            "..INPUT LONGNAME (x&A.y)\n"
                            "v &A. &A &A.5 &LONGNAME. &NONE.\n"
                            "..INPUT A 3\n"
                            "w &A.\n",
                            false);
  // The period ends the name and goes; a value is not scanned again; an
  // unknown name stays and warns.
  EXPECT_EQ(got, (Lines{{3, "v 12 12 125 x&A.y &NONE."}, {5, "w 3"}}));
  EXPECT_TRUE(log.has("Default value x&A.y"));
  EXPECT_TRUE(log.has("? Warning 10004 Line number 3 &NONE"));
}

TEST(InputReader, PrintIsListedEvenWhenQuiet) {
  MpsArea area;
  LineLog& log = area.listen();
  area.area().routingArea().out.quiet = 1;
  readAll(area, "..PRINT hello there\ndata\n", false);
  EXPECT_TRUE(log.has("hello there"));
  EXPECT_EQ(area.area().routingArea().out.quiet, 1);
}

TEST(InputReader, UnknownDirectivesAreData) {
  MpsArea area;
  EXPECT_EQ(readAll(area, "..SOMETHING else\n", false), (Lines{{1, "..SOMETHING else"}}));
}

TEST(InputReader, IncludeFilesReturnToTheIncluder) {
  MpsArea area;
  const std::string part = tempPath("part");
  writeText(part + ".lp", "p1\np2\n");
  const Lines got = readAll(area, "m1\n..INCLUDE (" + part + ")\nm3\n", false);
  EXPECT_EQ(got, (Lines{{1, "m1"}, {1, "p1"}, {2, "p2"}, {3, "m3"}}));
  unlink((part + ".lp").c_str());
}

TEST(InputReader, CompressedFiles) {
  MpsArea area;
  const std::string path = tempPath("packed.txt");
  gzFile g = gzopen(path.c_str(), "wb");
  ASSERT_NE(g, nullptr);
  std::string text;
  for (int k = 0; k < 50000; ++k) text += "line " + std::to_string(k) + "\n";
  gzwrite(g, text.data(), static_cast<unsigned>(text.size()));
  gzclose(g);
  InputReader in(area.area());
  ASSERT_TRUE(in.open(path.c_str()));
  int count = 0;
  std::string lastLine;
  while (in.next() == LineRead::kLine) {
    ++count;
    lastLine.assign(in.line(), static_cast<size_t>(in.length()));
  }
  EXPECT_EQ(count, 50000);
  EXPECT_EQ(lastLine, "line 49999");
  EXPECT_EQ(in.lineNumber(), 50000);
  unlink(path.c_str());
}

TEST(InputReader, MissingFile) {
  MpsArea area;
  InputReader in(area.area());
  EXPECT_FALSE(in.open("/no/such/file.txt"));
  EXPECT_EQ(in.next(), LineRead::kEnd);
}

TEST(InputReader, PathRules) {
  char out[300];
  ASSERT_TRUE(inputPath("  model  ", false, "mps", out, sizeof out));
  EXPECT_STREQ(out, "model.mps");
  ASSERT_TRUE(inputPath("dir.d/model", false, "mps", out, sizeof out));
  EXPECT_STREQ(out, "dir.d/model.mps");
  ASSERT_TRUE(inputPath("\"a b.txt\"", false, "mps", out, sizeof out));
  EXPECT_STREQ(out, "a b.txt");
  ASSERT_TRUE(inputPath("x.gz$rest", true, "mps", out, sizeof out));
  EXPECT_STREQ(out, "x.gz");
  EXPECT_FALSE(inputPath("   ", false, "mps", out, sizeof out));
  EXPECT_FALSE(inputPath(nullptr, false, "mps", out, sizeof out));
  // At most 256 characters of the name are used.
  std::string longName(300, 'n');
  ASSERT_TRUE(inputPath(longName.c_str(), false, "", out, sizeof out));
  EXPECT_EQ(std::strlen(out), 256u);
}

}  // namespace
}  // namespace kz::test
