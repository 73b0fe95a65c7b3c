// The emulated SMART driver with real files: what opens, with which error, what
// each request answers, which malformed requests and files it refuses, and the
// faults that a driveN.fail file injects.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "attributes.h"
#include "drive_scan.h"
#include "emulated_drives.h"
#include "fake_smart_os.h"
#include "platform_values.h"
#include "posix_drive_files.h"
#include "smart_commands.h"
#include "storage_query.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Section(const char* tag, const Bytes& data)
{
    Bytes out(tag, tag + 4);
    const uint32_t n = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(n >> shift));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Sector(uint8_t fill)
{
    return Bytes(512, fill);
}

// A snapshot with the three sectors filled with 0x11, 0x22 and 0x33.
Bytes FullBlob()
{
    return Section("IDFY", Sector(0x11)) + Section("SMST", Bytes(4, 0)) + Section("SMDT", Sector(0x22)) +
           Section("SMTH", Sector(0x33));
}

class EmulatedDrivesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> serial{0};
        folder = fs::temp_directory_path() /
                 ("ostrivel-emulated-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + std::to_string(serial++));
        fs::remove_all(folder);
        fs::create_directories(folder);
        ResetFake();
        Use(2);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Starts the driver over the folder on platform 1 or 2.
    void Use(uint32_t platform)
    {
        Fake().platform = platform;
        os = &StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), folder.string().c_str());
        SetSmartOs(*os);
    }

    void Write(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteText(const std::string& name, const std::string& text) const
    {
        Write(name, Bytes(text.begin(), text.end()));
    }

    DeviceHandle Open(int position)
    {
        Fake().lastError = 0;
        return os->createFile(("\\\\.\\PhysicalDrive" + std::to_string(position)).c_str(), 0xC0000000u, 3, 3);
    }
    DeviceHandle OpenNineX()
    {
        Fake().lastError = 0;
        return os->createFile("\\\\.\\SMARTVSD", 0, 0, 1);
    }

    // The open's error code, 0 when it opened (and the device is closed again).
    uint32_t OpenError(int position)
    {
        DeviceHandle h = Open(position);
        if (h == INVALID_HANDLE_VALUE)
            return Fake().lastError;
        os->closeHandle(h);
        return 0;
    }

    // A drive command as the program sends it, fields changeable before sending.
    struct Command {
        SENDCMDINPARAMS in{};
        uint32_t code = SMART_RCV_DRIVE_DATA;
        uint32_t inputLength = 32;
        uint32_t outputLength = SmartAnswerSize;
    };
    static Command Make(SmartCommand which, uint8_t drive)
    {
        const SmartCommandRow& row = SmartCommandTable[static_cast<int>(which)];
        Command c;
        c.in.cBufferSize = row.bufferSize;
        c.in.irDriveRegs = {row.features, 1, 1, row.cylLow, row.cylHigh, DriveHeadRegister(drive), row.command, 0};
        c.in.bDriveNumber = drive;
        c.code = row.controlCode;
        c.outputLength = row.outputLength;
        return c;
    }
    // Sends it; 0 when it worked, else the error code.
    uint32_t Send(DeviceHandle h, Command c)
    {
        Fake().lastError = 0;
        std::memset(answer, 0xEE, sizeof answer);
        count = 0;
        if (os->deviceIoControl(h, c.code, &c.in, c.inputLength, answer, c.outputLength, &count))
            return 0;
        return Fake().lastError ? Fake().lastError : 0xFFFFFFFFu;
    }
    uint32_t Version(DeviceHandle h, GETVERSIONINPARAMS* version, uint32_t length = 24)
    {
        Fake().lastError = 0;
        if (os->deviceIoControl(h, SMART_GET_VERSION, nullptr, 0, version, length, &count))
            return 0;
        return Fake().lastError;
    }

    fs::path folder;
    const SmartOs* os = nullptr;
    uint8_t answer[SmartAnswerSize + 8];
    uint32_t count = 0;
};

// ---- Opening -----------------------------------------------------------------

