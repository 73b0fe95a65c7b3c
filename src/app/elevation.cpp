#include "elevation.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "drive_table.h"
#include "file_places.h"
#include "product.h"
#include "recall.h"
#include "resource.h"
#include "settings.h"
#include "unicode_calls.h"

namespace {

const WCHAR SwitchName[] = L"/elevated";
const char MenuText[] = "Run as &Administrator";
const char LimitedText[] = "Limited: run as administrator for thresholds";
// Full control for the system, administrators and whoever is logged on at
// this console; the medium integrity label lets the user's normal processes
// (which may not write up to a high one) open it.
const WCHAR GuardAccessList[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;IU)S:(ML;;NW;;;ME)";

enum : DWORD { MSGFLT_ALLOW = 1, MSGFLT_ADD = 1, SDDL_REVISION_1 = 1, FunctionsMenu = 1 };

bool Elevated;
SECURITY_ATTRIBUTES GuardAttributes;
PSECURITY_DESCRIPTOR GuardDescriptor;

bool IsBlank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

bool NtSixOrLater()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

bool MenuHasItem(HMENU menu)
{
    return GetMenuState(menu, CMD_RUN_AS_ADMIN, MF_BYCOMMAND) != static_cast<UINT>(-1);
}

void AdmitMessage(HWND window, UINT message)
{
    using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    if (auto filterEx = LookUpSystemCall<FilterEx>("user32.dll", "ChangeWindowMessageFilterEx"))
        filterEx(window, message, MSGFLT_ALLOW, nullptr);
    else if (auto filter = LookUpSystemCall<Filter>("user32.dll", "ChangeWindowMessageFilter"))
        filter(message, MSGFLT_ADD);
}

// The folder where this copy keeps its settings, in full, with its trailing
// backslash: beside the program (its name in UTF-16, whatever its code
// page), or %APPDATA%\Ostrivel\.
bool SettingsFolderOf(WCHAR (&folder)[MAX_PATH])
{
    FilePlace place;
    PlaceProgramFile(SettingsFileName, &place);
    char* name = std::strrchr(place.write, '\\');
    if (!name)
        return GetProgramFolder(folder) != 0;
    name[1] = '\0';
    return MultiByteToWideChar(CP_ACP, 0, place.write, -1, folder, MAX_PATH) != 0;
}

}  // namespace

bool ReadElevatedSwitch(const WCHAR* commandLine, WCHAR (&folder)[MAX_PATH])
{
    const WCHAR* at = commandLine ? std::wcsstr(commandLine, SwitchName) : nullptr;
    if (!at || !IsBlank(at[sizeof SwitchName / sizeof(WCHAR) - 1]))
        return false;
    at += sizeof SwitchName / sizeof(WCHAR) - 1;
    while (IsBlank(*at))
        ++at;
    const bool quoted = *at == L'"';
    at += quoted ? 1 : 0;
    size_t n = 0;
    for (; *at && (quoted ? *at != L'"' : !IsBlank(*at)); ++at) {
        if (n + 2 >= MAX_PATH)
            return false;
        folder[n++] = *at;
    }
    if (n == 0)
        return false;
    if (folder[n - 1] != L'\\')
        folder[n++] = L'\\';
    folder[n] = L'\0';
    return true;
}

void SetElevatedCopy(bool elevated, const WCHAR* settingsFolder)
{
    Elevated = elevated;
    char folder[MAX_PATH];
    if (elevated && WideCharToMultiByte(CP_ACP, 0, settingsFolder, -1, folder, MAX_PATH, nullptr, nullptr))
        UseSettingsFolder(folder);
}

bool IsElevatedCopy()
{
    return Elevated;
}

bool OffersElevation()
{
    return !Elevated && AnyDriveLimited() && NtSixOrLater();
}

void ShowElevationOffer(HWND mainWindow)
{
    HMENU functions = GetSubMenu(GetMenu(mainWindow), FunctionsMenu);
    if (functions && OffersElevation() != MenuHasItem(functions)) {
        if (MenuHasItem(functions))
            DeleteMenu(functions, CMD_RUN_AS_ADMIN, MF_BYCOMMAND);
        else
            AppendMenuA(functions, MF_STRING, CMD_RUN_AS_ADMIN, MenuText);
    }
    // Set only when it changes: every refresh tick comes here, and a tick
    // that changes nothing paints nothing.
    const char* text = AnyDriveLimited() ? LimitedText : StatusBarText;
    char shown[sizeof LimitedText + sizeof StatusBarText] = "";
    if (LOWORD(SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_GETTEXTLENGTHA, 0, 0)) < sizeof shown)
        SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(shown));
    if (std::strcmp(shown, text) != 0)
        SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void RunAsAdministrator(HWND mainWindow)
{
    using ExecuteEx = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    auto execute = LookUpSystemCall<ExecuteEx>("shell32.dll", "ShellExecuteExW");
    WCHAR program[MAX_PATH], folder[MAX_PATH], parameters[MAX_PATH + 16];
    const WCHAR* const parts[] = {SwitchName, L" \"", folder, L"\"", nullptr};
    if (!execute || !GetProgramPath(program) || !SettingsFolderOf(folder) ||
        !JoinWide(parameters, sizeof parameters / sizeof(WCHAR), parts))
        return;
    SaveSettings();
    SHELLEXECUTEINFOW run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_FLAG_NO_UI;
    run.hwnd = mainWindow;
    run.lpVerb = L"runas";
    run.lpFile = program;
    run.lpParameters = parameters;
    run.nShow = SW_SHOWNORMAL;
    // FALSE with ERROR_CANCELLED when the user declines the prompt: this
    // copy goes on as it was.
    if (execute(&run))
        DestroyWindow(mainWindow);
}

void AdmitRecallMessages(HWND mainWindow)
{
    if (!Elevated)
        return;
    AdmitMessage(mainWindow, RecallIconMessage);
    AdmitMessage(mainWindow, RegisterWindowMessageA("TaskbarCreated"));
}

SECURITY_ATTRIBUTES* GuardSecurity()
{
    using Convert = BOOL(WINAPI*)(const WCHAR*, DWORD, PSECURITY_DESCRIPTOR*, ULONG*);
    if (!Elevated)
        return nullptr;
    auto convert = LookUpSystemCall<Convert>("advapi32.dll",
                                             "ConvertStringSecurityDescriptorToSecurityDescriptorW");
    if (!GuardDescriptor && (!convert || !convert(GuardAccessList, SDDL_REVISION_1, &GuardDescriptor, nullptr)))
        return nullptr;
    GuardAttributes = {sizeof GuardAttributes, GuardDescriptor, FALSE};
    return &GuardAttributes;
}

void FreeGuardSecurity()
{
    if (GuardDescriptor)
        LocalFree(GuardDescriptor);
    GuardDescriptor = nullptr;
}
