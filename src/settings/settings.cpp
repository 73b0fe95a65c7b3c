// The settings record and its file "ostrivel.ini".
//
// The file is read once at start and written once at exit. The save never
// leaves a half-written file behind: the record goes to a temporary file in
// the same folder first, which then replaces "ostrivel.ini" in one step.
#include "settings.h"

#include <windows.h>

#include <cstring>

Settings CurrentSettings;

namespace {

// Set by LoadSettings, cleared by a failed save. A main window whose creation
// failed is destroyed before any load; its save must not replace the stored
// file with zeros.
int SettingsLoaded;

// A text field with no terminator within its bytes is cut at its last byte,
// so nothing reads past the field.
template <size_t N>
void TerminateText(char (&text)[N])
{
    if (!memchr(text, 0, N))
        text[N - 1] = 0;
}

// The file may be replaced under the same conditions as an in-place rewrite:
// it is absent, or it can be opened for writing with write sharing. A
// read-only file is refused even where the system would let us write it.
int SettingsFileReplaceable()
{
    DWORD attributes = GetFileAttributesA(SettingsFileName);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    HANDLE file = CreateFileA(SettingsFileName, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

// Writes the whole record to the (already created) temporary file.
int WriteRecordTo(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    int complete = WriteFile(file, &CurrentSettings, sizeof CurrentSettings, &written, nullptr)
                   && written == sizeof CurrentSettings && FlushFileBuffers(file);
    return CloseHandle(file) && complete;
}

// A new, unused file name beside "ostrivel.ini": renames between the two
// stay within one folder. The system creates the file empty.
int NewNameBesideSettings(char (&name)[MAX_PATH])
{
    return GetTempFileNameA(".", SettingsTemporaryPrefix, 0, name) != 0;
}

// Windows 9x exports MoveFileExA, but there it always fails with
// ERROR_CALL_NOT_IMPLEMENTED. Its replacement there: the earlier file steps
// aside under a spare name, the new one takes its name, and only then is the
// earlier one deleted; if the new one cannot take the name, the earlier one
// gets it back. A moment without the file, but never a partial one.
int ReplaceWithoutMoveFileEx(const char* temporary)
{
    char spare[MAX_PATH];
    if (!NewNameBesideSettings(spare))
        return 0;
    DeleteFileA(spare);  // only the unused name is wanted
    const int hadFile = MoveFileA(SettingsFileName, spare);
    if (!hadFile && GetLastError() != ERROR_FILE_NOT_FOUND)
        return 0;
    if (MoveFileA(temporary, SettingsFileName)) {
        if (hadFile)
            DeleteFileA(spare);
        return 1;
    }
    if (hadFile)
        MoveFileA(spare, SettingsFileName);
    return 0;
}

int MoveOverSettingsFile(const char* temporary)
{
    if (MoveFileExA(temporary, SettingsFileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && ReplaceWithoutMoveFileEx(temporary);
}

int ReplaceSettingsFile()
{
    if (!SettingsFileReplaceable())
        return 0;
    char temporary[MAX_PATH];
    if (!NewNameBesideSettings(temporary))
        return 0;
    if (WriteRecordTo(temporary) && MoveOverSettingsFile(temporary))
        return 1;
    DeleteFileA(temporary);
    return 0;
}

}  // namespace

void LoadSettings()
{
    // Zeroed first, so a short file leaves the rest of the record zero.
    memset(&CurrentSettings, 0, sizeof CurrentSettings);
    SettingsLoaded = 1;
    HANDLE file = CreateFileA(SettingsFileName, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD read = 0;
    ReadFile(file, &CurrentSettings, sizeof CurrentSettings, &read, nullptr);
    CloseHandle(file);
    TerminateText(CurrentSettings.emailAddress);
    TerminateText(CurrentSettings.smtpServer);
}

void SaveSettings()
{
    if (!SettingsLoaded)
        return;
    // After a failed save the record is zero and no longer what was loaded:
    // a later save in this run (the window's destruction after the end of
    // the session) must not put those zeros over the file that was kept.
    if (!ReplaceSettingsFile()) {
        memset(&CurrentSettings, 0, sizeof CurrentSettings);
        SettingsLoaded = 0;
    }
}

void ForgetSettings()
{
    memset(&CurrentSettings, 0, sizeof CurrentSettings);
    SettingsLoaded = 0;
}
