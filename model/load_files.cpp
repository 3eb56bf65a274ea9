// The start-information files of the Basis option (basis file, integer
// file) and the basis memory of Basis +n.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/files.h"
#include "frame/output.h"
#include "model/load.h"
#include "model/seams.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr int kBasisUnit = 2;
constexpr int kLineCap = 1024;

std::string trimmed(const char* t) {
  std::string s(t ? t : "");
  while (!s.empty() && s.back() == ' ') s.pop_back();
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return s.substr(b);
}

// The file the Basis option names, for reading or for writing; "" for none.
std::string basisFileName(const ModelArea& a, bool forWriting) {
  const std::string t = trimmed(basisFileText(a));
  if (basisTextIsNever(t.c_str())) return "";
  if (t == "NONE") return forWriting ? trimmed(problemName(a)) : "";
  if (t == "*") return trimmed(problemName(a));
  return t;
}

bool openFile(ModelArea& a, const std::string& name, const char* ext, int mode) {
  if (name.empty()) return false;
  if (buildFileName(a.files, kBasisUnit, name.c_str(), ext, a.opt.currentDir, a.serial, a.solves + 1) < 0)
    return false;
  return fileOpen(a.files, kBasisUnit, mode, nullptr) == 0;
}

bool readLine(ModelArea& a, char* line, int* len) {
  int16_t fv = 0;
  return fileReadLine(a.files, kBasisUnit, line, kLineCap, len, &fv) == 0;
}

// The name field of a record: from column 5 (index 4), width characters.
void nameField(const char* line, int len, int from, int width, char* out) {
  int n = 0;
  for (int k = from; k < len && n < width; ++k) out[n++] = line[k];
  out[n] = '\0';
}

// An item of a record in a model without stored names: "x<k>" is column
// k + 1, any other name ending in a number k is row k (k in the caller's base).
int32_t generatedItem(const ModelStore& s, const char* name) {
  int n = static_cast<int>(std::strlen(name));
  while (n > 0 && name[n - 1] == ' ') --n;
  int d = n;
  while (d > 0 && name[d - 1] >= '0' && name[d - 1] <= '9') --d;
  if (d == n) return 0;
  const long k = std::strtol(std::string(name + d, name + n).c_str(), nullptr, 10) - s.indexBase;
  if (d == 1 && (name[0] == 'x' || name[0] == 'X')) return k >= 0 && k < s.n ? static_cast<int32_t>(k + 1) : 0;
  return k >= 0 && k < s.m ? static_cast<int32_t>(s.obj + k) : 0;
}

// Looks up a record's name: columns first when the code's second letter is
// C, constraint rows first otherwise; the other kind when not found.
int32_t recordItem(ModelStore& s, const char* line, int len, char second, int from) {
  char name[kLineCap];
  if (!s.hasNames) {
    nameField(line, len, from, kLineCap - 1, name);
    return generatedItem(s, name);
  }
  const bool columnFirst = second == 'C';
  for (int round = 0; round < 2; ++round) {
    const bool column = (round == 0) == columnFirst;
    nameField(line, len, from, column ? s.cnlen : s.rnlen, name);
    const int32_t i = findItem(s, name, static_cast<int>(std::strlen(name)), column ? kNameColumn : kNameRow);
    if (i > 0 && (column || i > s.obj)) return i;
  }
  return 0;
}

// Value field after the name of a record.
double recordValue(const ModelStore& s, const char* line, int len, int32_t i) {
  const int from = 4 + itemNameLength(s, i);
  if (from >= len) return 0.0;
  return std::strtod(line + from, nullptr);
}

bool skipToName(ModelArea& a, char* line, int* len) {
  while (readLine(a, line, len)) {
    int k = 0;
    while (k < *len && line[k] == ' ') ++k;
    if (*len - k >= 4 && std::strncmp(line + k, "NAME", 4) == 0 && (k + 4 == *len || line[k + 4] == ' ')) return true;
  }
  return false;
}

// A record line, or false at the end of the records.
bool nextRecord(ModelArea& a, char* line, int* len) {
  while (readLine(a, line, len)) {
    if (*len == 0) continue;
    if (line[0] != ' ') return false;
    if (*len >= 3) return true;
  }
  return false;
}

void clearStartMarks(ModelStore& s) {
  for (int32_t i = 1; i <= s.total; ++i) {
    s.kind[i] &= ~kKindStartMarks;
    if (i <= s.n) s.auxCol[i] &= ~kAuxStartAtOne;
  }
}

