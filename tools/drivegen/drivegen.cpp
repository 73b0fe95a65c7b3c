// drivegen: writes the demo drives, snapshot files that the emulated SMART
// driver serves, from a readable description.
//
//   drivegen <drives.txt> <output folder>
//
// For every described position N (0 to 3) it writes driveN.blob with the
// sections IDFY (IDENTIFY DEVICE), SMDT (SMART READ DATA) and SMTH (SMART READ
// THRESHOLDS), each 512 bytes laid out as an ATA drive returns them, checksums
// included, or for an NVMe drive NVCT, NVNS and NVHL (Identify Controller,
// Identify Namespace 1, SMART / Health log); and driveN.fail with the operations that fail for that position
// when the description lists any. Files of positions that are not described,
// or no longer fail, are removed so a changed description leaves no stale
// drive behind. The description format is explained in res/demo/drives.txt.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum { Positions = 4, SectorBytes = 512, MaxAttributes = 30, EntryBytes = 12 };

// The largest capacity that IDENTIFY words 60-61 hold (28-bit addressing).
const uint32_t MaxLbaSectors = 0x0FFFFFFF;

// Operations of the emulated driver that a driveN.fail line can name.
const char* const FailOperations[] = {"open",  "version", "enable", "identify", "attributes", "thresholds",
                                      "query", "health",  "nvmeid", "admin"};

enum { NvmeCounters = 10 };

struct AttributeLine {
    unsigned id, flags, value, worst, threshold;
    uint64_t raw;
};

struct DriveDescription {
    bool described = false;
    std::string model, serial, firmware;
    unsigned cylinders = 0, heads = 0, sectorsPerTrack = 0;
    uint32_t totalSectors = 0;
    std::vector<std::string> failures;
    std::vector<AttributeLine> attributes;
    // NVMe drives: VER, namespace blocks and block-size exponent, the two
    // temperature limits, the first five health fields and the counters.
    bool nvme = false;
    uint32_t version = 0;
    uint64_t blocks = 0, exponent = 9;
    uint64_t limits[2] = {};
    uint64_t health[5] = {};
    unsigned __int128 counters[NvmeCounters] = {};
};

struct Parser {
    std::string path;
    int lineNumber = 0;
    DriveDescription drives[Positions];
    DriveDescription* current = nullptr;
    bool ok = true;

    void Error(const std::string& what)
    {
        std::fprintf(stderr, "drivegen: %s:%d: %s\n", path.c_str(), lineNumber, what.c_str());
        ok = false;
    }
};

// ---- Reading the description ----------------------------------------------

