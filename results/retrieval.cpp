// Results retrieval: KZACT, KZDUAL, KZACTC, KZDUALC, KZVAR and KZSTONAM,
// with the value conventions they share (unscaling, unmirroring, clipping,
// the signs of the duals).
#include <cmath>
#include <cstring>

#include "frame/entry.h"
#include "lp/basis.h"
#include "lp/internal_form.h"
#include "lp/scale.h"
#include "model/settings.h"
#include "model/store_ops.h"

using namespace kz;

namespace {

bool solvedOrLoaded(const ModelArea& a) { return a.irc >= 4 && a.irc <= 6 && a.store.loaded; }

// The item a caller's number stands for, or 0 outside the model.
int32_t itemOf(const ModelStore& s, int32_t c) {
  const int64_t i = c == -1 ? s.lastFound : int64_t{c} + 1 - s.indexBase;
  return i >= 1 && i <= s.total ? static_cast<int32_t>(i) : 0;
}

// Index range mode: the first and last item, or false when off.
bool indexRange(const ModelArea& a, int32_t* first, int32_t* last) {
  const int32_t b = a.opt.indexFirst, e = a.opt.indexLast;
  if (b < 0 || b == e) return false;
  const ModelStore& s = a.store;
  int64_t f = int64_t{b} + 1 - s.indexBase, l = int64_t{e} + 1 - s.indexBase;
  if (l > s.total) l = s.total;
  *first = static_cast<int32_t>(f);
  *last = static_cast<int32_t>(l);
  return true;
}

int16_t modelStatus(const ModelArea& a) {
  const LpState* L = lpStateIf(a);
  return L ? L->modSts : 15;
}

void itemBounds(const ModelArea& a, int32_t i, double* lo, double* up) {
  const ModelStore& s = a.store;
  if (i <= s.n)
    callerColumnBounds(a, i, lo, up);
  else
    callerRowBounds(a, i, lo, up);
  if (*lo < -kInfOut) *lo = -kInfOut;
  if (*up > kInfOut) *up = kInfOut;
}

// The value the solver holds for item i, in the caller's terms.
double rawActivity(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  if (L && L->solutionValid && static_cast<size_t>(i) < L->act.size()) return L->act[static_cast<size_t>(i)];
  if (i <= s.n) {
    const double x0 = (s.kind[i] & kKindAtUpper) && (s.kind[i] & kKindUpper) ? s.up[i] : 0.0;
    return callerColumnValue(a, i, x0);
  }
  return 0.0;
}

double activityOf(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  if (L && L->unboundedVar == i && L->solutionValid) return 1e23;
  double v = rawActivity(a, i);
  const bool iround = a.opt.iRound != 0;
  if (modelStatus(a) > 2) {
    if (iround && std::fabs(v) < tranEntry(a)) v = 0.0;
    return v;
  }
  if (!iround) return v;
  if (i <= s.n && (s.kind[i] & kKindAnySemi) && v < 0.0) return 0.0;
  double lo = -kInternalInf, up = kInternalInf;
  if (i != s.obj) {
    itemBounds(a, i, &lo, &up);
    if (lo <= -kInfOut) lo = -kInternalInf;
    if (up >= kInfOut) up = kInternalInf;
  }
  if (v < lo) v = lo;
  if (v > up) v = up;
  if (std::fabs(v) < primalTolerance(a)) v = 0.0;
  return v;
}

double dualOf(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  if (!L || !L->solutionValid || static_cast<size_t>(i) >= L->dual.size()) return 0.0;
  const double d = unscaleReducedCost(s, i, L->dual[static_cast<size_t>(i)]);
  const bool maximize = maximizing(a);
  bool plain;  // d as it is when minimising
  if (i <= s.n)
    plain = !(s.kind[i] & kKindMirrored);
  else
    plain = (s.kind[i] & kKindLogicalMinus) != 0;
  double v = plain ? d : -d;
  if (maximize) v = -v;
  if (std::fabs(v) < std::fabs(a.opt.reducedCost)) v = 0.0;
  if (std::fabs(v) < 1e-13) v = 0.0;
  return v;
}

uint32_t statusOf(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  const double t = primalTolerance(a);
  const double v = activityOf(a, i);
  double lo = -kInfOut, up = kInfOut;
  if (i != s.obj) itemBounds(a, i, &lo, &up);
  const bool nearLo = lo > -kInfOut && std::fabs(v - lo) <= t;
  const bool nearUp = up < kInfOut && std::fabs(v - up) <= t;
  const uint32_t k = s.kind[i];
  const bool column = i <= s.n;
  uint32_t w;
  bool inactive = false;
  if (!column && i != s.obj && L && !L->luRow.empty()) inactive = L->luRow[static_cast<size_t>(i - s.obj)] == 0;
  if (inactive) {
    w = nearLo ? 0x1000u : (nearUp ? 2u : 1u);
  } else if ((k & kKindBasic) || i == s.obj) {
    w = nearLo ? 0x1001u : 1u;
    if (nearUp) w |= 2u;
  } else if (up - lo <= t) {
    double dv = dualOf(a, i);
    if (maximizing(a)) dv = -dv;
    w = dv > 0.0 ? 0x1000u : 2u;
  } else {
    if (nearLo || (column && (k & kKindAnySemi) && std::fabs(v) <= t))
      w = 0x1000u;
    else if (nearUp)
      w = 2u;
    else if (column && (k & (kKindIntegral | kKindAnySemi)))
      w = 0x800000u;
    else
      w = 0u;
    w |= nearUp ? 2u : 1u;
  }
  if (column && (k & kKindIntegral)) w |= 4u;
  if (column) {
    const uint32_t st = statusWord(s, i);
    if (st & 0x8u) w |= 8u;
    if (st & 0x10u) w |= 16u;
  }
  if (k & 0x40000u) w |= 0x20u;
  if (k & 0x800000u) w |= 0x100u;
  if (k & 0x80000u) w |= 0x40u;
  if (k & 0x1000000u) w |= 0x200u;
  if (!column && s.auxRow && (s.auxRow[i] & kAuxRowPiecewise)) w |= 0x80000u;
  if (L && L->unboundedVar == i && L->solutionValid)
    w |= 0x4800u;
  else if (k & kKindPossiblyInfeasible)
    w |= 0x4000u;
  return w;
}

// The objective coefficient of column j as loaded.
double objectiveOf(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  if (i > s.n) return 0.0;
  const int32_t b = colBegin(s, i);
  if (b >= colEnd(s, i) || s.rownos[b] != 0) return 0.0;
  double v = unscaleEntry(s, i, s.obj, s.a[b]);
  if (s.kind[i] & kKindMirrored) v = -v;
  return v;
}

// Runs a retrieval routine: through the full entry frame when the trace
// flag is on, otherwise as a plain lookup that only counts the call.
template <class Body>
int16_t retrievalEntry(KZOSL* rc, const char* routine, Body&& body) {
  ResolvedBlock rb = resolveBlock(rc);
  if (!rb.block) return 1;
  if (!rb.area) {
    storeRc(rb, 901);
    return 1;
  }
  ModelArea& a = *rb.area;
  // An argument or lookup code goes to the caller's block; the area keeps
  // its sequence state, so that the next lookup still finds a solved model.
  const int32_t state = a.irc;
  if (a.trace) {
    const int16_t fv = runEntry(rc, routine, kEntryDefault, [&](Frame& f) { body(a, &f); });
    if (a.irc >= 900 && a.irc != state) a.irc = state;
    return fv;
  }
  a.fnValue = 0;
  body(a, static_cast<Frame*>(nullptr));
  rb.block->calls += 1;
  storeRc(rb, a.irc);
  if (a.irc >= 900 && a.irc != state) a.irc = state;
  return a.fnValue;
}

const char* kindText(const ModelStore& s, int32_t i) { return i == 0 ? "" : (i <= s.n ? "Col" : "Row"); }

// The name lookup of KZACTC, KZDUALC and KZVAR: the item, or 0 (with 904
// for a length that fits neither name length).
int32_t lookUp(ModelArea& a, const char* name, int16_t len) {
  ModelStore& s = a.store;
  const char* text = name;
  int n = len;
  if (countedNames(a)) {
    n = static_cast<unsigned char>(name[0]);
    text = name + 1;
  }
  const int32_t i = findItem(s, text, n, kNameEither);
  if (i) {
    s.lastFound = i;
  } else if (n != 0 && n != s.cnlen && n != s.rnlen) {
    a.irc = 904;
  }
  return i;
}

template <class Value>
void singleOrRange(ModelArea& a, Frame* f, int32_t c, double* ans, const char* routine, Value&& value) {
  ModelStore& s = a.store;
  const int32_t base = s.indexBase;
  int32_t first = 0, last = 0;
  const bool range = indexRange(a, &first, &last);
  if (f) {
    if (range)
      f->enter("Entering %s, KZOSL %p Rc %d begC %d endC %d Ans %p Mem %ld ", routine, static_cast<void*>(f->block()),
               f->block()->rc, a.opt.indexFirst, a.opt.indexLast, static_cast<void*>(ans),
               static_cast<long>(a.pool.freeBytes));
    else
      f->enter("Entering %s, KZOSL %p Rc %d C %d Ans %p Mem %ld ", routine, static_cast<void*>(f->block()),
               f->block()->rc, c, static_cast<void*>(ans), static_cast<long>(a.pool.freeBytes));
  }
  if (!solvedOrLoaded(a)) {
    a.fnValue = 1;
    return;
  }
  if (!ans) {
    a.irc = 903 + base;
    a.fnValue = 1;
    return;
  }
  if (range) {
    for (int32_t i = first, k = 0; i <= last; ++i, ++k) ans[k] = (i >= 1) ? value(i) : 0.0;
    return;
  }
  const int32_t i = itemOf(s, c);
  if (i == 0) {
    *ans = 0.0;
    a.fnValue = 1;
    return;
  }
  *ans = value(i);
  if (f) {
    char name[512];
    itemName(s, i, name, sizeof name);
    f->setLeaving("Leaving %s, Fnct Value %d Rc %d %s %s %s %g", routine, a.fnValue, a.irc, kindText(s, i), name,
                  std::strcmp(routine, "KZACT") == 0 ? "Act" : "Dual", *ans);
  }
}

// The name of item i into the output buffer of KZVAR at slot k.
void putName(ModelArea& a, int32_t i, char* out, int32_t k) {
  const ModelStore& s = a.store;
  const int L = itemNameLength(s, i);
  char buf[1024];
  itemName(s, i, buf, sizeof buf);
  const int len = L < static_cast<int>(sizeof buf) - 1 ? L : static_cast<int>(sizeof buf) - 1;
  if (countedNames(a)) {
    char* slot = out + static_cast<int64_t>(k) * (L + 1);
    int n = len;
    while (n > 0 && buf[n - 1] == ' ') --n;
    slot[0] = static_cast<char>(n > 255 ? 255 : n);
    std::memcpy(slot + 1, buf, static_cast<size_t>(len));
    return;
  }
  char* slot = out + static_cast<int64_t>(k) * L;
  std::memcpy(slot, buf, static_cast<size_t>(len));
  slot[len] = '\0';
}

}  // namespace

