// Reading speed of the MPS reader against the MPS readers of GLPK and CLP,
// on the largest Netlib model and on a generated model of one million
// nonzeros, all in the same run on the same machine.
//
//   kz_mps_bench [--data ../shared/data] [--nonzeros 1000000] [--repeat 3]
//
// KZMPSQP is timed inside this process (best of --repeat reads); the peers
// are timed as whole processes (`glpsol --check --mps FILE`, `clp FILE
// -quit`, best of --repeat runs), which includes their start-up: the time of
// each peer on a tiny model is printed as well so it can be subtracted.
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kz.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool decompress(const std::string& gz, const std::string& out) {
  gzFile g = gzopen(gz.c_str(), "rb");
  if (!g) return false;
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) {
    gzclose(g);
    return false;
  }
  char buf[1 << 16];
  int n;
  while ((n = gzread(g, buf, sizeof buf)) > 0) std::fwrite(buf, 1, static_cast<size_t>(n), f);
  gzclose(g);
  std::fclose(f);
  return true;
}

// A fixed-layout model: rows R0000001.., columns C0000001.., ten entries a
// column, values with up to six digits, bounds on every tenth column.
struct Generated {
  int32_t rows, cols, nnz;
};

Generated generate(const std::string& path, int64_t nonzeros) {
  Generated g;
  g.cols = static_cast<int32_t>(nonzeros / 10);
  g.rows = g.cols / 2;
  g.nnz = 0;
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int32_t> rowPick(1, g.rows);
  std::uniform_int_distribution<int32_t> digits(1, 999999);
  std::fprintf(f, "NAME          GEN1M\nROWS\n N  COST\n");
  for (int32_t r = 1; r <= g.rows; ++r) std::fprintf(f, " %c  R%07d\n", "LGE"[r % 3], r);
  std::fprintf(f, "COLUMNS\n");
  std::vector<int32_t> picked;
  for (int32_t j = 1; j <= g.cols; ++j) {
    picked.clear();
    while (picked.size() < 9) {
      int32_t r = rowPick(rng);
      bool dup = false;
      for (int32_t q : picked) dup = dup || q == r;
      if (!dup) picked.push_back(r);
    }
    char line[128];
    auto value = [&](char* out) { std::snprintf(out, 13, "%.6g", (digits(rng) - 500000) / 1000.0); };
    char v1[16], v2[16];
    value(v1);
    std::snprintf(line, sizeof line, "    C%07d  COST      %-12s   R%07d  ", j, v1, picked[0]);
    value(v2);
    std::fprintf(f, "%s%s\n", line, v2);
    for (size_t k = 1; k + 1 < picked.size(); k += 2) {
      value(v1);
      value(v2);
      std::fprintf(f, "    C%07d  R%07d  %-12s   R%07d  %s\n", j, picked[k], v1, picked[k + 1], v2);
    }
    g.nnz += 10;
  }
  std::fprintf(f, "RHS\n");
  for (int32_t r = 1; r <= g.rows; r += 2) std::fprintf(f, "    RHS       R%07d  %d\n", r, r % 100);
  std::fprintf(f, "BOUNDS\n");
  for (int32_t j = 1; j <= g.cols; j += 10) std::fprintf(f, " UP BND       C%07d  %d\n", j, 10 + j % 7);
  std::fprintf(f, "ENDATA\n");
  std::fclose(f);
  return g;
}

struct Sizes {
  int32_t rows, cols, nnz;
};

