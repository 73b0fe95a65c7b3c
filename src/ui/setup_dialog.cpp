// The Setup dialog: edits the settings record and the log-on autostart
// entry; OK saves the settings file at once.
#include "commands.h"

#include <cstdio>

#include "autostart.h"
#include "elevation.h"
#include "layout.h"
#include "mail_config_file.h"
#include "mail_server_dialog.h"
#include "monitor_step.h"
#include "product.h"
#include "refresh_timer.h"
#include "resource.h"
#include "settings.h"
#include "signed_field.h"

namespace {

constexpr int32_t DefaultPollMinutes = 240;
constexpr uint32_t DefaultChangePercent = 5;
constexpr ULONG_PTR SetupHelpContext = 2;
constexpr int TextFieldLength = sizeof(Settings::emailAddress) - 1;  // 79 characters

// Text colours of the static controls that the dialog colours itself.
struct StaticColour {
    int id;
    COLORREF text;
};

constexpr COLORREF Blue = RGB(0, 0, 255);  // 0xFF0000
constexpr COLORREF Red = RGB(255, 0, 0);   // 0x0000FF

constexpr StaticColour StaticColours[] = {
    {IDC_GROUP_POLLING, Blue},
    {IDC_GROUP_EMAIL, Blue},
    {IDC_GROUP_MISC, Blue},
    {IDC_EMAIL_HEADING, Red},
};

// Opening the dialog puts the defaults into the record itself, so they stay
// even when the user cancels.
void ApplyDefaults(Settings& settings)
{
    if (settings.pollMinutes == 0)
        settings.pollMinutes = DefaultPollMinutes;
    if (settings.changePercent == 0)
        settings.changePercent = DefaultChangePercent;
}

// A record field is handed over with at most 79 characters, terminated or not.
void ShowTextField(HWND dialog, int id, const char (&field)[TextFieldLength + 1])
{
    char text[TextFieldLength + 1];
    int n = 0;
    for (; n < TextFieldLength && field[n]; ++n)
        text[n] = field[n];
    text[n] = '\0';
    SetDlgItemTextA(dialog, id, text);
}

void ShowSettings(HWND dialog, const Settings& settings)
{
    SetDlgItemInt(dialog, IDC_POLL_MINUTES, static_cast<UINT>(settings.pollMinutes), TRUE);
    SetDlgItemInt(dialog, IDC_CHANGE_PERCENT, settings.changePercent, FALSE);
    ShowTextField(dialog, IDC_EMAIL_ADDRESS, settings.emailAddress);
    ShowTextField(dialog, IDC_SMTP_SERVER, settings.smtpServer);
    CheckDlgButton(dialog, settings.recallMode ? IDC_RECALL_HOTKEY : IDC_RECALL_ICON, BST_CHECKED);
    CheckDlgButton(dialog, IDC_AUTOSTART, QueryAutostart() ? BST_CHECKED : BST_UNCHECKED);
    // The elevated copy may run as another account: its Run key is not the
    // user's, so the choice stays with the user's own copy.
    EnableWindow(GetDlgItem(dialog, IDC_AUTOSTART), !IsElevatedCopy());
}

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// An empty field, a field that is no number or out of range, and 0 all read
// as 0 and so take the default.
void ReadSettings(HWND dialog, Settings& settings)
{
    const int minutes = static_cast<int>(GetDlgItemInt(dialog, IDC_POLL_MINUTES, nullptr, TRUE));
    settings.pollMinutes = minutes ? minutes : DefaultPollMinutes;
    const UINT percent = GetDlgItemInt(dialog, IDC_CHANGE_PERCENT, nullptr, FALSE);
    settings.changePercent = percent ? percent : DefaultChangePercent;
    GetDlgItemTextA(dialog, IDC_EMAIL_ADDRESS, settings.emailAddress, sizeof settings.emailAddress);
    GetDlgItemTextA(dialog, IDC_SMTP_SERVER, settings.smtpServer, sizeof settings.smtpServer);
    settings.recallMode = IsChecked(dialog, IDC_RECALL_ICON) ? 0 : 1;
}

void OnInitDialog(HWND dialog)
{
    ApplyDefaults(CurrentSettings);
    AcceptSignedNumberOnly(GetDlgItem(dialog, IDC_POLL_MINUTES));
    // The fields scroll, so nothing stops typing but the record's size.
    SendDlgItemMessageA(dialog, IDC_EMAIL_ADDRESS, EM_LIMITTEXT, TextFieldLength, 0);
    SendDlgItemMessageA(dialog, IDC_SMTP_SERVER, EM_LIMITTEXT, TextFieldLength, 0);
    ShowSettings(dialog, CurrentSettings);
    BeginMailDraft();
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        ReadSettings(dialog, CurrentSettings);
        // Written on every OK, so a moved program gets its entry updated.
        if (!IsElevatedCopy())
            SetAutostart(IsChecked(dialog, IDC_AUTOSTART) ? 1 : 0);
        CommitMailDraft();
        SaveSettingsOrSay(dialog);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_MAIL_SERVER:
        RunMailServerDialog(dialog);
        break;
    case IDC_SETUP_HELP:
        WinHelpA(dialog, HelpFileName, HELP_CONTEXT, SetupHelpContext);
        break;
    default:
        break;
    }
}

}  // namespace

void SaveSettingsOrSay(HWND owner)
{
    char path[MAX_PATH];
    if (SaveSettings(path))
        return;
    const DWORD error = GetLastError();
    char file[MAX_PATH], reason[256], text[2 * MAX_PATH + 320];
    if (!GetFullPathNameA(path, MAX_PATH, file, nullptr))
        lstrcpynA(file, path, MAX_PATH);
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                        sizeof reason, nullptr))
        reason[0] = '\0';
    snprintf(text, sizeof text, "The settings could not be saved to\n%s\n\n%d - %s", file, static_cast<int>(error),
             reason);
    MessageBoxA(owner, text, ProgramCaption, MB_OK | MB_ICONWARNING);
}

HBRUSH SetupStaticColor(HWND control, HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    const int id = static_cast<int>(GetWindowLongPtrA(control, GWLP_ID));
    for (const StaticColour& colour : StaticColours) {
        if (colour.id == id) {
            SetTextColor(dc, colour.text);
            return GetSysColorBrush(COLOR_BTNFACE);  // the system's: never freed
        }
    }
    return nullptr;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return 0;  // no control gets the initial keyboard focus
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(
            SetupStaticColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    default:
        return 0;
    }
}

void RunSetupCommand(HWND mainWindow)
{
    const Settings before = CurrentSettings;
    static MailConfig beforeMail;
    beforeMail = CurrentMailConfig;
    const INT_PTR ended = RunDialog(mainWindow, IDD_SETUP, SetupDialogProc);
    MonitorSetupEnded(before, beforeMail, ended == IDOK);
    // An unchanged interval leaves the running countdown alone.
    if (CurrentSettings.pollMinutes == before.pollMinutes)
        return;
    StopRefreshTimer(mainWindow);
    ArmRefreshTimer(mainWindow);
}
