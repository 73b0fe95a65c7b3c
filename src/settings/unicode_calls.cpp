#include "unicode_calls.h"

#include <cwchar>

namespace {

// Every text passed here is at most a path and a few characters; in a
// double-byte code page each character may take two bytes.
enum { AnsiSize = 2 * (MAX_PATH + 8) };

OSVERSIONINFOA SystemVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return info;
}

// The UTF-16 function on Windows NT; null on Windows 9x, where the ANSI one
// serves (Windows 9x exports some UTF-16 names that only fail).
template <typename Function>
Function WideCall(const char* library, const char* name)
{
    if (SystemVersion().dwPlatformId != VER_PLATFORM_WIN32_NT)
        return nullptr;
    return LookUpSystemCall<Function>(library, name);
}

#define WIDE_CALL(library, function) WideCall<decltype(&function)>(library, #function)

int ToAnsi(const WCHAR* text, char (&ansi)[AnsiSize])
{
    return WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, AnsiSize, nullptr, nullptr) != 0;
}

int FromAnsi(const char* ansi, WCHAR (&text)[MAX_PATH])
{
    return MultiByteToWideChar(CP_ACP, 0, ansi, -1, text, MAX_PATH) != 0;
}

}  // namespace

int GetProgramPath(WCHAR (&path)[MAX_PATH])
{
    if (auto getModuleFileName = WIDE_CALL("kernel32.dll", GetModuleFileNameW)) {
        const DWORD length = getModuleFileName(nullptr, path, MAX_PATH);
        return length != 0 && length < MAX_PATH;
    }
    char ansi[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, ansi, MAX_PATH);
    return length != 0 && length < MAX_PATH && FromAnsi(ansi, path);
}

int GetProgramFolder(WCHAR (&folder)[MAX_PATH])
{
    if (!GetProgramPath(folder))
        return 0;
    WCHAR* lastBackslash = std::wcsrchr(folder, L'\\');
    if (!lastBackslash)
        return 0;
    lastBackslash[1] = L'\0';
    return 1;
}

BOOL SetCurrentFolder(const WCHAR* folder)
{
    if (auto setCurrentDirectory = WIDE_CALL("kernel32.dll", SetCurrentDirectoryW))
        return setCurrentDirectory(folder);
    char ansi[AnsiSize];
    return ToAnsi(folder, ansi) && SetCurrentDirectoryA(ansi);
}

LONG SetRegistryText(HKEY key, const WCHAR* name, const WCHAR* text)
{
    if (auto regSetValueEx = WIDE_CALL("advapi32.dll", RegSetValueExW)) {
        const DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR));
        return regSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
    }
    char ansiName[AnsiSize];
    char ansiText[AnsiSize];
    if (!ToAnsi(name, ansiName) || !ToAnsi(text, ansiText))
        return ERROR_NO_UNICODE_TRANSLATION;
    return RegSetValueExA(key, ansiName, 0, REG_SZ, reinterpret_cast<const BYTE*>(ansiText),
                          lstrlenA(ansiText) + 1);
}

HANDLE CreateSharedMemory(const WCHAR* name, DWORD size, SECURITY_ATTRIBUTES* security, bool* existed)
{
    HANDLE memory = nullptr;
    if (auto createFileMapping = WIDE_CALL("kernel32.dll", CreateFileMappingW)) {
        SetLastError(ERROR_SUCCESS);
        memory = createFileMapping(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0, size, name);
    } else {
        char ansi[AnsiSize];
        if (!ToAnsi(name, ansi))
            return nullptr;
        SetLastError(ERROR_SUCCESS);
        memory = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, ansi);
    }
    *existed = memory && GetLastError() == ERROR_ALREADY_EXISTS;
    return memory;
}

void FoldCase(WCHAR (&text)[MAX_PATH])
{
    if (auto charUpperBuff = WIDE_CALL("user32.dll", CharUpperBuffW)) {
        charUpperBuff(text, static_cast<DWORD>(std::wcslen(text)));
        return;
    }
    char ansi[AnsiSize];
    if (!ToAnsi(text, ansi))
        return;
    CharUpperBuffA(ansi, lstrlenA(ansi));
    FromAnsi(ansi, text);
}

const WCHAR* GetWideCommandLine()
{
    auto getCommandLine = WIDE_CALL("kernel32.dll", GetCommandLineW);
    return getCommandLine ? getCommandLine() : nullptr;
}

const WCHAR* SessionNamespace()
{
    const OSVERSIONINFOA version = SystemVersion();
    const bool sessions = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
    return sessions ? L"Local\\" : L"";
}

int JoinWide(WCHAR* out, size_t size, const WCHAR* const* texts)
{
    size_t n = 0;
    for (; *texts; ++texts) {
        for (const WCHAR* c = *texts; *c; ++c) {
            if (n + 1 >= size) {
                out[n] = L'\0';
                return 0;
            }
            out[n++] = *c;
        }
    }
    out[n] = L'\0';
    return 1;
}

bool JoinPath(char (&out)[MAX_PATH], const char* a, const char* b, const char* c)
{
    out[0] = '\0';
    if (lstrlenA(a) + lstrlenA(b) + lstrlenA(c) >= MAX_PATH)
        return false;
    lstrcatA(lstrcatA(lstrcatA(out, a), b), c);
    return true;
}
