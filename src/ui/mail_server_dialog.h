// The Mail Server dialog, opened from Setup: the connection's security, the
// login, the command run on a warning, and a test message sent at once. What
// it holds is a draft until Setup's OK commits it.
#pragma once
#include <windows.h>

// Setup opens: the draft starts as the current mail settings.
void BeginMailDraft();

// The "Mail Server..." button; `setup` is the Setup dialog, whose address
// and server fields the test message uses.
void RunMailServerDialog(HWND setup);

// Setup's OK: the draft becomes the mail settings, saved when they changed.
void CommitMailDraft();