void writeRecord(ModelArea& a, const char* code, const ModelStore& s, int32_t i, const char* tail) {
  char name[kLineCap];
  itemName(s, i, name, sizeof name);
  std::string line = std::string(" ") + code + " " + name + (tail ? tail : "");
  int16_t fv = 0;
  fileWrite(a.files, kBasisUnit, line.data(), static_cast<int>(line.size()), &fv);
}

void writeNameLine(ModelArea& a, bool withSolve) {
  char line[128];
  std::string model = trimmed(problemName(a));
  if (model.empty()) model = trimmed(a.opt.runName);
  int n = std::snprintf(line, sizeof line, "NAME          %-58.58s", model.c_str());
  if (withSolve) n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %d", a.solves);
  int16_t fv = 0;
  fileWrite(a.files, kBasisUnit, line, n, &fv);
}

void unableToSave(ModelArea& a) { writeTextLine(a, "? Warning 20050  Unable to save advance basis to disk.", kClassWarning); }

}  // namespace

bool readBasisFile(ModelArea& a, bool interior) {
  ModelStore& s = a.store;
  const std::string name = basisFileName(a, false);
  if (!openFile(a, name, interior ? "bar" : "bss", kFileModeRead)) return false;
  char line[kLineCap];
  int len = 0;
  bool any = false;
  bool rowsMarked = false;
  if (skipToName(a, line, &len)) {
    while (nextRecord(a, line, &len)) {
      const char c1 = static_cast<char>(std::toupper(static_cast<unsigned char>(line[1])));
      const char c2 = static_cast<char>(std::toupper(static_cast<unsigned char>(line[2])));
      const int32_t i = recordItem(s, line, len, c2, 4);
      if (!any && !interior) clearStartMarks(s);
      any = true;
      if (i == 0) continue;
      if (interior) {
        if (c1 != 'B') continue;
        if (!s.startPoint) s.startPoint = storeAllocZero<double>(a, int64_t{s.total} + 1);
        if (s.startPoint) s.startPoint[i] = recordValue(s, line, len, i);
        continue;
      }
      if (c1 == 'X') {
        if (!rowsMarked)
          for (int32_t r = s.obj + 1; r <= s.total; ++r) s.kind[r] |= kKindBasic;
        rowsMarked = true;
        s.kind[i] = (s.kind[i] | kKindBasic) & ~kKindAtUpper;
        int32_t row = 0;
        if (s.hasNames) {
          char rname[16];
          nameField(line, len, 14, 8, rname);
          row = findItem(s, rname, static_cast<int>(std::strlen(rname)), kNameRow);
        } else {
          char rname[kLineCap];
          nameField(line, len, 14, kLineCap - 1, rname);
          row = generatedItem(s, rname);
        }
        if (row > s.obj) {
          s.kind[row] &= ~kKindBasic;
          if (c2 == 'U' && (s.kind[row] & kKindUpper)) s.kind[row] |= kKindAtUpper;
        }
      } else if (c1 == 'B') {
        s.kind[i] = (s.kind[i] | kKindBasic) & ~kKindAtUpper;
      } else if (c1 == 'U') {
        s.kind[i] = (s.kind[i] | kKindAtUpper) & ~kKindBasic;
      }
    }
  }
  fileClose(a.files, kBasisUnit);
  if (any) {
    s.startBasisGiven = true;
    s.advancedStart = true;
  }
  return any;
}

bool writeBasisFile(ModelArea& a, const double* values) {
  const ModelStore& s = a.store;
  if (!s.loaded) return false;
  const bool interior = (s.method & kMethodInterior) != 0;
  const std::string name = basisFileName(a, true);
  if (name.empty()) return true;
  if (!openFile(a, name, interior ? "bar" : "bss", kFileModeCreate)) {
    unableToSave(a);
    return false;
  }
  writeNameLine(a, true);
  for (int32_t i = 1; i <= s.total; ++i) {
    if (i == s.obj) continue;
    const bool column = i <= s.n;
    if (interior) {
      if (!column || !values || values[i] == 0.0) continue;
      char tail[48];
      std::snprintf(tail, sizeof tail, "  %30.15g", values[i]);
      writeRecord(a, "BC", s, i, tail);
      continue;
    }
    const uint32_t k = s.kind[i];
    if (k & kKindBasic)
      writeRecord(a, column ? "BC" : "BR", s, i, nullptr);
    else if (!column && !rowActiveInSolve(a, i))
      writeRecord(a, "BR", s, i, nullptr);
    else if (k & kKindAtUpper)
      writeRecord(a, column ? "UC" : "UR", s, i, nullptr);
  }
  int16_t fv = 0;
  fileWrite(a.files, kBasisUnit, "ENDATA", 6, &fv);
  const bool ok = fileClose(a.files, kBasisUnit) == 0 && fv == 0;
  if (!ok) unableToSave(a);
  return ok;
}