TEST_F(EmulatedDrivesTest, NtOpensOnlyPositionsWithValidSnapshots)
{
    Write("drive1.blob", FullBlob());
    EXPECT_EQ(OpenError(0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenError(1), 0u);
    EXPECT_EQ(os->createFile("\\\\.\\PhysicalDrive4", 0, 0, 3), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Fake().lastError, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(os->createFile("\\\\.\\PhysicalDrive11", 0, 0, 3), INVALID_HANDLE_VALUE);
    EXPECT_NE(os->createFile("\\\\.\\physicaldrive1", 0, 0, 3), INVALID_HANDLE_VALUE);  // names ignore case
}

TEST_F(EmulatedDrivesTest, MalformedSnapshotsFailToOpenWithAFittingCode)
{
    const Bytes full = FullBlob();
    const struct {
        const char* what;
        Bytes bytes;
        uint32_t error;
    } cases[] = {
        {"empty", {}, ERROR_FILE_CORRUPT},
        {"truncated header", Bytes{'I', 'D', 'F', 'Y', 0, 0}, ERROR_FILE_CORRUPT},
        {"size past the end", Bytes(full.begin(), full.end() - 1), ERROR_FILE_CORRUPT},
        {"size far past the end", Section("SMST", Bytes(4, 0)) + Bytes{'I', 'D', 'F', 'Y', 0xFF, 0xFF, 0xFF, 0xF0},
         ERROR_FILE_CORRUPT},
        {"duplicate tag", full + Section("SMDT", Sector(1)), ERROR_FILE_CORRUPT},
        {"sector not 512 bytes", Section("IDFY", Bytes(511, 0)), ERROR_FILE_CORRUPT},
        {"only unknown tags", Section("ABCD", Bytes(10, 1)), ERROR_FILE_CORRUPT},
        {"unknown tags around the sectors", Section("ABCD", Bytes(3, 1)) + full + Section("XYZW", {}), 0},
        {"largest size accepted", full + Section("PADD", Bytes(EmulatedFileCapacity - full.size() - 8, 0)), 0},
        {"one byte too large", full + Section("PADD", Bytes(EmulatedFileCapacity - full.size() - 7, 0)),
         ERROR_FILE_TOO_LARGE},
    };
    for (const auto& c : cases) {
        Write("drive0.blob", c.bytes);
        EXPECT_EQ(OpenError(0), c.error) << c.what;
    }
    EXPECT_EQ(OpenEmulatedDevices(), 0);
}

TEST_F(EmulatedDrivesTest, TenMegabyteFileIsRefusedUnread)
{
    {
        std::ofstream out(folder / "drive0.blob", std::ios::binary);
    }
    fs::resize_file(folder / "drive0.blob", 10u * 1024 * 1024);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenError(0), ERROR_FILE_TOO_LARGE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(EmulatedDrivesTest, FolderNamedLikeASnapshotIsAccessDenied)
{
    fs::create_directory(folder / "drive0.blob");
    EXPECT_EQ(OpenError(0), ERROR_ACCESS_DENIED);
}

TEST_F(EmulatedDrivesTest, FolderNameTooLongFailsEveryOpen)
{
    const std::string longName(EmulatedFolderCapacity, 'a');
    os = &StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), longName.c_str());
    EXPECT_EQ(OpenError(0), ERROR_FILENAME_EXCED_RANGE);
    os = &StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), nullptr);
    EXPECT_EQ(OpenError(0), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(OpenNineX(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Fake().lastError, ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(EmulatedDrivesTest, OnlyDeviceCallsAreReplaced)
{
    const SmartOs& fake = FakeSmartOs();
    EXPECT_EQ(os->platformId, fake.platformId);
    EXPECT_EQ(os->copyFile, fake.copyFile);
    EXPECT_EQ(os->messageBox, fake.messageBox);
    EXPECT_NE(os->createFile, fake.createFile);
    EXPECT_NE(os->deviceIoControl, fake.deviceIoControl);
    EXPECT_NE(os->closeHandle, fake.closeHandle);
}

TEST_F(EmulatedDrivesTest, HandlesRunOutAndCloseOnlyOnce)
{
    Write("drive0.blob", FullBlob());
    std::vector<DeviceHandle> open;
    for (DeviceHandle h; (h = Open(0)) != INVALID_HANDLE_VALUE;)
        open.push_back(h);
    EXPECT_EQ(Fake().lastError, ERROR_TOO_MANY_OPEN_FILES);
    EXPECT_GE(open.size(), 4u);
    for (DeviceHandle h : open)
        EXPECT_EQ(os->closeHandle(h), 1);
    EXPECT_EQ(os->closeHandle(open[0]), 0);
    EXPECT_EQ(Fake().lastError, ERROR_INVALID_HANDLE);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(open[0], &v), ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenEmulatedDevices(), 0);
}

// ---- Answers -----------------------------------------------------------------

TEST_F(EmulatedDrivesTest, NtServesTheOpenedPositionsSectors)
{
    Write("drive3.blob", FullBlob());
    DeviceHandle h = Open(3);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(h, &v), 0u);
    EXPECT_EQ(count, 24u);
    EXPECT_EQ(v.bIDEDeviceMap, 0x08);

    EXPECT_EQ(Send(h, Make(SmartCommand::Enable, 3)), 0u);
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(answer[16], 0xEE);  // nothing written past the header
    const struct {
        SmartCommand command;
        uint8_t fill;
    } reads[] = {{SmartCommand::Identify, 0x11}, {SmartCommand::ReadAttributes, 0x22},
                 {SmartCommand::ReadThresholds, 0x33}};
    for (const auto& r : reads) {
        EXPECT_EQ(Send(h, Make(r.command, 3)), 0u);
        EXPECT_EQ(count, 528u);
        SENDCMDOUTPARAMS header;
        std::memcpy(&header, answer, 16);
        EXPECT_EQ(header.cBufferSize, 512u);
        EXPECT_EQ(header.DriverStatus.bDriverError, 0);
        EXPECT_EQ(Bytes(answer + 16, answer + 528), Sector(r.fill));
        EXPECT_EQ(answer[528], 0xEE);
    }
    os->closeHandle(h);
}

TEST_F(EmulatedDrivesTest, MissingSectionFailsItsReadOnly)
{
    Write("drive0.blob", Section("IDFY", Sector(0x11)));
    DeviceHandle h = Open(0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Send(h, Make(SmartCommand::Enable, 0)), 0u);
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 0)), 0u);
    EXPECT_EQ(Send(h, Make(SmartCommand::ReadAttributes, 0)), ERROR_IO_DEVICE);
    EXPECT_EQ(answer[4], 1);  // SMART_IDE_ERROR
    EXPECT_EQ(Send(h, Make(SmartCommand::ReadThresholds, 0)), ERROR_IO_DEVICE);
    os->closeHandle(h);
}

