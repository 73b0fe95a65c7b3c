#include "drive_folder.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "snapshot.h"

namespace fs = std::filesystem;

namespace {

std::string Slot(int driveIndex, const char* suffix)
{
    return "drive" + std::to_string(driveIndex) + suffix;
}

std::string AtaText(const uint8_t* sector, int offset, int length)
{
    std::string text;
    for (int i = 0; i < length; ++i) {
        char c = static_cast<char>(sector[offset + (i ^ 1)]);
        if (c == '\0')
            break;
        text += c;
    }
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

unsigned Word(const uint8_t* sector, int word)
{
    return sector[2 * word] | sector[2 * word + 1] << 8;
}

// Read-only files too: a test that stopped before putting a file's
// attributes back must not leave the folder to a later process of its number.
void RemoveFolder(const std::string& path)
{
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(path, ignored))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path, ignored);
}

}  // namespace

TempFolder::TempFolder(const char* tag)
{
    static int serial;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "ostrivel-" + tag + "-" + std::to_string(GetCurrentProcessId()) +
            "-" + std::to_string(++serial);
    RemoveFolder(path_);
    fs::create_directories(path_);
}

TempFolder::~TempFolder()
{
    RemoveFolder(path_);
}

// The copy keeps the source's attributes, and a read-only sample would make
// the folder outlive the test: a later test whose process gets the same
// number would then find its drives.
void DriveFolder::Put(int driveIndex, const std::string& blob) const
{
    const std::string copy = File(Slot(driveIndex, ".blob"));
    CopyFileA(blob.c_str(), copy.c_str(), FALSE);
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void DriveFolder::Fail(int driveIndex, const char* operations) const
{
    WriteWholeFile(File(Slot(driveIndex, ".fail")), operations, strlen(operations));
}

void DriveFolder::PutDemoDrives(bool allAta) const
{
    for (int d = 0; d < 4; ++d) {
        Put(d, DemoBlob(d, allAta));
        if (FileExists(DemoFailFile(d, allAta)))
            CopyFileA(DemoFailFile(d, allAta).c_str(), File(Slot(d, ".fail")).c_str(), FALSE);
    }
}

void DriveFolder::SetAttribute(int driveIndex, int id, int value, uint64_t raw) const
{
    const std::string blob = File(Slot(driveIndex, ".blob"));
    std::vector<uint8_t> data;
    Snapshot snapshot;
    if (!ReadWholeFile(blob, &data) || ParseSnapshot(data.data(), data.size(), &snapshot) != SnapshotError::None)
        return;
    auto* values = const_cast<uint8_t*>(SnapshotSector(snapshot, SnapshotSection::Attributes));
    for (int k = 0; values && k < 30; ++k) {
        uint8_t* entry = values + 2 + 12 * k;
        if (entry[0] != id)
            continue;
        entry[3] = static_cast<uint8_t>(value);
        for (int b = 0; b < 6; ++b)
            entry[5 + b] = static_cast<uint8_t>(raw >> 8 * b);
    }
    if (values) {  // the sector's checksum stays right
        uint8_t sum = 0;
        for (int i = 0; i < 511; ++i)
            sum = static_cast<uint8_t>(sum + values[i]);
        values[511] = static_cast<uint8_t>(-sum);
    }
    WriteWholeFile(blob, data.data(), data.size());
}

void DriveFolder::SetHealthByte(int driveIndex, int offset, uint8_t value) const
{
    const std::string blob = File(Slot(driveIndex, ".blob"));
    std::vector<uint8_t> data;
    Snapshot snapshot;
    if (!ReadWholeFile(blob, &data) || ParseSnapshot(data.data(), data.size(), &snapshot) != SnapshotError::None)
        return;
    if (auto* log = const_cast<uint8_t*>(SnapshotSector(snapshot, SnapshotSection::NvmeHealth))) {
        log[offset] = value;
        WriteWholeFile(blob, data.data(), data.size());
    }
}

static std::string DemoFile(int driveIndex, bool allAta, const char* extension)
{
    return std::string(OSTRIVEL_DEMO_DRIVES) + (allAta ? "-ata/" : "/") + Slot(driveIndex, extension);
}

std::string DemoBlob(int driveIndex, bool allAta) { return DemoFile(driveIndex, allAta, ".blob"); }
std::string DemoFailFile(int driveIndex, bool allAta) { return DemoFile(driveIndex, allAta, ".fail"); }

std::string SampleBlob(const char* name)
{
    std::string path = std::string(OSTRIVEL_SAMPLES_DIR) + "/" + name;
    return FileExists(path) ? path : "";
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteWholeFile(const fs::path& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool FileExists(const fs::path& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DriveFacts ReadDriveFacts(const std::string& blob)
{
    DriveFacts facts;
    std::vector<uint8_t> data;
    Snapshot snapshot;
    if (!ReadWholeFile(blob, &data) ||
        ParseSnapshot(data.data(), data.size(), &snapshot) != SnapshotError::None)
        return facts;
    if (const uint8_t* id = SnapshotSector(snapshot, SnapshotSection::Identify)) {
        facts.model = AtaText(id, 54, 40);
        facts.serial = AtaText(id, 20, 20);
        facts.firmware = AtaText(id, 46, 8);
        facts.cylinders = Word(id, 1);
        facts.heads = Word(id, 3);
        facts.sectorsPerTrack = Word(id, 6);
        facts.totalSectors = Word(id, 60) | static_cast<uint32_t>(Word(id, 61)) << 16;
    }
    if (const uint8_t* ct = SnapshotSector(snapshot, SnapshotSection::NvmeController)) {
        auto text = [ct](int offset, int length) {
            std::string t(reinterpret_cast<const char*>(ct) + offset, length);
            return t.substr(0, t.find_last_not_of(' ') + 1);
        };
        facts.nvme = true;
        facts.model = text(24, 40);
        facts.serial = text(4, 20);
        facts.firmware = text(64, 8);
        // The attribute page numbers the health log's fields 1 to 15.
        for (int id = 1; id <= 15; ++id)
            facts.attributes.push_back({id, -1, -1});
    }
    if (const uint8_t* log = SnapshotSector(snapshot, SnapshotSection::NvmeHealth))
        facts.nvmeAlert = (log[0] & ~2) != 0 || log[3] < log[4];
    const uint8_t* values = SnapshotSector(snapshot, SnapshotSection::Attributes);
    const uint8_t* limits = SnapshotSector(snapshot, SnapshotSection::Thresholds);
    for (int k = 0; values && k < 30; ++k) {
        const uint8_t* entry = values + 2 + 12 * k;
        if (entry[0] != 0)
            facts.attributes.push_back({entry[0], entry[3], limits ? limits[2 + 12 * k + 1] : 0});
    }
    return facts;
}

const char* EnabledStatus(const DriveFacts& facts)
{
    if (facts.nvme)
        return facts.nvmeAlert ? "Alert" : "Ok";
    for (const AttributeFact& a : facts.attributes) {
        if (a.value <= a.threshold)
            return "Alert";
    }
    return "Ok";
}
