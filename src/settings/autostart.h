// The log-on autostart entry: value "Ostrivel" under the current user's Run key.
#pragma once
#include <cstddef>

#include <windows.h>

// 1 when the Run key holds a value named exactly "Ostrivel", else 0.
int QueryAutostart();

// Writes the value (on non-zero) or deletes it (on 0). Silent on failure.
void SetAutostart(int on);

// The value's data for an executable path: the path in quotation marks, then
// " /i". 0 when it does not fit into size characters.
int FormatAutostartCommand(WCHAR* out, size_t size, const WCHAR* path);
