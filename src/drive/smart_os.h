// The operating-system services that the drive scan and the SMART driver check
// use, as one record of functions. The Windows build fills it with the real
// KERNEL32/USER32 calls; tests fill it with scripted fakes; the emulated SMART
// driver replaces the device calls of another record.
#pragma once
#include <cstdint>

#include "drive_table.h"

// A device or file handle as the system hands it out (a Windows HANDLE).
using DeviceHandle = void*;

struct SmartOs {
    // dwPlatformId of GetVersionExA: 1 Windows 9x, 2 Windows NT.
    uint32_t (*platformId)();
    // CreateFileA with no security attributes, flags 0 and no template.
    DeviceHandle (*createFile)(const char* name, uint32_t access, uint32_t shareMode, uint32_t creation);
    // Synchronous DeviceIoControl without an overlapped record.
    int (*deviceIoControl)(DeviceHandle device, uint32_t controlCode, void* input, uint32_t inputLength,
                           void* output, uint32_t outputLength, uint32_t* bytesReturned);
    int (*closeHandle)(DeviceHandle device);
    uint32_t (*getLastError)();
    void (*setLastError)(uint32_t code);
    // The system's text for an error code, allocated by the system (inserts are
    // left as they stand), or null when it has none. Released by freeSystemText.
    char* (*formatSystemText)(uint32_t code);
    void (*freeSystemText)(char* text);
    void (*getLocalTime)(LocalTime* time);
    // GetSystemDirectoryA: the length written, or the size needed when it does
    // not fit, or 0 on failure.
    uint32_t (*getSystemDirectory)(char* buffer, uint32_t size);
    // 1 when FindFirstFileA finds the path (its search handle is closed again).
    int (*pathExists)(const char* path);
    int (*copyFile)(const char* source, const char* target, int failIfExists);
    // MessageBoxA with no owner window.
    int (*messageBox)(const char* text, const char* caption, uint32_t type);
    // dwMajorVersion of RtlGetVersion (which, unlike GetVersionEx, does not
    // cap it at the version the program declares), or 0 when unknown.
    uint32_t (*systemMajorVersion)();
};

// The record in use. Until one is installed, every service fails: no platform,
// no device, no file, no box.
const SmartOs& CurrentSmartOs();

// Installs a record; the caller keeps it alive while it is in use.
void SetSmartOs(const SmartOs& os);
