// Recalling the hidden main window: notification-area icon or Ctrl+Alt+F12.
#pragma once
#include <windows.h>

enum {
    RecallNoticeTimerId = 5,        // the main window's timers 1 to 4 are the refresh's and the monitor's
    RecallNoticeMs = 30000,         // how long the hot-key recall's icon stays for a notice
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

// A balloon from the notification-area icon: title, text and the warning
// icon. With the hot-key recall the icon is added for it, until the balloon
// closes or is clicked or RecallNoticeMs pass (timer RecallNoticeTimerId of
// the window). False on a shell without balloons (before shell32 5.0:
// Windows 95, 98, NT 4) or when the shell refuses it.
bool ShowRecallNotice(HWND window, const char* title, const char* text, int drive);

// The icon's callback message and the notice's timer: a balloon that timed
// out, was closed or was clicked takes the icon it was added with away. Returns the notice's
// drive when the balloon was clicked, else -1.
int OnRecallNoticeEvent(HWND window, LPARAM event);
void EndRecallNotice(HWND window);
