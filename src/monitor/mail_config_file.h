// The mail settings file beside the settings file, and the password's
// protection for the current user on this computer (DPAPI, from crypt32,
// which is loaded on first use: Windows 95 has none).
#pragma once
#include <cstddef>

#include "mail_config.h"

// Opened by bare name in the current directory, as "ostrivel.ini" is.
extern const char MailConfigFileName[];  // "ostrivel.cfg"

// The mail settings of the process (the defaults at start).
extern MailConfig CurrentMailConfig;

// Replaces CurrentMailConfig from the file: a missing or malformed file
// gives the defaults.
void LoadMailConfig();

// Replaces the file whole with CurrentMailConfig; false when it stays as it was.
bool SaveMailConfig();

// The password encrypted for this account (CryptProtectData, no UI) as
// base64 text; "" for an empty password. False when the system cannot.
bool ProtectPassword(const char* password, char* out, size_t capacity);

// The password back from ProtectPassword's text; false for a text that this
// account on this computer did not make, or without crypt32.
bool RevealPassword(const char* protectedText, char* out, size_t capacity);
