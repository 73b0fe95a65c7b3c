// The SMART pass-through requests: the records that cross the interface, with
// the platform's names and byte layouts, the ATA register values of the four
// drive commands, and the five requests. Like platform_values.h this header is
// never included together with <windows.h>, whose <winioctl.h> defines the
// same names.
#pragma once
#include <cstddef>
#include <cstdint>

#include "smart_os.h"

#pragma pack(push, 1)

// Answer to SMART_GET_VERSION.
struct GETVERSIONINPARAMS {
    uint8_t bVersion;
    uint8_t bRevision;
    uint8_t bReserved;
    uint8_t bIDEDeviceMap;  // bit d: a drive answers at DriveIndex d
    uint32_t fCapabilities;
    uint32_t dwReserved[4];
};

// The eight task-file bytes of an ATA command.
struct IDEREGS {
    uint8_t bFeaturesReg;
    uint8_t bSectorCountReg;
    uint8_t bSectorNumberReg;
    uint8_t bCylLowReg;
    uint8_t bCylHighReg;
    uint8_t bDriveHeadReg;
    uint8_t bCommandReg;
    uint8_t bReserved;
};

// A drive command. Only the first 32 bytes are sent; bBuffer never travels.
struct SENDCMDINPARAMS {
    uint32_t cBufferSize;
    IDEREGS irDriveRegs;
    uint8_t bDriveNumber;
    uint8_t bReserved[3];
    uint32_t dwReserved[4];
    uint8_t bBuffer[1];
};

struct DRIVERSTATUS {
    uint8_t bDriverError;
    uint8_t bIDEError;
    uint8_t bReserved[2];
    uint32_t dwReserved[2];
};

// Answer to a drive command: a 16-byte header, then the data (one sector for
// the reads).
struct SENDCMDOUTPARAMS {
    uint32_t cBufferSize;
    DRIVERSTATUS DriverStatus;
    uint8_t bBuffer[1];
};

#pragma pack(pop)

static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == 3);
static_assert(offsetof(GETVERSIONINPARAMS, fCapabilities) == 4);
static_assert(offsetof(GETVERSIONINPARAMS, dwReserved) == 8);
static_assert(sizeof(IDEREGS) == 8);
static_assert(offsetof(IDEREGS, bCommandReg) == 6);
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) == 4);
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == 12);
static_assert(offsetof(SENDCMDINPARAMS, bReserved) == 13);
static_assert(offsetof(SENDCMDINPARAMS, dwReserved) == 16);
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == 32);
static_assert(sizeof(DRIVERSTATUS) == 12);
static_assert(offsetof(DRIVERSTATUS, dwReserved) == 4);
static_assert(sizeof(SENDCMDOUTPARAMS) == 17);
static_assert(offsetof(SENDCMDOUTPARAMS, DriverStatus) == 4);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);

// Control codes.
enum : uint32_t {
    SMART_GET_VERSION = 0x74080,
    SMART_SEND_DRIVE_COMMAND = 0x7C084,
    SMART_RCV_DRIVE_DATA = 0x7C088,
};

// ATA register values.
enum : uint8_t {
    ID_CMD = 0xEC,     // IDENTIFY DEVICE
    SMART_CMD = 0xB0,  // SMART, function in the features register
    ENABLE_SMART = 0xD8,
    READ_ATTRIBUTES = 0xD0,
    READ_THRESHOLDS = 0xD1,
    SMART_CYL_LOW = 0x4F,
    SMART_CYL_HI = 0xC2,
};

inline constexpr uint32_t SmartCommandLength = 32;     // bytes of SENDCMDINPARAMS sent
inline constexpr uint32_t SmartAnswerHeaderSize = 16;  // SENDCMDOUTPARAMS before bBuffer
inline constexpr uint32_t SmartSectorSize = 512;
inline constexpr uint32_t SmartAnswerSize = SmartAnswerHeaderSize + SmartSectorSize;

// Header and one sector, as the three reads answer.
using SmartAnswerBuffer = uint8_t[SmartAnswerSize];

enum class SmartCommand { Enable, Identify, ReadAttributes, ReadThresholds, Count };

// What one ATA command sends and asks for.
struct SmartCommandRow {
    uint32_t controlCode;
    uint32_t bufferSize;    // cBufferSize
    uint32_t outputLength;  // bytes of answer asked for
    uint8_t features;
    uint8_t sectorCount;
    uint8_t sectorNumber;
    uint8_t cylLow;
    uint8_t cylHigh;
    uint8_t command;        // IdentifyDrive sends its caller's byte instead
};

extern const SmartCommandRow SmartCommandTable[static_cast<int>(SmartCommand::Count)];

// 0xA0 for the master drives (even DriveIndex), 0xB0 for the slaves.
uint8_t DriveHeadRegister(uint8_t driveNumber);

// Each request returns the DeviceIoControl result unchanged: nonzero on
// success. The command requests write only cBufferSize, the seven registers
// and bDriveNumber of the caller's record.
int QuerySmartVersion(DeviceHandle device, GETVERSIONINPARAMS* version, uint32_t* bytesReturned);
int EnableSmart(DeviceHandle device, SENDCMDINPARAMS* command, SENDCMDOUTPARAMS* answer,
                uint8_t driveNumber, uint32_t* bytesReturned);
int IdentifyDrive(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                  uint8_t commandByte, uint8_t driveNumber, uint32_t* bytesReturned);
int ReadSmartAttributes(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                        uint8_t driveNumber);
int ReadSmartThresholds(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                        uint8_t driveNumber);
