// The number formatter, the elapsed stamp and the line-building helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "frame/linebuf.h"

namespace kz {
namespace {

std::string fmt(double x, int16_t k, const NumberStyle& st = NumberStyle{}) {
  LineBuffer lb;
  appendNumber(lb, x, k, st);
  EXPECT_EQ(lb.fieldMark, 0);
  EXPECT_EQ(lb.text[lb.pos], '\0');
  return std::string(lb.text, static_cast<size_t>(lb.pos));
}

struct FreeCase {
  double x;
  const char* want;
};

TEST(NumberFormat, FreeFormat) {
  const double inf = std::numeric_limits<double>::infinity();
  const FreeCase cases[] = {
      {3.0, "3"},
      {2.5, "2.5"},
      {0.1, "0.1"},
      {0.25, "0.25"},
      {-7.0, "-7"},
      {-0.75, "-0.75"},
      {0.0, "0"},
      {1e-20, "1e-20"},
      {2e16, "2e+16"},
      {1e16, "1e+16"},
      {1e-16, "1e-16"},
      {1234567890123456.0, "1234567890123456"},  // whole, below 1e16
      {1e15 + 0.5, "1000000000000000.5"},
      {12345.5, "12345.5"},
      {123456.75, "123456.75"},
      {1.0 / 3.0, "0.333333333333333"},
      // Noise: more than seven zeros before the last digit drop it.
      {0.5 + 3e-15, "0.5"},
      {0.123456000000009, "0.123456"},
      {123.40000000002, "123.4"},
      // Exactly seven zeros are kept.
      {0.123456700000008, "0.123456700000008"},
      {inf, "inf"},
      {-inf, "-inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(fmt(c.x, 0), c.want) << "x=" << c.x;
}

struct FixedCase {
  int16_t k;
  double x;
  const char* want;
};

TEST(NumberFormat, FixedFields) {
  const FixedCase cases[] = {
      // Separators within the budget width/4, given up one by one.
      {132, 1234567.891, " 1,234,567.89"},
      {102, 1234567.891, "1234567.89"},
      {132, -1234567.891, "-1,234,567.89"},
      {120, 1234567.0, "   1,234,567"},
      {120, 999999.6, "   1,000,000"},
      // The budget is spent from the right: one separator left for seven digits.
      {80, 1234567.0, "1234,567"},
      // Negative codes never print separators.
      {-132, 1234567.891, "   1234567.89"},
      {-102, 1234567.891, "1234567.89"},
      {-120, 1234567.0, "     1234567"},
      {-90, 123456789.0, "123456789"},
      // Small fields, zero, rounding half away from zero.
      {50, 12.0, "   12"},
      {50, 0.0, "    0"},
      {72, 0.0, "   0.00"},
      {50, 2.5, "    3"},
      {50, -2.5, "   -3"},
      {52, 0.125, " 0.13"},
      {52, -0.001, "-0.00"},
      // Rounding up needs a digit more: decimals go before the field overflows.
      {41, 99.96, " 100"},
      {51, 99.96, "100.0"},
      // Decimals are dropped before the integer digit goes.
      {22, 0.05, " 0"},
      {11, 0.0, "0"},
      // Too large for a field below five: asterisks.
      {40, 123456.0, "****"},
      {30, 1000.0, "***"},
      {40, 9999.0, "9999"},
      // Width five or more: the field loses four and an exponent follows.
      {70, 1e12, "100e10"},
      {70, 123456789012.0, " 12e10"},
      {80, -1e12, "-100e10"},
      {102, 1e25, "100000e20"},
      // No mantissa fits: asterisks rather than a wrong number.
      {50, 1e12, "*****"},
      {50, -12345.0, "*****"},
      // At or beyond the area's infinity (1e200) the exponent takes three digits.
      {120, 1e201, "      10e200"},
      {100, std::numeric_limits<double>::infinity(), "**********"},
      {50, -std::numeric_limits<double>::infinity(), "*****"},
      {50, std::numeric_limits<double>::quiet_NaN(), "*****"},
  };
  for (const auto& c : cases) EXPECT_EQ(fmt(c.x, c.k), c.want) << "k=" << c.k << " x=" << c.x;
}

TEST(NumberFormat, DecimalCommaStyle) {
  NumberStyle eu;
  eu.decimal = ',';
  eu.thousands = '.';
  EXPECT_EQ(fmt(1234567.891, 132, eu), " 1.234.567,89");
  EXPECT_EQ(fmt(-0.5, 42, eu), "-0,5");
}

TEST(NumberFormat, LowerInfinityDropsDecimals) {
  NumberStyle st;
  st.infinity = 1e6;
  // 12345.67 * 100 reaches 1e6: one decimal goes in the scale step.
  EXPECT_EQ(fmt(12345.67, 122, st), "    12,345.7");
}

TEST(NumberFormat, ExtremeFieldCodesStayInsideTheLine) {
  LineBuffer lb;
  appendNumber(lb, -1.5, static_cast<int16_t>(-32768), NumberStyle{});
  EXPECT_EQ(lb.pos, 3276);
  EXPECT_EQ(std::string(lb.text + 3276 - 11), "-1.50000000");  // eight decimals
  appendNumber(lb, 7.0, 32767, NumberStyle{});  // 3276 wide: clipped at the capacity
  EXPECT_EQ(lb.pos, kLineCapacity);
  EXPECT_EQ(lb.text[kLineCapacity], '\0');
}

TEST(ElapsedStamp, HoursMinutesSeconds) {
  const struct {
    int64_t s;
    const char* want;
  } cases[] = {
      {0, " 00:00:00"},
      {59, " 00:00:59"},
      {3599, " 00:59:59"},
      {3600 * 99 + 59 * 60 + 58, " 99:59:58"},
      {3600 * 100, "100:00:00"},
      {3600 * 150 + 61, "150:01:01"},
      {-5, " 00:00:00"},
      {int64_t{3600} * 5000, "999:59:59"},
  };
  for (const auto& c : cases) {
    char out[10];
    formatElapsed(out, c.s);
    EXPECT_STREQ(out, c.want) << c.s;
  }
}

std::string line(const LineBuffer& lb) { return std::string(lb.text, static_cast<size_t>(lb.pos)); }

TEST(LineBuffer, AppendTextStopsAtNulOrDollar) {
  LineBuffer lb;
  appendText(lb, "ab$cd");
  appendText(lb, "xy");
  EXPECT_EQ(line(lb), "abxy");
  EXPECT_EQ(lb.fieldMark, 2);
  appendChars(lb, "1$2", 3);
  EXPECT_EQ(line(lb), "abxy1$2");
  EXPECT_EQ(lb.fieldMark, 4);
  appendText(lb, nullptr);
  EXPECT_EQ(lb.fieldMark, 7);
  EXPECT_EQ(lb.pos, 7);
  lineClear(lb);
  EXPECT_EQ(lb.pos, 0);
  EXPECT_EQ(lb.text[0], '\0');
}

TEST(LineBuffer, LeftJustifyShiftsTheLastField) {
  LineBuffer lb;
  appendText(lb, "? Warning ");
  appendNumber(lb, 20030, 50, NumberStyle{});
  leftJustifyLastField(lb);
  appendText(lb, " x");
  EXPECT_EQ(line(lb), "? Warning 20030 x");

  lineClear(lb);
  appendText(lb, "v=");
  appendNumber(lb, 123456789012.0, 70, NumberStyle{});  // " 12e10": the mark covers the exponent
  leftJustifyLastField(lb);
  EXPECT_EQ(line(lb), "v=12e10");

  lineClear(lb);
  appendText(lb, "a ");
  appendText(lb, "  b c  ");
  leftJustifyLastField(lb);
  EXPECT_EQ(line(lb), "a b c");
  appendText(lb, "   ");
  leftJustifyLastField(lb);  // an all-blank field vanishes, the text before it stays
  EXPECT_EQ(line(lb), "a b c");
}

TEST(LineBuffer, CompressFromTheFieldMark) {
  LineBuffer lb;
  appendText(lb, "a b");
  appendText(lb, " c  d   ");
  compressLine(lb, '_');
  EXPECT_EQ(line(lb), "a b_c_d");
  EXPECT_EQ(lb.text[lb.pos], '\0');
}

TEST(LineBuffer, ClipsAtCapacity) {
  LineBuffer lb;
  std::string fill(kLineCapacity - 6, 'x');
  appendText(lb, fill.c_str());
  appendNumber(lb, 1234567.891, 132, NumberStyle{});
  EXPECT_EQ(lb.pos, kLineCapacity);
  EXPECT_EQ(std::string(lb.text + kLineCapacity - 6), " 1,234");
  appendText(lb, "more");
  appendChars(lb, "more", 4);
  appendNumber(lb, 2.5, 0, NumberStyle{});
  EXPECT_EQ(lb.pos, kLineCapacity);
  EXPECT_EQ(lb.text[kLineCapacity], '\0');
  std::string big(2 * kLineCapacity, 'y');
  lineClear(lb);
  appendChars(lb, big.c_str(), static_cast<int>(big.size()));
  EXPECT_EQ(lb.pos, kLineCapacity);
}

}  // namespace
}  // namespace kz
