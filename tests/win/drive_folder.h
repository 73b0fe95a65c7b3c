// Test folders of drive snapshots for the emulated SMART driver, and what a
// snapshot should show, read straight from its sectors.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temp folder, deleted with everything in it
// when the object goes.
class TempFolder {
public:
    explicit TempFolder(const char* tag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// The snapshot files of one emulated set of drives: driveN.blob and
// driveN.fail for N = 0..3.
class DriveFolder : public TempFolder {
public:
    DriveFolder() : TempFolder("drives") {}
    // Copies a snapshot file to position driveIndex.
    void Put(int driveIndex, const std::string& blob) const;
    // Lists operations that fail at that position (for example "enable").
    void Fail(int driveIndex, const char* operations) const;
    // Copies the generated demo drives, with their .fail files; allAta: the
    // set of four ATA drives instead.
    void PutDemoDrives(bool allAta = false) const;
    // Rewrites the entry of attribute `id` in the snapshot at that position:
    // the value and raw value that the drive reports from now on (the
    // sector's checksum is set to match).
    void SetAttribute(int driveIndex, int id, int value, uint64_t raw) const;
    // Rewrites one byte of the NVMe health log at that position.
    void SetHealthByte(int driveIndex, int offset, uint8_t value) const;
};

// The generated demo drive at a position, and a real drive sample by file name
// ("" when the shared samples are not on this machine).
std::string DemoBlob(int driveIndex, bool allAta = false);
std::string DemoFailFile(int driveIndex, bool allAta = false);
std::string SampleBlob(const char* name);

// Paths of any characters, the code page's or not.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>* bytes);
bool WriteWholeFile(const std::filesystem::path& path, const void* data, size_t size);
bool FileExists(const std::filesystem::path& path);

// One attribute entry in use, paired with its threshold by position.
struct AttributeFact {
    int id, value, threshold;
};

// What the sectors of a snapshot hold, decoded here independently of the
// program: ATA texts are byte-swapped and blank-trimmed. An NVMe snapshot
// gives its Identify Controller texts, the IDs of its 15 health rows (value
// and threshold -1: not compared) and whether its health log means "Alert".
struct DriveFacts {
    bool nvme = false, nvmeAlert = false;
    std::string model, serial, firmware;
    unsigned cylinders = 0, heads = 0, sectorsPerTrack = 0;
    uint32_t totalSectors = 0;
    std::vector<AttributeFact> attributes;
};
DriveFacts ReadDriveFacts(const std::string& blob);

// "Ok" or "Alert" for a drive with SMART enabled: Alert as soon as one
// attribute is at or below its threshold.
const char* EnabledStatus(const DriveFacts& facts);
