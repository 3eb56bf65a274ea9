// Helpers of the MPS reader and writer tests: the caller's arrays with their
// capacities, an area whose printed lines are collected, file helpers, and
// an independent count of a model file's rows, columns and nonzeros.
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "frame/area.h"
#include "include/kz.h"
#include "include/kz_records.h"
#include "model/mps.h"

namespace kz::test {

inline std::string mpsFixture(const std::string& name) {
  std::string f = __FILE__;
  return f.substr(0, f.rfind('/')) + "/fixtures/mps/" + name;
}

// The folder of the shared test models, or "" when it is not there.
inline std::string sharedDataDir() {
  std::vector<std::string> tries;
  if (const char* e = std::getenv("KZ_TEST_DATA")) tries.push_back(e);
  std::string f = __FILE__;
  tries.push_back(f.substr(0, f.rfind("/tests/model")) + "/../shared/data");
  tries.push_back("../shared/data");
  for (const auto& t : tries) {
    std::ifstream probe(t + "/netlib/afiro.mps.gz");
    if (probe) return t;
  }
  return "";
}

// Whole file, decompressed when it is gzip.
inline std::string slurp(const std::string& path) {
  std::string out;
  gzFile g = gzopen(path.c_str(), "rb");
  if (!g) return out;
  char buf[1 << 16];
  int n;
  while ((n = gzread(g, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  gzclose(g);
  return out;
}

inline std::string tempPath(const std::string& stem) {
  static int serial = 0;
  return "/tmp/kzmps_" + std::to_string(getpid()) + "_" + std::to_string(++serial) + "_" + stem;
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream o(path, std::ios::binary);
  o << text;
}

// Lines an area writes, collected through the message callback.
struct LineLog {
  std::vector<std::pair<int, std::string>> lines;
  static std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
  // Whether a line reads text (trailing blanks aside).
  bool has(const std::string& text) const {
    for (const auto& l : lines)
      if (trimmed(l.second) == trimmed(text)) return true;
    return false;
  }
  // The line right before the first one that reads text ("" when none).
  std::string before(const std::string& text) const {
    for (size_t i = 1; i < lines.size(); ++i)
      if (trimmed(lines[i].second) == trimmed(text)) return lines[i - 1].second;
    return "";
  }
};

inline LineLog*& currentLog() {
  static LineLog* log = nullptr;
  return log;
}

inline void collectLine(void* record) {
  auto* rec = static_cast<KZMessageRecord*>(record);
  if (currentLog()) currentLog()->lines.push_back({rec->lineClass, rec->text});
}

// An open area (no window) whose lines go to a LineLog.
class MpsArea {
 public:
  explicit MpsArea(int32_t poolK = 100000, int namestyle = 0) {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    ok_ = KZINIT(&b_, poolK, 0, -3, namestyle) == 0;
    KZRT2(&b_, &collectLine, &record_);
  }
  ~MpsArea() {
    if (currentLog() == &log) currentLog() = nullptr;
    KZDONE(&b_);
  }
  bool ok() const { return ok_; }
  KZOSL* block() { return &b_; }
  ModelArea& area() { return *lookupArea(b_.area); }
  int16_t clp(const std::string& line) { return KZCLP(&b_, line.c_str()); }
  // Starts collecting this area's lines.
  LineLog& listen() {
    log.lines.clear();
    currentLog() = &log;
    return log;
  }
  LineLog log;

 private:
  KZOSL b_{};
  KZMessageRecord record_{};
  bool ok_ = false;
};

// The caller's arrays of one read, with their capacities.
struct MpsArrays {
  int32_t maxrow, maxcol, maxnon, maxqp;
  int cnlen, rnlen;
  std::vector<double> a, lo, up, qv;
  std::vector<int32_t> rownos, colptr, status, q1, q2;
  std::vector<char> names;
  int32_t row = -1, col = -1, nnz = -1, noqp = -1;

  MpsArrays(int32_t r, int32_t c, int32_t nz, int32_t q = 0, int cl = 8, int rl = 8)
      : maxrow(r), maxcol(c), maxnon(nz), maxqp(q), cnlen(cl), rnlen(rl),
        a(static_cast<size_t>(nz) + 1, -777.0), lo(static_cast<size_t>(c) + r + 1, -777.0),
        up(static_cast<size_t>(c) + r + 1, -777.0), qv(static_cast<size_t>(std::max(q, 1)), -777.0),
        rownos(static_cast<size_t>(nz) + 1, -777), colptr(static_cast<size_t>(c) + r + 2, -777),
        status(static_cast<size_t>(c) + r + 1, -777), q1(static_cast<size_t>(std::max(q, 1)), -777),
        q2(static_cast<size_t>(std::max(q, 1)), -777),
        names(static_cast<size_t>(c) * cl + static_cast<size_t>(r) * rl + 1, '#') {}

  int16_t readFree(KZOSL* b, const std::string& path) {
    return KZMPSQP(b, path.c_str(), &row, &col, &nnz, a.data(), rownos.data(), colptr.data(), lo.data(), up.data(),
                   status.data(), names.data(), &noqp, q1.data(), q2.data(), qv.data(), maxqp, maxrow, maxcol, maxnon);
  }
  int16_t readFixed(KZOSL* b, const std::string& path) {
    noqp = 0;
    return KZMPSF(b, path.c_str(), &row, &col, &nnz, a.data(), rownos.data(), colptr.data(), lo.data(), up.data(),
                  status.data(), names.data(), maxrow, maxcol, maxnon);
  }
  // The reader behind the entries, fixed fields with QUADOBJ.
  int16_t readFixedQuadratic(ModelArea& ar, const std::string& path) {
    MpsRequest q;
    q.fileName = path.c_str();
    q.format = MpsFormat::kFixed;
    q.objsense = false;
    q.sos = false;
    q.row = &row;
    q.column = &col;
    q.nonzero = &nnz;
    q.a = a.data();
    q.rownos = rownos.data();
    q.colptr = colptr.data();
    q.bndmin = lo.data();
    q.bndmax = up.data();
    q.status = status.data();
    q.names = names.data();
    q.noqp = &noqp;
    q.qpCol1 = q1.data();
    q.qpCol2 = q2.data();
    q.qpCoef = qv.data();
    q.maxqp = maxqp;
    q.maxrow = maxrow;
    q.maxcol = maxcol;
    q.maxnon = maxnon;
    ar.opt.colNameLen = 8;
    ar.opt.rowNameLen = 8;
    return readMpsFile(ar, q, nullptr);
  }

  std::string colName(int32_t j) const {
    std::string s(names.data() + static_cast<size_t>(j) * cnlen, static_cast<size_t>(cnlen));
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  std::string rowName(int32_t r) const {
    std::string s(names.data() + static_cast<size_t>(col) * cnlen + static_cast<size_t>(r) * rnlen,
                  static_cast<size_t>(rnlen));
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  // Entries of column j as (row, value), in file order.
  std::vector<std::pair<int32_t, double>> entries(int32_t j) const {
    std::vector<std::pair<int32_t, double>> v;
    for (int32_t p = colptr[j]; p < colptr[j + 1]; ++p) v.push_back({rownos[p], a[p]});
    return v;
  }
  // Quadratic terms with the smaller column first, sorted stably and
  // duplicates summed in file order: the lower triangle KZLOADQP builds.
  std::vector<std::tuple<int32_t, int32_t, double>> canonicalQuadratic() const {
    std::vector<std::tuple<int32_t, int32_t, double>> t;
    for (int32_t k = 0; k < std::min(noqp, maxqp); ++k)
      t.emplace_back(std::min(q1[k], q2[k]), std::max(q1[k], q2[k]), qv[k]);
    std::stable_sort(t.begin(), t.end(), [](const auto& x, const auto& y) {
      return std::tie(std::get<0>(x), std::get<1>(x)) < std::tie(std::get<0>(y), std::get<1>(y));
    });
    std::vector<std::tuple<int32_t, int32_t, double>> out;
    for (const auto& e : t) {
      if (!out.empty() && std::get<0>(out.back()) == std::get<0>(e) && std::get<1>(out.back()) == std::get<1>(e))
        std::get<2>(out.back()) += std::get<2>(e);
      else
        out.push_back(e);
    }
    return out;
  }
};

// Counts taken from a model file by a plain reading of its sections:
// distinct row names, groups of column lines, entries with a known row and
// a value of magnitude 1e-10 or more, quadratic terms with known columns.
struct FileCounts {
  int32_t rows = 0, cols = 0, nnz = 0, qp = 0;
  int32_t tinyConstraintEntries = 0;  // 0 < |value| < 1e-10, in a row other than the objective
};

// Words of a line, as views into it.
inline void splitBlanks(std::string_view s, std::vector<std::string_view>* out) {
  out->clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    const size_t b = i;
    while (i < s.size() && s[i] != ' ') ++i;
    if (i > b) out->push_back(s.substr(b, i - b));
  }
}

inline double plainNumber(std::string_view w) {
  char buf[64];
  const size_t n = std::min(w.size(), sizeof buf - 1);
  for (size_t k = 0; k < n; ++k) buf[k] = (w[k] == 'D' || w[k] == 'd') ? 'e' : w[k];
  buf[n] = '\0';
  return std::strtod(buf, nullptr);
}

inline std::string_view fixedField(std::string_view line, size_t from, size_t len) {
  if (line.size() <= from) return {};
  std::string_view f = line.substr(from, len);
  while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
  return f;
}

struct NameHashOf {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using NameSet = std::unordered_set<std::string, NameHashOf, std::equal_to<>>;

inline FileCounts countModelFile(const std::string& text, bool fixed) {
  FileCounts c;
  NameSet rows, cols;
  bool objective = false;
  std::string section, objectiveName;
  std::string_view last;
  std::string lastStore;
  std::vector<std::string_view> w;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t e = text.find('\n', at);
    if (e == std::string::npos) e = text.size();
    line.assign(text, at, e - at);
    at = e + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& ch : line)
      if (ch == '\t') ch = ' ';
    if (line.empty() || line[0] == '*') continue;
    splitBlanks(line, &w);
    if (line[0] != ' ') {
      section = std::string(w[0]);
      continue;
    }
    if (w.empty()) continue;
    if (section == "ROWS") {
      char type = fixed ? (line[1] != ' ' ? line[1] : line[2]) : w[0][0];
      std::string_view name = fixed ? fixedField(line, 4, 8) : (w.size() > 1 ? w[1] : std::string_view());
      if (!rows.emplace(name).second) continue;
      ++c.rows;
      if ((type == 'N' || type == 'n') && !objective) {
        objective = true;
        objectiveName = std::string(name);
      }
    } else if (section == "COLUMNS") {
      if (line.find("'MARKER'") != std::string::npos) continue;
      std::string_view name = fixed ? fixedField(line, 4, 8) : w[0];
      if (name != lastStore) {
        ++c.cols;
        cols.emplace(name);
        lastStore = std::string(name);
      }
      auto pair = [&](std::string_view r, std::string_view v) {
        if (rows.find(r) == rows.end()) return;
        const double x = std::fabs(plainNumber(v));
        if (x >= 1e-10) ++c.nnz;
        if (x > 0 && x < 1e-10 && r != objectiveName) ++c.tinyConstraintEntries;
      };
      if (fixed) {
        pair(fixedField(line, 14, 8), fixedField(line, 24, 12));
        pair(fixedField(line, 39, 8), fixedField(line, 49, 12));
      } else {
        for (size_t i = 1; i + 1 < w.size(); i += 2) pair(w[i], w[i + 1]);
      }
    } else if (section == "QUADOBJ") {
      std::string_view c1 = fixed ? fixedField(line, 4, 8) : w[0];
      std::string_view c2 = fixed ? fixedField(line, 14, 8) : (w.size() > 1 ? w[1] : std::string_view());
      if (cols.find(c1) != cols.end() && cols.find(c2) != cols.end()) ++c.qp;
    }
  }
  if (!objective) ++c.rows;
  return c;
}

}  // namespace kz::test
