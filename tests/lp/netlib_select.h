// What the netlib tests share: the data folder (KZ_TEST_DATA/netlib), file
// checks, whether the build runs under the address sanitizer, and the model
// selection read from an environment variable (none, all, or a comma list).
#pragma once
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace netlibsel {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

inline std::string dataDir() {
  const char* d = std::getenv("KZ_TEST_DATA");
  return d ? std::string(d) + "/netlib" : std::string();
}

inline bool fileExists(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0;
}

inline long fileSize(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// The selection an environment variable asks for: unset or empty keeps the
// test's own default, "all" every model, "none" no model, and a comma list
// those models.
struct Selection {
  enum Kind { kDefault, kAll, kNone, kListed } kind = kDefault;
  std::vector<std::string> names;  // kListed
};

inline Selection readSelection(const char* variable) {
  const char* v = std::getenv(variable);
  const std::string s = v ? v : "";
  Selection sel;
  if (s.empty()) return sel;
  if (s == "all") {
    sel.kind = Selection::kAll;
  } else if (s == "none") {
    sel.kind = Selection::kNone;
  } else {
    sel.kind = Selection::kListed;
    std::istringstream is(s);
    std::string w;
    while (std::getline(is, w, ',')) sel.names.push_back(w);
  }
  return sel;
}

}  // namespace netlibsel
