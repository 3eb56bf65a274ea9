// Solves netlib models with the library and prints, per model, the status
// pair, the objective against the reference values, the residuals of the
// returned solution and the solve time.
//   netlib_run DATA_DIR [options line] [model ...]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "netlib_mps.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s NETLIB_DIR [OPTIONS] [MODEL...]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string options = argc > 2 ? argv[2] : "Set DualSimplex No";
  std::vector<std::string> only(argv + (argc > 3 ? 3 : argc), argv + argc);
  int solved = 0, failed = 0;
  double total = 0.0;
  std::printf("%-10s %5s %5s %8s %22s %9s %9s %9s %9s %s\n", "model", "mod", "sol", "seconds", "objective", "primal",
              "dual", "sign", "act", "verdict");
  for (const netlib::Reference& ref : netlib::readReferences(dir)) {
    if (!only.empty()) {
      bool want = false;
      for (const std::string& o : only) want = want || o == ref.name;
      if (!want) continue;
    }
    netlib::Reader rd;
    if (!rd.read(dir + "/" + ref.file)) {
      std::printf("%-10s unreadable\n", ref.name.c_str());
      ++failed;
      continue;
    }
    lpfix::Area ar(400000);
    ar.clp("Mute Yes");
    ar.clp(options.c_str());
    const auto t0 = std::chrono::steady_clock::now();
    const int16_t lrc = ar.load(rd.md);
    ar.solve();
    const double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    total += sec;
    const double obj = ar.act(rd.md.n);
    lpfix::Residuals r = lpfix::checkSolution(ar, rd.md);
    const bool ok = lrc == 0 && ar.modSts == 1 && netlib::matches(ref, obj);
    ok ? ++solved : ++failed;
    std::printf("%-10s %5d %5d %8.3f %22.12g %9.2g %9.2g %9.2g %9.2g %s\n", ref.name.c_str(), ar.modSts, ar.solSts, sec,
                obj, r.primal, r.dual, r.sign, r.activity, ok ? "ok" : "FAIL");
    std::fflush(stdout);
  }
  std::printf("solved %d failed %d total seconds %.2f\n", solved, failed, total);
  return failed == 0 ? 0 : 1;
}
