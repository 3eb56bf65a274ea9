// The small file layer of a model area: seven unit slots for the log file,
// model input, work and basis files and the report listings. Units in use:
// 1 model input, 2 work and basis files, 4 the output log; the others belong
// to the readers and reports that open them.
//
// All functions take a unit number 0..6; a number outside that range or a
// null pointer where data is needed makes the call fail (result 1, or -1 for
// buildFileName), never crash. Read and write failures also set *fnValue to
// 1 when fnValue is not null.
#pragma once
#include <cstdint>

namespace kz {

constexpr int kFileUnits = 7;
constexpr int kFileNameMax = 257;  // characters of a unit's file name
constexpr int kFileBlock = 4096;   // size of a unit's buffer

// Open modes: the last decimal digit selects the access, adding
// kFileBlockBuffered makes writes go out in blocks of kFileBlock bytes.
constexpr int kFileModeRead = 1;            // existing file, read only
constexpr int kFileModeCreate = 2;          // create or truncate, write only
constexpr int kFileModeAppend = 3;          // create if absent, write at the end
constexpr int kFileModeReadWrite = 4;       // existing file, read and write
constexpr int kFileModeReadWriteDirect = 5; // as 4, nothing kept in the buffer
constexpr int kFileBlockBuffered = 10;

// Line end written after each record of a unit that is not block-buffered:
// the native one of the platform.
constexpr char kFileLineEnd[] = "\n";

struct FileUnit {
  int fd = -1;                       // system file descriptor; -1 when closed
  char name[kFileNameMax + 1] = {};  // file name, NUL-terminated
  int mode = 0;                      // open mode as given to fileOpen; 0 = closed
  char buffer[kFileBlock] = {};
  int bufPos = 0;            // reading: next byte to deliver; writing: bytes pending
  int bufLimit = 0;          // reading: end of the valid bytes; 0 while writing
  bool holdsOutput = false;  // the buffer holds bytes not yet written
  int64_t bytesRead = 0;     // bytes delivered to callers since the open
  int64_t bytesWritten = 0;  // bytes taken from callers (and line ends) since the open
};

struct FileTable {
  FileUnit unit[kFileUnits];
};

// Opens a unit (closing it first if it is open). name null: the unit's
// stored name (set by buildFileName or an earlier open); a name given here
// is stored as the unit's name. Surrounding double quotes of a name are not
// part of the file's path. Returns 0, or 1 on failure (unit left closed,
// mode 0); names longer than kFileNameMax fail rather than open a
// truncated path.
int fileOpen(FileTable& ft, int unit, int mode, const char* name);

// Writes n bytes. Block-buffered units collect them in the buffer and write
// it out whenever it holds kFileBlock bytes; other units write the bytes and
// kFileLineEnd at once. Returns 0, or 1 (and *fnValue = 1) on a short write
// or a unit not open for writing.
int fileWrite(FileTable& ft, int unit, const char* data, int n, int16_t* fnValue);

// Reads exactly n bytes through the unit's buffer. End of file before n
// bytes (the bytes that were there are delivered) or an error: *fnValue = 1,
// returns 1.
int fileRead(FileTable& ft, int unit, char* dst, int n, int16_t* fnValue);

// Moves the read position n bytes on without copying; end of file as fileRead.
int fileSkip(FileTable& ft, int unit, int n, int16_t* fnValue);

// Reads up to and including the next line feed and stores the line without
// it, and without a carriage return just before it, NUL-terminated in dst;
// *len (if len is not null) gets the stored length. A line longer than
// cap - 1 keeps its first cap - 1 characters; the rest of it is skipped. A
// last line without a line feed is a line; end of file with nothing read:
// *fnValue = 1, returns 1.
int fileReadLine(FileTable& ft, int unit, char* dst, int cap, int* len, int16_t* fnValue);

// Writes out the buffer of a writing unit, closes the file and clears the
// mode; the name stays. Returns 1 if the buffer could not be written or the
// close failed, 0 otherwise (also for a unit that is not open).
int fileClose(FileTable& ft, int unit);

// Closes every open unit; returns 1 if any close failed.
int fileCloseAll(FileTable& ft);

// Builds and stores the unit's file name from a given name:
// - a name ending in ':' is a device ("LPT1:" -> "LPT1"), taken without the
//   colon and without an extension;
// - otherwise a name starts at the first non-blank and ends at a blank,
//   unless it is in double quotes, which may hold blanks;
// - a name with no ':', '/', '\\' or blank in it is prefixed with dir, to
//   which '/' is added unless it ends in '/', '\\' or ':';
// - each "%d" in the name becomes "_<areaSerial>_<nextSolve>";
// - a name whose last part has no period gets "." and the first three
//   characters of defExt (none if defExt is null or empty);
// - a quoted name is stored with its quotes, the closing one added if missing.
// The result is truncated to kFileNameMax characters. Returns the position
// just after the stored name's last period, or the name's length if it has
// none; -1 if the unit is invalid or the given name is null or blank (the
// stored name is then unchanged).
int buildFileName(FileTable& ft, int unit, const char* given, const char* defExt,
                  const char* dir, int areaSerial, int nextSolve);

// Deletes the file named by the unit (closing the unit first if it is
// open). Returns 0, or 1 on failure.
int fileDelete(FileTable& ft, int unit);

bool fileIsOpen(const FileTable& ft, int unit);
// The unit's stored name; "" for an invalid unit.
const char* fileName(const FileTable& ft, int unit);

}  // namespace kz
