// Little-endian byte building and reading for the help file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void PutU8(Bytes& b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }

inline void PutU16(Bytes& b, uint32_t v)
{
    PutU8(b, v & 0xFF);
    PutU8(b, (v >> 8) & 0xFF);
}

inline void PutU32(Bytes& b, uint32_t v)
{
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}

inline void PutText(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }

// Text followed by its NUL terminator.
inline void PutString(Bytes& b, std::string_view s)
{
    PutText(b, s);
    PutU8(b, 0);
}

inline void PutBytes(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

inline void PatchU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(GetU16(p)) | (static_cast<uint32_t>(GetU16(p + 2)) << 16);
}
