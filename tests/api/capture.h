// Collects the lines a model area writes, through the message callback, as a
// host would.
#pragma once
#include <string>
#include <vector>

#include "kz.h"
#include "kz_records.h"

struct CapturedLine {
  int lineClass;
  std::string text;
};

class Capture {
 public:
  // Registers the callback on the block; the capture must outlive the area.
  explicit Capture(KZOSL* block);
  ~Capture();
  std::vector<CapturedLine> lines;
  void clear() { lines.clear(); }
  // Texts only, without the empty lines that precede trace lines.
  std::vector<std::string> texts() const;

 private:
  static void onLine(void* record);
  KZOSL* block_;
  KZMessageRecord mine_{};
};
