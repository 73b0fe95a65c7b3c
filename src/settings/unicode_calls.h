// The program's paths and the names it gives the system, in UTF-16 on every
// system, so that a folder name outside the ANSI code page (say "日本 ドライブ")
// survives. Windows NT takes them as they are, through its UTF-16 functions;
// those are looked up at run time, since Windows 95 lacks some of them and
// would refuse to load a program that imported them. Windows 9x gets them in
// its code page, through the ANSI functions.
#pragma once
#include <windows.h>

// A function of a system library that the process has loaded, or null where
// that system has none.
template <typename Function>
Function LookUpSystemCall(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// The running program's full path; 0 when it cannot be had whole.
int GetProgramPath(WCHAR (&path)[MAX_PATH]);

// The program's folder with its trailing backslash; 0 when it is unknown.
int GetProgramFolder(WCHAR (&folder)[MAX_PATH]);

BOOL SetCurrentFolder(const WCHAR* folder);

// Writes a REG_SZ value, its terminator stored with it.
LONG SetRegistryText(HKEY key, const WCHAR* name, const WCHAR* text);

// A named block of shared memory in the paging file, with the given access
// list (null: the default one); *existed tells whether another process had
// made it already. Null on failure.
HANDLE CreateSharedMemory(const WCHAR* name, DWORD size, SECURITY_ATTRIBUTES* security, bool* existed);

// The command line in UTF-16 on Windows NT; null on Windows 9x.
const WCHAR* GetWideCommandLine();

// Joins the texts (up to a null) into out; 0, with out cut, when they do not
// fit in `size` characters with the terminator. Spares the program the C
// library's wide printf, which would double its size.
int JoinWide(WCHAR* out, size_t size, const WCHAR* const* texts);

// The same for a path in the code page: false, with out empty, when the
// texts do not fit in MAX_PATH characters with the terminator.
bool JoinPath(char (&out)[MAX_PATH], const char* a, const char* b, const char* c = "");

// Upper case, as the file system compares names.
void FoldCase(WCHAR (&text)[MAX_PATH]);

// "Local\" where each log-on session has its own names for system objects
// (Windows 2000 and later), else "".
const WCHAR* SessionNamespace();
