// The main window's child controls and the objects they draw with.
#pragma once
#include <windows.h>
#include <commctrl.h>

extern HWND DriveList;       // control 500
extern HWND InfoList;        // control 504, the information page
extern HWND AttributeList;   // control 508, the attribute page
extern HIMAGELIST SmallImages;
// The monitor-state label (control 701, like the title icon before it).
extern HWND MonitorLabel;

// Builds every child control once, at window creation.
void CreateMainControls(HWND mainWindow);

// Frees the image list, the fonts and the title icon, then removes the
// recall method.
void ReleaseMainControls(HWND mainWindow);

// WM_CTLCOLORSTATIC of the main window: blue text for the monitor label.
HBRUSH MainStaticColor(HWND control, HDC dc);

HFONT CreateUiFont(const char* face, int height, BOOL bold, BOOL italic, BOOL underline);

LRESULT AddListColumn(HWND list, const char* text, int width, int index, int alignment);
