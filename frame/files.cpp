// The file layer over POSIX descriptors. A unit's buffer is either holding
// input read ahead from the file (bufPos..bufLimit) or output not yet written
// (holdsOutput, bufPos bytes); switching between the two on a read-write
// unit writes the output out or moves the file position back over the
// unread input, so the file always sees bytes in the caller's order.
#include "frame/files.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kz {
namespace {

FileUnit* unitOf(FileTable& ft, int unit) {
  return unit >= 0 && unit < kFileUnits ? &ft.unit[unit] : nullptr;
}

bool isOpen(const FileUnit& f) { return f.mode > 0 && f.fd >= 0; }
int accessOf(const FileUnit& f) { return f.mode % 10; }
bool isDirect(const FileUnit& f) { return accessOf(f) == kFileModeReadWriteDirect; }
bool canRead(const FileUnit& f) {
  int a = accessOf(f);
  return a == kFileModeRead || a == kFileModeReadWrite || a == kFileModeReadWriteDirect;
}
bool canWrite(const FileUnit& f) {
  int a = accessOf(f);
  return a >= kFileModeCreate && a <= kFileModeReadWriteDirect;
}

int fail(int16_t* fnValue) {
  if (fnValue != nullptr) *fnValue = 1;
  return 1;
}

// Writes all iov bytes, resuming after partial writes; false on an error or
// a write that makes no progress.
bool writeAll(int fd, iovec* iov, int count) {
  while (count > 0) {
    ssize_t r = ::writev(fd, iov, count);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    size_t done = static_cast<size_t>(r);
    while (count > 0 && done >= iov->iov_len) {
      done -= iov->iov_len;
      ++iov;
      --count;
    }
    if (count > 0) {
      iov->iov_base = static_cast<char*>(iov->iov_base) + done;
      iov->iov_len -= done;
    }
  }
  return true;
}

bool writeBytes(int fd, const char* p, size_t n) {
  iovec iov{const_cast<char*>(p), n};
  return n == 0 || writeAll(fd, &iov, 1);
}

bool flushOutput(FileUnit& f) {
  bool ok = true;
  if (f.holdsOutput && f.bufPos > 0) ok = writeBytes(f.fd, f.buffer, static_cast<size_t>(f.bufPos));
  f.holdsOutput = false;
  f.bufPos = 0;
  f.bufLimit = 0;
  return ok;
}

// Gives back input read ahead so that a write lands at the caller's position.
void dropInput(FileUnit& f) {
  if (!f.holdsOutput && f.bufLimit > f.bufPos) ::lseek(f.fd, f.bufPos - f.bufLimit, SEEK_CUR);
  f.bufPos = 0;
  f.bufLimit = 0;
}

// Makes input available in the buffer; want is how much the caller still
// needs (a direct unit reads no more than that). Returns the bytes
// available, 0 at end of file, -1 on an error.
int fill(FileUnit& f, int want) {
  if (f.holdsOutput && !flushOutput(f)) return -1;
  if (f.bufPos < f.bufLimit) return f.bufLimit - f.bufPos;
  int ask = isDirect(f) && want < kFileBlock ? want : kFileBlock;
  ssize_t r;
  do {
    r = ::read(f.fd, f.buffer, static_cast<size_t>(ask));
  } while (r < 0 && errno == EINTR);
  f.bufPos = 0;
  f.bufLimit = r > 0 ? static_cast<int>(r) : 0;
  return r < 0 ? -1 : static_cast<int>(r);
}

// Reads n bytes into dst, or past them when dst is null.
int readInto(FileTable& ft, int unit, char* dst, int n, int16_t* fnValue) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr || !isOpen(*f) || !canRead(*f) || n < 0) return fail(fnValue);
  int done = 0;
  while (done < n) {
    int avail = fill(*f, n - done);
    if (avail <= 0) return fail(fnValue);
    int take = avail < n - done ? avail : n - done;
    if (dst != nullptr) std::memcpy(dst + done, f->buffer + f->bufPos, static_cast<size_t>(take));
    f->bufPos += take;
    f->bytesRead += take;
    done += take;
  }
  return 0;
}

// Copies a name into a path without its surrounding double quotes.
bool pathOf(const char* name, char* path) {
  size_t n = std::strlen(name);
  if (n > 0 && name[0] == '"') {
    ++name;
    --n;
    if (n > 0 && name[n - 1] == '"') --n;
  }
  if (n == 0 || n > kFileNameMax) return false;
  std::memcpy(path, name, n);
  path[n] = '\0';
  return true;
}