std::string Trimmed(const std::string& s)
{
    size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Reads count unsigned numbers (decimal, or hexadecimal with 0x) in [0, max].
bool ReadNumbers(Parser& p, std::istringstream& in, uint64_t* out, int count, const uint64_t* max)
{
    for (int i = 0; i < count; ++i) {
        std::string word;
        if (!(in >> word)) {
            p.Error("expected " + std::to_string(count) + " numbers");
            return false;
        }
        char* end = nullptr;
        errno = 0;
        unsigned long long v = std::strtoull(word.c_str(), &end, 0);
        if (word[0] == '-' || *end != '\0' || errno != 0 || v > max[i]) {
            p.Error("bad or out-of-range number '" + word + "'");
            return false;
        }
        out[i] = v;
    }
    std::string extra;
    if (in >> extra) {
        p.Error("unexpected '" + extra + "' at the end of the line");
        return false;
    }
    return true;
}

bool NeedDrive(Parser& p)
{
    if (!p.current)
        p.Error("a 'drive' line must come first");
    return p.current != nullptr;
}

void ReadText(Parser& p, const std::string& rest, std::string* field, size_t limit, const char* name)
{
    if (rest.empty() || rest.size() > limit)
        p.Error(std::string(name) + " must have 1 to " + std::to_string(limit) + " characters");
    *field = rest;
}

void ReadDrive(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t position;
    const uint64_t max[] = {Positions - 1};
    if (!ReadNumbers(p, in, &position, 1, max))
        return;
    p.current = &p.drives[position];
    if (p.current->described)
        p.Error("position " + std::to_string(position) + " is described twice");
    p.current->described = true;
}

void ReadModel(Parser& p, const std::string& rest) { ReadText(p, rest, &p.current->model, 40, "model"); }
void ReadSerial(Parser& p, const std::string& rest) { ReadText(p, rest, &p.current->serial, 20, "serial"); }
void ReadFirmware(Parser& p, const std::string& rest) { ReadText(p, rest, &p.current->firmware, 8, "firmware"); }

void ReadGeometry(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t v[3];
    const uint64_t max[] = {0xFFFF, 0xFFFF, 0xFFFF};
    if (ReadNumbers(p, in, v, 3, max)) {
        p.current->cylinders = static_cast<unsigned>(v[0]);
        p.current->heads = static_cast<unsigned>(v[1]);
        p.current->sectorsPerTrack = static_cast<unsigned>(v[2]);
    }
}

void ReadSectors(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t v;
    const uint64_t max[] = {MaxLbaSectors};
    if (ReadNumbers(p, in, &v, 1, max))
        p.current->totalSectors = static_cast<uint32_t>(v);
}

bool IsFailOperation(const std::string& word)
{
    for (const char* op : FailOperations) {
        if (word == op)
            return true;
    }
    return false;
}

void ReadFail(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    std::string word;
    bool any = false;
    while (in >> word) {
        any = true;
        if (!IsFailOperation(word))
            p.Error("unknown operation '" + word + "'");
        p.current->failures.push_back(word);
    }
    if (!any)
        p.Error("'fail' needs at least one operation");
}

void ReadAttribute(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t v[6];
    const uint64_t max[] = {255, 0xFFFF, 255, 255, 255, 0xFFFFFFFFFFFFull};
    if (!ReadNumbers(p, in, v, 6, max))
        return;
    if (v[0] == 0)
        p.Error("attribute ID 0 marks an unused entry");
    if (p.current->attributes.size() == MaxAttributes)
        p.Error("a drive has at most 30 attributes");
    p.current->attributes.push_back({static_cast<unsigned>(v[0]), static_cast<unsigned>(v[1]),
                                     static_cast<unsigned>(v[2]), static_cast<unsigned>(v[3]),
                                     static_cast<unsigned>(v[4]), v[5]});
}

void ReadNvme(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t v[3];
    const uint64_t max[] = {0xFFFF, 0xFF, 0xFF};
    if (ReadNumbers(p, in, v, 3, max))
        p.current->version = static_cast<uint32_t>(v[0] << 16 | v[1] << 8 | v[2]);
    p.current->nvme = true;
}

void ReadNamespace(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    uint64_t v[2];
    const uint64_t max[] = {~0ull, 31};
    if (ReadNumbers(p, in, v, 2, max)) {
        p.current->blocks = v[0];
        p.current->exponent = v[1];
    }
}

void ReadLimits(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    const uint64_t max[] = {0xFFFF, 0xFFFF};
    ReadNumbers(p, in, p.current->limits, 2, max);
}

void ReadHealth(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    const uint64_t max[] = {0xFF, 0xFFFF, 0xFF, 0xFF, 0xFF};
    ReadNumbers(p, in, p.current->health, 5, max);
}

// Ten decimal counters of up to 128 bits.
void ReadCounters(Parser& p, const std::string& rest)
{
    std::istringstream in(rest);
    std::string word;
    int n = 0;
    while (in >> word) {
        unsigned __int128 v = 0;
        for (char c : word) {
            const unsigned __int128 next = v * 10 + static_cast<unsigned>(c - '0');
            if (c < '0' || c > '9' || next / 10 != v) {
                p.Error("bad counter '" + word + "'");
                return;
            }
            v = next;
        }
        if (n == NvmeCounters) {
            p.Error("an NVMe drive has 10 counters");
            return;
        }
        p.current->counters[n++] = v;
    }
    if (n != NvmeCounters)
        p.Error("an NVMe drive has 10 counters");
}

struct Keyword {
    const char* word;
    void (*read)(Parser&, const std::string&);
    bool needsDrive;
};

const Keyword Keywords[] = {
    {"drive", ReadDrive, false},       {"model", ReadModel, true},   {"serial", ReadSerial, true},
    {"firmware", ReadFirmware, true},  {"geometry", ReadGeometry, true},
    {"sectors", ReadSectors, true},    {"fail", ReadFail, true},     {"attr", ReadAttribute, true},
    {"nvme", ReadNvme, true},          {"namespace", ReadNamespace, true}, {"limits", ReadLimits, true},
    {"health", ReadHealth, true},      {"counters", ReadCounters, true},
};

void ReadLine(Parser& p, const std::string& raw)
{
    std::string line = Trimmed(raw);
    if (line.empty() || line[0] == '#')
        return;
    size_t space = line.find_first_of(" \t");
    std::string word = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : Trimmed(line.substr(space));
    for (const Keyword& k : Keywords) {
        if (word == k.word) {
            if (!k.needsDrive || NeedDrive(p))
                k.read(p, rest);
            return;
        }
    }
    p.Error("unknown keyword '" + word + "'");
}

void CheckComplete(Parser& p)
{
    for (int i = 0; i < Positions; ++i) {
        const DriveDescription& d = p.drives[i];
        if (d.described && (d.model.empty() || d.serial.empty() || d.firmware.empty()))
            p.Error("drive " + std::to_string(i) + " needs a model, a serial and a firmware line");
    }
}

// ---- Building the sectors -------------------------------------------------

typedef uint8_t Sector[SectorBytes];

void PutWord(Sector s, int word, unsigned value)
{
    s[2 * word] = value & 0xFF;
    s[2 * word + 1] = (value >> 8) & 0xFF;
}

// ATA text: blank-padded, two characters per word, the first in the high byte.
void PutAtaText(Sector s, int firstWord, int words, const std::string& text, bool rightAligned)
{
    std::string padded(2 * words, ' ');
    size_t at = rightAligned ? padded.size() - text.size() : 0;
    padded.replace(at, text.size(), text);
    for (int i = 0; i < words; ++i)
        PutWord(s, firstWord + i, static_cast<uint8_t>(padded[2 * i]) << 8 | static_cast<uint8_t>(padded[2 * i + 1]));
}

uint8_t SumOfBytes(const Sector s, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += s[i];
    return sum & 0xFF;
}

// The last byte makes all 512 bytes add up to 0 modulo 256.
void PutChecksum(Sector s)
{
    s[SectorBytes - 1] = static_cast<uint8_t>(0x100 - SumOfBytes(s, SectorBytes - 1));
}

bool Fails(const DriveDescription& d, const char* op)
{
    for (const std::string& f : d.failures) {
        if (f == op)
            return true;
    }
    return false;
}

// An ATA/ATAPI-6 fixed disk with 28-bit addressing. The serial is right-
// aligned, as many drives send it.
void BuildIdentify(const DriveDescription& d, Sector s)
{
    std::memset(s, 0, SectorBytes);
    uint32_t chsSectors = d.cylinders * d.heads * d.sectorsPerTrack;
    bool smartOn = !Fails(d, "enable");
    PutWord(s, 0, 0x0040);  // fixed device
    PutWord(s, 1, d.cylinders);
    PutWord(s, 3, d.heads);
    PutWord(s, 6, d.sectorsPerTrack);
    PutAtaText(s, 10, 10, d.serial, true);
    PutAtaText(s, 23, 4, d.firmware, false);
    PutAtaText(s, 27, 20, d.model, false);
    PutWord(s, 47, 0x8010);  // READ/WRITE MULTIPLE: up to 16 sectors
    PutWord(s, 49, 0x2F00);  // LBA, DMA, IORDY, standby timer
    PutWord(s, 53, 0x0007);  // words 54-58, 64-70 and 88 are valid
    PutWord(s, 54, d.cylinders);
    PutWord(s, 55, d.heads);
    PutWord(s, 56, d.sectorsPerTrack);
    PutWord(s, 57, chsSectors & 0xFFFF);
    PutWord(s, 58, chsSectors >> 16);
    PutWord(s, 59, 0x0110);  // multiple sector setting 16
    PutWord(s, 60, d.totalSectors & 0xFFFF);
    PutWord(s, 61, d.totalSectors >> 16);
    PutWord(s, 63, 0x0007);  // multiword DMA 0-2
    PutWord(s, 64, 0x0003);  // PIO 3-4
    PutWord(s, 65, 120);
    PutWord(s, 66, 120);
    PutWord(s, 67, 240);
    PutWord(s, 68, 120);
    PutWord(s, 80, 0x007E);  // ATA-1 to ATA-6
    PutWord(s, 82, 0x346B);  // SMART, security, power management, ...
    PutWord(s, 83, 0x4000);
    PutWord(s, 84, 0x4000);
    PutWord(s, 85, 0x3468 | (smartOn ? 0x0001 : 0));  // bit 0: SMART enabled
    PutWord(s, 86, 0x0000);
    PutWord(s, 87, 0x4000);
    PutWord(s, 88, 0x203F);  // Ultra DMA 0-5, mode 5 selected
    s[510] = 0xA5;           // integrity word signature, checksum in byte 511
    PutChecksum(s);
}

void PutRevision(Sector s) { PutWord(s, 0, 0x0010); }

void BuildSmartData(const DriveDescription& d, Sector s)
{
    std::memset(s, 0, SectorBytes);
    PutRevision(s);
    for (size_t k = 0; k < d.attributes.size(); ++k) {
        const AttributeLine& a = d.attributes[k];
        uint8_t* e = s + 2 + EntryBytes * k;
        e[0] = static_cast<uint8_t>(a.id);
        e[1] = a.flags & 0xFF;
        e[2] = (a.flags >> 8) & 0xFF;
        e[3] = static_cast<uint8_t>(a.value);
        e[4] = static_cast<uint8_t>(a.worst);
        for (int b = 0; b < 6; ++b)
            e[5 + b] = (a.raw >> (8 * b)) & 0xFF;
    }
    s[362] = 0x82;  // off-line collection completed, automatic collection on
    s[363] = 0x00;  // last self-test completed without error
    s[364] = 0x58;  // off-line collection takes 600 seconds
    s[365] = 0x02;
    s[367] = 0x5B;  // off-line collection capabilities
    s[368] = 0x03;  // saves attributes on power-down and after a timer
    s[370] = 0x01;  // keeps an error log
    s[372] = 2;     // short self-test: 2 minutes
    s[373] = 45;    // extended self-test: 45 minutes
    PutChecksum(s);
}

void BuildThresholds(const DriveDescription& d, Sector s)
{
    std::memset(s, 0, SectorBytes);
    PutRevision(s);
    for (size_t k = 0; k < d.attributes.size(); ++k) {
        uint8_t* e = s + 2 + EntryBytes * k;
        e[0] = static_cast<uint8_t>(d.attributes[k].id);
        e[1] = static_cast<uint8_t>(d.attributes[k].threshold);
    }
    PutChecksum(s);
}

// ---- Building the NVMe structures --------------------------------------------

void PutLittle(std::vector<uint8_t>& s, size_t at, unsigned __int128 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// NVMe texts are ASCII, blank-padded, in reading order.
void PutNvmeText(std::vector<uint8_t>& s, size_t at, size_t length, const std::string& text)
{
    std::string padded = text + std::string(length - text.size(), ' ');
    std::memcpy(s.data() + at, padded.data(), length);
}

std::vector<uint8_t> BuildNvmeController(const DriveDescription& d)
{
    std::vector<uint8_t> s(4096, 0);
    PutLittle(s, 0, 0x144D, 2);  // PCI vendor
    PutNvmeText(s, 4, 20, d.serial);
    PutNvmeText(s, 24, 40, d.model);
    PutNvmeText(s, 64, 8, d.firmware);
    PutLittle(s, 80, d.version, 4);
    PutLittle(s, 266, d.limits[0], 2);
    PutLittle(s, 268, d.limits[1], 2);
    PutLittle(s, 280, static_cast<unsigned __int128>(d.blocks) << d.exponent, 16);  // TNVMCAP
    PutLittle(s, 516, 1, 4);  // one namespace
    return s;
}

std::vector<uint8_t> BuildNvmeNamespace(const DriveDescription& d)
{
    std::vector<uint8_t> s(4096, 0);
    for (int field = 0; field < 3; ++field)  // NSZE, NCAP, NUSE
        PutLittle(s, 8 * field, d.blocks, 8);
    s[128 + 2] = static_cast<uint8_t>(d.exponent);  // one format, in use
    return s;
}

std::vector<uint8_t> BuildNvmeHealth(const DriveDescription& d)
{
    std::vector<uint8_t> s(512, 0);
    s[0] = static_cast<uint8_t>(d.health[0]);
    PutLittle(s, 1, d.health[1], 2);
    for (int i = 2; i < 5; ++i)
        s[i + 1] = static_cast<uint8_t>(d.health[i]);
    for (int i = 0; i < NvmeCounters; ++i)
        PutLittle(s, 32 + 16 * i, d.counters[i], 16);
    PutLittle(s, 200, d.health[1], 2);  // sensor 1 reads the composite temperature
    return s;
}

// ---- Writing the files ------------------------------------------------------

void PutSection(std::vector<uint8_t>& out, const char* tag, const uint8_t* data, size_t length = SectorBytes)
{
    out.insert(out.end(), tag, tag + 4);
    for (int shift = 24; shift >= 0; shift -= 8)  // big-endian
        out.push_back(static_cast<uint8_t>(length >> shift));
    out.insert(out.end(), data, data + length);
}

bool WriteFile(const std::filesystem::path& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "drivegen: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

bool WriteDrive(const DriveDescription& d, const std::filesystem::path& folder, int position)
{
    std::string stem = "drive" + std::to_string(position);
    std::filesystem::path blob = folder / (stem + ".blob");
    std::filesystem::path fail = folder / (stem + ".fail");
    std::error_code ignored;
    if (!d.described) {
        std::filesystem::remove(blob, ignored);
        std::filesystem::remove(fail, ignored);
        return true;
    }
    std::vector<uint8_t> bytes;
    if (d.nvme) {
        const std::vector<uint8_t> parts[] = {BuildNvmeController(d), BuildNvmeNamespace(d), BuildNvmeHealth(d)};
        const char* const tags[] = {"NVCT", "NVNS", "NVHL"};
        for (int i = 0; i < 3; ++i)
            PutSection(bytes, tags[i], parts[i].data(), parts[i].size());
    } else {
        Sector identify, data, thresholds;
        BuildIdentify(d, identify);
        BuildSmartData(d, data);
        BuildThresholds(d, thresholds);
        PutSection(bytes, "IDFY", identify);
        PutSection(bytes, "SMDT", data);
        PutSection(bytes, "SMTH", thresholds);
    }
    if (!WriteFile(blob, bytes.data(), bytes.size()))
        return false;
    if (d.failures.empty()) {
        std::filesystem::remove(fail, ignored);
        return true;
    }
    std::string lines;
    for (const std::string& f : d.failures)
        lines += f + "\n";
    return WriteFile(fail, lines.data(), lines.size());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: drivegen <drives.txt> <output folder>\n");
        return 2;
    }
    Parser p;
    p.path = argv[1];
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "drivegen: cannot open %s\n", argv[1]);
        return 1;
    }
    std::string line;
    while (std::getline(in, line)) {
        ++p.lineNumber;
        ReadLine(p, line);
    }
    CheckComplete(p);
    if (!p.ok)
        return 1;
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    if (ec) {
        std::fprintf(stderr, "drivegen: cannot create %s\n", argv[2]);
        return 1;
    }
    for (int i = 0; i < Positions; ++i) {
        if (!WriteDrive(p.drives[i], argv[2], i))
            return 1;
    }
    return 0;
}
