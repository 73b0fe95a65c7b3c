// Filling the drive list and the two detail pages from the drive table.
#pragma once
#include <windows.h>

void SetListCell(HWND list, int row, int column, const char* text);
void SetListCellImage(HWND list, int row, int column, const char* text, int image);

// Rebuilds the drive list: one row per present drive, in DriveIndex order.
void FillDriveList();

// Rebuilds the information and attribute pages for one drive; which page is
// visible does not change.
void ShowDriveDetails(int driveIndex);

// The focused row when exactly one row is selected, else -1.
int GetSelectedRow(HWND list);

// Shows one detail page and hides the other.
void ShowListPage(HWND shown, HWND hidden);

// Shows the drive of a drive-list row; a row without a drive changes nothing.
void ShowDriveAtRow(int row);
