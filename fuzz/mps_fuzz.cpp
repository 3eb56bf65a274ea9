// libFuzzer target of the MPS reader: the input is written to a file and
// read by KZMPSQP or KZMPSF (chosen by the first byte); a model that reads
// is loaded, written by the MPS writer and read again.
//
// Build (not part of the CMake test build):
//   clang++ -g -O1 -std=c++20 -fsanitize=fuzzer,address -DKZ_BUILDING_LIBRARY -I. -Iinclude \
//     fuzz/mps_fuzz.cpp frame/*.cpp model/*.cpp lp/*.cpp results/*.cpp mip/*.cpp ipm/*.cpp \
//     bindings/*.cpp lusvc/*.cpp -lz -lpthread -o /tmp/mps_fuzz
//   /tmp/mps_fuzz -dict=fuzz/mps.dict tests/model/fixtures/mps
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/area.h"
#include "include/kz.h"
#include "model/mps.h"

namespace {

constexpr int32_t kRows = 64, kCols = 64, kNon = 600, kQp = 64;

struct Arrays {
  std::vector<double> a = std::vector<double>(kNon), lo = std::vector<double>(kRows + kCols + 1),
                      up = std::vector<double>(kRows + kCols + 1), qv = std::vector<double>(kQp);
  std::vector<int32_t> rownos = std::vector<int32_t>(kNon), colptr = std::vector<int32_t>(kRows + kCols + 2),
                       status = std::vector<int32_t>(kRows + kCols), q1 = std::vector<int32_t>(kQp),
                       q2 = std::vector<int32_t>(kQp);
  std::vector<char> names = std::vector<char>(static_cast<size_t>(kRows + kCols) * 16 + 1);
  int32_t row = 0, col = 0, nnz = 0, noqp = 0;

  int16_t read(KZOSL* b, const char* path, bool fixed) {
    if (fixed)
      return KZMPSF(b, path, &row, &col, &nnz, a.data(), rownos.data(), colptr.data(), lo.data(), up.data(),
                    status.data(), names.data(), kRows, kCols, kNon);
    return KZMPSQP(b, path, &row, &col, &nnz, a.data(), rownos.data(), colptr.data(), lo.data(), up.data(),
                   status.data(), names.data(), &noqp, q1.data(), q2.data(), qv.data(), kQp, kRows, kCols, kNon);
  }
};

KZOSL* block() {
  static KZOSL b;
  static bool ready = false;
  if (!ready) {
    std::memset(&b, 0, sizeof b);
    b.size = sizeof b;
    KZINIT(&b, 20000, 0, -3, 0);
    ready = true;
  }
  return &b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const std::string in = "/tmp/kzmps_fuzz_" + std::to_string(getpid()) + ".mps";
  static const std::string out = "/tmp/kzmps_fuzz_" + std::to_string(getpid()) + "_out.mps";
  const uint8_t mode = data[0];
  std::FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  KZOSL* b = block();
  // Settings from the first byte: format, name case, name lengths.
  KZCLP(b, (mode & 2) ? "Set CASESENS Yes" : "Set CASESENS No");
  KZCLP(b, (mode & 4) ? "Set CNLEN 12 Set RNLEN 3" : "Set CNLEN 8 Set RNLEN 8");
  Arrays x;
  const bool fixed = (mode & 1) != 0;
  if (x.read(b, in.c_str(), fixed) == 0) {
    kz::ModelArea& a = *kz::lookupArea(b->area);
    int16_t fv;
    if (x.noqp > 0)
      fv = KZLOADQP(b, x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(), x.up.data(),
                    x.status.data(), x.names.data(), x.noqp, x.q1.data(), x.q2.data(), x.qv.data());
    else
      fv = KZLOAD(b, x.row, x.col, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(), x.up.data(),
                  x.status.data(), x.names.data());
    if (fv == 0 && kz::writeMpsFile(a, out.c_str()) == 0) {
      KZCLP(b, "");
      Arrays y;
      y.read(b, out.c_str(), false);
    }
  }
  KZCLP(b, "");
  return 0;
}
