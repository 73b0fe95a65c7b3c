// The shell and help-program calls of the informing commands, kept in one
// record so that tests can watch their arguments without starting a browser
// or the help program.
#pragma once
#include <windows.h>
#include <shellapi.h>

struct ShellServices {
    BOOL(WINAPI* winHelp)(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data);
    HINSTANCE(WINAPI* shellExecute)(HWND window, LPCSTR operation, LPCSTR file,
                                    LPCSTR parameters, LPCSTR directory, INT showCommand);
};

// WinHelpA and ShellExecuteA unless a test has replaced them.
extern ShellServices CurrentShellServices;
