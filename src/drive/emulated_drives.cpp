#include "emulated_drives.h"

#include <cstdio>
#include <cstring>

#include "drive_table.h"
#include "platform_values.h"
#include "smart_commands.h"
#include "snapshot.h"
#include "storage_query.h"

namespace {

enum class Operation { Open, Version, Enable, Identify, Attributes, Thresholds, Query, Health, NvmeId, Admin, Count };
enum { OperationCount = static_cast<int>(Operation::Count), DeviceSlots = 8, NoSection = -1 };

const char* const OperationNames[OperationCount] = {
    "open", "version", "enable", "identify", "attributes", "thresholds", "query", "health", "nvmeid", "admin",
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
    bool limited;  // opened with access 0: only the requests that need no right
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
    uint64_t code = op == static_cast<int>(Operation::Open)    ? ERROR_FILE_NOT_FOUND
                    : op == static_cast<int>(Operation::Admin) ? ERROR_ACCESS_DENIED
                                                               : ERROR_IO_DEVICE;
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

uint32_t OpenNt(int position, uint32_t access)
{
    LoadPosition(position);
    const Position& p = Positions[position];
    if (p.faults[static_cast<int>(Operation::Open)])
        return p.faults[static_cast<int>(Operation::Open)];
    // A user without administrator rights may open a drive only to ask it
    // what it is.
    if (p.faults[static_cast<int>(Operation::Admin)] && (access & (GENERIC_READ | GENERIC_WRITE)))
        return p.faults[static_cast<int>(Operation::Admin)];
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

DeviceHandle EmulatedCreateFile(const char* name, uint32_t access, uint32_t, uint32_t)
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
    const uint32_t error = nineX ? OpenNineX() : OpenNt(ntPosition, access);
    if (error != ERROR_SUCCESS)
        return FailOpen(error);
    *device = Device{true, nineX ? Model::NineX : Model::Nt, ntPosition, !nineX && access == 0};
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

// ---- Storage queries (Windows NT) ---------------------------------------
// As the NVMe driver answers them: the device descriptor with the bus type,
// and the three NVMe requests, each checked field by field.

// An NVMe request that the driver passes on to the drive.
struct AcceptedNvmeRequest {
    uint32_t propertyId;
    uint32_t dataType;
    uint32_t requestValue;
    uint32_t subValue;
    uint32_t dataLength;
    SnapshotSection section;
    Operation operation;
};

const AcceptedNvmeRequest AcceptedNvmeRequests[] = {
    {StorageAdapterProtocolSpecificProperty, NVMeDataTypeIdentify, NVME_IDENTIFY_CNS_CONTROLLER, 0, 4096,
     SnapshotSection::NvmeController, Operation::NvmeId},
    {StorageDeviceProtocolSpecificProperty, NVMeDataTypeIdentify, NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE, 1, 4096,
     SnapshotSection::NvmeNamespace, Operation::NvmeId},
    {StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage, NVME_LOG_PAGE_HEALTH_INFO, 0, 512,
     SnapshotSection::NvmeHealth, Operation::Health},
};

uint32_t Fault(const Position& p, Operation operation)
{
    return p.faults[static_cast<int>(operation)];
}

// A blank-padded text of an Identify Controller field, trimmed, into out.
uint32_t PutNvmeText(uint8_t* out, uint32_t at, const uint8_t* controller, uint32_t offset, uint32_t length)
{
    if (!controller)
        return 0;
    while (length > 0 && (controller[offset + length - 1] == ' ' || controller[offset + length - 1] == 0))
        --length;
    std::memcpy(out + at, controller + offset, length);
    out[at + length] = 0;
    return at;
}

int AnswerDescriptor(const Position& p, void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    if (const uint32_t fault = Fault(p, Operation::Query))
        return Fail(fault);
    uint8_t answer[sizeof(STORAGE_DEVICE_DESCRIPTOR) + 80] = {};
    STORAGE_DEVICE_DESCRIPTOR d = {};
    d.Version = sizeof d;
    d.BusType = DriveBusSata;
    uint32_t size = sizeof d;
    if (IsNvmeSnapshot(p.snapshot)) {
        const uint8_t* controller = SnapshotSector(p.snapshot, SnapshotSection::NvmeController);
        d.BusType = DriveBusNvme;
        d.ProductIdOffset = PutNvmeText(answer, size, controller, 24, 40);
        d.ProductRevisionOffset = PutNvmeText(answer, size + 41, controller, 64, 8);
        d.SerialNumberOffset = PutNvmeText(answer, size + 50, controller, 4, 20);
        size = sizeof answer - 9;
    }
    d.Size = size;
    std::memcpy(answer, &d, sizeof d);
    if (!output || outputLength < 8)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    *bytesReturned = outputLength < size ? outputLength : size;
    std::memcpy(output, answer, *bytesReturned);
    return 1;
}

int AnswerNvmeRequest(const Position& p, uint32_t propertyId, const uint8_t* input, uint32_t inputLength,
                      void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    if (!IsNvmeSnapshot(p.snapshot))
        return Fail(ERROR_INVALID_FUNCTION);
    if (inputLength < ProtocolDataStart)
        return Fail(ERROR_INVALID_PARAMETER);
    STORAGE_PROTOCOL_SPECIFIC_DATA in;
    std::memcpy(&in, input + ProtocolRecordOffset, sizeof in);
    const AcceptedNvmeRequest* r = nullptr;
    for (const AcceptedNvmeRequest& a : AcceptedNvmeRequests) {
        if (a.propertyId == propertyId && a.dataType == in.DataType && a.requestValue == in.ProtocolDataRequestValue)
            r = &a;
    }
    if (!r || in.ProtocolType != ProtocolTypeNvme || in.ProtocolDataRequestSubValue != r->subValue ||
        in.ProtocolDataOffset != sizeof in || in.ProtocolDataLength != r->dataLength)
        return Fail(ERROR_INVALID_PARAMETER);
    const uint32_t size = ProtocolDataStart + r->dataLength;
    if (inputLength < size || !output || outputLength < size)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (const uint32_t fault = Fault(p, r->operation))
        return Fail(fault);
    const uint8_t* data = SnapshotSector(p.snapshot, r->section);
    if (!data)
        return Fail(ERROR_IO_DEVICE);
    STORAGE_PROTOCOL_DATA_DESCRIPTOR d = {sizeof d, sizeof d, in};
    uint8_t* answer = static_cast<uint8_t*>(output);
    std::memcpy(answer, &d, sizeof d);
    std::memcpy(answer + ProtocolDataStart, data, r->dataLength);
    *bytesReturned = size;
    return 1;
}

int AnswerQuery(const Device& device, const void* input, uint32_t inputLength, void* output,
                uint32_t outputLength, uint32_t* bytesReturned)
{
    if (device.model != Model::Nt)
        return Fail(ERROR_INVALID_FUNCTION);
    if (!input || inputLength < ProtocolRecordOffset)
        return Fail(ERROR_INVALID_PARAMETER);
    STORAGE_PROPERTY_QUERY query;
    std::memcpy(&query, input, ProtocolRecordOffset);
    const Position& p = Positions[device.position];
    if (query.QueryType != PropertyStandardQuery)
        return Fail(ERROR_INVALID_PARAMETER);
    if (p.fileError)
        return Fail(p.fileError);
    if (query.PropertyId == StorageDeviceProperty)
        return AnswerDescriptor(p, output, outputLength, bytesReturned);
    return AnswerNvmeRequest(p, query.PropertyId, static_cast<const uint8_t*>(input), inputLength, output,
                             outputLength, bytesReturned);
}

// The disk's size, which for an NVMe drive is its total NVM capacity.
int AnswerGeometry(const Device& device, void* output, uint32_t outputLength, uint32_t* bytesReturned)
{
    const uint8_t* controller =
        device.model == Model::Nt ? SnapshotSector(Positions[device.position].snapshot, SnapshotSection::NvmeController)
                                  : nullptr;
    if (!controller)
        return Fail(ERROR_INVALID_FUNCTION);
    enum { GeometrySize = 32 };
    if (!output || outputLength < GeometrySize)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    uint8_t* answer = static_cast<uint8_t*>(output);
    std::memset(answer, 0, GeometrySize);
    answer[21] = 2;                                // BytesPerSector 512
    std::memcpy(answer + 24, controller + 280, 8);  // DiskSize: TNVMCAP, low half
    *bytesReturned = GeometrySize;
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
    const bool smart =
        controlCode == SMART_GET_VERSION || controlCode == SMART_SEND_DRIVE_COMMAND || controlCode == SMART_RCV_DRIVE_DATA;
    // The SMART requests need read access; an NVMe driver serves none of them.
    if (smart && device->limited)
        return Fail(ERROR_ACCESS_DENIED);
    if (smart && device->model == Model::Nt && IsNvmeSnapshot(Positions[device->position].snapshot))
        return Fail(ERROR_INVALID_FUNCTION);
    switch (controlCode) {
    case IOCTL_STORAGE_QUERY_PROPERTY:
        return AnswerQuery(*device, input, inputLength, output, outputLength, bytesReturned);
    case IOCTL_DISK_GET_DRIVE_GEOMETRY_EX:
        return AnswerGeometry(*device, output, outputLength, bytesReturned);
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
