// Finding another process's top-level window by its class (Windows only).
#pragma once
#include <windows.h>

// The first top-level window of the process with that class name (only a
// visible one when shownOnly), or null.
HWND FindProcessWindow(DWORD processId, const char* className, bool shownOnly);