TEST_F(EmulatedDrivesTest, MalformedRequestsAreRefused)
{
    Write("drive1.blob", FullBlob());
    DeviceHandle h = Open(1);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    auto with = [](SmartCommand which, auto change) {
        Command c = Make(which, 1);
        change(c);
        return c;
    };
    using C = Command&;
    const struct {
        const char* what;
        Command command;
        uint32_t error;
    } cases[] = {
        {"well formed", Make(SmartCommand::ReadAttributes, 1), 0},
        {"unknown control code", with(SmartCommand::ReadAttributes, [](C c) { c.code = 0x7C08C; }),
         ERROR_INVALID_FUNCTION},
        {"input 31 bytes", with(SmartCommand::ReadAttributes, [](C c) { c.inputLength = 31; }),
         ERROR_INVALID_PARAMETER},
        {"input 33 bytes", with(SmartCommand::Identify, [](C c) { c.inputLength = 33; }), ERROR_INVALID_PARAMETER},
        {"answer room 527", with(SmartCommand::ReadThresholds, [](C c) { c.outputLength = 527; }),
         ERROR_INSUFFICIENT_BUFFER},
        {"enable room 15", with(SmartCommand::Enable, [](C c) { c.outputLength = 15; }), ERROR_INSUFFICIENT_BUFFER},
        {"enable room 528", with(SmartCommand::Enable, [](C c) { c.outputLength = 528; }), 0},
        {"unknown feature", with(SmartCommand::ReadAttributes, [](C c) { c.in.irDriveRegs.bFeaturesReg = 0xD2; }),
         ERROR_INVALID_PARAMETER},
        {"no signature", with(SmartCommand::Enable, [](C c) { c.in.irDriveRegs.bCylLowReg = 0; }),
         ERROR_INVALID_PARAMETER},
        {"half signature", with(SmartCommand::ReadThresholds, [](C c) { c.in.irDriveRegs.bCylHighReg = 0x2C; }),
         ERROR_INVALID_PARAMETER},
        {"unknown command", with(SmartCommand::Identify, [](C c) { c.in.irDriveRegs.bCommandReg = 0xA1; }),
         ERROR_INVALID_PARAMETER},
        {"identify with a feature", with(SmartCommand::Identify, [](C c) { c.in.irDriveRegs.bFeaturesReg = 0xD0; }),
         ERROR_INVALID_PARAMETER},
        {"enable as a read", with(SmartCommand::Enable, [](C c) { c.code = SMART_RCV_DRIVE_DATA; }),
         ERROR_INVALID_PARAMETER},
        {"read as a command", with(SmartCommand::ReadAttributes, [](C c) { c.code = SMART_SEND_DRIVE_COMMAND; }),
         ERROR_INVALID_PARAMETER},
        {"read of 0 bytes", with(SmartCommand::Identify, [](C c) { c.in.cBufferSize = 0; }), ERROR_INVALID_PARAMETER},
        {"enable with data", with(SmartCommand::Enable, [](C c) { c.in.cBufferSize = 512; }), ERROR_INVALID_PARAMETER},
        {"master head for a slave", with(SmartCommand::Identify, [](C c) { c.in.irDriveRegs.bDriveHeadReg = 0xA0; }),
         ERROR_INVALID_PARAMETER},
        {"another position", Make(SmartCommand::Identify, 3), ERROR_INVALID_PARAMETER},
        {"drive number 5", with(SmartCommand::Identify, [](C c) { c.in.bDriveNumber = 5; }), ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Send(h, c.command), c.error) << c.what;

    Command noInput = Make(SmartCommand::Identify, 1);
    EXPECT_EQ(os->deviceIoControl(h, noInput.code, nullptr, 32, answer, 528, &count), 0);
    EXPECT_EQ(Fake().lastError, ERROR_INVALID_PARAMETER);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(h, &v, 23), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(os->deviceIoControl(h, SMART_GET_VERSION, answer, 4, &v, 24, &count), 0);
    EXPECT_EQ(Fake().lastError, ERROR_INVALID_PARAMETER);
    os->closeHandle(h);
}

// ---- Windows 9x model ----------------------------------------------------------

TEST_F(EmulatedDrivesTest, NineXServesEveryPositionByDriveNumber)
{
    Use(1);
    Write("drive0.blob", Section("IDFY", Sector(0xA0)));
    Write("drive2.blob", Section("IDFY", Sector(0xA2)));
    Write("drive3.blob", Bytes{1, 2, 3});
    DeviceHandle h = OpenNineX();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(h, &v), 0u);
    EXPECT_EQ(v.bIDEDeviceMap, 0x0D);  // files present at 0, 2 and 3
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 0)), 0u);
    EXPECT_EQ(answer[16], 0xA0);
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 2)), 0u);
    EXPECT_EQ(answer[16], 0xA2);
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 1)), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Send(h, Make(SmartCommand::Enable, 3)), ERROR_FILE_CORRUPT);
    os->closeHandle(h);
}

