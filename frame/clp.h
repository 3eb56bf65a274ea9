// The option command language as the rest of the library uses it.
#pragma once
#include <cstdint>

#include "frame/area.h"

namespace kz {

// Parses the area's command buffer as one option line. Sets the internal
// return code and function value; returns the function value.
int16_t parseCommandBuffer(ModelArea& a);

// Applies one option line as KZCLP does, without the entry frame: the
// library's own lines (KZINIT's defaults, environment variables, other
// routines changing settings) go through here.
int16_t applyOptionLine(ModelArea& a, const char* text);

}  // namespace kz
