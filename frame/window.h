// The message window of a model area. This platform has no windowing system,
// so the window is a headless console: it keeps its last 400 lines in memory,
// as the scrolling window would, and echoes each line to standard output when
// it is "shown" (handle -1). A minimised window (handle -2) keeps its lines but
// does not echo them.
#pragma once
#include <cstdint>
#include <string>

namespace kz {

class ConsoleWindow {
 public:
  static constexpr int kLines = 400;
  static constexpr int kLineWidth = 150;  // 148 characters of text, padding, zero

  ConsoleWindow(int serial, bool shown);

  // Stores one line (at most 148 characters). With overwrite set the line
  // replaces the last one instead of scrolling.
  void writeLine(const char* text, int len, bool overwrite);

  int linesWritten() const { return written_; }
  // Line k counted from the oldest still held (0 .. min(written,400)-1),
  // trailing blanks dropped.
  std::string heldLine(int k) const;
  int heldCount() const { return written_ < kLines ? written_ : kLines; }
  const std::string& caption() const { return caption_; }
  bool shown() const { return shown_; }
  void setShown(bool shown) { shown_ = shown; }
  // Text typed into the window for the "Enter Command Line?" prompt: a
  // headless window has no typist, so the answer is an empty line.
  std::string readTypedLine() { return std::string(); }

 private:
  char store_[kLines][kLineWidth] = {};
  int written_ = 0;
  bool shown_ = true;
  std::string caption_;
};

}  // namespace kz
