// The five SMART requests: exact bytes sent, lengths and control codes, for
// every drive position.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_smart_os.h"
#include "smart_commands.h"

namespace {

class SmartCommandsTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ResetFake();
        SetSmartOs(FakeSmartOs());
    }
    uint8_t drive() const { return static_cast<uint8_t>(GetParam()); }
    uint8_t head() const { return GetParam() % 2 ? 0xB0 : 0xA0; }

    // The one request made, with its 32 bytes.
    const FakeRequest& OnlyRequest()
    {
        EXPECT_EQ(Fake().requests.size(), 1u);
        return Fake().requests.at(0);
    }

    // The 32 bytes a zeroed record carries for one command.
    std::vector<uint8_t> Expected(uint32_t bufferSize, uint8_t features, uint8_t cylLow, uint8_t cylHigh,
                                  uint8_t command)
    {
        std::vector<uint8_t> bytes(32, 0);
        bytes[0] = static_cast<uint8_t>(bufferSize);
        bytes[1] = static_cast<uint8_t>(bufferSize >> 8);
        const uint8_t regs[] = {features, 1, 1, cylLow, cylHigh, head(), command};
        std::memcpy(&bytes[4], regs, sizeof regs);
        bytes[12] = drive();
        return bytes;
    }

    DeviceHandle device = FakeHandle(0);
    SENDCMDINPARAMS record{};
    uint32_t count = 0;
    SmartAnswerBuffer answer{};
};

TEST_P(SmartCommandsTest, VersionQuerySendsNothingAndAsksFor24Bytes)
{
    GETVERSIONINPARAMS version{};
    EXPECT_NE(QuerySmartVersion(device, &version, &count), 0);
    const FakeRequest& r = OnlyRequest();
    EXPECT_EQ(r.controlCode, 0x74080u);
    EXPECT_FALSE(r.hasInput);
    EXPECT_EQ(r.inputLength, 0u);
    EXPECT_EQ(r.output, &version);
    EXPECT_EQ(r.outputLength, 24u);
    EXPECT_TRUE(r.hasByteCount);
}

TEST_P(SmartCommandsTest, EnableSendsD8AndAsksForTheHeaderOnly)
{
    SENDCMDOUTPARAMS out{};
    EXPECT_NE(EnableSmart(device, &record, &out, drive(), &count), 0);
    const FakeRequest& r = OnlyRequest();
    EXPECT_EQ(r.controlCode, 0x7C084u);
    EXPECT_EQ(r.inputLength, 32u);
    EXPECT_EQ(r.input, Expected(0, 0xD8, 0x4F, 0xC2, 0xB0));
    EXPECT_EQ(r.output, &out);
    EXPECT_EQ(r.outputLength, 16u);
}

TEST_P(SmartCommandsTest, IdentifySendsItsCommandByteAndAsksFor528)
{
    EXPECT_NE(IdentifyDrive(device, &record, answer, 0xEC, drive(), &count), 0);
    const FakeRequest& r = OnlyRequest();
    EXPECT_EQ(r.controlCode, 0x7C088u);
    EXPECT_EQ(r.input, Expected(512, 0, 0, 0, 0xEC));
    EXPECT_EQ(r.output, answer);
    EXPECT_EQ(r.outputLength, 528u);

    // Another command byte goes out unchanged; the other registers stay.
    Fake().requests.clear();
    IdentifyDrive(device, &record, answer, 0xA1, drive(), &count);
    EXPECT_EQ(OnlyRequest().input, Expected(512, 0, 0, 0, 0xA1));
}

TEST_P(SmartCommandsTest, ReadsSendD0AndD1AndAskFor528)
{
    EXPECT_NE(ReadSmartAttributes(device, &record, answer, drive()), 0);
    EXPECT_NE(ReadSmartThresholds(device, &record, answer, drive()), 0);
    ASSERT_EQ(Fake().requests.size(), 2u);
    for (const FakeRequest& r : Fake().requests) {
        EXPECT_EQ(r.controlCode, 0x7C088u);
        EXPECT_EQ(r.inputLength, 32u);
        EXPECT_EQ(r.output, answer);
        EXPECT_EQ(r.outputLength, 528u);
        EXPECT_TRUE(r.hasByteCount);
    }
    EXPECT_EQ(Fake().requests[0].input, Expected(512, 0xD0, 0x4F, 0xC2, 0xB0));
    EXPECT_EQ(Fake().requests[1].input, Expected(512, 0xD1, 0x4F, 0xC2, 0xB0));
}

TEST_P(SmartCommandsTest, CommandsWriteOnlyTheirFields)
{
    // Bytes the request does not own keep what the caller left: offset 11,
    // 13 to 31, and bBuffer (32), which is not sent.
    std::memset(&record, 0xEE, sizeof record);
    ReadSmartAttributes(device, &record, answer, drive());
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ(bytes[11], 0xEE);
    for (int i = 13; i < 33; ++i)
        EXPECT_EQ(bytes[i], 0xEE) << "byte " << i;
    EXPECT_EQ(OnlyRequest().input.size(), 32u);
    EXPECT_EQ(record.bDriveNumber, drive());
}

INSTANTIATE_TEST_SUITE_P(EveryDriveIndex, SmartCommandsTest, ::testing::Values(0, 1, 2, 3));

TEST(SmartCommands, ResultsComeBackUnchanged)
{
    ResetFake();
    SetSmartOs(FakeSmartOs());
    FakePosition& p = Fake().positions[1];
    p.versionWorks = p.enableWorks = p.identifyWorks = p.attributesWork = p.thresholdsWork = false;
    SENDCMDINPARAMS record{};
    SENDCMDOUTPARAMS out{};
    SmartAnswerBuffer answer{};
    GETVERSIONINPARAMS version{};
    uint32_t count = 0;
    const DeviceHandle device = FakeHandle(1);
    EXPECT_EQ(QuerySmartVersion(device, &version, &count), 0);
    EXPECT_EQ(EnableSmart(device, &record, &out, 1, &count), 0);
    EXPECT_EQ(IdentifyDrive(device, &record, answer, 0xEC, 1, &count), 0);
    EXPECT_EQ(ReadSmartAttributes(device, &record, answer, 1), 0);
    EXPECT_EQ(ReadSmartThresholds(device, &record, answer, 1), 0);
}

}  // namespace
