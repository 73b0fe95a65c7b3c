// The program's one top-level window and its procedure.
#pragma once
#include <windows.h>

extern const char MainClassName[];  // "ostrivel"
extern HWND MainWindow;             // set while the window exists

enum { MainWindowWidth = 420, MainWindowHeight = 370 };  // at 96 DPI

ATOM RegisterMainClass(HINSTANCE instance);

// Creates the main window centred on the desktop, scaled to the system DPI. Null when creation failed;
// *creationRan tells whether the window's own creation steps ran (and so
// whether a failing step has already shown its message, if it has one).
HWND CreateMainWindow(HINSTANCE instance, bool* creationRan);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The whole program after the process has started: class, current directory,
// the one-copy check, stale settings files, window, message loop. Returns the
// exit code (0 for a later copy, which only recalls the first one's window).
int RunOstrivel(HINSTANCE instance, const char* commandTail, int showCommand);

// True when the command-line tail asks for a hidden start ("/i" anywhere).
bool StartsHidden(const char* commandTail);
