// Installing and removing the way the hidden main window is called back: the
// notification-area icon (recallMode 0) or the hot key Ctrl+Alt+F12.
//
// The installed method is kept here, so removal takes away what was
// installed even when recallMode has changed since (the Setup dialog, or a
// failed save that zeroed the record).
#include "recall.h"

#include <shellapi.h>

#include "settings.h"

namespace {

enum { TipSize = 64 };  // the first version's tip holds 64 bytes

// What the icon shows: the program's icon, or one with a mark for the
// drives' worst level, and its tip.
int IconResource = RecallIconResource;
char IconTip[TipSize] = "Ostrivel";

BOOL CallNotifyIcon(HWND window, DWORD message)
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = RecallIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = RecallIconMessage;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    // The small image, as the notification area shows it; shared, so the
    // system frees it.
    icon.hIcon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(IconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    lstrcpynA(icon.szTip, IconTip, TipSize);
    return Shell_NotifyIconA(message, &icon);
}

BOOL AddIcon(HWND window) { return CallNotifyIcon(window, NIM_ADD); }
BOOL DeleteIcon(HWND window) { return CallNotifyIcon(window, NIM_DELETE); }

BOOL RegisterRecallHotKey(HWND window)
{
    return RegisterHotKey(window, RecallHotKeyId, MOD_ALT | MOD_CONTROL, VK_F12);
}

BOOL UnregisterRecallHotKey(HWND window) { return UnregisterHotKey(window, RecallHotKeyId); }

struct RecallMethod {
    BOOL (*install)(HWND window);
    BOOL (*remove)(HWND window);
};

// Indexed by "recallMode is not 0".
const RecallMethod RecallMethods[] = {
    {AddIcon, DeleteIcon},
    {RegisterRecallHotKey, UnregisterRecallHotKey},
};

const RecallMethod* InstalledMethod;

}  // namespace

void SetRecallLook(HWND window, int iconResource, const char* tip)
{
    IconResource = iconResource;
    lstrcpynA(IconTip, tip, TipSize);
    if (InstalledMethod == &RecallMethods[0])
        CallNotifyIcon(window, NIM_MODIFY);
}

void SetRecall(HWND window, int install)
{
    if (InstalledMethod) {
        InstalledMethod->remove(window);
        InstalledMethod = nullptr;
    }
    if (!install)
        return;
    const RecallMethod& method = RecallMethods[CurrentSettings.recallMode != 0];
    if (method.install(window))
        InstalledMethod = &method;
}
