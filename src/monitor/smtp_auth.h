// Base64 and the two SMTP logins built on it (AUTH PLAIN and AUTH LOGIN).
// Portable: no operating system.
#pragma once
#include <cstddef>
#include <cstdint>

// The base64 text of `length` bytes, terminated; false when it does not fit
// in `capacity` characters with the terminator.
bool EncodeBase64(const void* data, size_t length, char* out, size_t capacity);

// The bytes of a base64 text (whole groups of four, '=' only at its end);
// false for any other text or when they do not fit in `capacity`.
bool DecodeBase64(const char* text, uint8_t* out, size_t capacity, size_t* length);

// AUTH PLAIN's argument: base64 of NUL, user, NUL, password.
bool EncodePlainLogin(const char* user, const char* password, char* out, size_t capacity);

// Zeroes a buffer that held a password, in a way no optimizer drops.
void Wipe(void* data, size_t length);
