// One SMTP dialogue as a state machine fed with network events and the
// clock: lookup, connect, EHLO (HELO after a 5xx), MAIL FROM, RCPT TO, DATA,
// the message, QUIT. It never waits: the caller turns socket notifications
// and timer ticks into the calls below. Portable: the network is reached
// through SmtpServices.
#pragma once
#include <cstddef>
#include <cstdint>

#include "smtp_reply.h"

enum { SmtpReplyTimeoutMs = 30000, SmtpDialogueTimeoutMs = 120000 };

// The Winsock error codes that SmtpConnected tells apart.
enum { SmtpErrorTimedOut = 10060, SmtpErrorRefused = 10061 };

struct SmtpServices {
    void* context;
    // Starts looking up host; the answer comes as SmtpHostFound (it may come
    // before the call returns). False when no lookup could be started.
    bool (*startLookup)(void* context, const char* host);
    // Starts connecting to address (as the lookup gave it) and port; the
    // answer comes as SmtpConnected. False when no connection could be started.
    bool (*startConnect)(void* context, uint32_t address, uint16_t port);
    // Bytes taken (1..length), 0 when the socket would block (SmtpWritable
    // follows when it can take more), -1 when it failed.
    int (*sendBytes)(void* context, const char* data, int length);
    // Ends whatever the lookup and the connection began: cancels a lookup
    // still running, closes the socket. Called once per dialogue, at its end,
    // when startLookup had returned true.
    void (*closeConnection)(void* context);
    // The connection's local address (as startConnect takes one), 0 when
    // unknown: the greeting's address literal when the PC has no usable name.
    uint32_t (*localAddress)(void* context);
    // Starts TLS on the connected socket for `host`, the name the server's
    // certificate must carry; the answer comes as SmtpSecured. From then on
    // sendBytes takes and SmtpReceived gives the bytes inside TLS. Null, or
    // false, where the system has no TLS.
    bool (*startTls)(void* context, const char* host) = nullptr;
};

// None: plain SMTP. StartTls: EHLO, STARTTLS, the handshake, EHLO again; a
// server that does not offer it gets nothing. Tls: the handshake first.
enum class SmtpSecurity : uint8_t { None, StartTls, Tls };

// OutOfStep: the server answered a command before it had been wholly sent.
// NoAnswer: no connection was ever made (time-out, or a close before it).
enum class SmtpOutcome {
    Running, Sent, NoNetwork, HostNotFound, Refused, TimedOut, Rejected, Closed, Failed, OutOfStep, NoAnswer,
    NoStartTls, Certificate, TlsFailed, LoginRefused, NoLogin,
};

// What one dialogue sends. The caller keeps the texts alive until it has ended.
struct SmtpRequest {
    const char* host;
    uint16_t port;
    const char* heloName;  // "" or null: the address literal of the local end
    const char* address;  // MAIL FROM and RCPT TO
    const char* mail;     // from FormatWarningMail or FormatTestMail, ends with CRLF
    size_t mailLength;
    SmtpSecurity security = SmtpSecurity::None;
    const char* user = nullptr;  // a login inside TLS when not empty (null: none)
    const char* password = nullptr;
};

// One dialogue at a time, in static storage: a start while one runs is
// ignored. Null services end it at once with NoNetwork; a lookup that cannot
// start ends it with NoNetwork too.
void SmtpStart(const SmtpServices* services, const SmtpRequest& request, uint32_t nowMs);
void SmtpHostFound(bool found, uint32_t address, uint32_t nowMs);
// error: 0 connected, else the system's code (SmtpErrorRefused: Refused,
// SmtpErrorTimedOut: NoAnswer, any other: Failed).
void SmtpConnected(int error, uint32_t nowMs);
void SmtpReceived(const char* bytes, size_t length, uint32_t nowMs);
void SmtpWritable(uint32_t nowMs);
// The end of the TLS handshake that startTls began: Sent (secured), or
// Certificate or TlsFailed with what was wrong (kept as SmtpTlsProblem).
void SmtpSecured(SmtpOutcome result, const char* problem, uint32_t nowMs);
// The server closed the connection. Pass on every byte still readable first:
// a close before the reply to the message's final "." is a failure (Closed).
void SmtpClosed(uint32_t nowMs);
// Ends the dialogue when a reply took SmtpReplyTimeoutMs from the moment its
// command was wholly sent (bytes that trickle in do not extend it), or the
// whole dialogue SmtpDialogueTimeoutMs: TimedOut, NoAnswer while connecting.
void SmtpClockTick(uint32_t nowMs);
// Ends a running dialogue at once (Failed), closing what it opened.
void SmtpAbort();

bool SmtpRunning();
uint32_t SmtpNextDeadline();  // ms, while running
// Running while it runs. Sent once the server accepted the message (250 to
// its final "."), even while QUIT is still under way.
SmtpOutcome SmtpResult();
int SmtpReplyCode();          // the reply that ended it (Rejected), else 0
const char* SmtpLastReply();  // the server's last reply line, "" before any
const char* SmtpTlsProblem(); // why TLS failed (Certificate, TlsFailed), else ""
