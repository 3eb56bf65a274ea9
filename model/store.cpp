// The model store's work memory, its reset and release, and the hand-back
// of the caller's matrix.
#include <utility>

#include "frame/model_seams.h"
#include "frame/pool.h"
#include "model/store_ops.h"

namespace kz {

void* storeAllocBytes(ModelArea& a, int64_t bytes) {
  if (bytes < 0) return nullptr;
  void* p = poolOp(a.pool, kPoolAllocate, bytes);
  if (p) a.store.memoryUsed += poolBlockBytes(bytes);
  return p;
}

namespace {

// Forgets the model; keeps what lives as long as the area.
void forgetModel(ModelStore& s) {
  BasisMemory memory = std::move(s.basisMemory);
  CallerArrays attached = s.attached;
  s = ModelStore{};
  s.basisMemory = std::move(memory);
  s.attached = attached;
}

}  // namespace

void releaseModelMemory(ModelArea& a) {
  poolOp(a.pool, kPoolRestoreMark, kModelMark);
  forgetModel(a.store);
  a.store.memoryUsed = kAreaBytes;
}

void resetModelStore(ModelArea& a) { forgetModel(a.store); }

void releaseModelStorage(ModelArea& a) { a.store = ModelStore{}; }

double columnIncrement(const ModelStore& s, int32_t j) {
  if (!s.attached.increment || j < 1 || j > s.n) return 1.0;
  return s.attached.increment[j - 1];
}

void restoreCallerMatrix(ModelArea& a) {
  ModelStore& s = a.store;
  if (s.copied || (s.method & kMethodInterior) || !s.a || !s.kind) return;
  const bool scaled = s.scaled && s.scale;
  for (int32_t j = 1; j <= s.n; ++j) {
    const bool mirrored = s.kind && (s.kind[j] & kKindMirrored);
    if (!scaled && !mirrored) continue;
    const double fj = scaled ? s.scale[j] : 1.0;
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      double v = s.a[p];
      if (scaled) v = v * fj / s.scale[rowItem(s, r)];
      if (mirrored) v = -v;
      s.a[p] = v;
    }
    if (mirrored) s.kind[j] &= ~kKindMirrored;
  }
  s.scaled = false;
  if (s.scale)
    for (int32_t i = 1; i <= s.total; ++i) s.scale[i] = 1.0;
  s.internalForm = false;
}

}  // namespace kz
