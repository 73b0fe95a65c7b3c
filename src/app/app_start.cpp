#include <windows.h>

#include "drive_services.h"
#include "elevation.h"
#include "main_window.h"
#include "settings.h"
#include "single_copy.h"
#include "unicode_calls.h"

namespace {

int RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int RunWindow(HINSTANCE instance, const char* commandTail, int showCommand)
{
    bool creationRan = false;
    HWND window = CreateMainWindow(instance, &creationRan);
    // No window: the failing creation step has told the user why, or no step
    // ran at all. Nothing is left to wait for; Wine does not even send the
    // half-made window WM_DESTROY, so no quit message would ever come.
    if (!window)
        return creationRan ? 0 : 1;
    ShowWindowToLaterCopies(window);
    ShowWindow(window, StartsHidden(commandTail) ? SW_HIDE : showCommand);
    UpdateWindow(window);
    return RunMessageLoop();
}

}  // namespace

int RunOstrivel(HINSTANCE instance, const char* commandTail, int showCommand)
{
    WCHAR settingsFolder[MAX_PATH];
    SetElevatedCopy(ReadElevatedSwitch(GetWideCommandLine(), settingsFolder));
    SelectDriveServices();
    RegisterMainClass(instance);
    // The settings and help files are opened by bare name, so they must
    // resolve beside the executable. When its path cannot be read, the
    // directory stays, and there is no folder to guard or to tidy.
    WCHAR folder[MAX_PATH];
    const bool folderKnown = GetProgramFolder(folder);
    const bool inFolder = folderKnown && SetCurrentFolder(folder);
    int exitCode = 0;
    // The copy started elevated takes over from the one that started it
    // rather than handing the user back to it.
    const bool firstCopy = !folderKnown || TakeFolderGuard(folder) ||
                           (IsElevatedCopy() && WaitForFolderGuard(folder));
    if (!firstCopy) {
        RecallFirstCopy(StartsHidden(commandTail));
    } else {
        if (inFolder)
            RemoveStaleSettingsFiles();
        exitCode = RunWindow(instance, commandTail, showCommand);
    }
    ReleaseFolderGuard();
    return exitCode;
}
