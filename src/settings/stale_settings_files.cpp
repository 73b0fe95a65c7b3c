// What an interrupted save of the settings file leaves behind: a power cut or
// a killed process between the save's steps leaves its temporary file (empty,
// or holding the whole new record) or, on Windows 9x, the earlier file under
// its spare name, and "ostrivel.ini" may be missing. A cut save of the
// monitor's state leaves its own temporary files, of any size up to the
// state's largest.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "file_places.h"
#include "file_replace.h"
#include "settings.h"
#include "unicode_calls.h"

namespace {

enum { MaxHexDigits = 4 };  // GetTempFileNameA numbers files in 16 bits

// The prefix, one to four hex digits, ".tmp", in any letter case.
bool HasTemporaryName(const char* name, const char* prefix)
{
    const size_t prefixLength = std::strlen(prefix);
    if (_strnicmp(name, prefix, prefixLength) != 0)
        return false;
    const char* digits = name + prefixLength;
    int n = 0;
    while (n <= MaxHexDigits && std::isxdigit(static_cast<unsigned char>(digits[n])))
        ++n;
    return n >= 1 && n <= MaxHexDigits && _stricmp(digits + n, ".tmp") == 0;
}

bool HoldsWholeRecord(const WIN32_FIND_DATAA& file)
{
    return file.nFileSizeHigh == 0 && file.nFileSizeLow == sizeof(Settings);
}

// Empty as GetTempFileNameA made it, or the whole record as the save wrote
// it; a state of the monitor's, up to its largest.
bool IsLeftover(const WIN32_FIND_DATAA& file)
{
    if ((file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || file.nFileSizeHigh != 0)
        return false;
    if (HasTemporaryName(file.cFileName, MonitorTemporaryPrefix))
        return file.nFileSizeLow <= MonitorStateLargest;
    return (file.nFileSizeLow == 0 || HoldsWholeRecord(file)) &&
           HasTemporaryName(file.cFileName, SettingsTemporaryPrefix);
}

// The folder ("" for the current one) joined with a name.
struct InFolder {
    char path[MAX_PATH];
    InFolder(const char* folder, const char* name) { JoinPath(path, folder, name); }
};

template <typename Visit>
void ForEachLeftover(const char* folder, Visit visit)
{
    WIN32_FIND_DATAA file;
    HANDLE search = FindFirstFileA(InFolder(folder, "*.tmp").path, &file);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsLeftover(file))
            visit(file);
    } while (FindNextFileA(search, &file));
    FindClose(search);
}

bool SettingsFileMissing(const char* folder)
{
    return GetFileAttributesA(InFolder(folder, SettingsFileName).path) == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The newer of the two whole records is the one the cut save was writing.
void RestoreNewestRecord(const char* folder)
{
    WIN32_FIND_DATAA newest = {};
    ForEachLeftover(folder, [&newest](const WIN32_FIND_DATAA& file) {
        if (HoldsWholeRecord(file) && HasTemporaryName(file.cFileName, SettingsTemporaryPrefix) &&
            (!newest.cFileName[0] || CompareFileTime(&file.ftLastWriteTime, &newest.ftLastWriteTime) > 0))
            newest = file;
    });
    if (newest.cFileName[0])
        MoveFileA(InFolder(folder, newest.cFileName).path, InFolder(folder, SettingsFileName).path);
}

}  // namespace

void RemoveStaleSettingsFiles()
{
    char folders[ProgramFileFoldersMax][MAX_PATH];
    for (int i = ProgramFileFolders(folders); i-- > 0;) {
        const char* folder = folders[i];
        if (SettingsFileMissing(folder))
            RestoreNewestRecord(folder);
        ForEachLeftover(folder, [folder](const WIN32_FIND_DATAA& file) {
            DeleteFileA(InFolder(folder, file.cFileName).path);
        });
    }
}
