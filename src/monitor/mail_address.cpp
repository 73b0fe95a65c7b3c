#include "mail_address.h"

#include <cstring>

namespace {

bool IsLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The characters of an RFC 5321 atom besides letters and digits.
bool IsAtomCharacter(char c)
{
    return IsLetterOrDigit(c) || (c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c));
}

// Non-empty runs of characters that pass `inRun`, joined by single dots.
template <typename Test>
bool IsDottedRuns(const char* text, size_t length, Test inRun)
{
    size_t run = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '.' && run == 0)
            return false;
        if (text[i] != '.' && !inRun(text, i))
            return false;
        run = text[i] == '.' ? 0 : run + 1;
    }
    return run > 0;
}

// A label character: letters and digits anywhere, hyphens inside.
bool IsLabelCharacter(const char* text, size_t i, size_t length)
{
    if (text[i] != '-')
        return IsLetterOrDigit(text[i]);
    return i > 0 && text[i - 1] != '.' && i + 1 < length && text[i + 1] != '.';
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
    if (!at)
        return false;
    const char* domain = at + 1;
    const size_t domainLength = std::strlen(domain);
    return IsDottedRuns(address, static_cast<size_t>(at - address),
                        [](const char* t, size_t i) { return IsAtomCharacter(t[i]); }) &&
           IsDottedRuns(domain, domainLength,
                        [domainLength](const char* t, size_t i) { return IsLabelCharacter(t, i, domainLength); });
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

bool IsDomainLabel(const char* text)
{
    const size_t length = std::strlen(text);
    if (length == 0 || length > 63)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '.' || !IsLabelCharacter(text, i, length))
            return false;
    }
    return true;
}
