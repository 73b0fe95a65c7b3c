// Recalling the hidden main window: notification-area icon or Ctrl+Alt+F12.
#pragma once
#include <windows.h>

enum {
    RecallHotKeyId = 1,
    RecallIconId = 1,
    RecallIconMessage = WM_USER + 1,  // 1025: the icon's callback message
    RecallIconResource = 1,           // the application icon of the window's module
};

// install 1: installs the method that recallMode of the settings selects
// (replacing one installed earlier). Silent when the system refuses it.
// install 0: removes the method that was installed, whatever recallMode
// holds by then; nothing when none is installed.
void SetRecall(HWND window, int install);

// The icon resource and tip (at most 63 characters) that the notification
// area's icon shows from now on; an icon shown already changes at once.
void SetRecallLook(HWND window, int iconResource, const char* tip);