TEST_F(EmulatedDrivesTest, NineXNeedsOnlyTheFolder)
{
    Use(1);
    EXPECT_NE(OpenNineX(), INVALID_HANDLE_VALUE);
    os = &StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), (folder / "missing").string().c_str());
    EXPECT_EQ(OpenNineX(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Fake().lastError, ERROR_FILE_NOT_FOUND);
}

// ---- Fault injection -------------------------------------------------------------

TEST_F(EmulatedDrivesTest, FaultFileFailsTheListedOperations)
{
    Write("drive2.blob", FullBlob());
    WriteText("drive2.fail", "# broken drive\r\nenable\r\n\r\n  attributes 21  \nthresholds");
    DeviceHandle h = Open(2);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(h, &v), 0u);
    EXPECT_EQ(Send(h, Make(SmartCommand::Enable, 2)), ERROR_IO_DEVICE);
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 2)), 0u);
    EXPECT_EQ(Send(h, Make(SmartCommand::ReadAttributes, 2)), 21u);
    EXPECT_EQ(Send(h, Make(SmartCommand::ReadThresholds, 2)), ERROR_IO_DEVICE);
    os->closeHandle(h);

    WriteText("drive2.fail", "version 50\nidentify");
    h = Open(2);
    EXPECT_EQ(Version(h, &v), 50u);
    EXPECT_EQ(Send(h, Make(SmartCommand::Identify, 2)), ERROR_IO_DEVICE);
    EXPECT_EQ(Send(h, Make(SmartCommand::Enable, 2)), 0u);
    os->closeHandle(h);
}

