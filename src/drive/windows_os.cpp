// The real system services of the drive scan. This is the one drive file that
// includes <windows.h>; the portable headers keep their own copies of the
// platform's records and values, so the layouts they rely on are checked here
// against the platform's.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>

#include "drive_services.h"
#include "unicode_calls.h"

static_assert(sizeof(SYSTEMTIME) == sizeof(LocalTime), "LocalTime mirrors SYSTEMTIME");
static_assert(sizeof(GETVERSIONINPARAMS) == 24 && offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == 3);
static_assert(sizeof(SENDCMDINPARAMS) == 33 && offsetof(SENDCMDINPARAMS, bDriveNumber) == 12 &&
              offsetof(SENDCMDINPARAMS, bBuffer) == 32);
static_assert(sizeof(SENDCMDOUTPARAMS) == 17 && offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);
static_assert(SMART_GET_VERSION == 0x74080 && SMART_SEND_DRIVE_COMMAND == 0x7C084 &&
              SMART_RCV_DRIVE_DATA == 0x7C088);
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == 0x2D1400 && IOCTL_DISK_GET_DRIVE_GEOMETRY_EX == 0x700A0);
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12 && sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40 &&
              offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28);
static_assert(ERROR_FILE_TOO_LARGE == 223 && ERROR_FILE_CORRUPT == 1392 && ERROR_IO_DEVICE == 1117);

namespace {

uint32_t WinPlatformId()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148
    GetVersionExA(&info);
    return info.dwPlatformId;
}

DeviceHandle WinCreateFile(const char* name, uint32_t access, uint32_t shareMode, uint32_t creation)
{
    return CreateFileA(name, access, shareMode, nullptr, creation, 0, nullptr);
}

int WinDeviceIoControl(DeviceHandle device, uint32_t controlCode, void* input, uint32_t inputLength,
                       void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    DWORD count = 0;
    const BOOL ok = DeviceIoControl(device, controlCode, input, inputLength, output, outputLength, &count,
                                    nullptr);
    *bytesReturned = count;
    return ok;
}

int WinCloseHandle(DeviceHandle device)
{
    return CloseHandle(device);
}

uint32_t WinGetLastError()
{
    return GetLastError();
}

void WinSetLastError(uint32_t code)
{
    SetLastError(code);
}

// Inserts such as %1 stay as they are: no arguments are passed.
char* WinFormatSystemText(uint32_t code)
{
    char* text = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 && text) {
        LocalFree(text);
        text = nullptr;
    }
    return length ? text : nullptr;
}

void WinFreeSystemText(char* text)
{
    LocalFree(text);
}

void WinGetLocalTime(LocalTime* time)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    *time = LocalTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

uint32_t WinGetSystemDirectory(char* buffer, uint32_t size)
{
    return GetSystemDirectoryA(buffer, size);
}

int WinPathExists(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return 1;
}

int WinCopyFile(const char* source, const char* target, int failIfExists)
{
    return CopyFileA(source, target, failIfExists);
}

int WinMessageBox(const char* text, const char* caption, uint32_t type)
{
    return MessageBoxA(nullptr, text, caption, type);
}

// RtlGetVersion gives the true version where GetVersionEx gives the one
// the program's manifest declares; ntdll of Windows 95 has no such entry.
uint32_t WinSystemMajorVersion()
{
    using GetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    auto getVersion = LookUpSystemCall<GetVersionCall>("ntdll.dll", "RtlGetVersion");
    return getVersion && getVersion(&info) == 0 ? info.dwMajorVersion : 0;
}

const SmartOs WindowsServices = {
    WinPlatformId,    WinCreateFile,      WinDeviceIoControl,  WinCloseHandle,        WinGetLastError,
    WinSetLastError,  WinFormatSystemText, WinFreeSystemText,  WinGetLocalTime,       WinGetSystemDirectory,
    WinPathExists,    WinCopyFile,        WinMessageBox,       WinSystemMajorVersion,
};

uint32_t WinReadFile(const char* path, uint8_t* buffer, uint32_t capacity, uint32_t* size)
{
    *size = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    uint32_t error = ERROR_SUCCESS;
    // GetFileSize rather than GetFileSizeEx: Windows 9x has only the former,
    // and a program importing the latter does not load there at all.
    DWORD high = 0;
    const DWORD wanted = GetFileSize(file, &high);
    const DWORD sizeError = wanted == INVALID_FILE_SIZE ? GetLastError() : NO_ERROR;
    if (sizeError != NO_ERROR) {
        error = sizeError;
    } else if (high != 0 || wanted > capacity) {
        error = ERROR_FILE_TOO_LARGE;
    } else {
        DWORD got = 0;
        if (!ReadFile(file, buffer, wanted, &got, nullptr))
            error = GetLastError();
        else if (got != wanted)
            error = ERROR_READ_FAULT;
        else
            *size = got;
    }
    CloseHandle(file);
    return error;
}

int WinFolderExists(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const DriveFiles WindowsFiles = {WinReadFile, WinFolderExists};

}  // namespace

const SmartOs& WindowsSmartOs()
{
    return WindowsServices;
}

const DriveFiles& WindowsDriveFiles()
{
    return WindowsFiles;
}

void SelectDriveServices()
{
    static char folder[EmulatedFolderCapacity];
    char given[EmulatedFolderCapacity];
    const DWORD length = GetEnvironmentVariableA("OSTRIVEL_DRIVES", given, sizeof given);
    if (length == 0) {
        SetSmartOs(WindowsServices);
        return;
    }
    // The program moves into its own folder before it opens the drives, so a
    // relative name is made absolute now, against the folder it was started in.
    // A name too long for the buffer still selects the emulation, whose
    // devices then fail to open with a reason instead of using real drives.
    const char* usable = nullptr;
    if (length < sizeof given) {
        const DWORD full = GetFullPathNameA(given, sizeof folder, folder, nullptr);
        if (full > 0 && full < sizeof folder)
            usable = folder;
    }
    SetSmartOs(StartEmulatedDrives(WindowsServices, WindowsFiles, usable));
}
