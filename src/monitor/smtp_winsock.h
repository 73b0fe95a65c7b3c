// The SMTP dialogue's network on Windows: Winsock 1.1 (wsock32.dll), loaded
// when a dialogue first needs it, so that the program still starts on a
// Windows 95 without networking. Nothing waits: the host lookup and the
// socket report through messages posted to the main window, whose procedure
// hands them to HandleWinsockMessage, and the events go on to the monitor.
#pragma once
#include <windows.h>

#include "smtp_dialogue.h"

// The lookup's answer, then one message per connection in turn: a
// notification still queued for a closed socket (Wine posts a late FD_CLOSE,
// and reuses socket handles) never reaches the next connection.
enum : UINT {
    WinsockLookupMessage = WM_APP + 64,
    WinsockSocketMessageFirst = WM_APP + 65,
    WinsockSocketMessageCount = 16,
};

// The network for the dialogue, reporting to `window`; null when the system
// has no usable Winsock 1.1.
const SmtpServices* WinsockSmtpServices(HWND window);

// True when the message is the network's; it has then been handled.
bool HandleWinsockMessage(UINT message, WPARAM wParam, LPARAM lParam);

// Closes what is open and lets Winsock go (the window is going).
void StopWinsock();
