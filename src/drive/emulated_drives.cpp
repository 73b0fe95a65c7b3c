#include "emulated_drives.h"

#include <cstdio>
#include <cstring>

#include "drive_table.h"
#include "platform_values.h"
#include "smart_commands.h"
#include "snapshot.h"

namespace {

enum class Operation { Open, Version, Enable, Identify, Attributes, Thresholds, Count };
enum { OperationCount = static_cast<int>(Operation::Count), DeviceSlots = 8, NoSection = -1 };

const char* const OperationNames[OperationCount] = {
    "open", "version", "enable", "identify", "attributes", "thresholds",
};

// What the driver serves at one position, as read at the last open.
struct Position {
    bool filePresent;
    uint32_t fileError;               // 0: a valid snapshot is loaded
    uint32_t faults[OperationCount];  // 0: works; otherwise the code it fails with
    Snapshot snapshot;                // points into FileData
};

enum class Model { Nt, NineX };

struct Device {
    bool open;
    Model model;
    int position;  // NT: the opened position
};

// The drive commands a SMART driver accepts, with the register values of the
// ATA standard (SMART: command 0xB0 with 0x4F/0xC2 in the cylinder registers).
struct AcceptedCommand {
    uint32_t controlCode;
    uint8_t features;
    uint8_t cylLow;
    uint8_t cylHigh;
    uint8_t command;
    uint32_t bufferSize;    // cBufferSize the request must carry
    uint32_t answerLength;  // header, plus a sector for the reads
    Operation operation;
    int section;            // SnapshotSection served, or NoSection
};

const AcceptedCommand AcceptedCommands[] = {
    {0x7C084, 0xD8, 0x4F, 0xC2, 0xB0, 0, 16, Operation::Enable, NoSection},
    {0x7C088, 0x00, 0x00, 0x00, 0xEC, 512, 528, Operation::Identify,
     static_cast<int>(SnapshotSection::Identify)},
    {0x7C088, 0xD0, 0x4F, 0xC2, 0xB0, 512, 528, Operation::Attributes,
     static_cast<int>(SnapshotSection::Attributes)},
    {0x7C088, 0xD1, 0x4F, 0xC2, 0xB0, 512, 528, Operation::Thresholds,
     static_cast<int>(SnapshotSection::Thresholds)},
};

const char NtDevicePrefix[] = "\\\\.\\PhysicalDrive";
const char NineXDeviceName[] = "\\\\.\\SMARTVSD";

#ifdef _WIN32
const char PathSeparator[] = "\\";
#else
const char PathSeparator[] = "/";
#endif

enum { PathCapacity = EmulatedFolderCapacity + 16 };

uint8_t FileData[DriveCount][EmulatedFileCapacity];
char FaultText[EmulatedFaultFileCapacity];
Position Positions[DriveCount];
Device Devices[DeviceSlots];

SmartOs Record;
const SmartOs* Base;
const DriveFiles* Files;
char Folder[EmulatedFolderCapacity];
bool FolderUsable;

// ---- Files -------------------------------------------------------------

bool FilePath(char* path, int position, const char* extension)
{
    const size_t length = std::strlen(Folder);
    const bool separated = length > 0 && (Folder[length - 1] == '\\' || Folder[length - 1] == '/');
    const int n = std::snprintf(path, PathCapacity, "%s%sdrive%d.%s", Folder,
                                separated ? "" : PathSeparator, position, extension);
    return n > 0 && n < PathCapacity;
}

bool IsMissing(uint32_t code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// One line of a fault file: an operation name, optionally a decimal code.
bool ParseFaultLine(const char* line, size_t length, uint32_t* faults)
{
    size_t at = 0;
    while (at < length && IsBlank(line[at]))
        ++at;
    if (at == length || line[at] == '#')
        return true;
    const size_t nameStart = at;
    while (at < length && !IsBlank(line[at]))
        ++at;
    const size_t nameLength = at - nameStart;
    int op = 0;
    while (op < OperationCount && !(std::strlen(OperationNames[op]) == nameLength &&
                                    std::memcmp(OperationNames[op], line + nameStart, nameLength) == 0))
        ++op;
    if (op == OperationCount)
        return false;

    while (at < length && IsBlank(line[at]))
        ++at;
    uint64_t code = op == static_cast<int>(Operation::Open) ? ERROR_FILE_NOT_FOUND : ERROR_IO_DEVICE;
    if (at < length) {
        code = 0;
        int digits = 0;
        for (; at < length && line[at] >= '0' && line[at] <= '9'; ++at, ++digits) {
            code = code * 10 + static_cast<uint64_t>(line[at] - '0');
            if (code > 0xFFFFFFFFu)
                return false;
        }
        if (digits == 0 || code == 0)
            return false;
    }
    while (at < length && IsBlank(line[at]))
        ++at;
    if (at != length)
        return false;
    faults[op] = static_cast<uint32_t>(code);
    return true;
}

uint32_t ParseFaults(const char* text, size_t size, uint32_t* faults)
{
    size_t start = 0;
    while (start < size) {
        const void* end = std::memchr(text + start, '\n', size - start);
        const size_t stop = end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size;
        if (!ParseFaultLine(text + start, stop - start, faults))
            return ERROR_INVALID_DATA;
        start = stop + 1;
    }
    return ERROR_SUCCESS;
}

uint32_t LoadFaults(int position, uint32_t* faults)
{
    char path[PathCapacity];
    if (!FilePath(path, position, "fail"))
        return ERROR_FILENAME_EXCED_RANGE;
    uint32_t size = 0;
    const uint32_t error =
        Files->readFile(path, reinterpret_cast<uint8_t*>(FaultText), sizeof FaultText, &size);
    if (IsMissing(error))
        return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS)
        return error;
    if (size > sizeof FaultText)
        return ERROR_FILE_TOO_LARGE;
    return ParseFaults(FaultText, size, faults);
}

// Reads driveN.blob; the result is the position's file error.
uint32_t LoadSnapshot(int position, bool* present)
{
    char path[PathCapacity];
    if (!FilePath(path, position, "blob"))
        return ERROR_FILENAME_EXCED_RANGE;
    uint32_t size = 0;
    const uint32_t error = Files->readFile(path, FileData[position], EmulatedFileCapacity, &size);
    *present = !IsMissing(error);
    if (IsMissing(error))
        return ERROR_FILE_NOT_FOUND;
    if (error != ERROR_SUCCESS)
        return error;
    if (size > EmulatedFileCapacity)
        return ERROR_FILE_TOO_LARGE;
    if (ParseSnapshot(FileData[position], size, &Positions[position].snapshot) != SnapshotError::None)
        return ERROR_FILE_CORRUPT;
    return ERROR_SUCCESS;
}

void LoadPosition(int position)
{
    Position& p = Positions[position];
    std::memset(&p, 0, sizeof p);
    const uint32_t faultError = LoadFaults(position, p.faults);
    p.fileError = LoadSnapshot(position, &p.filePresent);
    if (faultError != ERROR_SUCCESS) {
        // A fault list that cannot be read or understood spoils the position.
        std::memset(p.faults, 0, sizeof p.faults);
        p.fileError = faultError;
    }
}

// ---- Devices -----------------------------------------------------------

bool EqualsIgnoringCase(const char* a, const char* b, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The position named by "\\.\PhysicalDriveN", or -1.
int NtPosition(const char* name)
{
    const size_t prefix = sizeof NtDevicePrefix - 1;
    if (std::strlen(name) != prefix + 1 || !EqualsIgnoringCase(name, NtDevicePrefix, prefix))
        return -1;
    const char digit = name[prefix];
    return digit >= '0' && digit < '0' + DriveCount ? digit - '0' : -1;
}

bool IsNineXName(const char* name)
{
    return std::strlen(name) == sizeof NineXDeviceName - 1 &&
           EqualsIgnoringCase(name, NineXDeviceName, sizeof NineXDeviceName - 1);
}

Device* FindDevice(DeviceHandle handle)
{
    for (Device& d : Devices) {
        if (d.open && handle == static_cast<DeviceHandle>(&d))
            return &d;
    }
    return nullptr;
}

Device* FreeDevice()
{
    for (Device& d : Devices) {
        if (!d.open)
            return &d;
    }
    return nullptr;
}

DeviceHandle FailOpen(uint32_t code)
{
    Base->setLastError(code);
    return INVALID_HANDLE_VALUE;
}

// A device-wide fault of the 9x model: listed in any position's file.
uint32_t AnyFault(Operation operation)
{
    for (const Position& p : Positions) {
        if (p.faults[static_cast<int>(operation)])
            return p.faults[static_cast<int>(operation)];
    }
    return ERROR_SUCCESS;
}

uint32_t OpenNt(int position)
{
    LoadPosition(position);
    const Position& p = Positions[position];
    if (p.faults[static_cast<int>(Operation::Open)])
        return p.faults[static_cast<int>(Operation::Open)];
    return p.fileError;
}

uint32_t OpenNineX()
{
    if (!Files->folderExists(Folder))
        return ERROR_FILE_NOT_FOUND;
    for (int d = 0; d < DriveCount; ++d)
        LoadPosition(d);
    return AnyFault(Operation::Open);
}

DeviceHandle EmulatedCreateFile(const char* name, uint32_t, uint32_t, uint32_t)
{
    if (!FolderUsable)
        return FailOpen(ERROR_FILENAME_EXCED_RANGE);
    const int ntPosition = NtPosition(name);
    const bool nineX = IsNineXName(name);
    if (ntPosition < 0 && !nineX)
        return FailOpen(ERROR_FILE_NOT_FOUND);
    Device* device = FreeDevice();
    if (!device)
        return FailOpen(ERROR_TOO_MANY_OPEN_FILES);
    const uint32_t error = nineX ? OpenNineX() : OpenNt(ntPosition);
    if (error != ERROR_SUCCESS)
        return FailOpen(error);
    *device = Device{true, nineX ? Model::NineX : Model::Nt, ntPosition};
    return static_cast<DeviceHandle>(device);
}

int EmulatedCloseHandle(DeviceHandle handle)
{
    Device* device = FindDevice(handle);
    if (!device) {
        Base->setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    device->open = false;
    return 1;
}

// ---- Requests ----------------------------------------------------------

int Fail(uint32_t code)
{
    Base->setLastError(code);
    return 0;
}

uint8_t DeviceMap(const Device& device)
{
    if (device.model == Model::Nt)
        return static_cast<uint8_t>(1u << device.position);
    uint8_t map = 0;
    for (int d = 0; d < DriveCount; ++d) {
        if (Positions[d].filePresent)
            map = static_cast<uint8_t>(map | (1u << d));
    }
    return map;
}

int AnswerVersion(const Device& device, uint32_t inputLength, void* output, uint32_t outputLength,
                  uint32_t* bytesReturned)
{
    if (inputLength != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!output || outputLength < sizeof(GETVERSIONINPARAMS))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    const uint32_t fault = device.model == Model::Nt
                               ? Positions[device.position].faults[static_cast<int>(Operation::Version)]
                               : AnyFault(Operation::Version);
    if (fault)
        return Fail(fault);
    GETVERSIONINPARAMS version;
    std::memset(&version, 0, sizeof version);
    version.bVersion = 1;
    version.bRevision = 1;
    version.bIDEDeviceMap = DeviceMap(device);
    version.fCapabilities = 1 | 4;  // CAP_ATA_ID_CMD | CAP_SMART_CMD
    std::memcpy(output, &version, sizeof version);
    *bytesReturned = sizeof version;
    return 1;
}

const AcceptedCommand* FindCommand(uint32_t controlCode, const IDEREGS& regs)
{
    for (const AcceptedCommand& c : AcceptedCommands) {
        if (c.controlCode == controlCode && c.features == regs.bFeaturesReg && c.cylLow == regs.bCylLowReg &&
            c.cylHigh == regs.bCylHighReg && c.command == regs.bCommandReg)
            return &c;
    }
    return nullptr;
}

bool AddressesDrive(const Device& device, const SENDCMDINPARAMS& in)
{
    const uint8_t drive = in.bDriveNumber;
    if (drive >= DriveCount || in.irDriveRegs.bDriveHeadReg != (0xA0 | ((drive & 1) << 4)))
        return false;
    return device.model == Model::NineX || drive == device.position;
}

// The drive itself refused: error bytes in the header, the request fails.
int DriveFailed(void* output, uint32_t code)
{
    SENDCMDOUTPARAMS header;
    std::memset(&header, 0, sizeof header);
    header.DriverStatus.bDriverError = 1;  // SMART_IDE_ERROR
    header.DriverStatus.bIDEError = 0x04;  // ABRT
    std::memcpy(output, &header, SmartAnswerHeaderSize);
    return Fail(code);
}

int AnswerCommand(const Device& device, uint32_t controlCode, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    if (!input || inputLength != SmartCommandLength)
        return Fail(ERROR_INVALID_PARAMETER);
    SENDCMDINPARAMS in;
    std::memset(&in, 0, sizeof in);
    std::memcpy(&in, input, SmartCommandLength);
    const AcceptedCommand* command = FindCommand(controlCode, in.irDriveRegs);
    if (!command || in.cBufferSize != command->bufferSize || !AddressesDrive(device, in))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!output || outputLength < command->answerLength)
        return Fail(ERROR_INSUFFICIENT_BUFFER);

    const Position& p = Positions[in.bDriveNumber];
    if (p.fileError)
        return Fail(p.fileError);
    if (const uint32_t fault = p.faults[static_cast<int>(command->operation)])
        return DriveFailed(output, fault);
    const uint8_t* sector = nullptr;
    if (command->section != NoSection) {
        sector = SnapshotSector(p.snapshot, static_cast<SnapshotSection>(command->section));
        if (!sector)
            return DriveFailed(output, ERROR_IO_DEVICE);
    }

    SENDCMDOUTPARAMS header;
    std::memset(&header, 0, sizeof header);
    header.cBufferSize = command->bufferSize;
    uint8_t* answer = static_cast<uint8_t*>(output);
    std::memcpy(answer, &header, SmartAnswerHeaderSize);
    if (sector)
        std::memcpy(answer + SmartAnswerHeaderSize, sector, SmartSectorSize);
    *bytesReturned = command->answerLength;
    return 1;
}

int EmulatedIoControl(DeviceHandle handle, uint32_t controlCode, void* input, uint32_t inputLength,
                      void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    const Device* device = FindDevice(handle);
    if (!device)
        return Fail(ERROR_INVALID_HANDLE);
    if (!bytesReturned)
        return Fail(ERROR_INVALID_PARAMETER);
    *bytesReturned = 0;
    switch (controlCode) {
    case SMART_GET_VERSION:
        return AnswerVersion(*device, inputLength, output, outputLength, bytesReturned);
    case SMART_SEND_DRIVE_COMMAND:
    case SMART_RCV_DRIVE_DATA:
        return AnswerCommand(*device, controlCode, input, inputLength, output, outputLength, bytesReturned);
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

}  // namespace

const SmartOs& StartEmulatedDrives(const SmartOs& base, const DriveFiles& files, const char* folder)
{
    std::memset(Devices, 0, sizeof Devices);
    std::memset(Positions, 0, sizeof Positions);
    Base = &base;
    Files = &files;
    FolderUsable = folder && std::strlen(folder) < sizeof Folder;
    std::snprintf(Folder, sizeof Folder, "%s", FolderUsable ? folder : "");
    Record = base;
    Record.createFile = EmulatedCreateFile;
    Record.deviceIoControl = EmulatedIoControl;
    Record.closeHandle = EmulatedCloseHandle;
    return Record;
}

int OpenEmulatedDevices()
{
    int n = 0;
    for (const Device& d : Devices)
        n += d.open ? 1 : 0;
    return n;
}
