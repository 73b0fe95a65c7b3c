#include "monitor_state_file.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "text_buffer.h"

// The file, one record per line (CRLF written; LF alone read too; blank
// lines skipped):
//   Ostrivel monitor state 2
//   check <checkCount>
//   outcome "<full text of the latest outcome>"
//   drive <lastSeen> <lastPosition> <firstSightPending> <vanishedReported> "<model>" "<serial>" "<firmware>"
//   attribute <id> <reference value> <reference raw value> <threshold, or - when unknown>
//   nvme <warning bits> <spare> <spare threshold> <wear step> <media errors>
//   shown <condition kind> <attribute ID or warning bit> <how far it had gone>
// Attribute lines (an ATA drive's) or the one nvme line (an NVMe drive's)
// and the shown lines belong to the drive line above them. Version 1 is read
// too: its attribute lines have no threshold, and it has no nvme or shown
// lines. Texts stand in double
// quotes; '"', '%' and every byte outside 0x20..0x7E are written %XX (hex),
// so any byte of a drive's texts comes back as it was. A drive's texts are
// kept to the widths drives give them (model 40, serial 40: a storage
// descriptor may give the 20 bytes in hexadecimal; firmware 8), so that 16
// drives always fit; a second drive line of one model and serial is
// read and dropped with its attributes.

