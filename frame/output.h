// The output channel: the line writer and the helpers that build and write
// whole lines. Every line of a model area passes through writeLine.
#pragma once
#include <cstdarg>
#include <cstdint>

#include "frame/area.h"

namespace kz {

// The line writer: sends len characters of text with a line class to the
// area's current destination (window, message callback, log file).
void writeLine(ModelArea& a, const char* text, int len, int cls);

// The routing area's line buffer, which every line-building helper works on.
LineBuffer& lineOf(ModelArea& a);
// Starts a new line in the routing area's buffer.
void newLine(ModelArea& a);
// Writes the routing area's line buffer with a class and clears it.
void putLine(ModelArea& a, int cls);
// Starts a new line holding s and writes it (ignored if longer than 32766).
void writeTextLine(ModelArea& a, const char* s, int cls);
void writeCharsLine(ModelArea& a, const char* s, int n, int cls);
void writeEmptyLine(ModelArea& a, int cls);
// Appends a number with the area's decimal character and separator.
void putNumber(ModelArea& a, double x, int16_t fieldCode);

// A trace line (class 6) preceded by an empty line: the formatted text and
// the elapsed stamp since the stopwatch was last started.
void traceLine(ModelArea& a, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void traceLineV(ModelArea& a, const char* fmt, va_list ap);
void startStopwatch(ModelArea& a);

// Warning (n >= 10000) and error lines of the input readers.
void warningOrErrorLine(ModelArea& a, int n, const char* token);

// The page-header line of printed listings, width a.
void pageHeaderLine(ModelArea& a, int width, int cls);

// Message type handed to the message callback for a line class (-1: none).
int messageTypeOf(int cls);

// Closes the log file and sends output back to the window.
void closeLogFile(ModelArea& a);

}  // namespace kz
