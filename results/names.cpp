// KZNAME and KZNDXNUM: names of items and items of names, read from the
// model store.
#include <cstring>

#include "frame/entry.h"
#include "model/settings.h"
#include "model/store_ops.h"

using namespace kz;

namespace {

// The item a caller's number stands for (c + 1 - base; -1: the last found
// item), or 0 when outside the model.
int32_t itemOf(const ModelStore& s, int32_t c) {
  if (!s.loaded) return 0;
  const int64_t i = c == -1 ? s.lastFound : int64_t{c} + 1 - s.indexBase;
  return i >= 1 && i <= s.total ? static_cast<int32_t>(i) : 0;
}

// The name as the trace line shows it: trailing blanks removed.
int traceLength(const char* name, int len) {
  int n = 0;
  while (n < len && n < 4095 && name[n] != '\0') ++n;
  while (n > 0 && name[n - 1] == ' ') --n;
  return n;
}

}  // namespace

extern "C" KZ_API int16_t KZNAME(KZOSL* rc, int32_t c, char* name) {
  return runEntry(rc, "KZNAME", kEntryDefault, [&](Frame& f) {
    ModelArea& a = f.area();
    ModelStore& s = a.store;
    f.enter("Entering KZNAME, KZOSL %p Rc %d c %d name %p Mem %ld ", static_cast<void*>(rc), f.block()->rc, c,
            static_cast<void*>(name), static_cast<long>(a.pool.freeBytes));
    char buf[1024] = {};
    int len = 0;
    const int32_t i = itemOf(s, c);
    if (a.irc < 2 || a.irc > 99) {
      a.fnValue = 1;
    } else if (!name) {
      a.irc = 903;
      a.fnValue = 1;
    } else if (i == 0) {
      a.fnValue = 1;
    } else {
      const int width = itemNameLength(s, i);
      itemName(s, i, buf, sizeof buf);
      len = width < static_cast<int>(sizeof buf) - 1 ? width : static_cast<int>(sizeof buf) - 1;
      buf[len] = '\0';
      if (countedNames(a)) {
        int n = len;
        while (n > 0 && buf[n - 1] == ' ') --n;
        name[0] = static_cast<char>(n > 255 ? 255 : n);
        std::memcpy(name + 1, buf, static_cast<size_t>(len));
      } else {
        // Plain mode and, on this platform, the safe-array mode: the
        // fixed-length name as characters, without a terminator.
        std::memcpy(name, buf, static_cast<size_t>(len));
      }
      a.fnValue = 0;
    }
    f.setLeaving("Leaving KZNAME, Fnct Value %d Rc %d Len %d %s %s", a.fnValue, a.irc, len,
                 i == 0 ? "" : (i <= s.n ? "Col" : "Row"), buf);
  });
}

extern "C" KZ_API int16_t KZNDXNUM(KZOSL* rc, int32_t* index, const char* name, int16_t len) {
  return runEntry(rc, "KZNDXNUM", kEntryDefault, [&](Frame& f) {
    ModelArea& a = f.area();
    ModelStore& s = a.store;
    const int longer = s.cnlen > s.rnlen ? s.cnlen : s.rnlen;
    const char* text = name;
    int n = len;
    if (name && countedNames(a)) {
      n = static_cast<unsigned char>(name[0]);
      text = name + 1;
    }
    if (f.traced()) {
      const int shown = text ? traceLength(text, n > 0 ? n : longer) : 0;
      f.enter("Entering KZNDXNUM, KZOSL %p Rc %d index %p name %.*s len %d Mem %ld ", static_cast<void*>(rc),
              f.block()->rc, static_cast<void*>(index), shown, text ? text : "", len,
              static_cast<long>(a.pool.freeBytes));
    }
    int32_t found = 0;
    if (a.irc < 2 || a.irc > 100 || !index) {
      a.fnValue = 1;
    } else {
      if (s.loaded && text) found = findItem(s, text, n, kNameEither);
      if (found) {
        *index = found - 1 + s.indexBase;
        s.lastFound = found;
        a.fnValue = 0;
      } else {
        *index = -1;
        a.fnValue = 1;
        if (n != 0 && n != s.cnlen && n != s.rnlen) a.irc = 904;
      }
    }
    f.setLeaving("Leaving KZNDXNUM, Fnct Value %d Rc %d Index %d Mem %ld ", a.fnValue, a.irc,
                 found ? found - 1 + s.indexBase : -1, static_cast<long>(a.pool.freeBytes));
  });
}