namespace {

const char VersionLine[] = "Ostrivel monitor state 2";
const char VersionOneLine[] = "Ostrivel monitor state 1";
const char HexDigits[] = "0123456789ABCDEF";
constexpr uint64_t RawMax = (1ull << 48) - 1;
constexpr size_t ModelMax = 40, SerialMax = 40, FirmwareMax = 8;

bool Escaped(char c)
{
    return c < 0x20 || c > 0x7E || c == '"' || c == '%';
}

void AppendQuoted(TextBuffer* out, const char* text, size_t capacity)
{
    AppendBytes(out, " \"", 2);
    for (size_t i = 0; i < capacity && text[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (Escaped(text[i])) {
            const char code[3] = {'%', HexDigits[c >> 4], HexDigits[c & 15]};
            AppendBytes(out, code, 3);
        } else {
            AppendBytes(out, text + i, 1);
        }
    }
    AppendBytes(out, "\"", 1);
}

// Reading one line: each step fails (and every later one with it) when the
// text is not as expected.
struct Cursor {
    const char* p;
    const char* end;
    bool ok;
};

void Fail(Cursor& c)
{
    c.ok = false;
}

void Blank(Cursor& c)
{
    if (c.ok && c.p < c.end && *c.p == ' ')
        ++c.p;
    else
        Fail(c);
}

uint64_t Number(Cursor& c, uint64_t max)
{
    Blank(c);
    uint64_t n = 0;
    const char* start = c.p;
    while (c.ok && c.p < c.end && *c.p >= '0' && *c.p <= '9') {
        const uint64_t digit = static_cast<uint64_t>(*c.p++ - '0');
        if (digit > max || n > (max - digit) / 10)
            Fail(c);
        n = n * 10 + digit;
    }
    if (c.p == start)
        Fail(c);
    return c.ok ? n : 0;
}

int HexValue(char h)
{
    const char* at = h ? std::strchr(HexDigits, h) : nullptr;
    return at ? static_cast<int>(at - HexDigits) : -1;
}

void Text(Cursor& c, char* out, size_t capacity)
{
    Blank(c);
    size_t n = 0;
    if (!c.ok || c.p == c.end || *c.p++ != '"')
        Fail(c);
    while (c.ok && c.p < c.end && *c.p != '"' && n + 1 < capacity) {
        char byte = *c.p++;
        if (byte == '%' && c.end - c.p >= 2) {
            const int high = HexValue(c.p[0]), low = HexValue(c.p[1]);
            byte = static_cast<char>(high * 16 + low);
            if (high < 0 || low < 0 || byte == '\0')
                Fail(c);
            c.p += 2;
        } else if (Escaped(byte)) {
            Fail(c);
        }
        out[n++] = byte;
    }
    if (c.p == c.end || *c.p++ != '"')
        Fail(c);
    out[n] = '\0';
}

struct Reader {
    MonitorState* state;
    int version;
    bool sawCheck;
    bool sawOutcome;
    KnownDrive* current;  // where the attribute lines go
    KnownDrive dropped;   // a drive line repeated: read, then forgotten
};

bool ReadCheck(Reader& r, Cursor& c)
{
    r.state->checkCount = static_cast<uint32_t>(Number(c, UINT32_MAX));
    const bool first = !r.sawCheck;
    r.sawCheck = true;
    return first;
}

bool ReadOutcome(Reader& r, Cursor& c)
{
    Text(c, r.state->lastOutcome, sizeof r.state->lastOutcome);
    const bool first = !r.sawOutcome;
    r.sawOutcome = true;
    return first;
}

bool SameIdentity(const KnownDrive& a, const KnownDrive& b)
{
    return std::strcmp(a.model, b.model) == 0 && std::strcmp(a.serial, b.serial) == 0;
}

// Reads into the place after the known drives, which it takes only when the
// drive is not known yet.
bool ReadDrive(Reader& r, Cursor& c)
{
    MonitorState& s = *r.state;
    KnownDrive& d = r.dropped;
    std::memset(&d, 0, sizeof d);
    d.lastSeen = static_cast<uint32_t>(Number(c, UINT32_MAX));
    d.lastPosition = static_cast<int32_t>(Number(c, DriveCount - 1));
    d.firstSightPending = static_cast<uint8_t>(Number(c, 1));
    d.vanishedReported = static_cast<uint8_t>(Number(c, 1));
    Text(c, d.model, sizeof d.model);
    Text(c, d.serial, sizeof d.serial);
    Text(c, d.firmware, sizeof d.firmware);
    d.model[ModelMax] = d.serial[SerialMax] = d.firmware[FirmwareMax] = '\0';
    r.current = &d;
    for (int k = 0; k < s.driveCount; ++k) {
        if (SameIdentity(s.drives[k], d))
            return true;
    }
    if (s.driveCount == MonitorDriveMax)
        return false;
    r.current = &s.drives[s.driveCount++];
    *r.current = d;
    return true;
}

// An attribute of the drive above: a new ID, and a free place for it.
bool ReadAttribute(Reader& r, Cursor& c)
{
    if (!r.current)
        return false;
    KnownDrive& d = *r.current;
    const uint8_t id = static_cast<uint8_t>(Number(c, 255));
    const uint8_t value = static_cast<uint8_t>(Number(c, 255));
    const uint64_t raw = Number(c, RawMax);
    int16_t threshold = -1;
    if (r.version > 1 && c.ok && c.end - c.p == 2 && c.p[0] == ' ' && c.p[1] == '-')
        c.p += 2;
    else if (r.version > 1)
        threshold = static_cast<int16_t>(Number(c, 255));
    if (d.nvme.inUse)
        return false;
    AttributeReference* place = nullptr;
    for (AttributeReference& ref : d.references) {
        if (ref.id == id)
            return false;
        if (!place && ref.id == 0)
            place = &ref;
    }
    if (!place || id == 0)
        return false;
    *place = {id, value, threshold, raw};
    return true;
}

// The references of the NVMe drive above, once, and never beside attributes.
bool ReadNvme(Reader& r, Cursor& c)
{
    if (!r.current || r.version < 2 || r.current->nvme.inUse || r.current->references[0].id != 0)
        return false;
    NvmeReference& n = r.current->nvme;
    n.inUse = 1;
    n.warningBits = static_cast<uint8_t>(Number(c, 255));
    n.spare = static_cast<uint8_t>(Number(c, 255));
    n.spareThreshold = static_cast<uint8_t>(Number(c, 255));
    n.wearStep = static_cast<uint8_t>(Number(c, NvmeWearEnd));
    n.mediaErrors = Number(c, UINT64_MAX);
    return n.wearStep == 0 || n.wearStep == NvmeWearWarning || n.wearStep == NvmeWearEnd;
}

// A condition shown to the person, once per kind and item.
bool ReadShown(Reader& r, Cursor& c)
{
    if (!r.current || r.version < 2 || r.current->shownCount == ShownMax)
        return false;
    KnownDrive& d = *r.current;
    const ShownMark m = {static_cast<uint8_t>(Number(c, ConditionKindCount - 1)), static_cast<uint8_t>(Number(c, 255)),
                         Number(c, UINT64_MAX)};
    for (int32_t i = 0; i < d.shownCount; ++i) {
        if (d.shown[i].kind == m.kind && d.shown[i].item == m.item)
            return false;
    }
    d.shown[d.shownCount++] = m;
    return true;
}

struct LineKind {
    const char* word;
    bool (*read)(Reader& r, Cursor& c);
};

const LineKind LineKinds[] = {
    {"check", ReadCheck},
    {"outcome", ReadOutcome},
    {"drive", ReadDrive},
    {"attribute", ReadAttribute},
    {"nvme", ReadNvme},
    {"shown", ReadShown},
};

bool ReadLine(Reader& r, const char* line, const char* end)
{
    for (const LineKind& kind : LineKinds) {
        const size_t n = std::strlen(kind.word);
        if (static_cast<size_t>(end - line) < n || std::memcmp(line, kind.word, n) != 0)
            continue;
        Cursor c{line + n, end, true};
        return kind.read(r, c) && c.ok && c.p == end;
    }
    return false;
}

// The next line of the text, without its LF and a CR before it. False at the
// end, and for a last line that has no LF (a file cut short).
bool NextLine(const char** p, const char* end, const char** line, const char** lineEnd)
{
    const char* lf = *p < end ? static_cast<const char*>(std::memchr(*p, '\n', end - *p)) : nullptr;
    if (!lf)
        return false;
    *line = *p;
    *lineEnd = (lf > *p && lf[-1] == '\r') ? lf - 1 : lf;
    *p = lf + 1;
    return true;
}

bool ReadAll(const char* text, size_t length, MonitorState* state)
{
    if (length > MonitorStateFileMax)
        return false;
    const char* p = text;
    const char* end = text + length;
    const char *line, *lineEnd;
    if (!NextLine(&p, end, &line, &lineEnd))
        return false;
    const std::string_view first(line, static_cast<size_t>(lineEnd - line));
    if (first != VersionLine && first != VersionOneLine)
        return false;
    static Reader reader;
    reader = {state, first == VersionLine ? 2 : 1, false, false, nullptr, {}};
    while (NextLine(&p, end, &line, &lineEnd)) {
        if (line != lineEnd && !ReadLine(reader, line, lineEnd))
            return false;
    }
    return p == end;
}

}  // namespace

size_t FormatMonitorState(const MonitorState& state, char* out, size_t capacity)
{
    TextBuffer text = MakeTextBuffer(out, capacity);
    AppendFormat(&text, "%s\r\ncheck %lu\r\noutcome", VersionLine, static_cast<unsigned long>(state.checkCount));
    AppendQuoted(&text, state.lastOutcome, sizeof state.lastOutcome);
    AppendText(&text, "\r\n");
    for (int k = 0; k < state.driveCount && k < MonitorDriveMax; ++k) {
        const KnownDrive& d = state.drives[k];
        AppendFormat(&text, "drive %lu %d %d %d", static_cast<unsigned long>(d.lastSeen),
                     static_cast<int>(d.lastPosition), d.firstSightPending, d.vanishedReported);
        AppendQuoted(&text, d.model, ModelMax);
        AppendQuoted(&text, d.serial, SerialMax);
        AppendQuoted(&text, d.firmware, FirmwareMax);
        AppendText(&text, "\r\n");
        for (const AttributeReference& ref : d.references) {
            if (ref.id == 0)
                continue;
            AppendFormat(&text, "attribute %d %d %llu ", ref.id, ref.value, static_cast<unsigned long long>(ref.raw));
            AppendFormat(&text, ref.threshold < 0 ? "-\r\n" : "%d\r\n", ref.threshold);
        }
        const NvmeReference& n = d.nvme;
        if (n.inUse)
            AppendFormat(&text, "nvme %d %d %d %d %llu\r\n", n.warningBits, n.spare, n.spareThreshold, n.wearStep,
                         static_cast<unsigned long long>(n.mediaErrors));
        for (int32_t i = 0; i < d.shownCount && i < ShownMax; ++i)
            AppendFormat(&text, "shown %d %d %llu\r\n", d.shown[i].kind, d.shown[i].item,
                         static_cast<unsigned long long>(d.shown[i].measure));
    }
    return text.overflow ? 0 : text.length;
}

bool ParseMonitorState(const char* text, size_t length, MonitorState* state)
{
    std::memset(state, 0, sizeof *state);
    if (ReadAll(text, length, state))
        return true;
    std::memset(state, 0, sizeof *state);
    return false;
}