extern "C" KZ_API int16_t KZACT(KZOSL* rc, int32_t c, double* ans) {
  return retrievalEntry(rc, "KZACT", [&](ModelArea& a, Frame* f) {
    singleOrRange(a, f, c, ans, "KZACT", [&](int32_t i) { return activityOf(a, i); });
  });
}

extern "C" KZ_API int16_t KZDUAL(KZOSL* rc, int32_t c, double* ans) {
  return retrievalEntry(rc, "KZDUAL", [&](ModelArea& a, Frame* f) {
    singleOrRange(a, f, c, ans, "KZDUAL", [&](int32_t i) { return dualOf(a, i); });
  });
}

namespace {

int16_t byName(KZOSL* rc, const char* routine, const char* name, double* ans, int16_t len, bool dual) {
  return retrievalEntry(rc, routine, [&](ModelArea& a, Frame* f) {
    ModelStore& s = a.store;
    const int32_t base = s.indexBase;
    if (f)
      f->enter("Entering %s, KZOSL %p Rc %d name %p ans %p len %d Mem %ld ", routine, static_cast<void*>(rc),
               f->block()->rc, static_cast<const void*>(name), static_cast<void*>(ans), len,
               static_cast<long>(a.pool.freeBytes));
    if (!solvedOrLoaded(a)) {
      a.fnValue = 1;
      return;
    }
    if (!dual) {
      if (!name) {
        a.irc = 902 + base;
        a.fnValue = 1;
        return;
      }
      if (!ans) {
        a.irc = 903 + base;
        a.fnValue = 1;
        return;
      }
    }
    if (!name || !ans) {  // KZDUALC makes no argument check; refuse quietly
      a.fnValue = 1;
      return;
    }
    const int32_t i = lookUp(a, name, len);
    if (!i) {
      *ans = 0.0;
      a.fnValue = 1;
    } else {
      *ans = dual ? dualOf(a, i) : activityOf(a, i);
    }
    if (f) {
      char nm[512] = "";
      if (i) itemName(s, i, nm, sizeof nm);
      f->setLeaving(dual ? "Leaving KZDUALC, Fnct Value %d Rc %d %s %s/%d Dual %g "
                         : "Leaving KZACTC, Fnct Value %d Rc %d %s %s/%d Act %g ",
                    a.fnValue, a.irc, kindText(s, i), nm, i ? i - 1 + base : -1, *ans);
    }
  });
}

}  // namespace

