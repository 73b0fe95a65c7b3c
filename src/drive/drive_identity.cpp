#include "drive_identity.h"

#include <cstring>

#include "drive_table.h"
#include "identify.h"

namespace {

enum { ModelCompared = 16 };

void CopyTrimmed(char* out, const char* text)
{
    std::strncpy(out, text, TextSize - 1);
    out[TextSize - 1] = '\0';
    TrimBlanks(out);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes a serial of hexadecimal digits stands for; false when it is not
// one (odd length, another character, or a byte that is no text).
bool DecodeHex(const char* text, char* out)
{
    const size_t length = std::strlen(text);
    if (length == 0 || length % 2 != 0 || length / 2 >= TextSize)
        return false;
    for (size_t i = 0; i < length; i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0 || high * 16 + low < 0x20 || high * 16 + low > 0x7E)
            return false;
        out[i / 2] = static_cast<char>(high * 16 + low);
    }
    out[length / 2] = '\0';
    return true;
}

// a matches b as it stands or with its byte pairs swapped; both sides
// trimmed after the swap, since a descriptor may keep the field's padding.
bool MatchesPlainOrSwapped(const char* a, const char* b)
{
    char left[TextSize], right[TextSize];
    CopyTrimmed(left, a);
    CopyTrimmed(right, b);
    if (left[0] == '\0' || std::strcmp(left, right) == 0)
        return left[0] != '\0';
    std::strncpy(right, b, TextSize - 1);
    right[TextSize - 1] = '\0';
    SwapBytePairs(reinterpret_cast<uint8_t*>(right), std::strlen(right) & ~size_t{1});
    TrimBlanks(right);
    return std::strcmp(left, right) == 0;
}

bool SerialForms(const char* a, const char* b)
{
    if (MatchesPlainOrSwapped(a, b))
        return true;
    char decoded[TextSize];
    return DecodeHex(b, decoded) && MatchesPlainOrSwapped(a, decoded);
}

const char* WithoutVendor(const char* model)
{
    while (*model == ' ')
        ++model;
    return std::strncmp(model, "ATA ", 4) == 0 ? model + 4 : model;
}

}  // namespace

bool SameSerial(const char* a, const char* b)
{
    return SerialForms(a, b) || SerialForms(b, a);
}

bool SameModel(const char* a, const char* b)
{
    char left[TextSize], right[TextSize];
    CopyTrimmed(left, WithoutVendor(a));
    CopyTrimmed(right, WithoutVendor(b));
    left[ModelCompared] = right[ModelCompared] = '\0';
    TrimBlanks(left);
    TrimBlanks(right);
    return left[0] != '\0' && std::strcmp(left, right) == 0;
}

bool SameDriveIdentity(const char* modelA, const char* serialA, const char* modelB, const char* serialB)
{
    return SameModel(modelA, modelB) && SameSerial(serialA, serialB);
}
