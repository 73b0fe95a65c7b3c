#include "mail_address.h"

#include <cstring>

namespace {

bool IsLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Printable ASCII that may stand in a plain address: no blank, and none of
// the characters that separate or enclose addresses.
bool IsAddressCharacter(char c)
{
    return c > ' ' && c < 0x7F && !std::strchr(",<>", c);
}

bool IsHostCharacter(char c)
{
    return IsLetterOrDigit(c) || c == '-' || c == '_';
}

// Dot-separated, non-empty labels of host characters.
bool IsHostName(const char* host, size_t length)
{
    if (length == 0 || length > SmtpHostMax)
        return false;
    size_t label = 0;
    for (size_t i = 0; i < length; ++i) {
        if (host[i] == '.') {
            if (label == 0)
                return false;
            label = 0;
        } else if (IsHostCharacter(host[i])) {
            ++label;
        } else {
            return false;
        }
    }
    return label > 0;
}

bool ParsePort(const char* text, uint16_t* port)
{
    uint32_t n = 0;
    if (*text == '\0')
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        n = n * 10 + static_cast<uint32_t>(*text - '0');
        if (n > 65535)
            return false;
    }
    *port = static_cast<uint16_t>(n);
    return n > 0;
}

}  // namespace

bool IsPlainAddress(const char* address)
{
    const char* at = std::strchr(address, '@');
    if (!at || at == address || at[1] == '\0' || std::strchr(at + 1, '@'))
        return false;
    for (const char* c = address; *c; ++c) {
        if (!IsAddressCharacter(*c))
            return false;
    }
    return true;
}

const char* AddressDomain(const char* address)
{
    const char* at = std::strchr(address, '@');
    return at ? at + 1 : address;
}

bool ParseSmtpServer(const char* text, char* host, size_t hostCapacity, uint16_t* port, uint16_t defaultPort)
{
    const char* colon = std::strchr(text, ':');
    const size_t length = colon ? static_cast<size_t>(colon - text) : std::strlen(text);
    uint16_t number = defaultPort;
    if (!IsHostName(text, length) || length >= hostCapacity || (colon && !ParsePort(colon + 1, &number)))
        return false;
    std::memcpy(host, text, length);
    host[length] = '\0';
    *port = number;
    return true;
}

void MakeHeloName(const char* computerName, char* out, size_t capacity)
{
    size_t n = 0;
    for (const char* c = computerName; *c && n + 1 < capacity; ++c) {
        if (IsLetterOrDigit(*c) || *c == '-')
            out[n++] = *c;
    }
    out[n] = '\0';
    if (n == 0)
        std::strncat(out, "localhost", capacity - 1);
}
