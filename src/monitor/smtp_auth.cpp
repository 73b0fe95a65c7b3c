#include "smtp_auth.h"

#include <cstring>

namespace {

const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c)
{
    const char* at = c ? std::strchr(Alphabet, c) : nullptr;
    return at ? static_cast<int>(at - Alphabet) : -1;
}

}  // namespace

bool EncodeBase64(const void* data, size_t length, char* out, size_t capacity)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (capacity == 0 || (length + 2) / 3 * 4 >= capacity)
        return false;
    size_t n = 0;
    for (size_t i = 0; i < length; i += 3) {
        const size_t left = length - i;
        const uint32_t group = bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
        for (int k = 0; k < 4; ++k)
            out[n++] = k <= static_cast<int>(left) ? Alphabet[group >> (18 - 6 * k) & 63] : '=';
    }
    out[n] = '\0';
    return true;
}

bool DecodeBase64(const char* text, uint8_t* out, size_t capacity, size_t* length)
{
    const size_t size = std::strlen(text);
    size_t n = 0;
    if (size % 4)
        return false;
    for (size_t i = 0; i < size; i += 4) {
        const bool last = i + 4 == size;
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        uint32_t group = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = k >= 4 - pad ? 0 : ValueOf(text[i + k]);
            if (v < 0)
                return false;
            group = group << 6 | static_cast<uint32_t>(v);
        }
        for (int k = 0; k < 3 - pad; ++k) {
            if (n == capacity)
                return false;
            out[n++] = static_cast<uint8_t>(group >> (16 - 8 * k));
        }
    }
    *length = n;
    return true;
}

bool EncodePlainLogin(const char* user, const char* password, char* out, size_t capacity)
{
    char joined[512];
    const size_t u = std::strlen(user), p = std::strlen(password);
    if (u + p + 2 > sizeof joined)
        return false;
    joined[0] = '\0';
    std::memcpy(joined + 1, user, u + 1);
    std::memcpy(joined + u + 2, password, p);
    const bool done = EncodeBase64(joined, u + p + 2, out, capacity);
    Wipe(joined, sizeof joined);  // the password leaves no copy behind
    return done;
}

void Wipe(void* data, size_t length)
{
    for (volatile char* c = static_cast<char*>(data); length--;)  // a store the compiler keeps
        *c++ = 0;
}
