// The Windows values that the portable drive code passes to and gets from the
// services of SmartOs, under their platform names. The Windows headers define
// the same names as macros, so this header is never included together with
// <windows.h>; windows_os.cpp checks that the values agree.
#pragma once
#include <cstdint>

#include "smart_os.h"

inline DeviceHandle const INVALID_HANDLE_VALUE = reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1));

enum : uint32_t {
    VER_PLATFORM_WIN32_WINDOWS = 1,
    VER_PLATFORM_WIN32_NT = 2,

    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    FILE_SHARE_READ = 1,
    FILE_SHARE_WRITE = 2,
    CREATE_NEW = 1,
    OPEN_EXISTING = 3,

    MB_OK = 0,
    MB_ICONERROR = 0x10,
    MB_ICONINFORMATION = 0x40,
};

// System error codes.
enum : uint32_t {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_FUNCTION = 1,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_INVALID_DATA = 13,
    ERROR_READ_FAULT = 30,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_FILE_TOO_LARGE = 223,
    ERROR_IO_DEVICE = 1117,
    ERROR_FILE_CORRUPT = 1392,
};
