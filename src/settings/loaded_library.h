// Functions of system libraries that a process does not load by itself
// (crypt32, secur32) and that older systems lack: the library is loaded on
// first use and stays, so Windows 95 still starts the program without them.
#pragma once
#include <windows.h>

// LoadLibraryA without the system's message box for a missing library.
HMODULE LoadSystemLibrary(const char* library);

// The function, or null where the library or the function is missing. A
// missing library brings up no system message box.
FARPROC LoadSystemProc(const char* library, const char* name);

// Fills `calls`, a record of `size` bytes holding function pointers only, in
// order with the functions named in `names` ("first\0second\0...", one name
// per pointer). False when one is missing.
bool LoadSystemCalls(const char* library, const char* names, void* calls, size_t size);

template <typename Function>
Function LoadSystemCall(const char* library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(LoadSystemProc(library, name)));
}
