#include "mail_server_dialog.h"

#include <cstring>

#include "layout.h"
#include "mail_config_file.h"
#include "monitor.h"
#include "resource.h"
#include "settings.h"
#include "smtp_auth.h"
#include "text_buffer.h"

namespace {

constexpr UINT_PTR WatchTimerId = 1;
constexpr UINT WatchPeriodMs = 200;
constexpr int SecurityIds[] = {IDC_SECURITY_NONE, IDC_SECURITY_STARTTLS, IDC_SECURITY_TLS};

MailConfig Draft;
char ShownPassword[MailPasswordMax + 1];  // as the dialog opened with it
bool TestRunning;
HWND Setup;

// Schannel's TLS 1.2 needs Windows 7 (NT 6.1) or later.
bool SystemHasTls()
{
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 1));
}

SmtpSecurity ChosenSecurity(HWND dialog)
{
    for (int i = 2; i > 0; --i) {
        if (IsDlgButtonChecked(dialog, SecurityIds[i]) == BST_CHECKED)
            return static_cast<SmtpSecurity>(i);
    }
    return SmtpSecurity::None;
}

// A login only inside TLS: the fields wait under "None".
void FollowSecurity(HWND dialog)
{
    const BOOL login = ChosenSecurity(dialog) != SmtpSecurity::None;
    EnableWindow(GetDlgItem(dialog, IDC_MAIL_USER), login);
    EnableWindow(GetDlgItem(dialog, IDC_MAIL_PASSWORD), login);
}

void ShowDraft(HWND dialog)
{
    const bool tls = SystemHasTls();
    const SmtpSecurity security = tls ? Draft.security : SmtpSecurity::None;
    CheckRadioButton(dialog, IDC_SECURITY_NONE, IDC_SECURITY_TLS, SecurityIds[static_cast<int>(security)]);
    EnableWindow(GetDlgItem(dialog, IDC_SECURITY_STARTTLS), tls);
    EnableWindow(GetDlgItem(dialog, IDC_SECURITY_TLS), tls);
    SetDlgItemTextA(dialog, IDC_MAIL_USER, Draft.user);
    SetDlgItemTextA(dialog, IDC_MAIL_COMMAND, Draft.command);
    if (!Draft.password[0] || RevealPassword(Draft.password, ShownPassword, sizeof ShownPassword))
        SetDlgItemTextA(dialog, IDC_MAIL_PASSWORD, ShownPassword);
    else
        SetDlgItemTextA(dialog, IDC_TEST_OUTCOME, "The stored password must be entered again.");
    SendDlgItemMessageA(dialog, IDC_MAIL_USER, EM_LIMITTEXT, MailUserSize - 1, 0);
    SendDlgItemMessageA(dialog, IDC_MAIL_PASSWORD, EM_LIMITTEXT, MailPasswordMax, 0);
    SendDlgItemMessageA(dialog, IDC_MAIL_COMMAND, EM_LIMITTEXT, MailCommandSize - 1, 0);
    FollowSecurity(dialog);
}

// The fields as settings; the password is protected again only when it was
// changed. False when the system cannot protect it.
bool ReadFields(HWND dialog, MailConfig* out)
{
    *out = Draft;
    out->security = ChosenSecurity(dialog);
    GetDlgItemTextA(dialog, IDC_MAIL_USER, out->user, sizeof out->user);
    GetDlgItemTextA(dialog, IDC_MAIL_COMMAND, out->command, sizeof out->command);
    char typed[MailPasswordMax + 1];
    GetDlgItemTextA(dialog, IDC_MAIL_PASSWORD, typed, sizeof typed);
    const bool kept = std::strcmp(typed, ShownPassword) == 0 || ProtectPassword(typed, out->password, sizeof out->password);
    Wipe(typed, sizeof typed);
    if (!kept)
        SetDlgItemTextA(dialog, IDC_TEST_OUTCOME, "The system could not protect the password.");
    return kept;
}

void SendTest(HWND dialog)
{
    static MailConfig mail;
    char address[80], server[80];
    if (!ReadFields(dialog, &mail))
        return;
    GetDlgItemTextA(Setup, IDC_EMAIL_ADDRESS, address, sizeof address);
    GetDlgItemTextA(Setup, IDC_SMTP_SERVER, server, sizeof server);
    const MonitorSettings settings{address, server, 1, CurrentSettings.changePercent, &mail};
    SetDlgItemTextA(dialog, IDC_TEST_OUTCOME, "Sending...");
    TestRunning = MonitorSendTest(settings);
    if (!TestRunning)
        SetDlgItemTextA(dialog, IDC_TEST_OUTCOME, MonitorLastOutcome());
}

// Send Test waits while a warning is on its way; the test's outcome shows
// once it has ended.
void Watch(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_SEND_TEST), !MonitorBusy());
    if (TestRunning && !MonitorBusy()) {
        TestRunning = false;
        SetDlgItemTextA(dialog, IDC_TEST_OUTCOME, MonitorLastOutcome());
    }
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        if (ReadFields(dialog, &Draft))
            EndDialog(dialog, IDOK);
        break;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
    case IDC_SEND_TEST: SendTest(dialog); break;
    case IDC_SECURITY_NONE:
    case IDC_SECURITY_STARTTLS:
    case IDC_SECURITY_TLS: FollowSecurity(dialog); break;
    default: break;
    }
}

INT_PTR CALLBACK MailServerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ShowDraft(dialog);
        SetTimer(dialog, WatchTimerId, WatchPeriodMs, nullptr);
        Watch(dialog);
        return TRUE;
    case WM_TIMER: Watch(dialog); return TRUE;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, WatchTimerId);
        Wipe(ShownPassword, sizeof ShownPassword);
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

void BeginMailDraft()
{
    Draft = CurrentMailConfig;
}

void RunMailServerDialog(HWND setup)
{
    Setup = setup;
    TestRunning = false;
    RunDialog(setup, IDD_MAIL_SERVER, MailServerDialogProc);
}

void CommitMailDraft()
{
    if (SameMailConfig(Draft, CurrentMailConfig))
        return;
    CurrentMailConfig = Draft;
    SaveMailConfig();
}
