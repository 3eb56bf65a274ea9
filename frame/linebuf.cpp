// Line-building helpers and the number formatter of the output channel.
//
// Every helper writes at the line position and moves it; none writes past
// kLineCapacity: text that does not fit is clipped silently, and text[pos]
// is always a NUL. Every append sets fieldMark to where it began, so that
// leftJustifyLastField and compressLine can work on the field just added.
#include "frame/linebuf.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kz {
namespace {

// Exact powers of ten up to 1e15 (all representable as doubles).
constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Widest field a 16-bit field code can ask for (32768 / 10), plus room for
// an exponent appended after it.
constexpr int kMaxField = 3276;
constexpr int kFieldScratch = kMaxField + 8;

// Exponent steps are of ten; a finite double needs at most 31 of them, so a
// larger exponent means the loop cannot succeed.
constexpr int kMaxExponent = 400;

// Brings a position a caller may have set by hand back into the buffer.
int linePos(const LineBuffer& lb) {
  int p = lb.pos;
  if (p < 0) return 0;
  return p > kLineCapacity ? kLineCapacity : p;
}

// Places n bytes at the line position (clipped), without touching fieldMark.
void put(LineBuffer& lb, const char* s, int n) {
  int p = linePos(lb);
  int room = kLineCapacity - p;
  if (n > room) n = room;
  if (n > 0) std::memcpy(lb.text + p, s, static_cast<size_t>(n));
  if (n < 0) n = 0;
  lb.pos = static_cast<int16_t>(p + n);
  lb.text[lb.pos] = '\0';
}

void markField(LineBuffer& lb) { lb.fieldMark = static_cast<int16_t>(linePos(lb)); }

// Free format (field code 0). Writes at most cap-1 characters to out and
// returns the length.
int formatFree(char* out, int cap, double x) {
  const double a = std::fabs(x);
  const bool exponentForm = !std::isfinite(x) || a >= 1e16 || a <= 1e-16;
  const char* fmt;
  if (exponentForm) {
    fmt = "%-g";
  } else if (x == std::floor(x)) {
    fmt = "%-16f";
  } else {
    // Decimals chosen by magnitude so that about 16 significant digits show.
    static const struct {
      double from;
      const char* fmt;
    } kByMagnitude[] = {
        {1e15, "%-16.1f"}, {1e14, "%-15.1f"}, {1e13, "%-14.1f"}, {1e12, "%-13.1f"},
        {1e11, "%-12.2f"}, {1e10, "%-11.3f"}, {1e9, "%-10.4f"},  {1e8, "%-09.5f"},
        {1e7, "%-08.6f"},  {1e6, "%-07.7f"},  {1e5, "%-06.8f"},  {1e4, "%-05.9f"},
        {1e3, "%-04.10f"}, {1e2, "%-03.11f"}, {1e1, "%-02.12f"},
    };
    fmt = "%-01.15f";
    for (const auto& m : kByMagnitude) {
      if (a >= m.from) {
        fmt = m.fmt;
        break;
      }
    }
  }
  int n = std::snprintf(out, static_cast<size_t>(cap), fmt, x);
  if (n < 0) return 0;
  if (n >= cap) n = cap - 1;

  // Left-justified formats pad with blanks; they carry no information.
  while (n > 0 && out[n - 1] == ' ') --n;
  // The host may have set a locale with a decimal comma; find either and
  // print a point, as the C formats do.
  int point = -1;
  for (int i = 0; i < n; ++i) {
    if (out[i] == '.' || out[i] == ',') {
      out[i] = '.';
      point = i;
      break;
    }
  }
  if (point >= 0 && !exponentForm) {
    // Noise removal: a run of more than seven zeros just before the last
    // digit means that digit is binary noise; drop the run and the digit.
    if (n - point >= 8) {
      int zeros = 0;
      for (int i = n - 2; i > point && out[i] == '0'; --i) ++zeros;
      if (zeros > 7) n -= zeros + 1;
    }
    while (n > point + 1 && out[n - 1] == '0') --n;
    if (n == point + 1) --n;
  }
  out[n] = '\0';
  return n;
}

// Whether the digits of av (already scaled by the decimals d) fit into h
// digit positions. At least d + 1 digits are always written (the decimals
// and one integer digit), so those must fit too.
bool digitsFit(int h, int d, double av) {
  if (h < 1 || h < d + 1 || !std::isfinite(av)) return false;
  if (h <= 15) return kPow10[h] - 1.0 >= av;
  // Beyond 15 digits compare the digit count of the rounded value itself.
  char digits[400];
  int nd = std::snprintf(digits, sizeof digits, "%.0f", std::floor(av + 0.5));
  return nd > 0 && nd <= h;
}

// Fixed field (field code k != 0) into out; returns the number of characters.
int formatFixed(char* out, double x, int k, const NumberStyle& st) {
  const int f = k < 0 ? -k : k;
  const int w0 = f / 10;
  const int d0 = f % 10;
  int w = w0;
  int d = d0;
  int s = k < 0 ? 0 : w / 4;
  const bool neg = x < 0;
  int exponent = 0;
  double v = 0;

  auto asterisks = [&]() {
    std::memset(out, '*', static_cast<size_t>(w0));
    return w0;
  };
  if (!std::isfinite(x)) return asterisks();

  for (;;) {
    // Scale: the decimals become digits; drop decimals while the scaled
    // value counts as infinite.
    v = x * kPow10[d];
    while (!(std::fabs(v) < st.infinity) && d > 0) v = x * kPow10[--d];
    bool fits = false;
    if (std::fabs(v) < st.infinity) {
      // Fit: give up separators first, then decimals.
      for (;;) {
        const int h = w - s - (d > 0 ? 1 : 0) - (neg ? 1 : 0);
        if (digitsFit(h, d, std::fabs(v))) {
          fits = true;
          break;
        }
        if (s > 0) {
          --s;
        } else if (d > 0) {
          v = x * kPow10[--d];
        } else {
          break;
        }
      }
    }
    if (fits) {
      // A non-zero value shown as a zero mantissa would print a wrong
      // number; further exponent steps only shrink it, so give up.
      if (exponent != 0 && std::floor(std::fabs(v) + 0.5) == 0.0) return asterisks();
      break;
    }
    // Exponent step: the first time the field loses four characters to make
    // room for "e" and the exponent.
    if (exponent == 0) {
      if (w < 5) return asterisks();
      w -= 4;
    }
    // With no digit position left (a minus sign in a one-character field)
    // nothing can ever fit.
    if (w - (neg ? 1 : 0) < 1 || exponent >= kMaxExponent) return asterisks();
    exponent += 10;
    x /= 1e10;
    d = d0;
  }

  // Digits, written from the right end of the field leftward.
  char digits[400];
  int nd = std::snprintf(digits, sizeof digits, "%.0f", std::floor(std::fabs(v) + 0.5));
  if (nd < 0) nd = 0;
  std::memset(out, ' ', static_cast<size_t>(w));
  int p = w - 1;
  int di = nd - 1;
  for (int j = 0; j < d; ++j) out[p--] = di >= 0 ? digits[di--] : '0';
  if (d > 0) out[p--] = st.decimal;
  if (di < 0) {
    out[p--] = '0';
  } else {
    // While the separator budget lasts, every fourth position of the
    // integer part holds the thousands separator.
    int written = 0;
    for (; di >= 0; --di) {
      if (written > 0 && written % 3 == 0 && s > 0) {
        out[p--] = st.thousands;
        --s;
      }
      out[p--] = digits[di];
      ++written;
    }
  }
  if (neg) out[p--] = '-';
  int n = w;
  if (exponent != 0) {
    // Field code 20 for the exponent below 100, else 30.
    n += std::snprintf(out + n, 5, exponent < 100 ? "e%2d" : "e%3d", exponent);
  }
  return n;
}

}  // namespace

