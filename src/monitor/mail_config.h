// The mail settings kept beside the settings file in "ostrivel.cfg", an INI
// text: the connection's security, the login and the command run on a
// warning. Portable: reading and writing the text only.
//
//     [Mail]
//     Security=none|starttls|tls
//     User=me@example.com
//     Password=<base64 of the password as the system protected it>
//     Command=C:\Tools\notify.exe --all
#pragma once
#include <cstddef>
#include <cstdint>

#include "smtp_dialogue.h"

enum {
    MailUserSize = 80,            // 79 characters and the terminator
    MailPasswordMax = 127,        // characters of a password as typed
    MailProtectedSize = 1024,     // base64 of the protected password
    MailCommandSize = 260,
    MailConfigFileMax = 2048,
};

struct MailConfig {
    SmtpSecurity security;
    char user[MailUserSize];
    char password[MailProtectedSize];  // never the password itself
    char command[MailCommandSize];
};

// Reads the text of the file. Blank lines, lines starting with ';' or '#',
// other sections and unknown keys are skipped; keys and the security word
// take any letter case. False, with *config the defaults (no security, no
// login, no command), for a malformed text: a line that is neither a section
// nor key=value, an unknown security word, a value too long for its field, a
// password that is not base64, a NUL byte, or more than MailConfigFileMax
// bytes.
bool ParseMailConfig(const char* text, size_t length, MailConfig* config);

// The text of the file, lines ending in CR LF; 0 when it does not fit.
size_t FormatMailConfig(const MailConfig& config, char* out, size_t capacity);

bool SameMailConfig(const MailConfig& a, const MailConfig& b);

// The port of an SMTP server given without one: 25, 587 or 465.
uint16_t DefaultSmtpPort(SmtpSecurity security);
