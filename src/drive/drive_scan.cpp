#include "drive_scan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "attributes.h"
#include "drive_table.h"
#include "identify.h"
#include "nvme_probe.h"
#include "platform_values.h"
#include "smart_commands.h"
#include "product.h"

static_assert(ScanAnswerSize == static_cast<int>(SmartAnswerSize));

char ErrorText[ErrorTextSize];
uint8_t IdentifyBuffer[ScanAnswerSize];
uint8_t AttributeBuffer[ScanAnswerSize];
uint8_t ThresholdBuffer[ScanAnswerSize];

namespace {

const char NineXDevice[] = "\\\\.\\SMARTVSD";
const char NtDeviceFormat[] = "\\\\.\\PhysicalDrive%d";
const char DriverTargetFormat[] = "%s\\iosubsys\\smartvsd.vxd";
const char DriverSourceFormat[] = "%s\\smartvsd.vxd";
const char DriverMissingText[] = "File smartvsd.vxd not present in the system";
const char DriverCopiedText[] = "Your system has been updated, please reboot";
const char DriverCopyFailedFormat[] = "Could not copy smartvsd.vxd to %s\n%s";
// Shown after "%d - " when the system has no text for the code.
const char NoSystemText[] = "(the system has no text for this error)";

constexpr int DeviceNameSize = 80;
constexpr int SystemFolderSize = 80;
constexpr int DriverPathSize = 512;

int ShowBox(const char* text, uint32_t icon)
{
    return CurrentSmartOs().messageBox(text, ProgramCaption, MB_OK | icon);
}

using SectorRead = int (*)(DeviceHandle, SENDCMDINPARAMS*, SmartAnswerBuffer&, uint8_t);

// One SMART data sector; one whose checksum is wrong is read once more, and
// *checksumFailed is set when it still is. False when a read failed.
bool ReadCheckedSector(SectorRead read, DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                       uint8_t drive, int32_t* checksumFailed)
{
    if (!read(device, command, answer, drive))
        return false;
    if (SectorChecksumGood(answer + SmartAnswerHeaderSize))
        return true;
    std::memset(answer, 0, sizeof answer);
    const bool again = read(device, command, answer, drive) != 0;
    if (again && !SectorChecksumGood(answer + SmartAnswerHeaderSize))
        *checksumFailed = 1;
    return again;
}

// Steps 6 to 12 of a probe, once the position has answered.
void ReadDrive(DeviceHandle device, int driveIndex)
{
    const uint8_t drive = static_cast<uint8_t>(driveIndex);
    DriveRecord& record = DriveTable[driveIndex];
    SENDCMDINPARAMS command;
    SENDCMDOUTPARAMS enableAnswer;
    uint32_t bytesReturned = 0;

    CurrentSmartOs().getLocalTime(&record.lastAccess);

    std::memset(&command, 0, sizeof command);
    std::memset(&enableAnswer, 0, sizeof enableAnswer);
    record.smartEnabled = EnableSmart(device, &command, &enableAnswer, drive, &bytesReturned) ? 1 : 0;

    std::memset(&command, 0, sizeof command);
    std::memset(IdentifyBuffer, 0, sizeof IdentifyBuffer);
    if (IdentifyDrive(device, &command, IdentifyBuffer, ID_CMD, drive, &bytesReturned))
        DecodeIdentify(IdentifyBuffer + SmartAnswerHeaderSize, driveIndex);

    // The command record stays as it is: both reads rewrite every field they use.
    std::memset(AttributeBuffer, 0, sizeof AttributeBuffer);
    std::memset(ThresholdBuffer, 0, sizeof ThresholdBuffer);
    int32_t* checksumFailed = &record.checksumFailed;
    const bool attributesRead =
        ReadCheckedSector(ReadSmartAttributes, device, &command, AttributeBuffer, drive, checksumFailed);
    if (attributesRead)
        ReadCheckedSector(ReadSmartThresholds, device, &command, ThresholdBuffer, drive, checksumFailed);
    if (attributesRead) {
        DecodeAttributes(AttributeBuffer + SmartAnswerHeaderSize, ThresholdBuffer + SmartAnswerHeaderSize,
                         driveIndex);
    }
}

void FormatErrorText(char* text, uint32_t code)
{
    const SmartOs& os = CurrentSmartOs();
    char* systemText = os.formatSystemText(code);
    std::snprintf(text, ErrorTextSize, "%d - %s", static_cast<int>(static_cast<int32_t>(code)),
                  systemText ? systemText : NoSystemText);
    if (systemText)
        os.freeSystemText(systemText);
}

// What an empty position answers: no such device.
bool SaysPositionIsEmpty(uint32_t code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// True when ErrorText holds a failure other than an empty position's.
bool ErrorTextTellsMore()
{
    if (ErrorText[0] == '\0')
        return false;
    return !SaysPositionIsEmpty(static_cast<uint32_t>(std::strtol(ErrorText, nullptr, 10)));
}

// A failure such as "access denied" tells the user what to do; the empty
// positions probed after it must not replace it.
void NoteOpenFailure(uint32_t code)
{
    if (SaysPositionIsEmpty(code) && ErrorTextTellsMore())
        return;
    FormatErrorText(ErrorText, code);
}

// The bitwise form of "map 0 at DriveIndex 2": every other position passes.
bool PassesDeviceMap(const GETVERSIONINPARAMS& version, int driveIndex)
{
    return (version.bIDEDeviceMap | (driveIndex ^ 2)) != 0;
}

}  // namespace

void FormatLastError(char* text)
{
    FormatErrorText(text, CurrentSmartOs().getLastError());
}

DeviceHandle OpenDriveDevice(int driveIndex)
{
    const SmartOs& os = CurrentSmartOs();
    const uint32_t platform = os.platformId();
    const uint32_t shared = FILE_SHARE_READ | FILE_SHARE_WRITE;
    char name[DeviceNameSize];
    DeviceHandle device = INVALID_HANDLE_VALUE;
    switch (platform) {
    case VER_PLATFORM_WIN32_WINDOWS:
        device = os.createFile(NineXDevice, 0, 0, CREATE_NEW);
        break;
    case VER_PLATFORM_WIN32_NT:
        std::snprintf(name, sizeof name, NtDeviceFormat, driveIndex);
        device = os.createFile(name, GENERIC_READ | GENERIC_WRITE, shared, OPEN_EXISTING);
        break;
    default:
        // CheckSmartDriver stops every other platform before the scan; no
        // device is tried, so there is no failure to describe.
        return INVALID_HANDLE_VALUE;
    }
    if (device == INVALID_HANDLE_VALUE) {
        const uint32_t code = os.getLastError();
        NoteOpenFailure(code);
        // Without administrator rights a drive cannot be opened for reading
        // or writing, but it can still be asked what it is, and an NVMe
        // drive answers all the program asks of it that way.
        if (code == ERROR_ACCESS_DENIED && platform == VER_PLATFORM_WIN32_NT)
            device = os.createFile(name, 0, shared, OPEN_EXISTING);
    }
    return device;
}

int ProbeDrive(int driveIndex)
{
    const SmartOs& os = CurrentSmartOs();
    DeviceHandle device = OpenDriveDevice(driveIndex);
    if (device == INVALID_HANDLE_VALUE)
        return 0;

    int answer = 0;
    GETVERSIONINPARAMS version;
    uint32_t bytesReturned = 0;
    std::memset(&version, 0, sizeof version);
    // An NVMe drive does not serve the SMART requests; the others go on to
    // them whatever the bus query answered.
    const int32_t bus = os.platformId() == VER_PLATFORM_WIN32_NT ? QueryDriveBus(device, DriveTable[driveIndex]) : 0;
    if (bus == DriveBusNvme) {
        answer = 1;
        ReadNvmeDrive(device, DriveTable[driveIndex]);
    } else if (QuerySmartVersion(device, &version, &bytesReturned) && PassesDeviceMap(version, driveIndex)) {
        answer = 1;
        DriveTable[driveIndex].busType = bus;
        ReadDrive(device, driveIndex);
    }
    os.closeHandle(device);
    return answer;
}

// The table afresh from the four positions, the present drives numbered for
// the list. 1 when any position answered.
static int ProbeAllPositions()
{
    ResetDriveTable();
    int anyAnswer = 0;
    for (int d = 0; d < DriveCount; ++d) {
        DriveTable[d].listPosition = -1;
        if (ProbeDrive(d))
            anyAnswer = 1;
    }
    NumberPresentDrives();
    return anyAnswer;
}

int ScanDrives()
{
    const int anyAnswer = ProbeAllPositions();
    if (!anyAnswer)
        ShowBox(ErrorText, MB_ICONERROR);
    return anyAnswer;
}

int CheckSmartDriver()
{
    const SmartOs& os = CurrentSmartOs();
    const uint32_t platform = os.platformId();
    if (platform == VER_PLATFORM_WIN32_NT)
        return 1;
    if (platform != VER_PLATFORM_WIN32_WINDOWS)
        return 0;

    char systemFolder[SystemFolderSize] = {};
    const uint32_t length = os.getSystemDirectory(systemFolder, sizeof systemFolder);
    if (length == 0 || length >= sizeof systemFolder) {
        // Without the folder's path neither place can be looked at.
        ShowBox(DriverMissingText, MB_ICONERROR);
        return 0;
    }

    char target[DriverPathSize];
    std::snprintf(target, sizeof target, DriverTargetFormat, systemFolder);
    if (os.pathExists(target))
        return 1;

    char source[DriverPathSize];
    std::snprintf(source, sizeof source, DriverSourceFormat, systemFolder);
    if (!os.pathExists(source)) {
        ShowBox(DriverMissingText, MB_ICONERROR);
        return 0;
    }

    if (os.copyFile(source, target, 1)) {
        ShowBox(DriverCopiedText, MB_ICONINFORMATION);
        return 0;
    }
    // A reboot cannot help when the copy failed: say why it failed instead.
    char reason[ErrorTextSize];
    FormatLastError(reason);
    char text[DriverPathSize + int{ErrorTextSize} + 40];
    std::snprintf(text, sizeof text, DriverCopyFailedFormat, target, reason);
    ShowBox(text, MB_ICONERROR);
    return 0;
}

void RereadDrives()
{
    // The start-up's failure text is the one its box showed; the monitor's
    // reads neither replace it nor show one of their own.
    char startupError[ErrorTextSize];
    std::memcpy(startupError, ErrorText, sizeof startupError);
    ProbeAllPositions();
    std::memcpy(ErrorText, startupError, sizeof startupError);
}
