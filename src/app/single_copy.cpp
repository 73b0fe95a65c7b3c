#include "single_copy.h"

#include <cwchar>

#include "elevation.h"
#include "recall.h"
#include "unicode_calls.h"

namespace {

const WCHAR GuardName[] = L"Ostrivel ";
enum : DWORD { FirstWindowPatience = 10000, FirstWindowPoll = 50 };

// The block's content: the first copy's main window, 0 until it exists. A
// window handle has 32 significant bits on 32- and 64-bit Windows alike.
struct SharedRecord {
    LONG mainWindow;
};

HANDLE Guard;
SharedRecord* Shared;
bool FirstCopy;

// FNV-1a, to tell apart long folders whose ends agree.
DWORD Checksum(const WCHAR* text)
{
    DWORD sum = 2166136261u;
    for (; *text; ++text)
        sum = (sum ^ *text) * 16777619u;
    return sum;
}

// The session's namespace, "Ostrivel " and the folder in upper case without
// its backslashes, which a name may not hold. A folder too long for a name
// of MAX_PATH characters keeps its end, behind a checksum of the whole.
void MakeGuardName(const WCHAR* folder, WCHAR (&name)[MAX_PATH])
{
    WCHAR folded[MAX_PATH];
    size_t n = 0;
    for (; *folder && n + 1 < MAX_PATH; ++folder) {
        if (*folder != L'\\')
            folded[n++] = *folder;
    }
    folded[n] = L'\0';
    FoldCase(folded);
    const WCHAR* space = SessionNamespace();
    const size_t room = MAX_PATH - 1 - std::wcslen(space) - std::wcslen(GuardName);
    WCHAR sum[10] = L"00000000 ";
    const WCHAR* end = folded;
    if (n > room) {
        for (DWORD value = Checksum(folded), i = 8; i-- > 0; value >>= 4)
            sum[i] = L"0123456789ABCDEF"[value & 15];
        end = folded + n - (room - 9);
    }
    const WCHAR* const parts[] = {space, GuardName, n > room ? sum : L"", end, nullptr};
    JoinWide(name, MAX_PATH, parts);
}

HWND FirstCopyWindow()
{
    return static_cast<HWND>(LongToHandle(InterlockedCompareExchange(&Shared->mainWindow, 0, 0)));
}

HWND WaitForFirstCopyWindow()
{
    for (DWORD start = GetTickCount();; Sleep(FirstWindowPoll)) {
        HWND window = FirstCopyWindow();
        if (window && IsWindow(window))
            return window;
        if (GetTickCount() - start >= FirstWindowPatience)
            return nullptr;
    }
}

}  // namespace

int TakeFolderGuard(const WCHAR* folder)
{
    WCHAR name[MAX_PATH];
    MakeGuardName(folder, name);
    bool existed = false;
    Guard = CreateSharedMemory(name, sizeof(SharedRecord), GuardSecurity(), &existed);
    if (!Guard)
        return 1;
    Shared = static_cast<SharedRecord*>(MapViewOfFile(Guard, FILE_MAP_WRITE, 0, 0, sizeof(SharedRecord)));
    FirstCopy = !existed;
    return FirstCopy;
}

int WaitForFolderGuard(const WCHAR* folder)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < FirstWindowPatience;) {
        ReleaseFolderGuard();
        Sleep(FirstWindowPoll);
        if (TakeFolderGuard(folder))
            return 1;
    }
    return 0;
}

void ShowWindowToLaterCopies(HWND window)
{
    if (Shared && FirstCopy)
        InterlockedExchange(&Shared->mainWindow, HandleToLong(window));
}

void RecallFirstCopy(bool startsHidden)
{
    if (startsHidden || !Shared)
        return;
    HWND window = WaitForFirstCopyWindow();
    if (!window)
        return;
    // The user has just started this copy and expects the window in front;
    // the first copy may take the foreground from it.
    using AllowCall = decltype(&AllowSetForegroundWindow);
    if (auto allow = LookUpSystemCall<AllowCall>("user32.dll", "AllowSetForegroundWindow"))
        allow(ASFW_ANY);
    PostMessageA(window, RecallIconMessage, 0, WM_LBUTTONUP);
}

void ReleaseFolderGuard()
{
    ShowWindowToLaterCopies(nullptr);
    if (Shared)
        UnmapViewOfFile(Shared);
    if (Guard)
        CloseHandle(Guard);
    Guard = nullptr;
    Shared = nullptr;
    FirstCopy = false;
    FreeGuardSecurity();
}
