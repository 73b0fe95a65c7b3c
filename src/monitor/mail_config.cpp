#include "mail_config.h"

#include <cstring>

#include "smtp_auth.h"
#include "text_buffer.h"

namespace {

const char* const SecurityWords[] = {"none", "starttls", "tls"};
const uint16_t DefaultPorts[] = {25, 587, 465};

enum { LineMax = MailProtectedSize + 16 };

bool SameWord(const char* a, const char* b, size_t length)
{
    if (std::strlen(b) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        if (c != (b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i]))
            return false;
    }
    return true;
}

// The line without blanks at either end.
void Trim(const char** text, size_t* length)
{
    while (*length && (**text == ' ' || **text == '\t'))
        ++*text, --*length;
    while (*length && ((*text)[*length - 1] == ' ' || (*text)[*length - 1] == '\t' || (*text)[*length - 1] == '\r'))
        --*length;
}

template <size_t N>
bool Take(char (&field)[N], const char* value, size_t length)
{
    if (length >= N)
        return false;
    std::memcpy(field, value, length);
    field[length] = '\0';
    return true;
}

bool TakeSecurity(SmtpSecurity* security, const char* value, size_t length)
{
    for (size_t i = 0; i < sizeof SecurityWords / sizeof SecurityWords[0]; ++i) {
        if (SameWord(value, SecurityWords[i], length)) {
            *security = static_cast<SmtpSecurity>(i);
            return true;
        }
    }
    return false;
}

bool IsBase64(const char* text)
{
    uint8_t bytes[MailProtectedSize];
    size_t length = 0;
    return DecodeBase64(text, bytes, sizeof bytes, &length);
}

// One line of section `[Mail]`; false when it is malformed.
bool TakeLine(const char* line, size_t length, bool* inMail, MailConfig* c)
{
    Trim(&line, &length);
    if (length == 0 || line[0] == ';' || line[0] == '#')
        return true;
    if (line[0] == '[') {
        *inMail = SameWord(line, "[mail]", length);
        return line[length - 1] == ']';
    }
    const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
    if (!equals)
        return false;
    size_t keyLength = static_cast<size_t>(equals - line), valueLength = length - keyLength - 1;
    const char* value = equals + 1;
    Trim(&line, &keyLength);
    Trim(&value, &valueLength);
    if (!*inMail)
        return true;
    if (SameWord(line, "security", keyLength))
        return TakeSecurity(&c->security, value, valueLength);
    if (SameWord(line, "user", keyLength))
        return Take(c->user, value, valueLength);
    if (SameWord(line, "password", keyLength))
        return Take(c->password, value, valueLength) && IsBase64(c->password);
    if (SameWord(line, "command", keyLength))
        return Take(c->command, value, valueLength);
    return true;  // a key of a later version
}

}  // namespace

bool ParseMailConfig(const char* text, size_t length, MailConfig* config)
{
    std::memset(config, 0, sizeof *config);
    bool inMail = false;
    bool good = length <= MailConfigFileMax && !std::memchr(text, '\0', length);
    for (size_t start = 0; good && start < length;) {
        const char* end = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
        const size_t lineLength = end ? static_cast<size_t>(end - text) - start : length - start;
        good = TakeLine(text + start, lineLength, &inMail, config);
        start += lineLength + 1;
    }
    if (!good)
        std::memset(config, 0, sizeof *config);
    return good;
}

size_t FormatMailConfig(const MailConfig& config, char* out, size_t capacity)
{
    const auto security = static_cast<size_t>(config.security);
    TextBuffer b = MakeTextBuffer(out, capacity);
    AppendFormat(&b, "[Mail]\r\nSecurity=%s\r\nUser=%s\r\nPassword=%s\r\nCommand=%s\r\n",
                 SecurityWords[security < 3 ? security : 0], config.user, config.password, config.command);
    return b.overflow ? 0 : b.length;
}

bool SameMailConfig(const MailConfig& a, const MailConfig& b)
{
    return a.security == b.security && std::strcmp(a.user, b.user) == 0 && std::strcmp(a.password, b.password) == 0 &&
           std::strcmp(a.command, b.command) == 0;
}

uint16_t DefaultSmtpPort(SmtpSecurity security)
{
    const auto i = static_cast<size_t>(security);
    return DefaultPorts[i < 3 ? i : 0];
}
