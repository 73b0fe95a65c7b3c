// The settings record and its file "ostrivel.ini".
//
// The file is read once at start and written at Setup's OK and at exit,
// where PlaceProgramFile puts it. The save never
// leaves a half-written file behind: the record goes to a temporary file in
// the same folder first, which then replaces "ostrivel.ini" in one step.
#include "settings.h"

#include <windows.h>

#include <cstring>

#include "file_places.h"
#include "file_replace.h"

Settings CurrentSettings;

namespace {

// Set by LoadSettings. A main window whose creation failed is destroyed
// before any load; its save must not replace the stored file with zeros.
int SettingsLoaded;

// A text field with no terminator within its bytes is cut at its last byte,
// so nothing reads past the field.
template <size_t N>
void TerminateText(char (&text)[N])
{
    if (!memchr(text, 0, N))
        text[N - 1] = 0;
}

}  // namespace

void LoadSettings()
{
    // Zeroed first, so a short file leaves the rest of the record zero.
    memset(&CurrentSettings, 0, sizeof CurrentSettings);
    SettingsLoaded = 1;
    FilePlace place;
    PlaceProgramFile(SettingsFileName, &place);
    HANDLE file = CreateFileA(place.read, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD read = 0;
    ReadFile(file, &CurrentSettings, sizeof CurrentSettings, &read, nullptr);
    CloseHandle(file);
    TerminateText(CurrentSettings.emailAddress);
    TerminateText(CurrentSettings.smtpServer);
}

int SaveSettings(char (&path)[MAX_PATH])
{
    path[0] = '\0';
    // A failed save keeps the record: the user's settings stay in force for
    // this run, and the next save tries again.
    return !SettingsLoaded ||
           SaveProgramFile(SettingsFileName, SettingsTemporaryPrefix, &CurrentSettings, sizeof CurrentSettings, path);
}

void ForgetSettings()
{
    memset(&CurrentSettings, 0, sizeof CurrentSettings);
    SettingsLoaded = 0;
}