bool readIntegerFile(ModelArea& a) {
  ModelStore& s = a.store;
  if (s.binaries + s.generalIntegers + s.semis == 0) return false;
  const std::string name = basisFileName(a, false);
  if (!openFile(a, name, "b01", kFileModeRead)) return false;
  char line[kLineCap];
  int len = 0;
  bool first = true;
  if (skipToName(a, line, &len)) {
    while (nextRecord(a, line, &len)) {
      if (first) {
        for (int32_t i = 1; i <= s.total; ++i) {
          if (i <= s.n) s.auxCol[i] &= ~kAuxStartAtOne;
          s.status[i - 1] = static_cast<int32_t>(statusWord(s, i) & ~(kStatusIntFileY | kStatusIntFileZ));
        }
        if (s.generalIntegers + s.semis > 0 && !s.attached.startValue)
          s.attached.startValue = storeAlloc<double>(a, int64_t{s.n} + 1);
        if (s.attached.startValue && s.generalIntegers + s.semis > 0)
          for (int32_t j = 0; j < s.n; ++j) s.attached.startValue[j] = -1e200;
        first = false;
      }
      const char c1 = static_cast<char>(std::toupper(static_cast<unsigned char>(line[1])));
      const char c2 = static_cast<char>(std::toupper(static_cast<unsigned char>(line[2])));
      const int32_t i = recordItem(s, line, len, c2, 4);
      if (i == 0) continue;
      if (c1 == 'Y') {
        s.status[i - 1] |= static_cast<int32_t>(kStatusIntFileY);
        continue;
      }
      if (c1 == 'Z') {
        s.status[i - 1] |= static_cast<int32_t>(kStatusIntFileZ);
        continue;
      }
      if (i > s.n || !(s.kind[i] & (kKindIntegral | kKindAnySemi))) continue;
      if (s.attached.startValue)
        s.attached.startValue[i - 1] = c1 == 'U' ? 1.0 : recordValue(s, line, len, i);
      else if (c1 == 'U')
        s.auxCol[i] |= kAuxStartAtOne;
    }
  }
  fileClose(a.files, kBasisUnit);
  return !first;
}

bool writeIntegerFile(ModelArea& a, const double* values) {
  const ModelStore& s = a.store;
  if (!s.loaded || s.binaries + s.generalIntegers + s.semis == 0) return true;
  const std::string name = basisFileName(a, true);
  if (name.empty()) return true;
  if (!openFile(a, name, "b01", kFileModeCreate)) {
    unableToSave(a);
    return false;
  }
  writeNameLine(a, false);
  for (int32_t i = 1; i <= s.total; ++i) {
    if (i == s.obj) continue;
    const bool column = i <= s.n;
    const uint32_t st = statusWord(s, i);
    if (st & kStatusIntFileY) writeRecord(a, column ? "YC" : "YR", s, i, " V");
    if (st & kStatusIntFileZ) writeRecord(a, column ? "ZC" : "ZR", s, i, " V");
  }
  const bool onlyBinary = s.generalIntegers + s.semis == 0;
  for (int32_t j = 1; j <= s.n; ++j) {
    const uint32_t k = s.kind[j];
    if (!(k & (kKindIntegral | kKindAnySemi))) continue;
    const double v = values ? values[j] : 0.0;
    if (onlyBinary) {
      if ((!(k & kKindBasic) && (k & kKindAtUpper)) || ((k & kKindBasic) && v != 0.0))
        writeRecord(a, "UC", s, j, " V");
    } else {
      char tail[48];
      std::snprintf(tail, sizeof tail, "  %.15g", v);
      writeRecord(a, "BC", s, j, tail);
    }
  }
  int16_t fv = 0;
  fileWrite(a.files, kBasisUnit, "ENDATA", 6, &fv);
  const bool ok = fileClose(a.files, kBasisUnit) == 0 && fv == 0;
  if (!ok) unableToSave(a);
  return ok;
}

