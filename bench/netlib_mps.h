// A small MPS reader for the netlib test models (fixed columns where a line
// fits them, else blank-separated fields), giving an lpfix::Model, and the
// reference values of shared/data/netlib. Compressed files are read through
// gzip -dc.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "../tests/lp/lp_fixture.h"

namespace netlib {

inline std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  return s;
}

inline std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> t;
  std::istringstream is(line);
  std::string w;
  while (is >> w) t.push_back(w);
  return t;
}

inline std::string field(const std::string& line, size_t from, size_t to) {  // 1-based columns, inclusive
  if (line.size() < from) return "";
  std::string f = line.substr(from - 1, to - from + 1);
  size_t b = 0;
  while (b < f.size() && f[b] == ' ') ++b;
  return trimRight(f.substr(b));
}

inline bool isNumber(const std::string& s) {
  if (s.empty()) return false;
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end && *end == '\0';
}

// Whether a data line fits the fixed columns.
inline bool fixedLine(const std::string& l) {
  if (l.size() < 25) return false;
  if (l[0] != ' ' || l[3] != ' ' || l[12] != ' ' || l[13] != ' ' || l[22] != ' ' || l[23] != ' ') return false;
  if (!isNumber(field(l, 25, 36))) return false;
  if (l.size() > 39) {
    if (l[36] != ' ' || l[37] != ' ' || l[38] != ' ') return false;
    if (l.size() >= 50 && !isNumber(field(l, 50, 61))) return false;
  }
  return true;
}

struct Reader {
  lpfix::Model md;
  std::unordered_map<std::string, int32_t> rowIndex;  // constraint rows 1.., objective 0
  std::vector<char> rowType;                          // per constraint row
  std::string objective;
  std::vector<std::map<int32_t, double>> colEntries;
  std::unordered_map<std::string, int32_t> colIndex;
  std::vector<double> rhs, range;
  std::vector<bool> hasRange;
  std::string error;

  int32_t rowOf(const std::string& name) {
    if (name == objective) return 0;
    auto it = rowIndex.find(name);
    return it == rowIndex.end() ? -1 : it->second;
  }

  bool read(const std::string& path) {
    const std::string cmd = "gzip -dcf '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string text;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, got);
    pclose(p);
    std::istringstream in(text);
    std::string line, section;
    std::string lastCol;
    int32_t col = -1;
    std::vector<std::pair<std::string, std::pair<double, double>>> boundsLater;
    while (std::getline(in, line)) {
      line = trimRight(line);
      for (char& c : line)
        if (c == '\t') c = ' ';
      if (line.empty() || line[0] == '*') continue;
      if (line[0] != ' ') {
        section = tokens(line)[0];
        if (section == "ENDATA") break;
        continue;
      }
      if (section == "ROWS") {
        std::vector<std::string> t = tokens(line);
        char type = t[0][0];
        std::string name = t.size() == 2 ? t[1] : field(line, 5, 12);
        if (type == 'N') {
          if (objective.empty()) objective = name;
          continue;  // further free rows are left out
        }
        rowType.push_back(type);
        rowIndex[name] = static_cast<int32_t>(rowType.size());
        continue;
      }
      if (section == "COLUMNS") {
        if (line.find("'MARKER'") != std::string::npos) continue;
        std::string cname;
        std::vector<std::pair<std::string, std::string>> pairs;
        if (fixedLine(line)) {
          cname = field(line, 5, 12);
          pairs.push_back({field(line, 15, 22), field(line, 25, 36)});
          if (line.size() >= 50) pairs.push_back({field(line, 40, 47), field(line, 50, 61)});
        } else {
          std::vector<std::string> t = tokens(line);
          if (t.size() < 3) continue;
          cname = t[0];
          for (size_t k = 1; k + 1 < t.size(); k += 2) pairs.push_back({t[k], t[k + 1]});
        }
        if (cname != lastCol) {
          lastCol = cname;
          auto it = colIndex.find(cname);
          if (it == colIndex.end()) {
            col = static_cast<int32_t>(md.cols.size());
            colIndex[cname] = col;
            md.cols.push_back({cname, 0.0, lpfix::kInf, {}});
            colEntries.emplace_back();
          } else {
            col = it->second;
          }
        }
        for (auto& [rn, vs] : pairs) {
          const int32_t r = rowOf(rn);
          if (r < 0) continue;
          colEntries[static_cast<size_t>(col)][r] += std::strtod(vs.c_str(), nullptr);
        }
        continue;
      }
      if (section == "RHS" || section == "RANGES") {
        if (rhs.empty()) {
          rhs.assign(rowType.size() + 1, 0.0);
          range.assign(rowType.size() + 1, 0.0);
          hasRange.assign(rowType.size() + 1, false);
        }
        std::vector<std::pair<std::string, std::string>> pairs;
        if (fixedLine(line)) {
          pairs.push_back({field(line, 15, 22), field(line, 25, 36)});
          if (line.size() >= 50) pairs.push_back({field(line, 40, 47), field(line, 50, 61)});
        } else {
          std::vector<std::string> t = tokens(line);
          const size_t from = t.size() % 2 == 1 ? 1 : 0;
          for (size_t k = from; k + 1 < t.size(); k += 2) pairs.push_back({t[k], t[k + 1]});
        }
        for (auto& [rn, vs] : pairs) {
          const int32_t r = rowOf(rn);
          if (r <= 0) continue;  // the objective's right-hand side is left out
          const double v = std::strtod(vs.c_str(), nullptr);
          if (section == "RHS") {
            rhs[static_cast<size_t>(r)] = v;
          } else {
            range[static_cast<size_t>(r)] = v;
            hasRange[static_cast<size_t>(r)] = true;
          }
        }
        continue;
      }
      if (section == "BOUNDS") {
        std::string type, cname, vs;
        std::vector<std::string> t = tokens(line);
        if (fixedLine(line) || (line.size() >= 15 && t.size() != 4 && t.size() != 3)) {
          type = field(line, 2, 3);
          cname = field(line, 15, 22);
          vs = field(line, 25, 36);
        } else if (t.size() == 4) {
          type = t[0];
          cname = t[2];
          vs = t[3];
        } else if (t.size() == 3) {
          type = t[0];
          cname = t[2];
        } else {
          continue;
        }
        auto it = colIndex.find(cname);
        if (it == colIndex.end()) continue;
        lpfix::Model::Col& c = md.cols[static_cast<size_t>(it->second)];
        const double v = vs.empty() ? 0.0 : std::strtod(vs.c_str(), nullptr);
        if (type == "UP" || type == "UI") {
          c.up = v;
          if (v < 0.0 && c.lo == 0.0) c.lo = -lpfix::kInf;
        } else if (type == "LO" || type == "LI") {
          c.lo = v;
        } else if (type == "FX") {
          c.lo = c.up = v;
        } else if (type == "FR") {
          c.lo = -lpfix::kInf;
          c.up = lpfix::kInf;
        } else if (type == "MI") {
          c.lo = -lpfix::kInf;
        } else if (type == "PL") {
          c.up = lpfix::kInf;
        } else if (type == "BV") {
          c.lo = 0.0;
          c.up = 1.0;
        }
        continue;
      }
    }
    if (objective.empty()) return false;
    if (rhs.empty()) {
      rhs.assign(rowType.size() + 1, 0.0);
      range.assign(rowType.size() + 1, 0.0);
      hasRange.assign(rowType.size() + 1, false);
    }
    for (size_t j = 0; j < md.cols.size(); ++j)
      for (auto [r, v] : colEntries[j])
        if (v != 0.0) md.cols[j].e.push_back({r, v});
    std::vector<std::string> rowName(rowType.size() + 1);
    for (auto& [nm, r] : rowIndex) rowName[static_cast<size_t>(r)] = nm;
    for (size_t r = 1; r <= rowType.size(); ++r) {
      const char type = rowType[r - 1];
      const double b = rhs[r], R = range[r];
      double lo = -lpfix::kInf, up = lpfix::kInf;
      if (type == 'E') {
        lo = up = b;
        if (hasRange[r]) {
          if (R > 0)
            up = b + R;
          else
            lo = b + R;
        }
      } else if (type == 'L') {
        up = b;
        if (hasRange[r]) lo = b - std::fabs(R);
      } else if (type == 'G') {
        lo = b;
        if (hasRange[r]) up = b + std::fabs(R);
      }
      md.rows.push_back({rowName[r], lo, up});
    }
    md.objName = objective;
    return true;
  }
};

