// Fuzzes the emulated SMART driver: the input supplies the snapshot file, the
// fault file and a series of requests, well formed or not. Answers must stay
// inside the room given, agree with the snapshot, and the scan over the same
// files must leave a sound drive table with every device closed.
#include <cstdint>
#include <cstring>
#include <vector>

#include "drive_scan.h"
#include "emulated_drives.h"
#include "platform_values.h"
#include "quiet_smart_os.h"
#include "record_checks.h"
#include "smart_commands.h"
#include "snapshot.h"

namespace {

// ---- The files, from the input ----------------------------------------------

struct Files {
    const uint8_t* blob;
    size_t blobSize;
    const uint8_t* fail;
    size_t failSize;
    uint8_t blobPositions;  // bit d: driveN.blob exists
    bool folderExists;
} Input;

int PositionOf(const char* path, const char* extension)
{
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    char expected[16];
    for (int d = 0; d < 4; ++d) {
        std::snprintf(expected, sizeof expected, "drive%d.%s", d, extension);
        if (std::strcmp(name, expected) == 0)
            return d;
    }
    return -1;
}

uint32_t ReadFromInput(const char* path, uint8_t* buffer, uint32_t capacity, uint32_t* size)
{
    *size = 0;
    const uint8_t* data = nullptr;
    size_t length = 0;
    if (int d = PositionOf(path, "blob"); d >= 0 && (Input.blobPositions >> d & 1)) {
        data = Input.blob;
        length = Input.blobSize;
    } else if (PositionOf(path, "fail") >= 0 && Input.failSize) {
        data = Input.fail;
        length = Input.failSize;
    } else {
        return ERROR_FILE_NOT_FOUND;
    }
    if (length > capacity)
        return ERROR_FILE_TOO_LARGE;
    if (length)
        std::memcpy(buffer, data, length);
    *size = static_cast<uint32_t>(length);
    return ERROR_SUCCESS;
}

int FolderFromInput(const char*)
{
    return Input.folderExists;
}

const DriveFiles InputFiles = {ReadFromInput, FolderFromInput};

// ---- Requests -----------------------------------------------------------------

struct Reader {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() { return size ? (--size, *data++) : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
};

const uint32_t Codes[] = {SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND, SMART_RCV_DRIVE_DATA, 0x7C08C};
const uint32_t Rooms[] = {0, 15, 16, 23, 24, 527, 528, 600};

// Sends one request built from the input and checks what came back.
void SendRequest(const SmartOs& os, DeviceHandle device, Reader& in, const Snapshot* served)
{
    const uint8_t kind = in.Byte();
    const uint32_t room = Rooms[in.Byte() % 8];
    SENDCMDINPARAMS command{};
    uint32_t code = Codes[kind >> 2 & 3];
    if ((kind & 3) == 0) {
        // A command as the program builds it, with at most one byte changed.
        const int which = in.Byte() % 4;
        const uint8_t drive = in.Byte() % 4;
        const SmartCommandRow& row = SmartCommandTable[which];
        command.cBufferSize = row.bufferSize;
        command.irDriveRegs = {row.features, 1, 1, row.cylLow, row.cylHigh, DriveHeadRegister(drive), row.command, 0};
        command.bDriveNumber = drive;
        code = row.controlCode;
        const uint8_t at = in.Byte(), value = in.Byte();
        if (at < 32)
            reinterpret_cast<uint8_t*>(&command)[at] = value;
    } else {
        for (int i = 0; i < 32; ++i)
            reinterpret_cast<uint8_t*>(&command)[i] = in.Byte();
    }
    const uint32_t inputLength = (kind & 3) == 3 ? in.Byte() % 40 : (code == SMART_GET_VERSION ? 0 : 32);

    // Exactly the room offered, so the sanitizer sees any write past it.
    std::vector<uint8_t> answer(room);
    uint32_t count = 0xFFFFFFFF;
    const int ok = os.deviceIoControl(device, code, inputLength ? &command : nullptr, inputLength,
                                      room ? answer.data() : nullptr, room, &count);
    if (!ok) {
        FUZZ_REQUIRE(QuietLastError() != ERROR_SUCCESS);
        return;
    }
    FUZZ_REQUIRE(count <= room);
    if (code == SMART_GET_VERSION) {
        FUZZ_REQUIRE(count == sizeof(GETVERSIONINPARAMS));
        return;
    }
    const uint8_t features = command.irDriveRegs.bFeaturesReg;
    const uint8_t op = command.irDriveRegs.bCommandReg;
    FUZZ_REQUIRE(command.bDriveNumber < 4);
    FUZZ_REQUIRE(command.irDriveRegs.bDriveHeadReg == DriveHeadRegister(command.bDriveNumber));
    if (code == SMART_SEND_DRIVE_COMMAND) {
        FUZZ_REQUIRE(op == SMART_CMD && features == ENABLE_SMART && count == SmartAnswerHeaderSize);
        return;
    }
    FUZZ_REQUIRE(count == SmartAnswerSize);
    SnapshotSection section = op == ID_CMD                   ? SnapshotSection::Identify
                              : features == READ_ATTRIBUTES ? SnapshotSection::Attributes
                                                             : SnapshotSection::Thresholds;
    FUZZ_REQUIRE(op == ID_CMD || (op == SMART_CMD && (features == READ_ATTRIBUTES || features == READ_THRESHOLDS)));
    const uint8_t* sector = served ? SnapshotSector(*served, section) : nullptr;
    FUZZ_REQUIRE(sector && std::memcmp(answer.data() + SmartAnswerHeaderSize, sector, SmartSectorSize) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in{data, size};
    const uint8_t setup = in.Byte();
    const bool nineX = setup & 1;
    const int position = setup >> 1 & 3;
    size_t blobSize = in.Word();
    size_t failSize = in.Byte();
    blobSize = blobSize < in.size ? blobSize : in.size;
    Input.blob = in.data;
    Input.blobSize = blobSize;
    in.data += blobSize;
    in.size -= blobSize;
    failSize = failSize < in.size ? failSize : in.size;
    Input.fail = in.data;
    Input.failSize = failSize;
    in.data += failSize;
    in.size -= failSize;
    Input.blobPositions = nineX ? static_cast<uint8_t>(setup >> 4) : static_cast<uint8_t>(setup & 0x10 ? 1 << position : 0);
    Input.folderExists = setup & 8;

    // What the driver ought to serve, parsed here on its own.
    Snapshot expected;
    const bool valid = blobSize <= EmulatedFileCapacity &&
                       ParseSnapshot(Input.blob, blobSize, &expected) == SnapshotError::None;

    SetQuietPlatform(nineX ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT);
    const SmartOs& os = StartEmulatedDrives(QuietSmartOs(), InputFiles, "/fuzz");
    char name[32];
    std::snprintf(name, sizeof name, nineX ? "\\\\.\\SMARTVSD" : "\\\\.\\PhysicalDrive%d", position);
    DeviceHandle device = os.createFile(name, 0, 0, 3);
    if (device != INVALID_HANDLE_VALUE) {
        FUZZ_REQUIRE(nineX ? Input.folderExists : valid);
        for (int i = 0; i < 64 && in.size; ++i)
            SendRequest(os, device, in, valid ? &expected : nullptr);
        FUZZ_REQUIRE(os.closeHandle(device) == 1);
    }
    FUZZ_REQUIRE(OpenEmulatedDevices() == 0);

    SetSmartOs(os);
    ScanDrives();
    FUZZ_REQUIRE(OpenEmulatedDevices() == 0);
    for (int d = 0; d < DriveCount; ++d) {
        CheckIdentity(DriveTable[d]);
        CheckSlots(DriveTable[d]);
    }
    FUZZ_REQUIRE(std::memchr(ErrorText, '\0', ErrorTextSize) != nullptr);
    return 0;
}
