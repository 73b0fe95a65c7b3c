#include "process_window.h"

namespace {

struct FoundWindow {
    DWORD processId;
    const char* className;
    bool shownOnly;
    HWND window;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM found)
{
    auto* f = reinterpret_cast<FoundWindow*>(found);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == f->processId && lstrcmpA(className, f->className) == 0 &&
        (!f->shownOnly || IsWindowVisible(window))) {
        f->window = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const char* className, bool shownOnly)
{
    FoundWindow found = {processId, className, shownOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&found));
    return found.window;
}
