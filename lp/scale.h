// Scaling of the loaded model by powers of two (Set Scale), and the
// unscaling helpers the result routines use.
//
// Each item i has a factor scale[i]: for a column f_j, the scaled variable
// being f_j * x_j; for a row g_i, multiplying its bounds and right-hand
// side. A matrix entry becomes a_ij * g_i / f_j in both copies of the
// matrix. Scaled objective values times objScale are unscaled ones.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "model/store.h"

namespace kz {

// ScaleModel: computes the factors by the Set Scale method (2 rows only,
// 3 columns only, anything else alternating geometric passes), or takes
// the caller's registered factor array, and scales the internal form.
// Returns 0, or 1 when work memory is short.
int scaleModel(ModelArea& a);
// ScaleModel with the method and the objective flag given (Set Scale's
// digit and its O flag), for the callers that choose them.
int scaleModelWith(ModelArea& a, int method, bool objective);

// Takes the factors out of the internal form again (all factors 1).
void removeScaling(ModelArea& a);

// The size of a set of magnitudes with maximum mx and minimum mn: the
// spread counted is at most 2^14. 1 for an empty set or mx = 1.
double scaleSize(double mx, double mn, bool any);
// The smallest power of two not below x (x > 0).
double powerOfTwoAbove(double x);

inline double itemScale(const ModelStore& s, int32_t i) { return s.scale ? s.scale[i] : 1.0; }
// A column value of the scaled model in unscaled terms (x / f_j).
inline double unscaleColumnValue(const ModelStore& s, int32_t j, double x) { return x / itemScale(s, j); }
// A row activity or bound of the scaled model in unscaled terms (v / g_i).
inline double unscaleRowValue(const ModelStore& s, int32_t i, double v) { return v / itemScale(s, i); }
// A stored coefficient of row item i in column j in unscaled terms.
inline double unscaleEntry(const ModelStore& s, int32_t j, int32_t i, double v) {
  return v * itemScale(s, j) / itemScale(s, i);
}
// A reduced cost (or a row's dual, its logical's reduced cost) in unscaled terms.
inline double unscaleReducedCost(const ModelStore& s, int32_t i, double d) {
  return d * itemScale(s, i) * s.objScale;
}
// An objective value in unscaled terms.
inline double unscaleObjective(const ModelStore& s, double v) { return v * s.objScale; }

}  // namespace kz
