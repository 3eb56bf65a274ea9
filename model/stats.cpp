// The statistics block a load prints.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "frame/output.h"
#include "model/load.h"
#include "model/seams.h"
#include "model/settings.h"

namespace kz {
namespace {

constexpr int kStatsClass = 5;
constexpr int16_t kCountField = 120;

void count(ModelArea& a, int64_t v) { putNumber(a, static_cast<double>(v), kCountField); }
void text(ModelArea& a, const char* t) { appendText(lineOf(a), t); }

}  // namespace

void printLoadStatistics(ModelArea& a) {
  const ModelStore& s = a.store;
  LineBuffer& lb = lineOf(a);

  newLine(a);
  text(a, "STATISTICS - ");
  const char* name = problemName(a);
  if (*name) {
    text(a, name);
    text(a, " ");
  }
  const std::string date = plat::currentDateAsctime();
  appendChars(lb, date.c_str(), static_cast<int>(date.size() < 24 ? date.size() : 24));
  putLine(a, kStatsClass);

  newLine(a);
  char version[64];
  std::snprintf(version, sizeof version, "  KZ VERSION %d.%02d (%d-bit library)", kVersion / 100, kVersion % 100,
                static_cast<int>(sizeof(void*) * 8));
  text(a, version);
  text(a, "   USABLE MEMORY ");
  putNumber(a, static_cast<double>(a.pool.sizeK / 1024), 0);
  text(a, " MBYTE");
  putLine(a, kStatsClass);

  newLine(a);
  text(a, "  SOLVE NUMBER ");
  count(a, a.solves);
  if (maxCpu(a) > 1) {
    text(a, " PROCESSORS ");
    count(a, maxCpu(a));
  }
  if (const int32_t c = concurrentSolvers(a)) {
    text(a, " CONCURRENT SOLVERS ");
    count(a, c);
  }
  putLine(a, kStatsClass);

  newLine(a);
  text(a, "  VARIABLES ");
  count(a, s.n);
  putLine(a, kStatsClass);

  newLine(a);
  text(a, "     ");
  count(a, s.colLower);
  text(a, " LOWER, ");
  count(a, s.colFixed);
  text(a, " FIXED, ");
  count(a, s.colUpper);
  text(a, " UPPER, ");
  count(a, s.colFree);
  text(a, " FREE");
  if (s.binaries) {
    text(a, ", ");
    count(a, s.binaries);
    text(a, " BV");
  }
  if (s.generalIntegers) {
    text(a, ", ");
    count(a, s.generalIntegers);
    text(a, " INT");
  }
  if (s.semis) {
    text(a, ", ");
    count(a, s.semis);
    text(a, " SC ");
  }
  putLine(a, kStatsClass);

  newLine(a);
  text(a, "  CONSTRAINTS ");
  count(a, s.m);
  putLine(a, kStatsClass);

  newLine(a);
  text(a, "     ");
  count(a, s.rowGe);
  text(a, " GE, ");
  count(a, s.rowEq);
  text(a, " EQ, ");
  count(a, s.rowLe);
  text(a, " LE, ");
  count(a, s.rowFree);
  text(a, " NULL/FREE, ");
  count(a, s.rowRanged);
  text(a, " RANGED ");
  if (s.convexRows) {
    count(a, s.convexRows);
    text(a, " CVX ");
  }
  if (s.piecewiseRows) {
    count(a, s.piecewiseRows);
    text(a, " PWL ");
  }
  if (s.enumerators) {
    count(a, s.enumerators);
    text(a, " ENU ");
  }
  putLine(a, kStatsClass);

  const bool integral = s.binaries + s.generalIntegers + s.semis + s.enumerators > 0;
  newLine(a);
  text(a, "     ");
  count(a, s.nonzeros);
  text(a, " NON-ZEROS");
  if (integral) {
    text(a, " WORK ");
    const int64_t work = s.incumbent ? (int64_t{s.n} + 1) * 8 + (int64_t{s.total} + 1) : 0;
    count(a, work);
  }
  putLine(a, kStatsClass);

  newLine(a);
  text(a, maximizing(a) ? "  MAXIMIZATION." : "  MINIMIZATION.");
  if (integral && nodeLimit(a) > 0) appendStrategyText(a, lb);
  putLine(a, kStatsClass);

  if (reinterpret_cast<uintptr_t>(s.a) % 8 != 0) {
    writeTextLine(a, "**** Preformance alert ****", kStatsClass);
    char line[128];
    std::snprintf(line, sizeof line, "The 'A' matrix address %p should be on an 8 byte boundary",
                  static_cast<const void*>(s.a));
    writeTextLine(a, line, kStatsClass);
  }
}

}  // namespace kz
