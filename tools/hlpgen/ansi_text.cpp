#include "ansi_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Code page 1252 bytes 0x80-0x9F and the Unicode characters they stand for;
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned.
struct Cp1252Extra {
    uint16_t unicode;
    uint8_t ansi;
};

constexpr Cp1252Extra Cp1252Extras[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
    {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
    {0x017E, 0x9E}, {0x0178, 0x9F},
};

// Decodes one UTF-8 sequence at `pos`; returns its length, or 0 when it is
// malformed (truncated, overlong, surrogate or beyond U+10FFFF).
size_t DecodeUtf8(std::string_view s, size_t pos, uint32_t& cp)
{
    const uint8_t lead = static_cast<uint8_t>(s[pos]);
    size_t len;
    uint32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + len > s.size())
        return 0;
    for (size_t i = 1; i < len; ++i) {
        const uint8_t c = static_cast<uint8_t>(s[pos + i]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// The ANSI byte for a code point, or -1 when code page 1252 has none we accept.
int AnsiByteFor(uint32_t cp)
{
    if (cp >= 0x20 && cp <= 0x7E)
        return static_cast<int>(cp);
    if (cp >= 0xA0 && cp <= 0xFF)
        return static_cast<int>(cp);
    for (const Cp1252Extra& e : Cp1252Extras)
        if (e.unicode == cp)
            return e.ansi;
    return -1;
}

} // namespace

bool Utf8ToAnsi(std::string_view utf8, std::string& out, std::string& error)
{
    out.clear();
    size_t column = 1;
    for (size_t pos = 0; pos < utf8.size(); ++column) {
        uint32_t cp = 0;
        const size_t len = DecodeUtf8(utf8, pos, cp);
        char text[96];
        if (len == 0) {
            std::snprintf(text, sizeof text, "column %zu: malformed UTF-8 (byte 0x%02X); save the source as UTF-8",
                          column, static_cast<uint8_t>(utf8[pos]));
            error = text;
            return false;
        }
        const int ansi = AnsiByteFor(cp);
        if (ansi < 0) {
            std::snprintf(text, sizeof text, "column %zu: character U+%04X has no single-byte ANSI (code page 1252) form",
                          column, cp);
            error = text;
            return false;
        }
        out.push_back(static_cast<char>(ansi));
        pos += len;
    }
    return true;
}