extern "C" KZ_API int16_t KZACTC(KZOSL* rc, const char* name, double* ans, int16_t len) {
  return byName(rc, "KZACTC", name, ans, len, false);
}

extern "C" KZ_API int16_t KZDUALC(KZOSL* rc, const char* name, double* ans, int16_t len) {
  return byName(rc, "KZDUALC", name, ans, len, true);
}

extern "C" KZ_API int16_t KZVAR(KZOSL* rc, int32_t c, char* name, int16_t len, double* act, double* dual,
                                int32_t* status, double* obj, double* lb, double* ub, double* lbAdj,
                                double* ubAdj) {
  return retrievalEntry(rc, "KZVAR", [&](ModelArea& a, Frame* f) {
    ModelStore& s = a.store;
    int32_t first = 0, last = 0;
    const bool range = c != -2 && indexRange(a, &first, &last);
    if (f) {
      f->enter("Entering KZVAR, KZOSL %p Rc %d c %d name %p len %d Mem %ld ", static_cast<void*>(rc),
               f->block()->rc, c, static_cast<void*>(name), len, static_cast<long>(a.pool.freeBytes));
    }
    if (!solvedOrLoaded(a)) {
      a.fnValue = 1;
      return;
    }
    int32_t i = 0;
    if (c == -2) {
      if (name) i = lookUp(a, name, len);
      if (!i) {
        a.fnValue = 1;
        return;
      }
      first = last = i;
    } else if (!range) {
      i = itemOf(s, c);
      if (!i) {
        a.fnValue = 1;
        return;
      }
      first = last = i;
    }
    for (int32_t it = first, k = 0; it <= last; ++it, ++k) {
      if (it < 1) continue;
      if (name && c != -2) putName(a, it, name, k);
      if (act) act[k] = activityOf(a, it);
      if (dual) dual[k] = dualOf(a, it);
      if (status) status[k] = static_cast<int32_t>(statusOf(a, it));
      if (obj) obj[k] = objectiveOf(a, it);
      double lo = -kInfOut, up = kInfOut;
      if (it != s.obj) itemBounds(a, it, &lo, &up);
      if (lb) lb[k] = lo;
      if (ub) ub[k] = up;
      if (lbAdj) lbAdj[k] = 0.0;
      if (ubAdj) ubAdj[k] = 0.0;
    }
    if (f) {
      char nm[512] = "";
      const int32_t shown = first >= 1 ? first : 0;
      if (shown) itemName(s, shown, nm, sizeof nm);
      f->setLeaving("Leaving KZVAR, Fnct Value %d Rc %d %s %s Act %g Dual %g", a.fnValue, a.irc, kindText(s, shown),
                    nm, shown ? activityOf(a, shown) : 0.0, shown ? dualOf(a, shown) : 0.0);
    }
  });
}

extern "C" KZ_API int16_t KZSTONAM(int16_t len, char* names, int32_t position, const char* text) {
  if (!names || len <= 0 || position < 0) return 0;
  char* slot = names + static_cast<int64_t>(position) * len;
  int n = 0;
  if (text)
    while (n < len && text[n] != '\0') {
      slot[n] = text[n];
      ++n;
    }
  for (; n < len; ++n) slot[n] = ' ';
  return 0;
}
