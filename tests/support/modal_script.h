// Drives a modal dialog or message box that the code under test opens on
// this thread. While its modal loop runs, a thread timer hands the modal
// window to the steps, one after another; a step returns true when it is done
// (the last one normally closes the window) and false to be asked again on
// the next tick. A window still open at the time limit is ended and the run
// reports the timeout, so no test can hang.
#pragma once
#include <windows.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

using ModalStep = std::function<bool(HWND modal)>;

struct ModalRun {
    size_t stepsDone;
    bool timedOut;
};

namespace modal_detail {

struct State {
    std::vector<ModalStep> steps;
    size_t next = 0;
    DWORD deadline = 0;
    bool timedOut = false;
    bool busy = false;
};

inline State& Current()
{
    static State state;
    return state;
}

// The dialog manager's class; the modal window is the enabled one (an owner
// of a further modal window is disabled).
inline BOOL CALLBACK FindModal(HWND window, LPARAM found)
{
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindModalWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindModal, reinterpret_cast<LPARAM>(&found));
    return found;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    State& state = Current();
    HWND modal = state.busy ? nullptr : FindModalWindow();
    if (!modal)
        return;
    if (static_cast<LONG>(GetTickCount() - state.deadline) > 0) {
        state.timedOut = true;
        EndDialog(modal, 0);
        return;
    }
    if (state.next >= state.steps.size())
        return;
    state.busy = true;
    if (state.steps[state.next](modal))
        ++state.next;
    state.busy = false;
}

}  // namespace modal_detail

// Runs open(), which returns once the modal window has been closed.
inline ModalRun DriveModal(const std::function<void()>& open, std::vector<ModalStep> steps,
                           DWORD limitMs = 5000)
{
    modal_detail::State& state = modal_detail::Current();
    state = {};
    state.steps = std::move(steps);
    state.deadline = GetTickCount() + limitMs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, modal_detail::Tick);
    open();
    KillTimer(nullptr, timer);
    return {state.next, state.timedOut};
}
