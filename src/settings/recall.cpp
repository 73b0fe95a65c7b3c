// Installing and removing the way the hidden main window is called back: the
// notification-area icon (recallMode 0) or the hot key Ctrl+Alt+F12.
//
// The installed method is kept here, so removal takes away what was
// installed even when recallMode has changed since (the Setup dialog, or a
// failed save that zeroed the record).
#include "recall.h"

#include <shellapi.h>

#include "settings.h"
#include "unicode_calls.h"

namespace {

enum { TipSize = 64 };  // the first version's tip holds 64 bytes

// NOTIFYICONDATAA whole, as Windows Vista's shell knows it: this build's
// headers end it at guidItem, where Windows XP's shell does.
struct IconData {
    NOTIFYICONDATAA data;
    HICON hBalloonIcon;
};

#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88 && NOTIFYICONDATAA_V2_SIZE == 488 && sizeof(NOTIFYICONDATAA) == 504 &&
              sizeof(IconData) == 508);
#endif

struct Balloon {
    DWORD size;  // the record's size that the shell knows
    const char* title;
    const char* text;
};

// What the icon shows: the program's icon, or one with a mark for the
// drives' worst level, and its tip.
int IconResource = RecallIconResource;
char IconTip[TipSize] = "Ostrivel";

// The record's size that shell32 takes with a balloon, by its version; 0
// for a shell without balloons (before 5.0; before 4.71 it has no
// DllGetVersion). The shell refuses a record of any other size.
DWORD BalloonDataSize()
{
    struct DllVersionInfo {
        DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
    };
    using GetDllVersion = HRESULT(CALLBACK*)(DllVersionInfo*);
    const auto getVersion = LookUpSystemCall<GetDllVersion>("shell32.dll", "DllGetVersion");
    DllVersionInfo v = {sizeof v, 0, 0, 0, 0};
    if (!getVersion || getVersion(&v) != S_OK || v.dwMajorVersion < 5)
        return 0;
    if (v.dwMajorVersion == 5)
        return NOTIFYICONDATAA_V2_SIZE;  // Windows 2000, ME
    if (v.dwMajorVersion == 6 && v.dwMinorVersion == 0 && v.dwBuildNumber < 6000)
        return sizeof(NOTIFYICONDATAA);  // Windows XP, Server 2003
    return sizeof(IconData);
}

BOOL CallNotifyIcon(HWND window, DWORD message, const Balloon* balloon = nullptr)
{
    IconData whole = {};
    NOTIFYICONDATAA& icon = whole.data;
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
    if (balloon) {
        icon.cbSize = balloon->size;
        icon.uFlags |= NIF_INFO;
        lstrcpynA(icon.szInfo, balloon->text, sizeof icon.szInfo);
        lstrcpynA(icon.szInfoTitle, balloon->title, sizeof icon.szInfoTitle);
        icon.dwInfoFlags = NIIF_WARNING;
        icon.uTimeout = RecallNoticeMs;  // Windows 2000 and XP only
    }
    return Shell_NotifyIconA(message, &icon);
}

// The balloon's events (NIN_BALLOONUSERCLICK ...) are said to come only to
// an icon of version 3 or later.
void SetIconVersion(HWND window, DWORD size)
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = size;
    icon.hWnd = window;
    icon.uID = RecallIconId;
    icon.uVersion = NOTIFYICON_VERSION;
    Shell_NotifyIconA(NIM_SETVERSION, &icon);
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

// The icon is there for a notice only (the hot-key recall, or an icon the
// shell refused at start).
bool NoticeIcon;
int NoticeDrive = -1;

bool IconShown()
{
    return InstalledMethod == &RecallMethods[0] || NoticeIcon;
}

}  // namespace

void SetRecallLook(HWND window, int iconResource, const char* tip)
{
    IconResource = iconResource;
    lstrcpynA(IconTip, tip, TipSize);
    if (IconShown())
        CallNotifyIcon(window, NIM_MODIFY);
}

bool ShowRecallNotice(HWND window, const char* title, const char* text, int drive)
{
    const Balloon balloon = {BalloonDataSize(), title, text};
    const bool added = !IconShown();
    if (balloon.size == 0 || !CallNotifyIcon(window, added ? NIM_ADD : NIM_MODIFY, &balloon))
        return false;
    SetIconVersion(window, balloon.size);
    NoticeIcon = NoticeIcon || added;
    if (NoticeIcon)
        SetTimer(window, RecallNoticeTimerId, RecallNoticeMs, nullptr);
    NoticeDrive = drive;
    return true;
}

int OnRecallNoticeEvent(HWND window, LPARAM event)
{
    // Not NIN_BALLOONHIDE: it may come for a balloon that a newer one
    // replaced, or for the icon's own removal.
    if (event != NIN_BALLOONTIMEOUT && event != NIN_BALLOONUSERCLICK)
        return -1;
    EndRecallNotice(window);
    return event == NIN_BALLOONUSERCLICK ? NoticeDrive : -1;
}

void EndRecallNotice(HWND window)
{
    KillTimer(window, RecallNoticeTimerId);
    if (NoticeIcon)
        DeleteIcon(window);
    NoticeIcon = false;
}

void SetRecall(HWND window, int install)
{
    EndRecallNotice(window);
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
