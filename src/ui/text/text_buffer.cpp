#include "text_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

TextBuffer MakeTextBuffer(char* data, size_t capacity)
{
    data[0] = '\0';
    return {data, capacity, 0, false};
}

void AppendBytes(TextBuffer* out, const char* bytes, size_t count)
{
    if (out->overflow || count >= out->capacity - out->length) {
        out->overflow = true;
        return;
    }
    std::memcpy(out->data + out->length, bytes, count);
    out->length += count;
    out->data[out->length] = '\0';
}

void AppendText(TextBuffer* out, const char* text)
{
    AppendBytes(out, text, std::strlen(text));
}

void AppendFormat(TextBuffer* out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    AppendFormatList(out, format, args);
    va_end(args);
}

void AppendFormatList(TextBuffer* out, const char* format, va_list args)
{
    if (out->overflow)
        return;
    const size_t room = out->capacity - out->length;
    const int n = std::vsnprintf(out->data + out->length, room, format, args);
    if (n < 0 || static_cast<size_t>(n) >= room) {
        out->overflow = true;
        out->data[out->length] = '\0';
        return;
    }
    out->length += static_cast<size_t>(n);
}