void lineClear(LineBuffer& lb) {
  lb.pos = 0;
  lb.fieldMark = 0;
  lb.text[0] = '\0';
}

void appendText(LineBuffer& lb, const char* s) {
  markField(lb);
  if (s == nullptr) return;
  int n = 0;
  while (s[n] != '\0' && s[n] != '$' && n < kLineCapacity) ++n;
  put(lb, s, n);
}

void appendChars(LineBuffer& lb, const char* s, int n) {
  markField(lb);
  if (s == nullptr || n <= 0) return;
  put(lb, s, n);
}

void appendNumber(LineBuffer& lb, double x, int16_t k, const NumberStyle& st) {
  markField(lb);
  if (k == 0) {
    char text[64];
    put(lb, text, formatFree(text, sizeof text, x));
    return;
  }
  char field[kFieldScratch];
  put(lb, field, formatFixed(field, x, k, st));
}

void leftJustifyLastField(LineBuffer& lb) {
  int end = linePos(lb);
  int mark = lb.fieldMark < 0 ? 0 : (lb.fieldMark > end ? end : lb.fieldMark);
  int from = mark;
  while (from < end && lb.text[from] == ' ') ++from;
  int n = end - from;
  std::memmove(lb.text + mark, lb.text + from, static_cast<size_t>(n));
  end = mark + n;
  while (end > mark && lb.text[end - 1] == ' ') --end;
  lb.pos = static_cast<int16_t>(end);
  lb.text[end] = '\0';
}

void compressLine(LineBuffer& lb, char compressChar) {
  int end = linePos(lb);
  int mark = lb.fieldMark < 0 ? 0 : (lb.fieldMark > end ? end : lb.fieldMark);
  int out = mark;
  for (int i = mark; i < end;) {
    if (lb.text[i] == ' ') {
      while (i < end && lb.text[i] == ' ') ++i;
      lb.text[out++] = compressChar;
    } else {
      lb.text[out++] = lb.text[i++];
    }
  }
  if (out > mark && lb.text[out - 1] == compressChar) --out;
  lb.pos = static_cast<int16_t>(out);
  lb.text[out] = '\0';
}

// The stamp is the number 100000000 + HH*1000000 + MM*1000 + SS in nine
// places with colons at the fourth and seventh: below 100 hours the leading
// 1 becomes a blank, from 100 hours on it drops by one so that the hours
// take three places. The same text is produced directly here. Past 999 hours
// the stamp stays at "999:59:59" instead of outgrowing its nine characters.
void formatElapsed(char out[10], int64_t seconds) {
  if (seconds < 0) seconds = 0;
  int64_t hours = seconds / 3600;
  int minutes = static_cast<int>((seconds % 3600) / 60);
  int secs = static_cast<int>(seconds % 60);
  if (hours > 999) {
    hours = 999;
    minutes = 59;
    secs = 59;
  }
  std::snprintf(out, 10, hours < 100 ? " %02d:%02d:%02d" : "%03d:%02d:%02d",
                static_cast<int>(hours), minutes, secs);
}

}  // namespace kz
