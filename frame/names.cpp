#include "frame/names.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

namespace kz {
namespace {

int effectiveLength(const char* s, int len) {
  int n = 0;
  while (n < len && s[n] != '\0') ++n;
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

bool isSeparator(char c) { return c == '/' || c == '|'; }

char fold(char c, bool caseSensitive) {
  return caseSensitive ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Whether the alternative mask[0..altLen) matches name[0..nameLen).
bool matchAlternative(const char* mask, int altLen, const char* name, int nameLen,
                      bool caseSensitive) {
  while (altLen > 0 && mask[altLen - 1] == ' ') --altLen;
  int j = 0;
  for (int k = 0; k < altLen; ++k) {
    char c = mask[k];
    if (c == '*') return true;
    if (j >= nameLen) return false;
    if (c != '?' && fold(c, caseSensitive) != fold(name[j], caseSensitive)) return false;
    ++j;
  }
  return j == nameLen;
}

// Bounded, always NUL-terminated output.
struct Out {
  char* p;
  int cap;
  int len = 0;
  void add(const char* s, int n) {
    for (int i = 0; i < n && len < cap - 1; ++i) p[len++] = s[i];
    p[len] = '\0';
  }
  void addf(const char* fmt, int v) {
    char t[24];
    int n = std::snprintf(t, sizeof t, fmt, v);
    add(t, n);
  }
  void padTo(int width) {
    while (len < width && len < cap - 1) p[len++] = ' ';
    p[len] = '\0';
  }
};

// Appends item i's own name (stored or generated) without padding; trim
// drops the stored name's trailing blanks.
void baseName(const NameSource& src, int i, Out& out, bool trim) {
  if (src.storedName != nullptr) {
    int len = 0;
    const char* s = src.storedName(src.ctx, i, &len);
    if (s != nullptr && len > 0 && effectiveLength(s, len) > 0) {
      int n = 0;
      while (n < len && s[n] != '\0') ++n;
      out.add(s, trim ? effectiveLength(s, n) : n);
      return;
    }
  }
  if (i <= src.n) {
    out.addf("x%d", i - 1 + src.indexBase);
  } else if (i == src.n + 1) {
    out.add("obj", 3);
  } else {
    out.addf("c%d", i - src.n - 1 + src.indexBase);
  }
}

}  // namespace

int matchNameMask(const char* mask, const char* name, int nameLen, bool caseSensitive) {
  if (mask == nullptr || name == nullptr || nameLen < 0) return 1;
  const int n = effectiveLength(name, nameLen);
  const char* alt = mask;
  for (;;) {
    int altLen = 0;
    while (alt[altLen] != '\0' && !isSeparator(alt[altLen])) ++altLen;
    if (matchAlternative(alt, altLen, name, n, caseSensitive)) return 0;
    if (alt[altLen] == '\0') return 1;
    alt += altLen + 1;
  }
}

void printItemName(const NameSource& src, int i, char* out, int cap) {
  if (out == nullptr || cap < 1) return;
  out[0] = '\0';
  Out o{out, cap};
  if (i < 1 || i > src.n + 1 + src.m) {
    o.addf("??? c=%d", i);
    return;
  }
  const bool column = i <= src.n;
  const int width = column ? src.colNameLen : src.rowNameLen;
  if (column && src.splitOf != nullptr && src.splitOf[i] != 0) {
    int link = src.splitOf[i];
    int j = link > 0 ? link : (link == INT_MIN ? 0 : -link);
    // One level only: the split column must be an ordinary column.
    if (j >= 1 && j <= src.n && src.splitOf[j] == 0) {
      o.add(link > 0 ? "p" : "n", 1);
      baseName(src, j, o, true);
      o.padTo(width);
      return;
    }
  }
  baseName(src, i, o, false);
  o.padTo(width);
}

const char* NamePrep::prepare(const char* name, int len, char compressChar) {
  char* b = buf_[next_];
  next_ ^= 1;
  int n = 0;
  if (name != nullptr) {
    const int limit = len < 0 || len > kCapacity - 1 ? kCapacity - 1 : len;
    while (n < limit && name[n] != '\0') {
      b[n] = name[n];
      ++n;
    }
  }
  while (n > 0 && b[n - 1] == ' ') --n;
  if (compressChar != ' ' && compressChar != '\0') {
    int o = 0;
    for (int k = 0; k < n;) {
      if (b[k] == ' ') {
        while (k < n && b[k] == ' ') ++k;
        b[o++] = compressChar;
      } else {
        b[o++] = b[k++];
      }
    }
    n = o;
    while (n > 0 && b[n - 1] == compressChar) --n;
  }
  b[n] = '\0';
  return b;
}

}  // namespace kz