// ---- basis memory ----

namespace {

std::string slotName(const char* field) {
  std::string n(field, strnlen(field, 8));
  return trimmed(n.c_str());
}

// Brings the slots in line with the Basis settings: "1" .. "n" and the
// slots created by name, in that order; a slot that stays keeps its data.
void syncBasisMemory(ModelArea& a) {
  BasisMemory& bm = a.store.basisMemory;
  std::vector<std::string> want;
  for (int32_t k = 1; k <= basisSlotCount(a); ++k) want.push_back(std::to_string(k));
  for (int k = 0; k < basisNamedSlots(a); ++k) want.push_back(slotName(basisNamedSlot(a, k)));
  bool same = want.size() == bm.slots.size();
  for (size_t k = 0; same && k < want.size(); ++k) same = bm.slots[k].name == want[k];
  if (!same) {
    std::vector<BasisSlot> slots;
    for (const std::string& w : want) {
      BasisSlot slot;
      for (BasisSlot& old : bm.slots)
        if (old.name == w) {
          slot = std::move(old);
          old.name.clear();
          break;
        }
      slot.name = w;
      slots.push_back(std::move(slot));
    }
    bm.slots = std::move(slots);
    bm.current = -1;
  }
}

// The slot Basis .name made current, or -1.
int32_t selectedSlot(const ModelArea& a) {
  const std::string want = slotName(basisCurrentSlot(a));
  if (want.empty()) return -1;
  const BasisMemory& bm = a.store.basisMemory;
  for (size_t k = 0; k < bm.slots.size(); ++k)
    if (bm.slots[k].name == want) return static_cast<int32_t>(k);
  return -1;
}

}  // namespace

namespace {

int64_t distance(int64_t x, int64_t y) { return x > y ? x - y : y - x; }

// Resets a slot to the current model's dimensions: the next solve saves into it.
void claimSlot(ModelArea& a, BasisSlot& slot) {
  const ModelStore& s = a.store;
  slot.hasData = false;
  slot.rows = s.m - 1;
  slot.columns = s.n;
  slot.nonzeros = s.nonzeros;
  slot.rnlen = s.rnlen;
  slot.cnlen = s.cnlen;
  slot.integerColumns = s.binaries + s.generalIntegers;
  slot.words.clear();
  slot.colNames.clear();
  slot.rowNames.clear();
}

}  // namespace

