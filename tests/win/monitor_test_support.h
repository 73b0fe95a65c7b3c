// For the monitor's tests in the running window: a real SMTP server on
// 127.0.0.1, and the monitor's outcome in the status bar.
#pragma once
#include <windows.h>

#include <string>

// tests/support/smtp_test_server.py under Debian's /usr/bin/python3 (Wine
// starts Linux programs but hands back no handle to wait on), steered
// through files in a folder under /tmp, which Wine shows under Z:.
class SmtpTestServer {
public:
    SmtpTestServer();
    ~SmtpTestServer();
    // Again on its first port; mode "silent", "early", or a reply line for
    // RCPT; then "starttls" or "tls", a certificate and key of
    // Certificates(), a user and a password.
    bool Start(const std::string& mode = "", const std::string& tls = "");
    void Stop();
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
    size_t MessageCount() const;
    // The k-th message stored, from 1, after lines "HELO", "MAIL FROM", "RCPT TO".
    std::string Message(size_t k) const;
    // The logins the server saw, one line each ("AUTH PLAIN me accepted").
    std::string Logins() const;
    // Makes the test certificates with openssl (tests/support/make_test_certificates.py)
    // in the server's folder; their Linux folder.
    std::string Certificates();
    std::string File(const std::string& name) const { return "Z:" + folder_ + "/" + name; }

private:
    std::string folder_;
    int port_ = 0;
};

// The file's bytes, "" when it cannot be read.
std::string FileText(const std::string& path);
// Status-bar part 1, where the monitor shows its latest outcome.
std::string Outcome(HWND mainWindow);
// Empties part 1 and sends the message; then runs the message loop until an
// outcome ("Sent", "Not sent", "Checked", "State not saved", "Command ran")
// is shown, or the time is up.
std::string AwaitOutcome(HWND mainWindow, UINT message, WPARAM wParam, DWORD limitMs = 10000);
// The box of a double-click on part 1, closed again: "caption: text".
std::string OutcomeBox(HWND mainWindow);
