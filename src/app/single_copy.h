// One running copy of the program per program folder. The first copy of a
// folder holds a small block of shared memory named after the folder and
// leaves its main window's handle there; a copy started later from the same
// folder finds the block, calls that window back and ends. Copies in other
// folders, and other users' copies, have other names and run on their own.
#pragma once
#include <windows.h>

// 0 when another copy of the program runs from this folder; 1 otherwise,
// also when no guard can be had (this copy then runs on its own).
int TakeFolderGuard(const WCHAR* folder);

// For the copy started elevated by the first one: waits up to 10 seconds
// for the first copy to end and give the guard up. 1 once this copy holds it.
int WaitForFolderGuard(const WCHAR* folder);

// Leaves the first copy's main window where later copies look for it.
void ShowWindowToLaterCopies(HWND window);

// In a later copy: posts the first copy's window the recall, unless this
// start asks for a hidden window. Waits up to 10 seconds for that window to
// exist, and never for the first copy to answer.
void RecallFirstCopy(bool startsHidden);

// Gives the guard up (the first copy first takes its window away).
void ReleaseFolderGuard();