bool basisMemoryApply(ModelArea& a) {
  ModelStore& s = a.store;
  BasisMemory& bm = s.basisMemory;
  if (!s.hasNames || parallelListReload(a)) return false;
  syncBasisMemory(a);
  if (bm.slots.empty()) return false;
  const int32_t selected = selectedSlot(a);
  const int32_t cons = s.m - 1;
  const bool modelIntegral = s.binaries + s.generalIntegers > 0;
  int32_t best = -1;
  for (size_t k = 0; k < bm.slots.size(); ++k) {
    const BasisSlot& sl = bm.slots[k];
    if (!sl.hasData || sl.rnlen != s.rnlen || sl.cnlen != s.cnlen) continue;
    if (!relaxed(a) && (sl.integerColumns > 0) != modelIntegral) continue;
    if (best < 0) {
      best = static_cast<int32_t>(k);
      continue;
    }
    const BasisSlot& b = bm.slots[static_cast<size_t>(best)];
    const int64_t dr = distance(sl.rows, cons), br = distance(b.rows, cons);
    const int64_t dc = distance(sl.columns, s.n), bc = distance(b.columns, s.n);
    const int64_t dn = distance(sl.nonzeros, s.nonzeros), bn = distance(b.nonzeros, s.nonzeros);
    if (dr < br || (dr == br && (dc < bc || (dc == bc && dn < bn)))) best = static_cast<int32_t>(k);
  }
  const bool fits = best >= 0 && (distance(bm.slots[static_cast<size_t>(best)].rows, cons) == 0 ||
                                  2 * int64_t{cons} >= 100 * distance(bm.slots[static_cast<size_t>(best)].rows, cons));
  if (!fits) {
    int32_t pick = 0;
    for (size_t k = 1; k < bm.slots.size(); ++k) {
      const BasisSlot& c = bm.slots[k];
      const BasisSlot& p = bm.slots[static_cast<size_t>(pick)];
      if (c.useCount < p.useCount || (c.useCount == p.useCount && c.solveNumber < p.solveNumber))
        pick = static_cast<int32_t>(k);
    }
    claimSlot(a, bm.slots[static_cast<size_t>(pick)]);
    bm.current = selected >= 0 ? selected : pick;
    return false;
  }
  // The slot's start replaces the caller's start marks.
  for (int32_t i = 1; i <= s.total; ++i) {
    s.status[i - 1] = static_cast<int32_t>(statusWord(s, i) & ~kStatusStartMarks);
    s.kind[i] &= ~kKindStartMarks;
    if (i <= s.n) s.auxCol[i] &= ~kAuxStartAtOne;
  }
  BasisSlot& sl = bm.slots[static_cast<size_t>(best)];
  bm.current = selected >= 0 ? selected : best;
  ++sl.useCount;
  sl.solveNumber = a.solves;
  setLuMemoryFactors(a, sl.luFactor);
  const int32_t items = sl.columns + sl.rows;
  for (int32_t k = 0; k < items && static_cast<size_t>(k) < sl.words.size(); ++k) {
    const bool column = k < sl.columns;
    const char* name = column ? &sl.colNames[static_cast<size_t>(k) * sl.cnlen]
                              : &sl.rowNames[static_cast<size_t>(k - sl.columns) * sl.rnlen];
    const int32_t i = findItem(s, name, column ? sl.cnlen : sl.rnlen, column ? kNameColumn : kNameRow);
    if (i == 0 || (!column && i == s.obj) || (s.kind[i] & kKindRemoved)) continue;
    const uint8_t w = sl.words[static_cast<size_t>(k)];
    uint32_t st = statusWord(s, i);
    if (w & 1) {
      s.kind[i] |= kKindBasic;
      st |= kStatusBasic;
    }
    if (w & 2) {
      s.kind[i] |= kKindAtUpper;
      st |= kStatusAtUpper;
    }
    if ((w & 4) && column) {
      s.auxCol[i] |= kAuxStartAtOne;
      st |= kStatusStartAtOne;
      s.integerStartMarks = true;
    }
    if (w & 8) st |= kStatusIntFileY;
    if (w & 16) st |= kStatusIntFileZ;
    s.status[i - 1] = static_cast<int32_t>(st);
  }
  s.advancedStart = true;
  return true;
}

void basisMemorySave(ModelArea& a) {
  ModelStore& s = a.store;
  BasisMemory& bm = s.basisMemory;
  if (!s.loaded || !s.hasNames) return;
  syncBasisMemory(a);
  if (selectedSlot(a) >= 0) bm.current = selectedSlot(a);
  if (bm.current < 0 || static_cast<size_t>(bm.current) >= bm.slots.size()) return;
  BasisSlot& sl = bm.slots[static_cast<size_t>(bm.current)];
  claimSlot(a, sl);
  const int32_t items = s.n + s.m - 1;
  const size_t room = static_cast<size_t>(items) + static_cast<size_t>(items) / 10 + 100;
  sl.words.reserve(room);
  sl.colNames.reserve((static_cast<size_t>(s.n) + static_cast<size_t>(s.n) / 10 + 100) * static_cast<size_t>(s.cnlen));
  sl.rowNames.reserve((static_cast<size_t>(s.m) + static_cast<size_t>(s.m) / 10 + 100) * static_cast<size_t>(s.rnlen));
  char name[kLineCap];
  for (int32_t i = 1; i <= s.total; ++i) {
    if (i == s.obj) continue;
    const uint32_t k = s.kind[i];
    const uint32_t st = statusWord(s, i);
    uint8_t w = 0;
    if (k & kKindBasic) w |= 1;
    if (k & kKindAtUpper) w |= 2;
    if (i <= s.n && (s.auxCol[i] & kAuxStartAtOne)) w |= 4;
    if (st & kStatusIntFileY) w |= 8;
    if (st & kStatusIntFileZ) w |= 16;
    sl.words.push_back(w);
    const int width = itemNameLength(s, i);
    itemName(s, i, name, sizeof name);
    std::vector<char>& block = i <= s.n ? sl.colNames : sl.rowNames;
    block.insert(block.end(), name, name + width);
  }
  sl.objLower = s.lo[s.obj];
  sl.objUpper = s.up[s.obj];
  sl.solveNumber = a.solves;
  sl.luFactor[0] = luMemoryFactors(a)[0];
  sl.luFactor[1] = luMemoryFactors(a)[1];
  sl.hasData = true;
}

}  // namespace kz
