// An edit control that takes a whole number with an optional leading minus,
// such as the Setup dialog's interval field, where -1 switches refreshing off.
#pragma once
#include <windows.h>

// Longest text the field takes: "-2147483648", the longest 32-bit integer.
enum { SignedFieldMaxLength = 11 };

// True for "", "-", and an optional '-' followed by digits only.
bool IsSignedNumberText(const char* text);

// Subclasses the edit control so that typing and pasting can only leave
// such a text in it. Text set by the program itself is not filtered.
void AcceptSignedNumberOnly(HWND edit);
