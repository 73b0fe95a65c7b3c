// Fuzzes the monitor's state-file reader, and the mail settings reader, with whole files: a text it takes
// must hold a state within the limits that writes back to a text it reads
// the same way; a text it refuses must leave a fresh state.
#include <cstdint>
#include <cstring>

#include "mail_config.h"
#include "monitor_state_file.h"
#include "record_checks.h"

namespace {

MonitorState State, Again;
char Text[MonitorStateFileMax + 1], TextAgain[MonitorStateFileMax + 1];

void CheckLimits(const MonitorState& s)
{
    FUZZ_REQUIRE(s.driveCount >= 0 && s.driveCount <= MonitorDriveMax);
    FUZZ_REQUIRE(std::memchr(s.lastOutcome, '\0', sizeof s.lastOutcome));
    for (int k = 0; k < s.driveCount; ++k) {
        const KnownDrive& d = s.drives[k];
        FUZZ_REQUIRE(d.lastPosition >= 0 && d.lastPosition < DriveCount);
        FUZZ_REQUIRE(d.firstSightPending <= 1 && d.vanishedReported <= 1);
        FUZZ_REQUIRE(std::memchr(d.model, '\0', TextSize) && std::memchr(d.serial, '\0', TextSize) &&
                     std::memchr(d.firmware, '\0', TextSize));
        FUZZ_REQUIRE(d.nvme.wearStep == 0 || d.nvme.wearStep == NvmeWearWarning || d.nvme.wearStep == NvmeWearEnd);
        for (const AttributeReference& ref : d.references)
            FUZZ_REQUIRE(ref.threshold >= -1 && ref.threshold <= 255 && (ref.id == 0 || !d.nvme.inUse));
        FUZZ_REQUIRE(d.shownCount >= 0 && d.shownCount <= ShownMax);
        for (int i = 0; i < d.shownCount; ++i)
            FUZZ_REQUIRE(d.shown[i].kind < ConditionKindCount);
    }
}

}  // namespace

// The mail settings file: a text it takes writes back to one it takes alike.
void CheckMailConfig(const char* text, size_t size)
{
    static MailConfig config, again;
    static char written[MailConfigFileMax];
    if (!ParseMailConfig(text, size, &config))
        return;
    FUZZ_REQUIRE(static_cast<int>(config.security) <= 2 && std::memchr(config.user, '\0', sizeof config.user) &&
                 std::memchr(config.password, '\0', sizeof config.password) &&
                 std::memchr(config.command, '\0', sizeof config.command));
    const size_t n = FormatMailConfig(config, written, sizeof written);
    FUZZ_REQUIRE(n > 0 && ParseMailConfig(written, n, &again) && SameMailConfig(config, again));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckMailConfig(reinterpret_cast<const char*>(data), size);
    if (!ParseMonitorState(reinterpret_cast<const char*>(data), size, &State)) {
        static const MonitorState fresh = {};
        FUZZ_REQUIRE(std::memcmp(&State, &fresh, sizeof fresh) == 0);
        return 0;
    }
    CheckLimits(State);
    const size_t n = FormatMonitorState(State, Text, sizeof Text);
    FUZZ_REQUIRE(n > 0);
    FUZZ_REQUIRE(ParseMonitorState(Text, n, &Again));
    FUZZ_REQUIRE(FormatMonitorState(Again, TextAgain, sizeof TextAgain) == n);
    FUZZ_REQUIRE(std::memcmp(Text, TextAgain, n) == 0);
    return 0;
}
