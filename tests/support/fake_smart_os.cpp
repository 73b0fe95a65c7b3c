#include "fake_smart_os.h"

#include <cstring>

namespace {

FakeSystem State;

constexpr uintptr_t HandleBase = 0x5100;
constexpr uintptr_t NineXHandle = 0x5900;

void Log(const char* name)
{
    State.calls.push_back(name);
}

uint32_t FakePlatformId()
{
    Log("platformId");
    return State.platform;
}

bool IsNtName(const std::string& name, int* position)
{
    const std::string prefix = "\\\\.\\PhysicalDrive";
    if (name.size() != prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    *position = name.back() - '0';
    return *position >= 0 && *position < 4;
}

DeviceHandle FakeCreateFile(const char* name, uint32_t access, uint32_t shareMode, uint32_t creation)
{
    Log("createFile");
    State.opens.push_back({name, access, shareMode, creation});
    const DeviceHandle invalid = reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1));
    int position = 0;
    if (std::string(name) == "\\\\.\\SMARTVSD") {
        if (State.positions[0].openError) {
            State.lastError = State.positions[0].openError;
            return invalid;
        }
        ++State.openDevices;
        return FakeHandle(-1);
    }
    if (!IsNtName(name, &position)) {
        State.lastError = 2;
        return invalid;
    }
    if (State.positions[position].openError) {
        State.lastError = State.positions[position].openError;
        return invalid;
    }
    ++State.openDevices;
    return FakeHandle(position);
}

// The position a request is for: the handle's on NT, bDriveNumber on 9x.
int RequestPosition(DeviceHandle device, const uint8_t* input, uint32_t inputLength)
{
    if (device == FakeHandle(-1))
        return input && inputLength > 12 ? input[12] & 3 : 0;
    return static_cast<int>(reinterpret_cast<uintptr_t>(device) - HandleBase) & 3;
}

int Answer(bool works, void* output, const uint8_t* sector)
{
    if (!works)
        return 0;
    if (sector)
        std::memcpy(static_cast<uint8_t*>(output) + 16, sector, 512);
    return 1;
}

int FakeDeviceIoControl(DeviceHandle device, uint32_t controlCode, void* input, uint32_t inputLength,
                        void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    Log("deviceIoControl");
    const uint8_t* in = static_cast<const uint8_t*>(input);
    FakeRequest request{device, controlCode, input != nullptr, {}, inputLength, output, outputLength,
                        bytesReturned != nullptr};
    if (in)
        request.input.assign(in, in + inputLength);
    State.requests.push_back(request);

    FakePosition& p = State.positions[RequestPosition(device, in, inputLength)];
    if (controlCode == 0x74080) {
        if (!p.versionWorks)
            return 0;
        static_cast<uint8_t*>(output)[3] = p.deviceMap;
        return 1;
    }
    const uint8_t features = in ? in[4] : 0;
    const uint8_t command = in ? in[10] : 0;
    if (command == 0xEC)
        return Answer(p.identifyWorks, output, p.identify);
    switch (features) {
    case 0xD8: return Answer(p.enableWorks, output, nullptr);
    case 0xD0: return Answer(p.attributesWork, output, p.attributes);
    case 0xD1: return Answer(p.thresholdsWork, output, p.thresholds);
    }
    return 0;
}

int FakeCloseHandle(DeviceHandle)
{
    Log("closeHandle");
    --State.openDevices;
    return 1;
}

uint32_t FakeGetLastError()
{
    Log("getLastError");
    return State.lastError;
}

void FakeSetLastError(uint32_t code)
{
    State.lastError = code;
}

char* FakeFormatSystemText(uint32_t code)
{
    Log("formatSystemText");
    auto found = State.systemTexts.find(code);
    if (found == State.systemTexts.end())
        return nullptr;
    ++State.textsOutstanding;
    char* text = new char[found->second.size() + 1];
    std::memcpy(text, found->second.c_str(), found->second.size() + 1);
    return text;
}

void FakeFreeSystemText(char* text)
{
    Log("freeSystemText");
    --State.textsOutstanding;
    delete[] text;
}

void FakeGetLocalTime(LocalTime* time)
{
    Log("getLocalTime");
    *time = State.now;
}

uint32_t FakeGetSystemDirectory(char* buffer, uint32_t size)
{
    Log("getSystemDirectory");
    const std::string& dir = State.systemDirectory;
    if (State.systemDirectoryFails)
        return 0;
    if (dir.size() >= size)
        return static_cast<uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<uint32_t>(dir.size());
}

int FakePathExists(const char* path)
{
    Log("pathExists");
    State.pathsLookedUp.push_back(path);
    return State.existingPaths.count(path) ? 1 : 0;
}

int FakeCopyFile(const char* source, const char* target, int failIfExists)
{
    Log(failIfExists ? "copyFile(failIfExists)" : "copyFile(overwrite)");
    State.copies.emplace_back(source, target);
    if (!State.copyWorks) {
        State.lastError = State.copyError;
        return 0;
    }
    State.existingPaths.insert(target);
    return 1;
}

int FakeMessageBox(const char* text, const char* caption, uint32_t type)
{
    Log("messageBox");
    State.boxes.push_back({text, caption, type});
    return 1;
}

uint32_t FakeMajorVersion()
{
    return State.majorVersion;
}

const SmartOs FakeServices = {
    FakePlatformId,       FakeCreateFile,     FakeDeviceIoControl,    FakeCloseHandle, FakeGetLastError,
    FakeSetLastError,     FakeFormatSystemText, FakeFreeSystemText,   FakeGetLocalTime, FakeGetSystemDirectory,
    FakePathExists,       FakeCopyFile,       FakeMessageBox,         FakeMajorVersion,
};

void PutAtaText(uint8_t* sector, size_t offset, size_t length, const char* text)
{
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < length; ++i)
        sector[offset + (i ^ 1)] = static_cast<uint8_t>(i < n ? text[i] : ' ');
}

}  // namespace

FakeSystem& Fake()
{
    return State;
}

void ResetFake()
{
    State = FakeSystem{};
}

const SmartOs& FakeSmartOs()
{
    return FakeServices;
}

DeviceHandle FakeHandle(int position)
{
    return reinterpret_cast<DeviceHandle>(position < 0 ? NineXHandle : HandleBase + position);
}

void FillIdentify(uint8_t* sector, const char* model, const char* serial, const char* firmware,
                  uint32_t totalSectors)
{
    std::memset(sector, 0, 512);
    PutAtaText(sector, 54, 40, model);
    PutAtaText(sector, 20, 20, serial);
    PutAtaText(sector, 46, 8, firmware);
    for (int i = 0; i < 4; ++i)
        sector[120 + i] = static_cast<uint8_t>(totalSectors >> (8 * i));
}

void PutAttribute(uint8_t* attributes, uint8_t* thresholds, int k, uint8_t id, uint8_t value,
                  uint8_t threshold)
{
    attributes[2 + 12 * k] = id;
    attributes[2 + 12 * k + 3] = value;
    thresholds[2 + 12 * k] = id;
    thresholds[2 + 12 * k + 1] = threshold;
    for (uint8_t* sector : {attributes, thresholds}) {
        uint8_t sum = 0;
        for (int i = 0; i < 511; ++i)
            sum = static_cast<uint8_t>(sum + sector[i]);
        sector[511] = static_cast<uint8_t>(-sum);
    }
}
