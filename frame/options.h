// Option values of a model area. Every setting that the option command
// language can change lives here; the keyword table declares each one with
// its value form, range and default.
#pragma once
#include <cstdint>

namespace kz {

struct Options {
  // Run-time defaults that KZINIT sets before the first option line.
  double machineEps = 0.0;       // 2^-52 once KZINIT has run
  char basisFile[257] = {};      // "NEVER": no basis file
  char currentDir[257] = {};     // "./"
  char workFile[9] = {};         // "WORK0001"
  char runName[9] = {};          // "RUNTIME"
  char defaultClp[9] = "KZ";     // default option-file name
  int32_t systemProcessors = 1;  // processors the system reports
  int16_t waits = 0;             // WAITS: KZDONE shows its time summary
};

}  // namespace kz
