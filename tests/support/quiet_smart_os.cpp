#include "quiet_smart_os.h"

#include "platform_values.h"

namespace {

uint32_t Platform = VER_PLATFORM_WIN32_NT;
uint32_t LastError;

uint32_t GetPlatform() { return Platform; }
DeviceHandle NoOpen(const char*, uint32_t, uint32_t, uint32_t) { return INVALID_HANDLE_VALUE; }
int NoIo(DeviceHandle, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*) { return 0; }
int NoClose(DeviceHandle) { return 0; }
uint32_t GetError() { return LastError; }
void SetError(uint32_t code) { LastError = code; }
char* NoText(uint32_t) { return nullptr; }
void NoFree(char*) {}
void Noon(LocalTime* t) { *t = LocalTime{2024, 1, 1, 1, 12, 0, 0, 0}; }
uint32_t NoDir(char*, uint32_t) { return 0; }
int NoPath(const char*) { return 0; }
int NoCopy(const char*, const char*, int) { return 0; }
int NoBox(const char*, const char*, uint32_t) { return 1; }
uint32_t Ten() { return 10; }

const SmartOs Quiet = {GetPlatform, NoOpen, NoIo,  NoClose, GetError, SetError, NoText,
                       NoFree,      Noon,   NoDir, NoPath,  NoCopy,   NoBox, Ten};

}  // namespace

const SmartOs& QuietSmartOs()
{
    return Quiet;
}

void SetQuietPlatform(uint32_t platform)
{
    Platform = platform;
}

uint32_t QuietLastError()
{
    return LastError;
}
