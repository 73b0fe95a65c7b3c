// For the monitor's tests in the running window: a real SMTP server on
// 127.0.0.1, and the monitor's outcome in the status bar.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// tests/support/smtp_test_server.py under Debian's /usr/bin/python3 (Wine
// starts Linux programs, but hands back no handle to wait on), steered
// through files in a folder under /tmp, which Wine shows under Z:.
class SmtpTestServer {
public:
    SmtpTestServer();
    ~SmtpTestServer();
    // On the port it had, once it had one, with the script's options
    // ("--silent", "--rcpt-reply ..."); false when it did not come up.
    bool Start(const std::string& options = "");
    void Stop();  // connections are refused afterwards
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
    // The messages stored, in order: lines "HELO", "MAIL FROM", "RCPT TO",
    // then the message as it arrived.
    std::vector<std::string> Messages() const;
    size_t MessageCount() const;

private:
    std::string folder_;  // as Wine names it
    int port_ = 0;
};

// Status-bar part 1, where the monitor shows its latest outcome.
std::string Outcome(HWND mainWindow);
// Empties part 1, sends the message, then runs the message loop until an
// outcome is shown ("Sent", "Not sent" or "Checked"), at most 10 s.
std::string AwaitOutcome(HWND mainWindow, UINT message, WPARAM wParam);
// The box of a double-click on part 1, closed again: "caption: text".
std::string OutcomeBox(HWND mainWindow);
std::string ComputerName();
