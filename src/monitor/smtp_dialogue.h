// One SMTP dialogue as a state machine fed with network events and the
// clock: lookup, connect, EHLO (HELO after a 5xx), MAIL FROM, RCPT TO, DATA,
// the message, QUIT. It never waits: the caller turns socket notifications
// and timer ticks into the calls below. Portable: the network is reached
// through SmtpServices.
#pragma once
#include <cstddef>
#include <cstdint>

enum { SmtpReplyLineMax = 512, SmtpReplyTimeoutMs = 30000, SmtpDialogueTimeoutMs = 120000 };

// Collects reply bytes into whole replies. Multi-line replies ("250-...")
// end at the line without '-'; a line longer than SmtpReplyLineMax is cut
// and the rest of it is dropped.
struct SmtpReplyParser {
    char line[SmtpReplyLineMax + 1];
    size_t length;
    bool overlong;
    int code;              // of the reply being read
    bool complete;         // a whole reply has arrived
    char lastLine[SmtpReplyLineMax + 1];  // its final line, without CRLF
};
void ResetReplyParser(SmtpReplyParser* parser);
// Consumes bytes up to the end of one whole reply; returns how many it took
// (the rest belongs to the next reply). A line that does not start with
// three digits gives code 0 (a protocol error).
size_t FeedReply(SmtpReplyParser* parser, const char* bytes, size_t length);

struct SmtpServices {
    void* context;
    bool (*startLookup)(void* context, const char* host);  // answer: SmtpHostFound
    bool (*startConnect)(void* context, uint32_t address, uint16_t port);  // answer: SmtpConnected
    int (*sendBytes)(void* context, const char* data, int length);  // taken, 0: would block, -1: failed
    void (*closeConnection)(void* context);
};

enum class SmtpOutcome { Running, Sent, NoNetwork, HostNotFound, Refused, TimedOut, Rejected, Closed, Failed };

// One dialogue at a time, in static storage. The caller keeps the mail text
// alive until the dialogue has ended.
struct SmtpRequest {
    const char* host;
    uint16_t port;
    const char* heloName;
    const char* address;  // MAIL FROM and RCPT TO
    const char* mail;     // from FormatWarningMail or FormatTestMail
    size_t mailLength;
};

void SmtpStart(const SmtpServices* services, const SmtpRequest& request, uint32_t nowMs);
void SmtpHostFound(bool found, uint32_t address, uint32_t nowMs);
void SmtpConnected(int error, uint32_t nowMs);
void SmtpReceived(const char* bytes, size_t length, uint32_t nowMs);
void SmtpWritable(uint32_t nowMs);
void SmtpClosed(uint32_t nowMs);
void SmtpClockTick(uint32_t nowMs);  // ends the dialogue on a time-out
bool SmtpRunning();
uint32_t SmtpNextDeadline();         // ms, while running
SmtpOutcome SmtpResult();            // after the end
int SmtpReplyCode();                 // the reply that ended it (Rejected), else 0
const char* SmtpLastReply();         // the server's last reply line
