// Checks of the two e-mail settings before anything is sent, and the name the
// program gives itself in EHLO/HELO. Portable: no operating system.
#pragma once
#include <cstddef>
#include <cstdint>

enum { SmtpDefaultPort = 25, SmtpHostMax = 253 };

// True for one plain address that makes valid headers and commands: a
// dot-atom local part (letters, digits and !#$%&'*+-/=?^_`{|}~ with single
// dots between them), "@", and a domain of dot-separated labels.
bool IsPlainAddress(const char* address);

// The part after the '@' of a plain address.
const char* AddressDomain(const char* address);

// "host" or "host:port" (defaultPort when absent). The host is dot-separated
// labels of letters, digits, '-' and '_' (a name or an IPv4 address); the
// port 1 to 65535 in decimal. False for a bad host or port, or a host longer
// than hostCapacity - 1 characters.
bool ParseSmtpServer(const char* text, char* host, size_t hostCapacity, uint16_t* port,
                     uint16_t defaultPort = SmtpDefaultPort);

// One domain label: 1 to 63 letters, digits and hyphens, no hyphen first or
// last. The computer name is used in EHLO and the mail only when it is one.
bool IsDomainLabel(const char* text);
