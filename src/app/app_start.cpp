#include <windows.h>

#include "drive_services.h"
#include "elevation.h"
#include "main_window.h"
#include "report_command.h"
#include "resource.h"
#include "settings.h"
#include "single_copy.h"
#include "unicode_calls.h"

namespace {

// Ctrl+C of the main window (its accelerator table) comes as its command.
int RunMessageLoop(HWND window, HACCEL keys)
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(window, keys, &msg))
            continue;
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
    return RunMessageLoop(window, LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_MAIN)));
}

}  // namespace

int RunOstrivel(HINSTANCE instance, const char* commandTail, int showCommand)
{
    WCHAR settingsFolder[MAX_PATH];
    SetElevatedCopy(ReadElevatedSwitch(GetWideCommandLine(), settingsFolder), settingsFolder);
    SelectDriveServices();
    // The report is written beside no window and runs alongside a copy
    // that shows one; its file name is the caller's, in the caller's folder.
    char reportFile[MAX_PATH];
    if (FindReportFile(commandTail, reportFile))
        return WriteReportFile(reportFile);
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