TEST_F(EmulatedDrivesTest, OpenFaultTakesItsCodeOrFileNotFound)
{
    Write("drive0.blob", FullBlob());
    WriteText("drive0.fail", "open");
    EXPECT_EQ(OpenError(0), ERROR_FILE_NOT_FOUND);
    WriteText("drive0.fail", "open 5\n");
    EXPECT_EQ(OpenError(0), 5u);
    WriteText("drive0.fail", "");
    EXPECT_EQ(OpenError(0), 0u);
}

TEST_F(EmulatedDrivesTest, UnreadableFaultFilesSpoilThePosition)
{
    Write("drive0.blob", FullBlob());
    for (const char* text : {"opne", "open x", "open 0", "open 5 6", "open 99999999999", "enable,identify"}) {
        WriteText("drive0.fail", text);
        EXPECT_EQ(OpenError(0), ERROR_INVALID_DATA) << text;
    }
    WriteText("drive0.fail", std::string(EmulatedFaultFileCapacity + 1, '#'));
    EXPECT_EQ(OpenError(0), ERROR_FILE_TOO_LARGE);
}

TEST_F(EmulatedDrivesTest, NineXDeviceFaultsComeFromAnyPosition)
{
    Use(1);
    Write("drive1.blob", FullBlob());
    WriteText("drive3.fail", "version");
    DeviceHandle h = OpenNineX();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(h, &v), ERROR_IO_DEVICE);
    os->closeHandle(h);
    WriteText("drive2.fail", "open 32");
    EXPECT_EQ(OpenNineX(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Fake().lastError, 32u);
}

// ---- Through the scan ------------------------------------------------------------

TEST_F(EmulatedDrivesTest, ScanReadsTheSnapshotsAndClosesEveryDevice)
{
    for (uint32_t platform : {2u, 1u}) {
        Use(platform);
        uint8_t identify[512], attributes[512] = {}, thresholds[512] = {};
        FillIdentify(identify, "EMULATED DISK", "E123", "1.0", 4096);
        PutAttribute(attributes, thresholds, 0, 9, 99, 0);
        Write("drive1.blob", Section("IDFY", Bytes(identify, identify + 512)) +
                                 Section("SMDT", Bytes(attributes, attributes + 512)) +
                                 Section("SMTH", Bytes(thresholds, thresholds + 512)));
        WriteText("drive1.fail", "enable");
        EXPECT_EQ(ScanDrives(), 1) << platform;
        EXPECT_EQ(DriveTable[1].listPosition, 0);
        EXPECT_STREQ(DriveTable[1].model, "EMULATED DISK");
        EXPECT_EQ(DriveTable[1].totalSectors, 4096u);
        EXPECT_EQ(DriveTable[1].smartEnabled, 0);
        EXPECT_STREQ(DriveTable[1].attributes[0].name, "Power On Hours Count");
        EXPECT_EQ(OpenEmulatedDevices(), 0);
        EXPECT_TRUE(Fake().boxes.empty());
    }
}

// ---- NVMe drives -------------------------------------------------------------------

// Model "NV DISK", TNVMCAP 1 MB, 2048 blocks of 512 bytes (format FLBAS),
// spare 5 below its threshold 10.
Bytes NvmeBlob(uint8_t flbas = 0)
{
    Bytes ct(4096, 0), ns(4096, 0), log(512, 0);
    std::memcpy(ct.data() + 24, "NV DISK", 7);
    ct[282] = 0x10;
    ns[1] = 0x08, ns[26] = flbas, ns[130] = 9;
    log[3] = 5, log[4] = 10;
    return Section("NVCT", ct) + Section("NVNS", ns) + Section("NVHL", log);
}

