// Recalling the hidden main window: notification-area icon or Ctrl+Alt+F12.
#pragma once
#include <windows.h>

enum {
    RecallHotKeyId = 1,
    RecallIconId = 1,
    RecallIconMessage = WM_USER + 1,  // 1025: the icon's callback message
};

// install 1: installs the method that recallMode of the settings selects.
// install 0: removes the method that was installed.
void SetRecall(HWND window, int install);
