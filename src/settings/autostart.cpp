// The log-on autostart entry: the string value "Ostrivel" under the current
// user's Run key, holding the quoted executable path and the switch /i.
#include "autostart.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char AutostartValueName[] = "Ostrivel";
const REGSAM RunKeyWriteAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Value names longer than "Ostrivel" need not fit: they cannot match.
const DWORD NameCapacity = 80;

// The Run value's data for the running executable; 0 when the path cannot be
// had whole.
int FormatOwnCommand(char* out, size_t size)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 0;
    return FormatAutostartCommand(out, size, path);
}

}  // namespace

int FormatAutostartCommand(char* out, size_t size, const char* path)
{
    // Quoted, so that a path with blanks cannot start another program at
    // log-on (C:\Program Files\... would otherwise run C:\Program.exe).
    int length = snprintf(out, size, "\"%s\" /i", path);
    return length > 0 && static_cast<size_t>(length) < size;
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
    char command[MAX_PATH + 5];  // quotes, " /i" and the terminator
    if (!on)
        RegDeleteValueA(key, AutostartValueName);
    else if (FormatOwnCommand(command, sizeof command))
        RegSetValueExA(key, AutostartValueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(command), strlen(command) + 1);
    RegCloseKey(key);
}