TEST_F(EmulatedDrivesTest, NvmeDriveAnswersAsItsDriverDoes)
{
    Write("drive0.blob", NvmeBlob());
    Write("drive1.blob", FullBlob());
    static uint8_t q[NvmeQueryBufferSize];
    // One request: the health log's with one field changed; 0 or the error.
    auto ask = [&](DeviceHandle h, int field = -1, uint32_t value = 0) {
        const uint32_t size = BuildNvmeQuery(q, 50, 2, 2, 0, 512);
        if (field >= 0)
            std::memcpy(q + 4 * field, &value, 4);
        Fake().lastError = 0;
        return os->deviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, q, size, q, size, &count) ? 0 : Fake().lastError;
    };
    auto bus = [&](DeviceHandle h) {
        std::memset(q, 0, 12);
        return os->deviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, q, 12, q, 1024, &count) ? q[28] : 0;
    };
    DeviceHandle nvme = Open(0);
    EXPECT_EQ(bus(nvme), 17);
    EXPECT_EQ(ask(nvme), 0u);
    ASSERT_NE(NvmeAnswerData(q, count, 512), nullptr);
    EXPECT_EQ(NvmeAnswerData(q, count, 512)[4], 10);
    // Property, protocol, data type, log page, sub-value, offset, length.
    const std::pair<int, uint32_t> wrong[] = {{0, 49}, {2, 2}, {3, 1}, {4, 3}, {5, 1}, {6, 44}, {7, 256}};
    for (const auto& [field, value] : wrong)
        EXPECT_EQ(ask(nvme, field, value), ERROR_INVALID_PARAMETER) << "field " << field;
    GETVERSIONINPARAMS v{};
    EXPECT_EQ(Version(nvme, &v), ERROR_INVALID_FUNCTION) << "no SMART requests";
    os->closeHandle(nvme);

    WriteText("drive0.fail", "admin\nhealth 50");
    WriteText("drive1.fail", "admin");
    for (int position : {0, 1}) {
        EXPECT_EQ(OpenError(position), ERROR_ACCESS_DENIED);
        DeviceHandle h = os->createFile(("\\\\.\\PhysicalDrive" + std::to_string(position)).c_str(), 0, 3, 3);
        EXPECT_EQ(bus(h), position ? 11 : 17);
        EXPECT_EQ(ask(h), position ? ERROR_INVALID_FUNCTION : 50u);
        EXPECT_EQ(Version(h, &v), ERROR_ACCESS_DENIED);
        os->closeHandle(h);
    }
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_EQ(DriveTable[0].nvme.healthError, 50u);
    EXPECT_EQ(GetDriveStatus(1), DriveStatus::Alert) << "read without rights: only its failure flag (SMST 0) counts";
    EXPECT_EQ(std::string(ErrorText, 4), "5 - ");
    fs::remove(folder / "drive1.blob");

    // A format beyond the table, no Identify, no log, on a Windows before 10.
    Write("drive0.blob", NvmeBlob(0x03));
    WriteText("drive0.fail", "nvmeid\nhealth 1");
    Fake().majorVersion = 6;
    ASSERT_EQ(ScanDrives(), 1);
    const DriveRecord& r = DriveTable[0];
    EXPECT_STREQ(r.model, "NV DISK") << "from the device descriptor";
    EXPECT_EQ(r.nvme.olderSystem + r.nvme.namespaceRead, 1);
    WriteText("drive0.fail", "");
    ASSERT_EQ(ScanDrives(), 1);
    EXPECT_EQ(r.nvme.capacityBytes, 1048576u) << "the disk's size for want of a block size";
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Alert) << "spare below its threshold";
    WriteText("drive0.fail", "query");
    EXPECT_EQ(ScanDrives(), 0) << "taken for an ATA drive, which does not answer";
    EXPECT_EQ(OpenEmulatedDevices(), 0);
}

}  // namespace