// Reference values of a model: the published one and the other published
// or computed ones of the cross-check table.
struct Reference {
  std::string name, file;
  double published = 0.0;
  bool hasPublished = false;
  std::vector<double> others;
};

inline std::vector<std::string> splitTabs(const std::string& l) {
  std::vector<std::string> f;
  size_t b = 0;
  for (;;) {
    const size_t e = l.find('\t', b);
    f.push_back(l.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return f;
}

inline std::vector<Reference> readReferences(const std::string& dir) {
  std::vector<Reference> refs;
  std::ifstream opt(dir + "/optimal.tsv");
  std::string line;
  std::getline(opt, line);
  std::map<std::string, size_t> at;
  while (std::getline(opt, line)) {
    std::vector<std::string> f = splitTabs(trimRight(line));
    if (f.size() < 4) continue;
    Reference r;
    r.name = f[0];
    r.file = f[1];
    if (!f[3].empty()) {
      r.published = std::strtod(f[3].c_str(), nullptr);
      r.hasPublished = true;
    }
    // The note may give corrected values: every number of it with at least
    // eight digits.
    if (f.size() > 5) {
      std::string w;
      std::istringstream is(f[5]);
      while (is >> w) {
        while (!w.empty() && (w.back() == ',' || w.back() == ';' || w.back() == ')' || w.back() == '.')) w.pop_back();
        while (!w.empty() && w.front() == '(') w.erase(w.begin());
        int digits = 0;
        for (char ch : w) digits += (ch >= '0' && ch <= '9');
        if (digits >= 8 && isNumber(w)) r.others.push_back(std::strtod(w.c_str(), nullptr));
      }
    }
    at[r.name] = refs.size();
    refs.push_back(r);
  }
  std::ifstream cc(dir + "/crosscheck.tsv");
  std::getline(cc, line);
  while (std::getline(cc, line)) {
    std::vector<std::string> f = splitTabs(trimRight(line));
    auto it = at.find(f[0]);
    if (it == at.end()) continue;
    for (size_t k = 1; k + 1 < f.size(); ++k)  // the last column is a difference, not a value
      if (isNumber(f[k])) refs[it->second].others.push_back(std::strtod(f[k].c_str(), nullptr));
  }
  return refs;
}

// Whether v agrees with a reference value: 1e-6 relative or 1e-9 absolute.
inline bool agrees(double v, double ref) { return std::fabs(v - ref) <= std::max(1e-9, 1e-6 * std::fabs(ref)); }

inline bool matches(const Reference& r, double v) {
  if (r.hasPublished && agrees(v, r.published)) return true;
  for (double o : r.others)
    if (agrees(v, o)) return true;
  return false;
}

}  // namespace netlib
