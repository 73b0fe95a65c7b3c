// Collects the bytes a server sends into whole SMTP replies. Portable.
#pragma once
#include <cstddef>

enum { SmtpReplyLineMax = 512 };

// Multi-line replies ("250-...") end at the line without '-'. A line longer
// than SmtpReplyLineMax is cut there and the rest of it is dropped. Lines end
// at LF (a CR before it is dropped); bytes outside 0x20..0x7E are kept as '?'.
struct SmtpReplyParser {
    char line[SmtpReplyLineMax + 1];  // the line being read
    size_t length;
    bool overlong;         // the line being read was cut
    int code;              // of the reply being read: 100..599, 0 for a protocol error
    bool complete;         // a whole reply has arrived
    char lastLine[SmtpReplyLineMax + 1];  // its final line, without CRLF
    unsigned extensions;   // SmtpExtension bits its lines named (an EHLO reply)
};

// The extensions of an EHLO reply that the dialogue uses: "STARTTLS", and
// "AUTH" (or the older "AUTH=") listing "PLAIN" or "LOGIN".
enum SmtpExtension : unsigned { SmtpStartTls = 1, SmtpAuthPlain = 2, SmtpAuthLogin = 4 };

void ResetReplyParser(SmtpReplyParser* parser);

// Consumes bytes up to the end of one whole reply and returns how many it
// took (the rest belongs to the next reply). A line that does not start with
// a code 100..599 followed by ' ', '-' or its end, or a continuation line with
// another code than the first, completes the reply with code 0 (a protocol
// error). Fed again after a complete reply, the parser starts a new one.
size_t FeedReply(SmtpReplyParser* parser, const char* bytes, size_t length);
