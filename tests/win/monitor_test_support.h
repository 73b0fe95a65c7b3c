// For the monitor's tests in the running window: a real SMTP server on
// 127.0.0.1, and the monitor's outcome as the status bar shows it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Debian's aiosmtpd run by tests/support/smtp_test_server.py under
// /usr/bin/python3 (Wine starts Linux programs, but hands back no handle to
// wait on), started and stopped through files in a folder of its own that
// both sides can name.
class SmtpTestServer {
public:
    enum class Mode { Accept, RefuseRecipient, Silent };

    SmtpTestServer();
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // Starts it (again on the port it had, once it had one); false when it
    // did not come up within 15 s.
    bool Start(Mode mode = Mode::Accept);
    // Ends it; connections are refused afterwards.
    void Stop();
    // "127.0.0.1:<port>", as the Setup dialog's SMTP Server field takes it.
    std::string Server() const;
    // Every message stored so far, in order of arrival: three lines of what
    // the client said (HELO name, MAIL FROM, RCPT TO), then the message.
    std::vector<std::string> Messages() const;
    size_t MessageCount() const;

private:
    std::string Native(const char* name) const;
    std::string MessageFile(size_t k) const;  // the k-th, from 1
    std::string unixFolder_;
    int port_ = 0;
    bool running_ = false;
};

// Status-bar part 1: the monitor's latest outcome.
std::string Outcome(HWND mainWindow);
void SetOutcome(HWND mainWindow, const char* text);
// Runs the window's messages until the outcome of a delivery ("Sent ..." or
// "Not sent ...") or of a check without mail ("Checked ...") is shown, at
// most 10 s; returns it.
std::string AwaitOutcome(HWND mainWindow);
// The box that a double-click on the outcome brings up, closed again: its
// caption and text.
std::string OutcomeBox(HWND mainWindow);

std::string MonitorLabelText();
void PumpFor(DWORD ms);

// GetComputerNameA, and the name EHLO carries: letters, digits and '-' of it.
std::string ComputerName();
std::string HeloName();
