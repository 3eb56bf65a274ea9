#include "frame/window.h"

#include <cstdio>
#include <cstring>

#include "frame/linebuf.h"

namespace kz {

ConsoleWindow::ConsoleWindow(int serial, bool shown) : shown_(shown) {
  LineBuffer lb;
  appendText(lb, "KZ V16 Rel 65  Message Window - ");
  appendNumber(lb, serial, 0, NumberStyle{});
  caption_.assign(lb.text, lb.pos);
}

void ConsoleWindow::writeLine(const char* text, int len, bool overwrite) {
  if (overwrite && written_ > 0) --written_;
  if (len < 0) len = 0;
  if (len > kLineWidth - 2) len = kLineWidth - 2;
  char* slot = store_[written_ % kLines];
  std::memset(slot, ' ', kLineWidth - 2);
  std::memcpy(slot, text, static_cast<size_t>(len));
  slot[kLineWidth - 2] = '\0';
  slot[kLineWidth - 1] = '\0';
  ++written_;
  if (shown_) {
    std::fwrite(text, 1, static_cast<size_t>(len), stdout);
    std::fputc('\n', stdout);
  }
}

std::string ConsoleWindow::heldLine(int k) const {
  if (k < 0 || k >= heldCount()) return std::string();
  int first = written_ <= kLines ? 0 : written_ - kLines;
  const char* slot = store_[(first + k) % kLines];
  int n = kLineWidth - 2;
  while (n > 0 && slot[n - 1] == ' ') --n;
  return std::string(slot, static_cast<size_t>(n));
}

}  // namespace kz
