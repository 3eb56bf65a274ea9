// Seam for the option command language: until the parser is built, option
// lines are accepted and change nothing.
#include "frame/clp.h"

namespace kz {

int16_t parseCommandBuffer(ModelArea& a) {
  a.fnValue = 0;
  return 0;
}

int16_t applyOptionLine(ModelArea& a, const char*) {
  a.fnValue = 0;
  return 0;
}

}  // namespace kz
