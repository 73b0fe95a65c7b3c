// The log-on autostart entry: the string value "Ostrivel" under the current
// user's Run key, holding the quoted executable path and the switch /i.
#include "autostart.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "unicode_calls.h"

namespace {

const char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char AutostartValueName[] = "Ostrivel";
const WCHAR AutostartValueNameW[] = L"Ostrivel";
const REGSAM RunKeyWriteAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Value names longer than "Ostrivel" need not fit: they cannot match.
const DWORD NameCapacity = 80;

// The Run value's data for the running executable; 0 when the path cannot be
// had whole.
int FormatOwnCommand(WCHAR* out, size_t size)
{
    WCHAR path[MAX_PATH];
    return GetProgramPath(path) && FormatAutostartCommand(out, size, path);
}

}  // namespace

int FormatAutostartCommand(WCHAR* out, size_t size, const WCHAR* path)
{
    // Quoted, so that a path with blanks cannot start another program at
    // log-on (C:\Program Files\... would otherwise run C:\Program.exe).
    const WCHAR* const parts[] = {L"\"", path, L"\" /i", nullptr};
    return JoinWide(out, size, parts);
}

int QueryAutostart()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    // Names only: asking for the data would make every value with long data
    // report ERROR_MORE_DATA.
    int found = 0;
    for (DWORD index = 0;; ++index) {
        char name[NameCapacity];
        DWORD nameLength = NameCapacity;
        LONG result = RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr,
                                    nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        if (strcmp(name, AutostartValueName) == 0)
            found = 1;
    }
    RegCloseKey(key);
    return found;
}

void SetAutostart(int on)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, const_cast<char*>(""),
                        REG_OPTION_NON_VOLATILE, RunKeyWriteAccess, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    WCHAR command[MAX_PATH + 5];  // quotes, " /i" and the terminator
    if (!on)
        RegDeleteValueA(key, AutostartValueName);
    else if (FormatOwnCommand(command, MAX_PATH + 5))
        SetRegistryText(key, AutostartValueNameW, command);
    RegCloseKey(key);
}
