// The warning and test messages as RFC 5322 text, ready for SMTP DATA:
// CRLF lines of at most 78 characters, dot-stuffed, printable 7-bit.
// Portable: the caller supplies the time, the names and the buffer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drive_table.h"
#include "mail_address.h"
#include "monitor_rules.h"
#include "text_buffer.h"

enum { MailTextMax = 65536 };

struct MailContext {
    const char* computerName;
    const char* address;        // From and To
    LocalTime now;
    int32_t utcOffsetMinutes;   // local time minus UTC
    uint32_t uniqueNumber;      // part of Message-ID
};

// Both return the length written (without a NUL), 0 when it does not fit.
// The text ends with CRLF; the SMTP dialogue adds the final "." line.
size_t FormatWarningMail(const MailContext& context, const MonitorState& state,
                         const DriveRecord table[DriveCount], const ConditionList& conditions, char* out,
                         size_t capacity);
// One condition on one line, in the words of the warning message:
// "Attribute 197, Current Pending Sector: count rose from 0 to 8".
void AppendConditionLine(TextBuffer* out, const Condition& condition, const DriveRecord table[DriveCount]);

size_t FormatTestMail(const MailContext& context, char* out, size_t capacity);
