// A scripted stand-in for the system services of the drive scan: four drive
// positions whose every step can be made to fail, a file system of known
// paths, and a log of what the code under test asked for.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "smart_os.h"

struct FakePosition {
    uint32_t openError = 0;  // nonzero: the open fails with this code
    bool versionWorks = true;
    uint8_t deviceMap = 0x0F;
    bool enableWorks = true;
    bool identifyWorks = true;
    bool attributesWork = true;
    bool thresholdsWork = true;
    uint8_t identify[512] = {};
    uint8_t attributes[512] = {};
    uint8_t thresholds[512] = {};
};

struct FakeRequest {
    DeviceHandle device;
    uint32_t controlCode;
    bool hasInput;
    std::vector<uint8_t> input;  // the inputLength bytes sent
    uint32_t inputLength;
    void* output;
    uint32_t outputLength;
    bool hasByteCount;
};

struct FakeOpen {
    std::string name;
    uint32_t access, shareMode, creation;
};

struct FakeBox {
    std::string text, caption;
    uint32_t type;
};

struct FakeSystem {
    uint32_t platform = 2;
    FakePosition positions[4];
    std::map<uint32_t, std::string> systemTexts;  // codes without an entry have no text
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
    bool systemDirectoryFails = false;
    std::set<std::string> existingPaths;
    bool copyWorks = true;
    uint32_t copyError = 5;
    LocalTime now = {2024, 3, 5, 14, 9, 26, 53, 120};
    uint32_t majorVersion = 10;

    // What happened.
    std::vector<std::string> calls;  // service names in call order
    std::vector<FakeOpen> opens;
    std::vector<FakeRequest> requests;
    std::vector<FakeBox> boxes;
    std::vector<std::pair<std::string, std::string>> copies;
    std::vector<std::string> pathsLookedUp;
    uint32_t lastError = 0;
    int openDevices = 0;
    int textsOutstanding = 0;
};

// The fake's state; Reset starts a fresh one with the defaults above.
FakeSystem& Fake();
void ResetFake();

// The services record backed by Fake(). Handles: 9x gives one device for all
// positions (drive chosen by bDriveNumber), NT one per position.
const SmartOs& FakeSmartOs();

// Handle value the fake gives for a position (NT) or for SMARTVSD (-1).
DeviceHandle FakeHandle(int position);

// An IDENTIFY sector with the given model, serial and firmware (ATA byte
// order) and total sector count.
void FillIdentify(uint8_t* sector, const char* model, const char* serial, const char* firmware,
                  uint32_t totalSectors);
// Puts attribute entry k (ID and current value) and threshold entry k, and
// sets both sectors' checksums.
void PutAttribute(uint8_t* attributes, uint8_t* thresholds, int k, uint8_t id, uint8_t value,
                  uint8_t threshold);
