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

// The system's DPI (LOGPIXELSY of the screen), read once by the main window's
// creation; 96 until then.
int ReadSystemDpi();

// Pixels of the layout at 96 DPI in pixels at the system's DPI; at 96 they
// stay exactly as they are. Every position, size and column width of the
// main window's layout goes through here.
int ScaleToDpi(int pixels);

// Runs the modal dialog `id` (an extended template with its own font) of the
// owner's instance. Away from 96 DPI its bitmap face gives way to
// "Microsoft Sans Serif", which the dialog manager scales to the DPI.
INT_PTR RunDialog(HWND owner, int id, DLGPROC procedure);

// Builds every child control once, at window creation, at the system's DPI.
void CreateMainControls(HWND mainWindow);

// Frees the image list, the fonts and the title icon, then removes the
// recall method.
void ReleaseMainControls(HWND mainWindow);

// WM_CTLCOLORSTATIC of the main window: blue text for the monitor label.
HBRUSH MainStaticColor(HWND control, HDC dc);

HFONT CreateUiFont(const char* face, int height, BOOL bold, BOOL italic, BOOL underline);

LRESULT AddListColumn(HWND list, const char* text, int width, int index, int alignment);
