// Actions of the File menu's informing commands and of the Setup command.
#pragma once
#include <windows.h>

// The About box, modal to the main window.
void ShowAbout(HWND mainWindow);

// The help file at the main window's topic (context 1).
void ShowHelpContents(HWND mainWindow);

// The product's home page in the user's default handler.
void OpenHomePage(HWND mainWindow);

// Saves the settings; a failure shows a box, owned by `owner` (may be null),
// that names the file and the system's reason.
void SaveSettingsOrSay(HWND owner);

// The Setup dialog, then the refresh timer re-armed when the interval changed.
void RunSetupCommand(HWND mainWindow);

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Brush and text colour for a static control of the Setup dialog, or 0.
HBRUSH SetupStaticColor(HWND control, HDC dc);
