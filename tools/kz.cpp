// kz: the command-line solver. Reads an MPS model, applies the rest of the
// command line as one option line, loads, solves and prints the library's own
// log and a short summary.
//
//   kz MODEL.mps [option line ...] [--solution FILE]
//
// Exit status: 0 optimal; 1 solved but not to optimality (infeasible,
// unbounded, stopped by a limit); 2 bad usage or a bad option line; 3 the
// model file could not be read or loaded; 4 the solve failed.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "kz.h"
#include "kz_records.h"

namespace {

enum Exit { kExitOptimal = 0, kExitNotOptimal = 1, kExitUsage = 2, kExitModel = 3, kExitSolve = 4 };

const char kUsage[] =
    "usage: kz MODEL [option line ...] [--solution FILE]\n"
    "\n"
    "Reads MODEL (free-format MPS, .mps, .qps, or either gzipped), applies the\n"
    "remaining words as one option line (any option keyword of the library,\n"
    "e.g. \"Set DualSimplex No Set Iterations 1000\"), solves, and prints the\n"
    "library's log and a summary: status, objective, iterations, time.\n"
    "\n"
    "  --solution FILE  write column and row values and duals as CSV\n"
    "  --help           this text\n"
    "\n"
    "exit status: 0 optimal, 1 not optimal (infeasible, unbounded, limit),\n"
    "2 usage or option error, 3 model file error, 4 solve failure\n";

long gIterations = -1;

// Characters per name the reader may write: the name lengths of the option
// line (Set RNLEN, Set CNLEN), at least 64.
size_t nameRoom(const std::string& options) {
  size_t room = 64;
  std::vector<std::string> tok;
  for (size_t i = 0; i < options.size();) {
    while (i < options.size() && options[i] == ' ') ++i;
    size_t j = i;
    while (j < options.size() && options[j] != ' ') ++j;
    if (j > i) tok.push_back(options.substr(i, j - i));
    i = j;
  }
  for (size_t k = 0; k + 1 < tok.size(); ++k)
    if (!strncasecmp(tok[k].c_str(), "RNLEN", 5) || !strncasecmp(tok[k].c_str(), "CNLEN", 5)) {
      long v = std::strtol(tok[k + 1].c_str(), nullptr, 10);
      if (v > static_cast<long>(room) && v <= 32000) room = static_cast<size_t>(v);
    }
  return room;
}

// Every library line goes to standard output; the summary line of a solve
// also tells the iteration count.
void onLine(void* record) {
  auto* rec = static_cast<KZMessageRecord*>(record);
  std::puts(rec->text);
  const char* it = std::strstr(rec->text, "  ITER ");
  if (std::strncmp(rec->text, "SOLVE ", 6) == 0 && it) gIterations = std::strtol(it + 7, nullptr, 10);
}

// Sizes for the reader's arrays, from one pass over the file: rows in ROWS,
// entries in COLUMNS (two per line at most), quadratic entries, columns.
struct Counts {
  long rows = 0, cols = 0, entries = 0, quad = 0, lines = 0;
};

bool countFile(const char* path, Counts* c) {
  gzFile f = gzopen(path, "rb");
  if (!f) return false;
  char buf[8192];
  enum { kNone, kRows, kColumns, kQuad, kOther } sec = kNone;
  std::string lastCol;
  while (gzgets(f, buf, sizeof buf)) {
    ++c->lines;
    if (buf[0] == '*') continue;
    if (buf[0] != ' ' && buf[0] != '\t' && buf[0] != '\n' && buf[0] != '\r') {
      if (!std::strncmp(buf, "ROWS", 4)) sec = kRows;
      else if (!std::strncmp(buf, "COLUMNS", 7)) sec = kColumns;
      else if (!std::strncmp(buf, "QUADOBJ", 7) || !std::strncmp(buf, "QMATRIX", 7) || !std::strncmp(buf, "QSECTION", 8)) sec = kQuad;
      else sec = kOther;
      continue;
    }
    if (sec == kRows) {
      ++c->rows;
    } else if (sec == kColumns) {
      char name[256] = {};
      if (std::sscanf(buf, "%255s", name) == 1 && lastCol != name) {
        lastCol = name;
        ++c->cols;
      }
      c->entries += 2;
    } else if (sec == kQuad) {
      ++c->quad;
    }
  }
  gzclose(f);
  return true;
}

void printMsg(KZOSL* b) { KZMSG(b); }

const char* modelStatusWord(int m) {
  switch (m) {
    case 1: return "optimal";
    case 2: return "integer solution, search not completed";
    case 3: return "unbounded";
    case 4: return "infeasible";
    case 6: return "stopped, infeasible point";
    case 7: return "stopped, feasible point";
    case 9: return "search stopped without an integer solution";
    case 10: return "integer infeasible";
    case 13: return "error, no solution";
    case 15: return "no solve took place";
    default: return "unknown";
  }
}

const char* solutionStatusWord(int s) {
  switch (s) {
    case 1: return "normal completion";
    case 2: return "iteration limit";
    case 3: return "time limit";
    case 4: return "stopped by the user";
    case 5: return "pending";
    case 8: return "node table full";
    case 10: return "solver failure";
    case 14: return "solve thread could not be created";
    default: return "unknown";
  }
}

bool writeSolution(KZOSL* b, const char* path, int rows, int cols) {
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f, "kind,index,name,value,dual\n");
  // Caller items: columns 0..n-1, the objective row n, constraint rows after it.
  for (int c = 0; c < cols + rows; ++c) {
    double act = 0.0, dual = 0.0;
    KZACT(b, c, &act);
    KZDUAL(b, c, &dual);
    char name[300] = {};
    KZNAME(b, c, name);
    int len = static_cast<int>(std::strlen(name));
    while (len > 0 && name[len - 1] == ' ') --len;
    name[len] = '\0';
    bool isCol = c < cols;
    std::fprintf(f, "%s,%d,\"%s\",%.17g,%.17g\n", isCol ? "column" : (c == cols ? "objective" : "row"),
                 isCol ? c : c - cols, name, act, dual);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* model = nullptr;
  const char* solutionFile = nullptr;
  std::string options;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return kExitOptimal;
    }
    if (!std::strcmp(argv[i], "--solution")) {
      if (i + 1 >= argc) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
      }
      solutionFile = argv[++i];
    } else if (!model) {
      model = argv[i];
    } else {
      if (!options.empty()) options += ' ';
      options += argv[i];
    }
  }
  if (!model) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  auto t0 = std::chrono::steady_clock::now();

  KZOSL b;
  // Opens the area with the command line's options; 0 or the exit code. A
  // failed read leaves the area in an error state, so every new read starts
  // from a fresh area.
  auto openArea = [&b, &options]() -> int {
    std::memset(&b, 0, sizeof b);
    b.size = sizeof b;
    // A minimised window keeps the library's lines; the callback prints them.
    if (KZINIT(&b, 0, 10, -2, 0) != 0) {
      KZRT2(&b, onLine, nullptr);
      printMsg(&b);
      KZDONE(&b);
      return kExitSolve;
    }
    KZRT2(&b, onLine, nullptr);
    if (!options.empty() && KZCLP(&b, options.c_str()) != 0) {
      printMsg(&b);
      KZDONE(&b);
      return kExitUsage;
    }
    return 0;
  };
  auto reopenArea = [&b, &openArea]() -> int {
    KZDONE(&b);
    return openArea();
  };
  if (const int e = openArea()) return e;

  Counts cnt;
  if (!countFile(model, &cnt)) {
    std::fprintf(stdout, "kz: cannot open %s\n", model);
    KZDONE(&b);
    return kExitModel;
  }
  int32_t maxrow = static_cast<int32_t>(cnt.rows + 2);
  int32_t maxcol = static_cast<int32_t>(cnt.cols + 1);
  int32_t maxnon = static_cast<int32_t>(cnt.entries + maxrow + 16);
  int32_t maxqp = static_cast<int32_t>(2 * cnt.quad + 1);
  int32_t row = 0, column = 0, nonzero = 0, noqp = 0;
  std::vector<double> a, bndmin, bndmax, qpCoef;
  std::vector<int32_t> rownos, colptr, status, qp1, qp2;
  std::vector<char> names;
  int16_t fv = 1;
  const size_t room = nameRoom(options);
  bool fixed = false;
  for (int attempt = 0; attempt < 12; ++attempt) {
    a.assign(static_cast<size_t>(maxnon), 0.0);
    rownos.assign(static_cast<size_t>(maxnon), 0);
    colptr.assign(static_cast<size_t>(maxcol) + maxrow + 2, 0);
    bndmin.assign(static_cast<size_t>(maxcol) + maxrow + 1, 0.0);
    bndmax.assign(static_cast<size_t>(maxcol) + maxrow + 1, 0.0);
    status.assign(static_cast<size_t>(maxcol) + maxrow + 1, 0);
    qp1.assign(static_cast<size_t>(maxqp), 0);
    qp2.assign(static_cast<size_t>(maxqp), 0);
    qpCoef.assign(static_cast<size_t>(maxqp), 0.0);
    // Room for names of any length the reader keeps (Set RNLEN, Set CNLEN).
    names.assign((static_cast<size_t>(maxcol) + maxrow) * room, ' ');
    if (fixed)
      fv = KZMPSF(&b, model, &row, &column, &nonzero, a.data(), rownos.data(), colptr.data(), bndmin.data(),
                  bndmax.data(), status.data(), names.data(), maxrow, maxcol, maxnon);
    else
      fv = KZMPSQP(&b, model, &row, &column, &nonzero, a.data(), rownos.data(), colptr.data(), bndmin.data(),
                   bndmax.data(), status.data(), names.data(), &noqp, qp1.data(), qp2.data(), qpCoef.data(), maxqp,
                   maxrow, maxcol, maxnon);
    if (fv == 0) break;
    // The count is a guess: grow what the reader ran out of and read again.
    if (b.rc == 301) {
      maxrow *= 2;
    } else if (b.rc == 302) {
      maxcol *= 2;
    } else if (b.rc == 307) {
      maxnon *= 2;
    } else if (!fixed && noqp == 0 && b.rc >= 400 && b.rc < 500) {
      // Names with embedded blanks need the fixed-column reader.
      std::puts("kz: reading again in fixed format");
      fixed = true;
    } else {
      break;
    }
    if (const int e = reopenArea()) return e;
  }
  if (fv != 0) {
    printMsg(&b);
    KZDONE(&b);
    return kExitModel;
  }
  if (noqp > 0)
    fv = KZLOADQP(&b, row, column, a.data(), rownos.data(), colptr.data(), bndmin.data(), bndmax.data(), status.data(),
                  names.data(), noqp, qp1.data(), qp2.data(), qpCoef.data());
  else
    fv = KZLOAD(&b, row, column, a.data(), rownos.data(), colptr.data(), bndmin.data(), bndmax.data(), status.data(),
                names.data());
  if (fv != 0) {
    printMsg(&b);
    KZDONE(&b);
    return kExitModel;
  }
  int16_t modSts = 15, solSts = 5;
  fv = KZSOLV(&b, &modSts, &solSts);
  double objective = 0.0;
  KZACT(&b, column, &objective);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (fv != 0) printMsg(&b);
  std::printf("Status:     %s\n", modelStatusWord(modSts));
  std::printf("ModSts:     %d %s\n", modSts, modelStatusWord(modSts));
  std::printf("SolSts:     %d %s\n", solSts, solutionStatusWord(solSts));
  if (modSts == 1 || modSts == 2 || modSts == 6 || modSts == 7) std::printf("Objective:  %.15g\n", objective);
  if (gIterations >= 0) std::printf("Iterations: %ld\n", gIterations);
  std::printf("Time:       %.3f s\n", secs);
  int code = modSts == 1 ? kExitOptimal : (modSts == 13 || modSts == 15 ? kExitSolve : kExitNotOptimal);
  if (solutionFile && (modSts != 13 && modSts != 15)) {
    if (!writeSolution(&b, solutionFile, row, column)) {
      std::printf("kz: cannot write %s\n", solutionFile);
      code = kExitUsage;
    }
  }
  KZDONE(&b);
  return code;
}
