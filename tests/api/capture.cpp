#include "capture.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {
// The library hands the callback its own record; the record's caller word
// tells which capture it belongs to.
std::mutex gMutex;
std::unordered_map<int32_t, Capture*> gCaptures;
int32_t gNext = 1;
}  // namespace

Capture::Capture(KZOSL* block) : block_(block) {
  int32_t id;
  {
    std::lock_guard<std::mutex> g(gMutex);
    id = gNext++;
    gCaptures[id] = this;
  }
  mine_.callerWord = id;
  KZRT2(block, &Capture::onLine, &mine_);
}

Capture::~Capture() {
  std::lock_guard<std::mutex> g(gMutex);
  gCaptures.erase(mine_.callerWord);
}

void Capture::onLine(void* record) {
  auto* rec = static_cast<KZMessageRecord*>(record);
  Capture* c = nullptr;
  {
    std::lock_guard<std::mutex> g(gMutex);
    auto it = gCaptures.find(rec->callerWord);
    if (it != gCaptures.end()) c = it->second;
  }
  if (c) c->lines.push_back({rec->lineClass, std::string(rec->text)});
}

std::vector<std::string> Capture::texts() const {
  std::vector<std::string> out;
  for (const auto& l : lines)
    if (!(l.text.empty() || l.text == " ")) out.push_back(l.text);
  return out;
}
