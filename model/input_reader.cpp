// The input-line reader: physical lines from plain or gzip files, comments,
// directives, substitution and include files.
#include "model/input_reader.h"

#include <zlib.h>

#include <cctype>
#include <cstring>
#include <string>

#include "frame/output.h"

namespace kz {

namespace {

constexpr int kSourceBuffer = 1 << 17;

char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWithWord(const char* s, int n, const char* word) {
  const int w = static_cast<int>(std::strlen(word));
  if (n < w) return false;
  for (int k = 0; k < w; ++k)
    if (upperChar(s[k]) != word[k]) return false;
  return true;
}

// Whether the last part of a path has a period.
bool hasExtension(const char* p, int n) {
  for (int k = n - 1; k >= 0; --k) {
    if (p[k] == '.') return true;
    if (p[k] == '/' || p[k] == '\\' || p[k] == ':') return false;
  }
  return false;
}

}  // namespace

struct InputReader::Source {
  gzFile gz = nullptr;
  char name[kFileNameMax + 1] = {};
  int32_t lineNo = 0;
  unsigned char buf[kSourceBuffer];
  int pos = 0;
  int lim = 0;
  bool eof = false;
  bool failed = false;
  bool skipLf = false;  // a carriage return ended the last line
};

bool inputPath(const char* given, bool dollarEnds, const char* defExt, char* out, int cap) {
  if (!given || !out || cap < 2) return false;
  int n = 0;
  while (n < 256 && given[n] != '\0' && !(dollarEnds && given[n] == '$')) ++n;
  int b = 0;
  while (b < n && given[b] == ' ') ++b;
  while (n > b && given[n - 1] == ' ') --n;
  if (n - b >= 2 && given[b] == '"' && given[n - 1] == '"') {
    ++b;
    --n;
  } else if (n > b && given[b] == '"') {
    ++b;
  }
  if (n <= b) return false;
  const int extLen = defExt ? static_cast<int>(std::strlen(defExt)) : 0;
  const bool addExt = extLen > 0 && !hasExtension(given + b, n - b);
  const int need = (n - b) + (addExt ? extLen + 1 : 0);
  if (need >= cap) return false;
  std::memcpy(out, given + b, static_cast<size_t>(n - b));
  int k = n - b;
  if (addExt) {
    out[k++] = '.';
    std::memcpy(out + k, defExt, static_cast<size_t>(extLen));
    k += extLen;
  }
  out[k] = '\0';
  return true;
}

InputReader::InputReader(ModelArea& a) : a_(a) {}

InputReader::~InputReader() { closeAll(); }

void InputReader::closeSource(int level) {
  Source* s = src_[level];
  if (!s) return;
  if (s->gz) gzclose(s->gz);
  delete s;
  src_[level] = nullptr;
}

void InputReader::closeAll() {
  closeSource(1);
  closeSource(0);
  depth_ = 0;
}

bool InputReader::openSource(int level, const char* path) {
  closeSource(level);
  if (!path || !*path || std::strlen(path) > static_cast<size_t>(kFileNameMax)) return false;
  gzFile gz = gzopen(path, "rb");
  if (!gz) return false;
  gzbuffer(gz, kSourceBuffer);
  Source* s = new Source;
  s->gz = gz;
  std::strncpy(s->name, path, kFileNameMax);
  src_[level] = s;
  return true;
}

bool InputReader::open(const char* path) {
  closeAll();
  code_ = 0;
  delivered_ = 0;
  if (!openSource(0, path)) return false;
  depth_ = 1;
  return true;
}

int32_t InputReader::lineNumber() const {
  if (depth_ <= 0) return 0;
  const Source* s = src_[depth_ - 1];
  return s ? s->lineNo : 0;
}

// One physical line into raw_: carriage return or line feed ends it (a
// carriage return and line feed pair ends one line), other control
// characters and DEL become blanks, the first kInputReadMax characters are
// kept and the rest is skipped.
InputReader::Raw InputReader::readPhysical(Source& s) {
  rawLen_ = 0;
  rawLong_ = false;
  bool any = false;
  for (;;) {
    if (s.pos >= s.lim) {
      if (s.eof) break;
      const int got = gzread(s.gz, s.buf, kSourceBuffer);
      if (got < 0) {
        s.failed = true;
        s.eof = true;
        break;
      }
      if (got == 0) {
        s.eof = true;
        break;
      }
      s.pos = 0;
      s.lim = got;
    }
    if (s.skipLf) {
      s.skipLf = false;
      if (s.buf[s.pos] == '\n') {
        ++s.pos;
        continue;
      }
    }
    const unsigned char* p = s.buf + s.pos;
    const unsigned char* end = s.buf + s.lim;
    while (p < end) {
      const unsigned char c = *p;
      if (c == '\n' || c == '\r') {
        s.pos = static_cast<int>(p - s.buf) + 1;
        if (c == '\r') s.skipLf = true;
        raw_[rawLen_] = '\0';
        ++s.lineNo;
        return Raw::kLine;
      }
      any = true;
      if (rawLen_ < kInputReadMax)
        raw_[rawLen_++] = (c < 32 || c == 127) ? ' ' : static_cast<char>(c);
      else
        rawLong_ = true;
      ++p;
    }
    s.pos = s.lim;
  }
  raw_[rawLen_] = '\0';
  if (!any) return s.failed ? Raw::kError : Raw::kEnd;
  ++s.lineNo;
  return Raw::kLine;
}

void InputReader::report(int code, const char* token, int tokenLen) {
  const int n = len_ < static_cast<int>(sizeof a_.cmd) - 1 ? len_ : static_cast<int>(sizeof a_.cmd) - 1;
  std::memcpy(a_.cmd, line_, static_cast<size_t>(n));
  a_.cmd[n] = '\0';
  a_.reader.lineNumber = lineNumber();
  char tok[kInputReadMax + 1];
  int t = 0;
  if (token) {
    t = tokenLen < 0 ? static_cast<int>(std::strlen(token)) : tokenLen;
    if (t > kInputReadMax) t = kInputReadMax;
    std::memcpy(tok, token, static_cast<size_t>(t));
  }
  tok[t] = '\0';
  warningOrErrorLine(a_, code, token ? tok : nullptr);
}

void InputReader::printText(const char* s, int n) {
  ModelArea& r = a_.routingArea();
  const int16_t savedQuiet = r.out.quiet;
  r.out.quiet = 0;
  writeCharsLine(a_, s, n, kClassPrompt);
  r.out.quiet = savedQuiet;
}

bool InputReader::defineVariable(const char* name, int nameLen, const char* value, int valueLen) {
  if (!name || nameLen <= 0) return false;
  char key[kInputVarName];
  std::memset(key, ' ', sizeof key);
  for (int k = 0; k < nameLen && k < kInputVarName; ++k) key[k] = upperChar(name[k]);
  Variable* v = nullptr;
  for (int i = 0; i < varCount_; ++i)
    if (std::memcmp(vars_[i].name, key, sizeof key) == 0) v = &vars_[i];
  if (!v) {
    if (varCount_ >= kInputVariables) return false;
    v = &vars_[varCount_++];
    std::memcpy(v->name, key, sizeof key);
  }
  if (valueLen < 0) valueLen = 0;
  if (valueLen > kInputVarValue) valueLen = kInputVarValue;
  if (valueLen > 0) std::memcpy(v->value, value, static_cast<size_t>(valueLen));
  v->valueLen = static_cast<int16_t>(valueLen);
  return true;
}

const char* InputReader::variable(const char* name, int nameLen, int* valueLen) const {
  if (!name || nameLen <= 0 || nameLen > kInputVarName) return nullptr;
  char key[kInputVarName];
  std::memset(key, ' ', sizeof key);
  for (int k = 0; k < nameLen; ++k) key[k] = upperChar(name[k]);
  for (int i = 0; i < varCount_; ++i)
    if (std::memcmp(vars_[i].name, key, sizeof key) == 0) {
      if (valueLen) *valueLen = vars_[i].valueLen;
      return vars_[i].value;
    }
  return nullptr;
}

// A ".." line: returns 0 when it was a directive, 1 when it is passed on as
// data, -1 on error.
int InputReader::directive(int from) {
  int p = from + 2;
  while (p < len_ && line_[p] == ' ') ++p;
  const char* kw = line_ + p;
  const int kwRoom = len_ - p;
  auto restFrom = [&](int skip) {
    int q = p + skip;
    while (q < len_ && line_[q] != ' ') ++q;  // the rest of the keyword (INCLUDE, NEWPAGE)
    while (q < len_ && line_[q] == ' ') ++q;
    return q;
  };
  if (startsWithWord(kw, kwRoom, "PRINT")) {
    int q = p + 5;
    if (q < len_ && line_[q] == ' ') ++q;
    printText(line_ + q, len_ - q);
    return 0;
  }
  if (startsWithWord(kw, kwRoom, "NEWPAG")) {
    ModelArea& r = a_.routingArea();
    const int dest = r.out.destination >= 0 && r.out.destination < 5 ? r.out.destination : 1;
    pageHeaderLine(a_, r.out.page[dest].lineSize, kClassPrompt);
    return 0;
  }
  if (startsWithWord(kw, kwRoom, "INPUT")) {
    int q = restFrom(5);
    const int nameAt = q;
    while (q < len_ && line_[q] != ' ' && line_[q] != '(') ++q;
    const int nameLen = q - nameAt;
    if (nameLen == 0) return 0;
    while (q < len_ && line_[q] == ' ') ++q;
    if (q < len_ && line_[q] == '(') {
      const int defAt = q + 1;
      int e = defAt;
      while (e < len_ && line_[e] != ')') ++e;
      std::string shown = "Default value ";
      shown.append(line_ + defAt, static_cast<size_t>(e - defAt));
      printText(shown.c_str(), static_cast<int>(shown.size()));
      std::string answer = a_.window ? a_.window->readTypedLine() : std::string();
      if (answer.empty())
        defineVariable(line_ + nameAt, nameLen, line_ + defAt, e - defAt);
      else
        defineVariable(line_ + nameAt, nameLen, answer.data(), static_cast<int>(answer.size()));
    } else {
      defineVariable(line_ + nameAt, nameLen, line_ + q, len_ - q);
    }
    return 0;
  }
  if (startsWithWord(kw, kwRoom, "INCLUD")) {
    int q = restFrom(6);
    int e = len_;
    if (q < e && line_[q] == '(') {
      ++q;
      int c = q;
      while (c < e && line_[c] != ')') ++c;
      e = c;
    }
    while (q < e && line_[q] == ' ') ++q;
    while (e > q && line_[e - 1] == ' ') --e;
    if (depth_ >= 2 || e <= q) {
      code_ = kInputErrInclude;
      report(code_, line_ + q, e - q);
      return -1;
    }
    char given[kFileNameMax + 1];
    const int gn = e - q < kFileNameMax ? e - q : kFileNameMax;
    std::memcpy(given, line_ + q, static_cast<size_t>(gn));
    given[gn] = '\0';
    char path[kFileNameMax + 1] = {};
    const bool named = inputPath(given, false, "lp", path, sizeof path);
    bool opened = named && openSource(1, path);
    if (!opened && named && path[0] != '/' && src_[0]) {
      // Relative to the including file's folder.
      const char* outer = src_[0]->name;
      const char* slash = std::strrchr(outer, '/');
      if (slash) {
        char joined[kFileNameMax + 1];
        const int dl = static_cast<int>(slash - outer) + 1;
        const int pl = static_cast<int>(std::strlen(path));
        if (dl + pl <= kFileNameMax) {
          std::memcpy(joined, outer, static_cast<size_t>(dl));
          std::memcpy(joined + dl, path, static_cast<size_t>(pl) + 1);
          opened = openSource(1, joined);
        }
      }
    }
    if (!opened) {
      code_ = kInputErrInclude;
      report(code_, given, gn);
      return -1;
    }
    depth_ = 2;
    return 0;
  }
  return 1;
}

// Replaces &name. and &name references in line_; 0 or -1 on error.
int InputReader::substitute() {
  if (!std::memchr(line_, '&', static_cast<size_t>(len_))) return 0;
  int out = 0;
  int count = 0;
  int i = 0;
  bool changed = false;
  while (i < len_) {
    const char c = line_[i];
    if (c == '&') {
      int e = i + 1;
      while (e < len_ && e - (i + 1) <= kInputVarName && line_[e] != ' ' && line_[e] != '.' && line_[e] != '&') ++e;
      const int nameLen = e - (i + 1);
      const bool ends = e >= len_ || line_[e] == ' ' || line_[e] == '.';
      if (nameLen >= 1 && nameLen <= kInputVarName && ends) {
        int valueLen = 0;
        const char* value = variable(line_ + i + 1, nameLen, &valueLen);
        if (value) {
          if (++count > kInputMaxSubstitutions) {
            code_ = kInputErrTooManySubstitutions;
            report(code_, line_ + i, nameLen + 1);
            return -1;
          }
          if (out + valueLen > kInputReadMax) {
            code_ = kInputErrTooLong;
            report(code_, nullptr, 0);
            return -1;
          }
          std::memcpy(work_ + out, value, static_cast<size_t>(valueLen));
          out += valueLen;
          i = e < len_ && line_[e] == '.' ? e + 1 : e;
          changed = true;
          continue;
        }
        report(kInputWarnUnknownVariable, line_ + i, nameLen + 1);
      }
    }
    if (out >= kInputReadMax) {
      code_ = kInputErrTooLong;
      report(code_, nullptr, 0);
      return -1;
    }
    work_[out++] = c;
    ++i;
  }
  if (!changed) return 0;
  while (out > 0 && work_[out - 1] == ' ') --out;
  std::memcpy(line_, work_, static_cast<size_t>(out));
  len_ = out;
  line_[len_] = '\0';
  return 0;
}

int InputReader::process() {
  int n = rawLen_;
  while (n > 0 && raw_[n - 1] == ' ') --n;
  const char cc = a_.opt.commentChar;
  if (cc != '\0' && cc != 1 && cc != ' ') {
    const int limit = mps_ ? (n < 4 ? n : 4) : n;
    const void* hit = std::memchr(raw_, cc, static_cast<size_t>(limit));
    if (hit) {
      int at = static_cast<int>(static_cast<const char*>(hit) - raw_);
      n = at;
      while (n > 0 && raw_[n - 1] == ' ') --n;
      if (n == 0) return 0;  // a comment line
      rawLong_ = false;      // the part after the comment character is gone
    }
  }
  if (n == 0) return 0;
  std::memcpy(line_, raw_, static_cast<size_t>(n));
  len_ = n;
  line_[len_] = '\0';
  if (rawLong_) {
    code_ = kInputErrTooLong;
    report(code_, nullptr, 0);
    return -1;
  }
  int first = 0;
  while (first < len_ && line_[first] == ' ') ++first;
  if (first + 1 < len_ && line_[first] == '.' && line_[first + 1] == '.') {
    const int d = directive(first);
    if (d <= 0) return d;
  }
  if (substitute() < 0) return -1;
  if (len_ > kInputLineMax) {
    code_ = kInputErrTooLong;
    report(code_, nullptr, 0);
    return -1;
  }
  if (mps_) {
    for (int k = len_; k < kInputPadColumn; ++k) line_[k] = ' ';
    line_[len_ < kInputPadColumn ? kInputPadColumn : len_] = '\0';
  }
  return 1;
}

LineRead InputReader::next() {
  if (code_ != 0) return LineRead::kError;
  while (depth_ > 0) {
    Source& s = *src_[depth_ - 1];
    const Raw r = readPhysical(s);
    if (r != Raw::kLine) {
      // End of an included file returns to the including one.
      if (depth_ > 1) {
        closeSource(depth_ - 1);
        --depth_;
        continue;
      }
      return LineRead::kEnd;
    }
    const int p = process();
    if (p < 0) return LineRead::kError;
    if (p == 0) continue;
    ++delivered_;
    if (a_.routingArea().out.inputListing) writeCharsLine(a_, line_, len_, kClassPrompt);
    return LineRead::kLine;
  }
  return LineRead::kEnd;
}

}  // namespace kz
