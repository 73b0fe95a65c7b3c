// Replacing a small file whole (a bare name in the current directory, or a
// full path): the program's settings and the attribute monitor's state are
// written this way.
#pragma once
#include <cstddef>

// The monitor's state file is saved this way too, through temporary files of
// its own prefix: a leftover of one save is never taken for the other's. The
// state is never longer than this.
inline constexpr char MonitorTemporaryPrefix[] = "osm";
enum : unsigned long { MonitorStateLargest = 32768 };

// Writes `length` bytes to a temporary file beside `name`, named by
// GetTempFileNameA with `prefix` (which tells whose leftover a file is); it
// then takes the file's place in one step, so a failure or a cut at any
// moment leaves either the earlier file or the new one, never a partial one.
// A read-only file, or one that another process holds open without write
// sharing, is not replaced. 1 on success, 0 when the earlier file (if any) stays, with the
// reason left for GetLastError.
int ReplaceFileWhole(const char* name, const char* prefix, const void* data, size_t length);