// Appends to a bounded name, dropping what does not fit.
struct NameBuilder {
  char* out;
  int cap;
  int len = 0;
  void add(char c) {
    if (len < cap) out[len++] = c;
  }
  void add(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) add(s[i]);
  }
};

}  // namespace

int fileOpen(FileTable& ft, int unit, int mode, const char* name) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr) return 1;
  if (isOpen(*f)) fileClose(ft, unit);
  f->mode = 0;
  if (name != nullptr && name != f->name) {
    size_t n = std::strlen(name);
    if (n > kFileNameMax) return 1;
    std::memcpy(f->name, name, n + 1);
  }
  char path[kFileNameMax + 1];
  if (mode <= 0 || !pathOf(f->name, path)) return 1;
  int flags;
  switch (mode % 10) {
    case kFileModeRead: flags = O_RDONLY; break;
    case kFileModeCreate: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case kFileModeAppend: flags = O_WRONLY | O_CREAT | O_APPEND; break;
    case kFileModeReadWrite:
    case kFileModeReadWriteDirect: flags = O_RDWR; break;
    default: return 1;
  }
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 1;
  f->fd = fd;
  f->mode = mode;
  f->bufPos = 0;
  f->bufLimit = 0;
  f->holdsOutput = false;
  f->bytesRead = 0;
  f->bytesWritten = 0;
  return 0;
}

int fileWrite(FileTable& ft, int unit, const char* data, int n, int16_t* fnValue) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr || !isOpen(*f) || !canWrite(*f) || n < 0 || (data == nullptr && n > 0)) {
    return fail(fnValue);
  }
  if (!f->holdsOutput) dropInput(*f);
  if (f->mode >= kFileBlockBuffered && !isDirect(*f)) {
    f->holdsOutput = true;
    while (n > 0) {
      int take = kFileBlock - f->bufPos;
      if (take > n) take = n;
      std::memcpy(f->buffer + f->bufPos, data, static_cast<size_t>(take));
      f->bufPos += take;
      f->bytesWritten += take;
      data += take;
      n -= take;
      if (f->bufPos == kFileBlock) {
        bool ok = writeBytes(f->fd, f->buffer, kFileBlock);
        f->bufPos = 0;
        if (!ok) return fail(fnValue);
      }
    }
    return 0;
  }
  const size_t endLen = sizeof kFileLineEnd - 1;
  iovec iov[2] = {{const_cast<char*>(data), static_cast<size_t>(n)},
                  {const_cast<char*>(kFileLineEnd), endLen}};
  if (!writeAll(f->fd, n > 0 ? iov : iov + 1, n > 0 ? 2 : 1)) return fail(fnValue);
  f->bytesWritten += n + static_cast<int64_t>(endLen);
  return 0;
}

int fileRead(FileTable& ft, int unit, char* dst, int n, int16_t* fnValue) {
  if (dst == nullptr && n > 0) return fail(fnValue);
  return readInto(ft, unit, dst, n, fnValue);
}

int fileSkip(FileTable& ft, int unit, int n, int16_t* fnValue) {
  return readInto(ft, unit, nullptr, n, fnValue);
}

int fileReadLine(FileTable& ft, int unit, char* dst, int cap, int* len, int16_t* fnValue) {
  FileUnit* f = unitOf(ft, unit);
  if (len != nullptr) *len = 0;
  if (f == nullptr || !isOpen(*f) || !canRead(*f) || dst == nullptr || cap < 1) {
    return fail(fnValue);
  }
  int stored = 0;
  bool any = false;
  bool lastStoredIsCr = false;
  for (;;) {
    int avail = fill(*f, 1);
    if (avail < 0) {
      dst[stored] = '\0';
      return fail(fnValue);
    }
    if (avail == 0) break;
    any = true;
    const char* p = f->buffer + f->bufPos;
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(avail)));
    int take = lf != nullptr ? static_cast<int>(lf - p) : avail;
    int room = cap - 1 - stored;
    int copy = take < room ? take : room;
    if (copy > 0) {
      std::memcpy(dst + stored, p, static_cast<size_t>(copy));
      stored += copy;
      lastStoredIsCr = dst[stored - 1] == '\r';
    } else if (take > 0) {
      lastStoredIsCr = false;  // the line goes on past what was stored
    }
    int consumed = take + (lf != nullptr ? 1 : 0);
    f->bufPos += consumed;
    f->bytesRead += consumed;
    if (lf != nullptr) break;
  }
  if (!any) {
    dst[0] = '\0';
    return fail(fnValue);
  }
  if (lastStoredIsCr) --stored;
  dst[stored] = '\0';
  if (len != nullptr) *len = stored;
  return 0;
}

