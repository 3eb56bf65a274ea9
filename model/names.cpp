// Names of columns and rows: stored and generated names, the lookup by
// name (hash tables or the wrapping linear scan) and the name hash.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "model/store_ops.h"

namespace kz {
namespace {

constexpr int32_t kHashWeights[32] = {
    -94967367,  -514967439, -892967427, -1233167427, -1539347435, -1814909453, -2062915239, 2008846831,
    1807962139, 1627165921, 1464449321, 1318004381,  1186203911,  1067583481,  960825127,   864742591,
    778268321,  700441459,  630397301,  567357547,   510621767,   459559579,   413603569,   372243211,
    335018861,  301516967,  271365223,  244228693,   219805823,   197825239,   178042681,   160238387,
};

// The stored name of item i (not padded), or null when none is stored.
const char* storedName(const ModelStore& s, int32_t i, int* len) {
  if (!s.hasNames || i < 1 || i > s.total) return nullptr;
  if (i <= s.n) {
    if (!s.colBlock || s.cnlen <= 0) return nullptr;
    *len = s.cnlen;
    return s.colBlock + static_cast<int64_t>(i - 1) * s.cnlen;
  }
  if (!s.rowBlock || s.rnlen <= 0) return nullptr;
  *len = s.rnlen;
  return s.rowBlock + static_cast<int64_t>(i - s.obj) * s.rnlen;
}

// Length of a stored name as it reads: up to a NUL (Set NULLTERM), then
// without trailing blanks.
int effective(const ModelStore& s, const char* p, int len) {
  int n = 0;
  if (s.nullTerm) {
    while (n < len && p[n] != '\0') ++n;
  } else {
    n = len;
  }
  while (n > 0 && (p[n - 1] == ' ' || (!s.nullTerm && p[n - 1] == '\0'))) --n;
  return n;
}

int generatedName(const ModelStore& s, int32_t i, char* out, int cap) {
  int n;
  if (i <= s.n)
    n = std::snprintf(out, static_cast<size_t>(cap), "x%d", i - 1 + s.indexBase);
  else if (i == s.obj)
    n = std::snprintf(out, static_cast<size_t>(cap), "obj");
  else
    n = std::snprintf(out, static_cast<size_t>(cap), "c%d", i - s.obj + s.indexBase);
  if (n < 0) n = 0;
  if (n >= cap) n = cap - 1;
  return n;
}

bool sameChar(char x, char y, bool caseSensitive) {
  if (caseSensitive) return x == y;
  return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
}

// The given name as it reads: len characters (len <= 0: up to a NUL, at
// most cap), trailing blanks and NULs dropped.
int givenLength(const char* name, int len, int cap) {
  int n = 0;
  if (len <= 0) {
    while (n < cap && name[n] != '\0') ++n;
  } else {
    while (n < len && name[n] != '\0') ++n;
  }
  while (n > 0 && name[n - 1] == ' ') --n;
  return n;
}

// Whether item i's name reads as the given (trimmed) name.
bool nameMatches(const ModelStore& s, int32_t i, const char* name, int n) {
  int len = 0;
  const char* p = storedName(s, i, &len);
  char gen[48];
  int e;
  if (p && (e = effective(s, p, len)) > 0) {
    if (e > itemNameLength(s, i)) e = itemNameLength(s, i);
  } else {
    e = generatedName(s, i, gen, sizeof gen);
    p = gen;
  }
  if (e != n) return false;
  for (int k = 0; k < n; ++k)
    if (!sameChar(p[k], name[k], s.caseSensitive)) return false;
  return true;
}

// Linear scan over items first..last (combined indices) starting after the
// kind's cursor and wrapping around once.
int32_t scan(ModelStore& s, int32_t first, int32_t last, int cursorSlot, const char* name, int n) {
  const int32_t count = last - first + 1;
  if (count <= 0) return 0;
  int32_t start = s.scanCursor[cursorSlot];
  if (start < 0 || start >= count) start = 0;
  for (int32_t k = 0; k < count; ++k) {
    int32_t off = start + k;
    if (off >= count) off -= count;
    const int32_t i = first + off;
    if (nameMatches(s, i, name, n)) {
      s.scanCursor[cursorSlot] = off + 1 >= count ? 0 : off + 1;
      return i;
    }
  }
  return 0;
}

// Parses a generated name quickly when the model has no stored names.
int32_t parseGenerated(const ModelStore& s, const char* name, int n, NameKind kind) {
  const bool cs = s.caseSensitive;
  if (n == 3 && (kind & kNameRow) && sameChar(name[0], 'o', cs) && sameChar(name[1], 'b', cs) &&
      sameChar(name[2], 'j', cs))
    return s.obj;
  if (n < 2 || n > 11) return 0;
  int64_t v = 0;
  for (int k = 1; k < n; ++k) {
    if (name[k] < '0' || name[k] > '9') return 0;
    v = v * 10 + (name[k] - '0');
  }
  if (n > 2 && name[1] == '0') return 0;  // generated numbers carry no leading zero
  if (sameChar(name[0], 'x', cs) && (kind & kNameColumn)) {
    const int64_t j = v + 1 - s.indexBase;
    return j >= 1 && j <= s.n ? static_cast<int32_t>(j) : 0;
  }
  if (sameChar(name[0], 'c', cs) && (kind & kNameRow)) {
    const int64_t r = v - s.indexBase;
    return r >= 1 && r < s.m ? static_cast<int32_t>(s.obj + r) : 0;
  }
  return 0;
}

NameHash& tableOf(ModelStore& s, NameKind kind) { return kind == kNameColumn ? s.colHash : s.rowHash; }
const NameHash& tableOf(const ModelStore& s, NameKind kind) { return kind == kNameColumn ? s.colHash : s.rowHash; }

const char* blockEntry(const ModelStore& s, NameKind kind, int32_t pos, int* len) {
  if (kind == kNameColumn) {
    *len = s.cnlen;
    return s.colBlock + static_cast<int64_t>(pos) * s.cnlen;
  }
  *len = s.rnlen;
  return s.rowBlock + static_cast<int64_t>(pos) * s.rnlen;
}

int32_t blockCount(const ModelStore& s, NameKind kind) { return kind == kNameColumn ? s.n : s.m; }

int32_t findInKind(ModelStore& s, const char* name, int n, NameKind kind) {
  const NameHash& h = tableOf(s, kind);
  if (h.slots && h.size > 0 && s.hasNames) {
    const int32_t pos = hashFind(s, kind, name, n);
    if (pos < 0) return 0;
    return kind == kNameColumn ? pos + 1 : s.obj + pos;
  }
  if (!s.hasNames) return parseGenerated(s, name, n, kind);
  if (kind == kNameColumn) return scan(s, 1, s.n, 0, name, n);
  return scan(s, s.obj, s.total, 1, name, n);
}

}  // namespace

bool hasStoredName(const ModelStore& s, int32_t i) {
  int len = 0;
  const char* p = storedName(s, i, &len);
  return p && effective(s, p, len) > 0;
}

int itemName(const ModelStore& s, int32_t i, char* out, int cap) {
  if (!out || cap < 1) return 0;
  int n = 0;
  if (i < 1 || i > s.total) {
    n = std::snprintf(out, static_cast<size_t>(cap), "??? c=%d", i);
    if (n < 0) n = 0;
    if (n >= cap) n = cap - 1;
    return n;
  }
  const int width = itemNameLength(s, i);
  int len = 0;
  const char* p = storedName(s, i, &len);
  int e = p ? effective(s, p, len) : 0;
  if (e > 0) {
    if (e > cap - 1) e = cap - 1;
    std::memcpy(out, p, static_cast<size_t>(e));
    n = e;
  } else {
    n = generatedName(s, i, out, cap);
  }
  while (n < width && n < cap - 1) out[n++] = ' ';
  out[n] = '\0';
  return n;
}

int32_t findItem(ModelStore& s, const char* name, int len, NameKind kind) {
  if (!name || s.total <= 0) return 0;
  const int longer = s.cnlen > s.rnlen ? s.cnlen : s.rnlen;
  const int n = givenLength(name, len, longer > 0 ? longer : 1);
  if (n <= 0) return 0;
  bool cols = (kind & kNameColumn) != 0;
  bool rows = (kind & kNameRow) != 0;
  if (kind == kNameEither && len > 0) {
    // A name of a given length is one of that length: columns, rows, or
    // (a length neither has) nothing.
    cols = len == s.cnlen;
    rows = len == s.rnlen;
  }
  int32_t i = 0;
  if (cols && n <= s.cnlen) i = findInKind(s, name, n, kNameColumn);
  if (!i && rows && n <= s.rnlen) i = findInKind(s, name, n, kNameRow);
  return i;
}

int32_t indexOfName(ModelStore& s, const char* name, int len, NameKind kind) {
  const int32_t i = findItem(s, name, len, kind);
  if (i == 0) return -1;
  return i <= s.n ? i - 1 : i - s.obj;
}

uint32_t nameHash(const char* name, int len) {
  if (!name || len <= 0) return 0;
  int n = len;
  while (n > 0 && name[n - 1] == ' ') --n;
  if (n < 2) n = len < 2 ? len : 2;
  uint32_t h = 0;
  int at = 0;
  for (int chunk = 32; chunk >= 1; chunk /= 2) {
    while (n - at >= chunk) {
      for (int k = 0; k < chunk; ++k) {
        const int32_t code = static_cast<signed char>(name[at + k]);
        h += static_cast<uint32_t>(code) * static_cast<uint32_t>(kHashWeights[k]);
      }
      at += chunk;
    }
  }
  return h;
}

int32_t nameHashSize(int64_t want) {
  if (want < 5) want = 5;
  if (want % 2 == 0) ++want;
  for (;;) {
    bool divisible = false;
    const int64_t limit = static_cast<int64_t>(std::sqrt(static_cast<double>(want))) + 1;
    for (int64_t d = 3; d <= limit && d < want; d += 2)
      if (want % d == 0) {
        divisible = true;
        break;
      }
    if (!divisible) break;
    want += 2;
  }
  return want > 2147483647 ? 2147483647 : static_cast<int32_t>(want);
}

bool buildNameHash(ModelArea& a, NameKind kind, int32_t size) {
  ModelStore& s = a.store;
  NameHash& h = tableOf(s, kind);
  h = NameHash{};
  if (size < 5 || !s.hasNames) return false;
  int32_t* raw = storeAlloc<int32_t>(a, static_cast<int64_t>(size) + 3);
  if (!raw) return false;
  for (int64_t k = 0; k < static_cast<int64_t>(size) + 3; ++k) raw[k] = -1;
  h.slots = raw + 3;
  h.size = size;
  const int32_t count = blockCount(s, kind);
  for (int32_t pos = 0; pos < count; ++pos)
    if (!hashInsert(s, kind, pos)) return false;
  return true;
}

namespace {

// Folds a name for hashing and comparing: the readers store names folded
// unless Set CASESENS, and a lookup folds the name it is given the same way.
void foldInto(const ModelStore& s, const char* src, int n, char* dst) {
  for (int k = 0; k < n; ++k)
    dst[k] = s.caseSensitive ? src[k] : static_cast<char>(std::toupper(static_cast<unsigned char>(src[k])));
}

}  // namespace

namespace {

// The folded, blank-padded key of block entry pos into key (width chars).
bool entryKey(const ModelStore& s, NameKind kind, int32_t pos, char* key, int cap) {
  int elen = 0;
  const char* e = blockEntry(s, kind, pos, &elen);
  if (elen > cap) return false;
  int n = elen;
  if (s.nullTerm) {
    n = 0;
    while (n < elen && e[n] != '\0') ++n;
  }
  std::memset(key, ' ', static_cast<size_t>(elen));
  foldInto(s, e, n, key);
  return true;
}

void probe(const NameHash& h, uint32_t hv, uint32_t* start, uint32_t* step) {
  const uint32_t size = static_cast<uint32_t>(h.size);
  *start = hv % size;
  *step = hv % (size - 2) + 1;
}

}  // namespace

int32_t hashFind(const ModelStore& s, NameKind kind, const char* name, int len) {
  const NameHash& h = tableOf(s, kind);
  if (!h.slots || h.size < 3 || !name || len <= 0) return -1;
  const int width = kind == kNameColumn ? s.cnlen : s.rnlen;
  // Shortcuts of the readers.
  if ((name[0] == '"' || name[0] == '\'') && (len == 1 || name[1] == ' ')) return h.slots[name[0] == '"' ? -2 : -1];
  if (name[0] == '~' && len > 2 && name[1] == '(') {
    int64_t v = 0;
    int k = 2;
    while (k < len && k < 10 && name[k] >= '0' && name[k] <= '9') v = v * 10 + (name[k++] - '0');
    if (k > 2 && k < len && k < 10 && name[k] == ')') {
      const int32_t count = blockCount(s, kind);
      return v >= 0 && v < count ? static_cast<int32_t>(v) : -1;
    }
  }
  constexpr int kKeyCap = 512;
  if (len > width || width > kKeyCap) return -1;
  char key[kKeyCap], other[kKeyCap];
  std::memset(key, ' ', static_cast<size_t>(width));
  foldInto(s, name, len, key);
  uint32_t slot, step;
  probe(h, nameHash(key, width), &slot, &step);
  const uint32_t first = slot;
  do {
    const int32_t pos = h.slots[slot];
    if (pos < 0) return -1;
    if (entryKey(s, kind, pos, other, kKeyCap) && std::memcmp(other, key, static_cast<size_t>(width)) == 0)
      return pos;
    slot = (slot + step) % static_cast<uint32_t>(h.size);
  } while (slot != first);
  return -1;
}

bool hashInsert(ModelStore& s, NameKind kind, int32_t pos) {
  NameHash& h = tableOf(s, kind);
  if (!h.slots || h.size < 3) return false;
  constexpr int kKeyCap = 512;
  char key[kKeyCap];
  if (!entryKey(s, kind, pos, key, kKeyCap)) return false;
  const int width = kind == kNameColumn ? s.cnlen : s.rnlen;
  uint32_t slot, step;
  probe(h, nameHash(key, width), &slot, &step);
  const uint32_t first = slot;
  do {
    if (h.slots[slot] < 0) {
      h.slots[slot] = pos;
      return true;
    }
    if (h.slots[slot] == pos) return true;
    slot = (slot + step) % static_cast<uint32_t>(h.size);
  } while (slot != first);
  return false;
}

namespace {

const char* sourceName(const void* ctx, int i, int* len) {
  const ModelStore& s = *static_cast<const ModelStore*>(ctx);
  *len = itemName(s, i, s.genName, sizeof s.genName);
  return s.genName;
}

}  // namespace

NameSource storeNameSource(const ModelStore& s) {
  NameSource src;
  src.n = s.n;
  src.m = s.m > 0 ? s.m - 1 : 0;
  src.indexBase = s.indexBase;
  src.colNameLen = s.cnlen;
  src.rowNameLen = s.rnlen;
  src.storedName = &sourceName;
  src.ctx = &s;
  return src;
}

}  // namespace kz