// Best time of KZMPSQP over repeat reads.
double timeKz(const std::string& path, const Sizes& s, int repeat, int32_t* gotNnz) {
  KZOSL b{};
  b.size = sizeof b;
  if (KZINIT(&b, 400000, 0, -3, 0) != 0) return -1;
  KZCLP(&b, "WARNINGS No");
  const int32_t maxrow = s.rows + 2, maxcol = s.cols + 2, maxnon = s.nnz + s.rows + 10;
  std::vector<double> a(static_cast<size_t>(maxnon)), lo(static_cast<size_t>(maxrow + maxcol + 1)),
      up(static_cast<size_t>(maxrow + maxcol + 1)), qv(1);
  std::vector<int32_t> rownos(static_cast<size_t>(maxnon)), colptr(static_cast<size_t>(maxcol + maxrow + 1)),
      status(static_cast<size_t>(maxrow + maxcol)), q1(1), q2(1);
  std::vector<char> names(static_cast<size_t>(maxcol + maxrow) * 8 + 1);
  double best = 1e30;
  for (int k = 0; k < repeat; ++k) {
    KZCLP(&b, "");
    int32_t row, col, nnz, noqp;
    const double t0 = now();
    const int16_t fv = KZMPSQP(&b, path.c_str(), &row, &col, &nnz, a.data(), rownos.data(), colptr.data(), lo.data(),
                               up.data(), status.data(), names.data(), &noqp, q1.data(), q2.data(), qv.data(), 0,
                               maxrow, maxcol, maxnon);
    const double t = now() - t0;
    if (fv != 0) {
      std::fprintf(stderr, "KZMPSQP failed on %s: rc %d\n", path.c_str(), b.rc);
      KZDONE(&b);
      return -1;
    }
    *gotNnz = nnz;
    if (t < best) best = t;
  }
  KZDONE(&b);
  return best;
}

// Best wall time of a shell command over repeat runs; -1 when it fails.
double timeCommand(const std::string& cmd, int repeat) {
  double best = 1e30;
  for (int k = 0; k < repeat; ++k) {
    const double t0 = now();
    const int rc = std::system((cmd + " > /dev/null 2>&1").c_str());
    const double t = now() - t0;
    if (rc != 0 && !(WIFEXITED(rc) && WEXITSTATUS(rc) <= 1)) return -1;
    if (t < best) best = t;
  }
  return best;
}

bool have(const char* tool) {
  const std::string cmd = std::string("command -v ") + tool + " > /dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data = "../shared/data";
  int64_t nonzeros = 1000000;
  int repeat = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--data")) data = argv[i + 1];
    if (!std::strcmp(argv[i], "--nonzeros")) nonzeros = std::atoll(argv[i + 1]);
    if (!std::strcmp(argv[i], "--repeat")) repeat = std::atoi(argv[i + 1]);
  }
  const std::string tmp = "/tmp/kz_mps_bench_" + std::to_string(getpid());
  const std::string largest = tmp + "_maros-r7.mps", gen = tmp + "_gen.mps", tiny = tmp + "_afiro.mps";
  struct Model {
    std::string label, path;
    Sizes sizes;
  };
  std::vector<Model> models;
  if (decompress(data + "/netlib/afiro.mps.gz", tiny)) models.push_back({"afiro (start-up)", tiny, {28, 32, 88}});
  if (decompress(data + "/netlib/maros-r7.mps.gz", largest))
    models.push_back({"maros-r7 (largest Netlib)", largest, {3137, 9408, 151120}});
  models.push_back({"maros-r7 .gz", data + "/netlib/maros-r7.mps.gz", {3137, 9408, 151120}});
  const Generated g = generate(gen, nonzeros);
  models.push_back({"generated " + std::to_string(g.nnz) + " nonzeros", gen, {g.rows + 1, g.cols, g.nnz}});

  const bool glpk = have("glpsol"), clp = have("clp");
  std::printf("%-30s %12s %12s %12s %10s\n", "model", "KZMPSQP s", "glpsol s", "clp s", "nonzeros");
  for (const Model& m : models) {
    int32_t nnz = 0;
    const double kz = timeKz(m.path, m.sizes, repeat, &nnz);
    const bool plain = m.path.size() < 3 || m.path.compare(m.path.size() - 3, 3, ".gz") != 0;
    const double tg = glpk && plain ? timeCommand("glpsol --check --mps '" + m.path + "'", repeat) : -1;
    const double tc = clp && plain ? timeCommand("clp '" + m.path + "' -quit", repeat) : -1;
    std::printf("%-30s %12.4f %12.4f %12.4f %10d\n", m.label.c_str(), kz, tg, tc, nnz);
  }
  std::remove(largest.c_str());
  if (!std::getenv("KZ_BENCH_KEEP")) std::remove(gen.c_str());
  std::remove(tiny.c_str());
  return 0;
}
