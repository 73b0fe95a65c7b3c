#include "smtp_reply.h"

#include <cstring>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The reply code a line starts with, or 0.
int LineCode(const char* line, size_t length)
{
    if (length < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return 0;
    if (length > 3 && line[3] != ' ' && line[3] != '-')
        return 0;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return code >= 100 && code <= 599 ? code : 0;
}

bool IsWord(const char* at, const char* word, size_t length)
{
    size_t i = 0;
    for (; word[i]; ++i) {
        if (i == length || (at[i] & ~0x20) != word[i])
            return false;
    }
    return i == length;
}

// The extensions one line of a 2xx reply names, after its code.
unsigned ExtensionsOf(const char* line, size_t length)
{
    if (length < 5 || line[0] != '2')
        return 0;
    const char* word = line + 4;
    const char* end = line + length;
    const auto rest = static_cast<size_t>(end - word);
    const bool auth = rest >= 4 && IsWord(word, "AUTH", 4) && (rest == 4 || word[4] == ' ' || word[4] == '=');
    unsigned found = IsWord(word, "STARTTLS", rest) ? SmtpStartTls : 0u;
    for (const char* at = word + 5; auth && at < end;) {
        const char* stop = at;
        while (stop < end && *stop != ' ')
            ++stop;
        found |= IsWord(at, "PLAIN", static_cast<size_t>(stop - at)) ? SmtpAuthPlain : 0u;
        found |= IsWord(at, "LOGIN", static_cast<size_t>(stop - at)) ? SmtpAuthLogin : 0u;
        at = stop + 1;
    }
    return found;
}

void Keep(SmtpReplyParser* p, char c)
{
    if (p->length == SmtpReplyLineMax) {
        p->overlong = true;
        return;
    }
    p->line[p->length++] = c;
}

// One whole line has arrived: it joins the reply, and may end it.
void EndLine(SmtpReplyParser* p)
{
    if (p->length > 0 && p->line[p->length - 1] == '\r')
        --p->length;
    for (size_t i = 0; i < p->length; ++i) {
        if (p->line[i] < 0x20 || p->line[i] > 0x7E)
            p->line[i] = '?';
    }
    p->line[p->length] = '\0';
    std::memcpy(p->lastLine, p->line, p->length + 1);
    const int code = LineCode(p->line, p->length);
    p->extensions |= ExtensionsOf(p->line, p->length);
    const bool continued = code != 0 && p->length > 3 && p->line[3] == '-';
    if (code == 0 || (p->code != 0 && code != p->code)) {
        p->code = 0;
        p->complete = true;
    } else {
        p->code = code;
        p->complete = !continued;
    }
    p->length = 0;
    p->overlong = false;
}

}  // namespace

void ResetReplyParser(SmtpReplyParser* parser)
{
    std::memset(parser, 0, sizeof *parser);
}

size_t FeedReply(SmtpReplyParser* parser, const char* bytes, size_t length)
{
    if (parser->complete)
        ResetReplyParser(parser);
    size_t used = 0;
    while (used < length && !parser->complete) {
        const char c = bytes[used++];
        if (c == '\n')
            EndLine(parser);
        else
            Keep(parser, c);
    }
    return used;
}
