#include "smart_os.h"

#include <cstdint>

namespace {

// Fallback services for a process that installed none: the scan then finds
// no platform and stops without touching anything.
uint32_t NoPlatform() { return 0; }
DeviceHandle NoDevice(const char*, uint32_t, uint32_t, uint32_t)
{
    return reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1));
}
int NoIoControl(DeviceHandle, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*) { return 0; }
int NoClose(DeviceHandle) { return 0; }
uint32_t StoredError;
uint32_t GetStoredError() { return StoredError; }
void SetStoredError(uint32_t code) { StoredError = code; }
char* NoText(uint32_t) { return nullptr; }
void FreeNoText(char*) {}
void NoTime(LocalTime* time) { *time = LocalTime{}; }
uint32_t NoDirectory(char*, uint32_t) { return 0; }
int NoPath(const char*) { return 0; }
int NoCopy(const char*, const char*, int) { return 0; }
int NoBox(const char*, const char*, uint32_t) { return 0; }
uint32_t NoVersion() { return 0; }

const SmartOs NoServices = {
    NoPlatform, NoDevice, NoIoControl, NoClose, GetStoredError, SetStoredError, NoText,
    FreeNoText, NoTime, NoDirectory, NoPath, NoCopy, NoBox, NoVersion,
};

const SmartOs* Installed = &NoServices;

}  // namespace

const SmartOs& CurrentSmartOs()
{
    return *Installed;
}

void SetSmartOs(const SmartOs& os)
{
    Installed = &os;
}
