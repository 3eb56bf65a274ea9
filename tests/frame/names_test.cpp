// Name masks, printed item names and name preparation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/names.h"

namespace kz {
namespace {

struct MaskCase {
  const char* mask;
  const char* name;
  int want;  // 0 match, 1 none
};

TEST(NameMask, Table) {
  const MaskCase cases[] = {
      {"AB*", "ABC", 0},
      {"AB*", "AB", 0},
      {"A?C", "ABC", 0},
      {"X/Y", "X", 0},
      {"X/Y", "Y", 0},
      {"X|Y", "Y", 0},
      {"X/Y", "Z", 1},
      {"ab*", "ABX", 0},  // upper-cased on both sides
      {"AB", "ab", 0},
      // The alternative must use up the name, and the name the alternative.
      {"AB", "ABC", 1},
      {"ABC", "AB", 1},
      {"A?", "A", 1},  // '?' needs a character
      {"A?", "AZ", 0},
      {"*", "ANYTHING", 0},
      {"*", "", 0},
      {"", "", 0},
      {"", "A", 1},
      {"X/", "", 0},      // an empty alternative matches the empty name
      {"A*B", "AXYZ", 0}, // '*' takes the rest at once
      {"ROW?/COL*", "COL12", 0},
      {"ROW?/COL*", "ROW12", 1},
      {"AB  /CD", "AB", 0},  // blanks ending an alternative do not count
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchNameMask(c.mask, c.name, static_cast<int>(std::strlen(c.name))), c.want)
        << "mask '" << c.mask << "' name '" << c.name << "'";
  }
}

TEST(NameMask, NameLengthAndTrailingBlanks) {
  EXPECT_EQ(matchNameMask("AB", "AB    ", 6), 0);
  EXPECT_EQ(matchNameMask("AB", "ABC", 2), 0);    // only the first two characters
  EXPECT_EQ(matchNameMask("AB", "AB\0CD", 5), 0);  // a NUL ends the name
  EXPECT_EQ(matchNameMask("A B", "A B ", 4), 0);  // inner blanks are characters
  EXPECT_EQ(matchNameMask("ab", "AB", 2, true), 1);
  EXPECT_EQ(matchNameMask("AB", "AB", 2, true), 0);
  EXPECT_EQ(matchNameMask(nullptr, "AB", 2), 1);
  EXPECT_EQ(matchNameMask("AB", nullptr, 2), 1);
  EXPECT_EQ(matchNameMask("AB", "AB", -1), 1);
}

std::string nameOf(const NameSource& src, int i, int cap = 64) {
  char out[64];
  std::memset(out, '#', sizeof out);
  printItemName(src, i, out, cap);
  return out;
}

TEST(ItemName, GeneratedNamesUseTheCallersNumbering) {
  NameSource src;
  src.n = 3;
  src.m = 2;
  // Base 0: columns x0..x2, then the objective row, then rows c1, c2.
  EXPECT_EQ(nameOf(src, 1), "x0");
  EXPECT_EQ(nameOf(src, 3), "x2");
  EXPECT_EQ(nameOf(src, 4), "obj");
  EXPECT_EQ(nameOf(src, 5), "c1");
  EXPECT_EQ(nameOf(src, 6), "c2");
  EXPECT_EQ(nameOf(src, 0), "??? c=0");
  EXPECT_EQ(nameOf(src, 7), "??? c=7");
  EXPECT_EQ(nameOf(src, -1), "??? c=-1");
  // Base 1 shifts both numberings: a Fortran caller's first row is c2, as the
  // model store names it.
  src.indexBase = 1;
  EXPECT_EQ(nameOf(src, 1), "x1");
  EXPECT_EQ(nameOf(src, 3), "x3");
  EXPECT_EQ(nameOf(src, 5), "c2");
}

TEST(ItemName, PaddedToTheNameLengthAndBoundedByCap) {
  NameSource src;
  src.n = 2;
  src.m = 1;
  src.colNameLen = 6;
  src.rowNameLen = 4;
  EXPECT_EQ(nameOf(src, 1), "x0    ");
  EXPECT_EQ(nameOf(src, 3), "obj ");
  EXPECT_EQ(nameOf(src, 4), "c1  ");
  EXPECT_EQ(nameOf(src, 1, 4), "x0 ");
  EXPECT_EQ(nameOf(src, 3, 3), "ob");
  EXPECT_EQ(nameOf(src, 9, 5), "??? ");
  char one[1] = {'#'};
  printItemName(src, 1, one, 1);
  EXPECT_EQ(one[0], '\0');
  printItemName(src, 1, nullptr, 10);  // nothing to write into
}

// Stored names for a model of four columns (3 and 4 the split parts of
// column 2) and two rows.
const char* storedNames(const void* ctx, int i, int* len) {
  (void)ctx;
  switch (i) {
    case 2: *len = 8; return "FLOW    ";
    case 5: *len = 3; return "PRF";         // the objective row
    case 6: *len = 8; return "CAP1    ";
    case 7: *len = 8; return "        ";    // blank: as if none
    default: return nullptr;
  }
}

TEST(ItemName, StoredAndSplitNames) {
  const int split[] = {0, 0, 0, 2, -2};
  NameSource src;
  src.n = 4;
  src.m = 2;
  src.colNameLen = 8;
  src.rowNameLen = 8;
  src.storedName = storedNames;
  src.splitOf = split;
  EXPECT_EQ(nameOf(src, 1), "x0      ");
  EXPECT_EQ(nameOf(src, 2), "FLOW    ");
  EXPECT_EQ(nameOf(src, 3), "pFLOW   ");
  EXPECT_EQ(nameOf(src, 4), "nFLOW   ");
  EXPECT_EQ(nameOf(src, 5), "PRF     ");
  EXPECT_EQ(nameOf(src, 6), "CAP1    ");
  EXPECT_EQ(nameOf(src, 7), "c2      ");

  src.storedName = nullptr;
  EXPECT_EQ(nameOf(src, 3), "px1     ");
  const int badSplit[] = {0, 0, 9, 2, 3};  // out of range, and a split of a split
  src.splitOf = badSplit;
  EXPECT_EQ(nameOf(src, 2), "x1      ");
  EXPECT_EQ(nameOf(src, 4), "x3      ");
}

TEST(NamePrepTest, TrimAndCompress) {
  NamePrep prep;
  EXPECT_STREQ(prep.prepare("AB  ", 4, ' '), "AB");
  EXPECT_STREQ(prep.prepare("A  B C  ", 8, ' '), "A  B C");
  EXPECT_STREQ(prep.prepare("A  B C  ", 8, '_'), "A_B_C");
  EXPECT_STREQ(prep.prepare("A B__ ", 6, '_'), "A_B");
  EXPECT_STREQ(prep.prepare("  X", 3, '.'), ".X");
  EXPECT_STREQ(prep.prepare("A  B", 4, '\0'), "A  B");
  EXPECT_STREQ(prep.prepare("AB\0CD", 5, ' '), "AB");
  EXPECT_STREQ(prep.prepare("NUL ENDED  ", -1, '_'), "NUL_ENDED");
  EXPECT_STREQ(prep.prepare(nullptr, 4, ' '), "");
  const std::string longName(600, 'z');
  EXPECT_EQ(std::strlen(prep.prepare(longName.c_str(), 600, ' ')),
            static_cast<size_t>(NamePrep::kCapacity - 1));
}

TEST(NamePrepTest, TwoResultsStayValid) {
  NamePrep prep;
  const char* one = prep.prepare("ONE", 3, ' ');
  const char* two = prep.prepare("TWO", 3, ' ');
  EXPECT_STREQ(one, "ONE");
  EXPECT_STREQ(two, "TWO");
  const char* three = prep.prepare("THREE", 5, ' ');
  EXPECT_EQ(three, one);  // the older buffer is reused
  EXPECT_STREQ(two, "TWO");
}

}  // namespace
}  // namespace kz