int fileClose(FileTable& ft, int unit) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr) return 1;
  if (!isOpen(*f)) return 0;
  bool ok = flushOutput(*f);
  if (::close(f->fd) != 0) ok = false;
  f->fd = -1;
  f->mode = 0;
  f->bufPos = 0;
  f->bufLimit = 0;
  f->holdsOutput = false;
  return ok ? 0 : 1;
}

int fileCloseAll(FileTable& ft) {
  int rc = 0;
  for (int u = 0; u < kFileUnits; ++u) rc |= fileClose(ft, u);
  return rc;
}

int buildFileName(FileTable& ft, int unit, const char* given, const char* defExt,
                  const char* dir, int areaSerial, int nextSolve) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr || given == nullptr) return -1;
  while (*given == ' ') ++given;
  const bool quoted = *given == '"';
  const char* name = quoted ? given + 1 : given;
  size_t n;
  if (quoted) {
    const char* close = std::strchr(name, '"');
    n = close != nullptr ? static_cast<size_t>(close - name) : std::strlen(name);
  } else {
    n = std::strcspn(name, " ");
  }
  while (n > 0 && name[n - 1] == ' ') --n;
  if (n == 0) return -1;

  char out[kFileNameMax + 1];
  NameBuilder b{out, kFileNameMax};
  if (name[n - 1] == ':') {
    b.add(name, n - 1);  // a device: no directory, no extension
  } else {
    if (quoted) {
      b.add('"');
      b.cap = kFileNameMax - 1;  // keep room for the closing quote
    }
    bool hasDir = false;
    for (size_t i = 0; i < n; ++i) {
      char c = name[i];
      if (c == ':' || c == '/' || c == '\\' || c == ' ') hasDir = true;
    }
    if (!hasDir && dir != nullptr && *dir != '\0') {
      size_t dn = std::strlen(dir);
      b.add(dir, dn);
      char last = dir[dn - 1];
      if (last != '/' && last != '\\' && last != ':') b.add('/');
    }
    const int nameStart = b.len;
    for (size_t i = 0; i < n; ++i) {
      if (name[i] == '%' && i + 1 < n && name[i + 1] == 'd') {
        char num[32];
        int k = std::snprintf(num, sizeof num, "_%d_%d", areaSerial, nextSolve);
        b.add(num, static_cast<size_t>(k));
        ++i;
      } else {
        b.add(name[i]);
      }
    }
    // An extension is a period in the last part of the path.
    bool hasExt = false;
    for (int i = b.len - 1; i >= nameStart; --i) {
      char c = out[i];
      if (c == '/' || c == '\\' || c == ':') break;
      if (c == '.') {
        hasExt = true;
        break;
      }
    }
    if (!hasExt && defExt != nullptr) {
      if (*defExt == '.') ++defExt;
      size_t en = std::strlen(defExt);
      if (en > 3) en = 3;
      if (en > 0) {
        b.add('.');
        b.add(defExt, en);
      }
    }
    if (quoted) {
      b.cap = kFileNameMax;
      b.add('"');
    }
  }
  out[b.len] = '\0';
  std::memcpy(f->name, out, static_cast<size_t>(b.len) + 1);
  const char* period = std::strrchr(f->name, '.');
  return period != nullptr ? static_cast<int>(period - f->name) + 1 : b.len;
}

int fileDelete(FileTable& ft, int unit) {
  FileUnit* f = unitOf(ft, unit);
  if (f == nullptr) return 1;
  if (isOpen(*f)) fileClose(ft, unit);
  char path[kFileNameMax + 1];
  if (!pathOf(f->name, path)) return 1;
  return ::unlink(path) == 0 ? 0 : 1;
}

bool fileIsOpen(const FileTable& ft, int unit) {
  return unit >= 0 && unit < kFileUnits && isOpen(ft.unit[unit]);
}

const char* fileName(const FileTable& ft, int unit) {
  return unit >= 0 && unit < kFileUnits ? ft.unit[unit].name : "";
}

}  // namespace kz
