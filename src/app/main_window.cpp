#include "main_window.h"

#include <commctrl.h>

#include <cstring>

#include "commands.h"
#include "drive_scan.h"
#include "elevation.h"
#include "layout.h"
#include "monitor_step.h"
#include "recall.h"
#include "refresh_timer.h"
#include "report_command.h"
#include "resource.h"
#include "settings.h"
#include "smtp_winsock.h"
#include "view_text.h"
#include "views.h"

const char MainClassName[] = "ostrivel";
HWND MainWindow;

namespace {

bool CreationRan;

// The notification-area icon follows the drives' worst level.
void ShowHealthInTray(HWND window)
{
    char tip[TrayTipSize];
    const DriveStatus worst = FormatTrayTip(DriveTable, tip);
    static const int Icons[] = {IDI_APP, IDI_APP_CAUTION, IDI_APP_ALERT};
    SetRecallLook(window, Icons[LevelRank(worst)], tip);
}

void ShowDefaultDetails(HWND window)
{
    FillDriveList();
    ShowDriveDetails(DefaultDetailDrive());
    ShowHealthInTray(window);
}

LRESULT OnCreate(HWND window)
{
    CreationRan = true;
    MainWindow = window;
    if (!CheckSmartDriver())
        return -1;
    CreateMainControls(window);
    if (!ScanDrives())
        return -1;
    LoadSettings();
    AdmitRecallMessages(window);
    SetRecall(window, 1);
    StartMonitor(window);
    ShowDefaultDetails(window);
    ShowElevationOffer(window);
    ArmRefreshTimer(window);
    return 0;
}

void OnDestroy(HWND window)
{
    SaveSettingsOrSay(nullptr);  // the window is going: the box stands alone
    PostQuitMessage(0);
    ReleaseMainControls(window);
    StopRefreshTimer(window);
    StopMonitor(window);
    MainWindow = nullptr;
}

void OnTimer(HWND window)
{
    StopRefreshTimer(window);
    MonitorStep(window);
    ShowDefaultDetails(window);
    ShowElevationOffer(window);
    ArmRefreshTimer(window);
}

void RestoreWindow(HWND window)
{
    ShowWindow(window, SW_RESTORE);
    BringWindowToTop(window);
}

// A click on the icon, or on a notice's balloon, which brings its drive.
void OnRecallIcon(HWND window, LPARAM event)
{
    const int drive = OnRecallNoticeEvent(window, event);
    if (event == WM_LBUTTONUP || drive >= 0)
        RestoreWindow(window);
    if (drive >= 0 && drive < DriveCount && DriveTable[drive].present)
        ShowDriveDetails(drive);
}

void OnCommand(HWND window, int id)
{
    switch (id) {
    case CMD_ABOUT: ShowAbout(window); break;
    case CMD_HELP: ShowHelpContents(window); break;
    case CMD_WEBSITE: OpenHomePage(window); break;
    case CMD_EXIT: DestroyWindow(window); break;
    case CMD_SETUP: RunSetupCommand(window); break;
    case CMD_RUN_AS_ADMIN:
        if (OffersElevation())
            RunAsAdministrator(window);
        break;
    case CMD_COPY_REPORT: CopyReport(window); break;
    case CMD_INFO_PAGE: ShowListPage(InfoList, AttributeList); break;
    case CMD_SMART_PAGE: ShowListPage(AttributeList, InfoList); break;
    default: break;
    }
}

// The monitor's outcome sits in the status bar's part 1.
bool IsOutcomeDoubleClick(const NMHDR* header)
{
    return header->idFrom == IDC_STATUS_BAR && header->code == static_cast<UINT>(NM_DBLCLK) &&
           reinterpret_cast<const NMMOUSE*>(header)->dwItemSpec == 1;
}

void OnNotify(HWND window, const NMHDR* header)
{
    if (header->idFrom == IDC_DRIVE_LIST && header->code == static_cast<UINT>(NM_DBLCLK))
        ShowDriveAtRow(GetSelectedRow(header->hwndFrom));
    else if (IsOutcomeDoubleClick(header))
        ShowMonitorOutcome(window);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_ENDSESSION:
        // At log-off the process ends without WM_DESTROY: save now, with no
        // box to hold the log-off up.
        if (wParam)
            SaveSettings();
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            break;
        ShowWindow(window, SW_HIDE);
        return 0;
    case WM_NOTIFY:
        OnNotify(window, reinterpret_cast<const NMHDR*>(lParam));
        break;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == RefreshTimerId)
            OnTimer(window);
        else
            OnMonitorTimer(window, wParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(
            MainStaticColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case RecallIconMessage:
        OnRecallIcon(window, lParam);
        return 0;
    case WM_HOTKEY:
        RestoreWindow(window);
        return 0;
    default:
        if (HandleWinsockMessage(message, wParam, lParam))
            return 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    wc.lpszClassName = MainClassName;
    return RegisterClassA(&wc);
}

// 420 x 370 at 96 DPI. At any other DPI the client area of 96 DPI is scaled
// and the frame of this DPI (caption, menu bar, borders) added around it.
SIZE MainWindowSize(DWORD style)
{
    SIZE size = {MainWindowWidth, MainWindowHeight};
    const int dpi = ReadSystemDpi();
    if (dpi == 96)
        return size;
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRect(&frame, style, TRUE);
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    size.cx = ScaleToDpi(MainWindowWidth - MulDiv(frameWidth, 96, dpi)) + frameWidth;
    size.cy = ScaleToDpi(MainWindowHeight - MulDiv(frameHeight, 96, dpi)) + frameHeight;
    return size;
}

HWND CreateMainWindow(HINSTANCE instance, bool* creationRan)
{
    RECT desktop;
    GetClientRect(GetDesktopWindow(), &desktop);
    CreationRan = false;
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const SIZE size = MainWindowSize(style);
    HWND window = CreateWindowExA(0, MainClassName, "Ostrivel", style, (desktop.right - size.cx) / 2,
                                  (desktop.bottom - size.cy) / 2, size.cx, size.cy, nullptr, nullptr, instance,
                                  nullptr);
    *creationRan = CreationRan;
    return window;
}

bool StartsHidden(const char* commandTail)
{
    return commandTail && std::strstr(commandTail, "/i") != nullptr;
}
