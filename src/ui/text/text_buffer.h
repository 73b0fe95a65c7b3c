// Appending text to a fixed buffer without ever writing past it. A piece that
// does not fit marks the buffer as overflowed; the caller then drops the text.
#pragma once
#include <cstdarg>
#include <cstddef>

struct TextBuffer {
    char* data;
    size_t capacity;  // bytes, including the terminating NUL
    size_t length;
    bool overflow;
};

// An empty text in data[capacity]; capacity must be at least 1.
TextBuffer MakeTextBuffer(char* data, size_t capacity);
void AppendBytes(TextBuffer* out, const char* bytes, size_t count);
void AppendText(TextBuffer* out, const char* text);
void AppendFormat(TextBuffer* out, const char* format, ...);
void AppendFormatList(TextBuffer* out, const char* format, va_list args);

// Copies at most N - 1 characters of a text (null reads as empty) and ends
// the copy: a source without a terminator is never read past N - 1 bytes.
template <size_t N>
void CopyBounded(char (&to)[N], const char* from)
{
    size_t n = 0;
    for (; from && n + 1 < N && from[n] != '\0'; ++n)
        to[n] = from[n];
    to[n] = '\0';
}
