// The model area: everything the library keeps for one open control block.
// Default member values are the template a new area starts from.
#pragma once
#include <cstdint>
#include <memory>

#include "frame/files.h"
#include "frame/linebuf.h"
#include "frame/options.h"
#include "frame/platform.h"
#include "frame/pool.h"
#include "frame/window.h"
#include "include/kz.h"
#include "include/kz_records.h"
#include "model/store.h"

namespace kz {

constexpr int32_t kMagicOpen = KZ_MAGIC_OPEN;
constexpr int32_t kMagicClosed = KZ_MAGIC_CLOSED;
constexpr int32_t kMagicReuse = KZ_MAGIC_REUSE;
constexpr int16_t kGuardWord = 15279;
constexpr int32_t kVersion = 1665;

// Internal-call bits: a call the library makes on itself is not counted,
// timed or traced.
constexpr uint32_t kInternalCallMatSolver = 0x400;
constexpr uint32_t kInternalCallCpx = 0x1000;
constexpr uint32_t kInternalCallMask = kInternalCallMatSolver | kInternalCallCpx;

// Output destinations.
enum Destination : int16_t { kDestWindow0 = 0, kDestWindow = 1, kDestPrinter = 2, kDestSerial = 3, kDestFile = 4 };

// Line classes.
constexpr int kClassTrace = 6;
constexpr int kClassReport = 2;
constexpr int kClassMessage = 15;
constexpr int kClassPrompt = 16;
constexpr int kClassInfo = 3000;
constexpr int kClassProgress = 3001;
constexpr int kClassWarning = 3002;
constexpr int kClassError = 6000;
constexpr int kClassErrorProgress = 6001;
constexpr int kClassErrorInput = 6002;

// File units in use by the frame.
constexpr int kUnitModel = 1;
constexpr int kUnitWork = 2;
constexpr int kUnitLog = 4;

struct PageSettings {
  int16_t pageSize = 0;
  int16_t lineSize = 96;
  int16_t topMargin = 0;
  int16_t bottomMargin = 0;
  int16_t leftMargin = 0;
  int16_t waits = 0;
  int16_t started = 0;
};

struct ModelArea;
struct LpState;  // the LP engine's state (lp/basis.h)

// State of the output channel.
struct OutputChannel {
  int16_t destination = kDestWindow;
  int16_t mute = 0;
  int16_t quiet = 0;
  int16_t overwrite = 0;
  int16_t inCallback = 0;  // the message callback is running
  int16_t warnings = 1;    // WARNINGS: warning lines are written
  int16_t inputListing = 0;
  ModelArea* routing = nullptr;  // area whose channel is used (self, or the parent)
  NumberStyle style;
  char compressChar = ' ';
  PageSettings page[5] = {{25, 96, 0, 0, 0, 0, 0}, {25, 96, 0, 0, 0, 0, 0}, {60, 96, 0, 0, 0, 0, 0},
                          {66, 96, 3, 3, 0, 0, 0}, {66, 96, 0, 0, 0, 0, 0}};
  int32_t pageCounter = 0;
  char runDate[25] = {};
  char modelFileName[257] = {};  // model file, for page headers
};

// State of the input reader that warning and error lines refer to.
struct ReaderState {
  int32_t lineNumber = 0;
  int16_t tokenEcho = 1;
};

struct ModelArea {
  int16_t guardLow = kGuardWord;

  // Frame fields.
  KZOSL* back = nullptr;        // control block of the current call
  int32_t handle = 0;           // this area's handle in the area registry
  int32_t irc = 0;              // internal return code and sequence state
  int16_t fnValue = 0;          // function value of the current routine
  char routine[16] = "               ";  // routine that last set the code, blank-padded
  int16_t trace = 0;            // Set Debug
  uint32_t internalCalls = 0;   // kInternalCall* bits
  int32_t serial = 0;
  uint64_t openTick = 0;
  uint64_t stopwatch = 0;
  int32_t windowHandle = -1;
  bool ownWindow = false;
  std::unique_ptr<ConsoleWindow> window;
  uint32_t ownerThread = 0;
  int16_t indexBase[2] = {0, 0};
  int16_t fixedNames[2] = {0, 0};
  bool osRecognised = true;
  bool locksReady = false;
  plat::RecursiveLock lock[3];
  char moduleDir[257] = {};
  int32_t solves = 0;           // solves so far
  // The file the MPS reader read last (device, inode): the MPS writer never
  // overwrites it.
  uint64_t mpsReadDev = 0, mpsReadIno = 0;
  uint32_t flags = 0;           // area flag word
  int16_t pendingKey = 0;       // key posted by KZMSGINPUT or typed into the window
  WorkPool pool;

  // Command buffer of the option parser.
  char cmd[4097] = {};
  int16_t cmdLast = 0;

  // Output.
  LineBuffer line;
  OutputChannel out;
  FileTable files;
  ReaderState reader;

  // Message callback.
  KZMessageCallback messageCallback = nullptr;
  KZMessageRecord messageRecord = {};

  Options opt;

  // The loaded model (model/store.h).
  ModelStore store;

  // The LP engine's solve state, created by the first load or solve.
  std::shared_ptr<LpState> lp;

  int16_t guardHigh = kGuardWord;

  bool guardsIntact() const { return guardLow == kGuardWord && guardHigh == kGuardWord; }
  ModelArea& routingArea() { return out.routing ? *out.routing : *this; }
};

// Process-wide registry of open areas: a caller's block holds a 32-bit
// handle, not an address.
int32_t registerArea(ModelArea* a);
ModelArea* lookupArea(int32_t handle);
void unregisterArea(int32_t handle);

}  // namespace kz
