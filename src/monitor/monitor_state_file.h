// The monitor's state as a text file: one line per drive and one per
// attribute. Portable: the caller reads and writes the bytes.
#pragma once
#include <cstddef>

#include "monitor_rules.h"

enum { MonitorStateFileMax = 32768 };  // bytes; a longer file is malformed

// Writes the state as text. Returns its length, 0 when it does not fit.
size_t FormatMonitorState(const MonitorState& state, char* out, size_t capacity);

// Reads a state written by FormatMonitorState. On a malformed or oversized
// text, returns false and leaves *state empty (fresh references).
bool ParseMonitorState(const char* text, size_t length, MonitorState* state);
