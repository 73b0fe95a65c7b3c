// Fuzzes the SMTP reply parser with what a server might send: the same bytes
// fed whole and one byte at a time must give the same replies, each with a
// valid code and a printable, bounded last line. Then the bytes answer a
// whole dialogue, which must end cleanly whatever they hold: arriving in one
// piece before any command could be answered, they never end in "Sent".
#include <cstdint>
#include <cstring>
#include <string>

#include "record_checks.h"
#include "smtp_dialogue.h"

namespace {

// "code:last line" of each complete reply, fed in pieces of at most step bytes.
std::string Replies(const char* data, size_t size, size_t step)
{
    SmtpReplyParser parser;
    ResetReplyParser(&parser);
    std::string seen;
    size_t used = 0;
    while (used < size) {
        const size_t piece = size - used < step ? size - used : step;
        const size_t took = FeedReply(&parser, data + used, piece);
        FUZZ_REQUIRE(took <= piece && (took == piece || parser.complete));
        used += took;
        if (!parser.complete)
            continue;
        FUZZ_REQUIRE(parser.code == 0 || (parser.code >= 100 && parser.code <= 599));
        const size_t length = std::strlen(parser.lastLine);
        FUZZ_REQUIRE(length <= SmtpReplyLineMax);
        for (size_t i = 0; i < length; ++i)
            FUZZ_REQUIRE(parser.lastLine[i] >= 0x20 && parser.lastLine[i] <= 0x7E);
        seen += std::to_string(parser.code) + ":" + parser.lastLine + "\n";
    }
    return seen;
}

int Closes;
const SmtpServices Network{
    nullptr, [](void*, const char*) { return true; }, [](void*, uint32_t, uint16_t) { return true; },
    [](void*, const char*, int length) { return length; }, [](void*) { ++Closes; },
    [](void*) -> uint32_t { return 0; }, [](void*, const char*) { return true; }};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const char* data = reinterpret_cast<const char*>(bytes);
    FUZZ_REQUIRE(Replies(data, size, size ? size : 1) == Replies(data, size, 1));

    static const char mail[] = "Subject: x\r\n\r\nbody\r\n";
    Closes = 0;
    SmtpStart(&Network, {"host", 25, "helo", "a@b", mail, sizeof mail - 1}, 0);
    SmtpHostFound(true, 1, 0);
    SmtpConnected(0, 0);
    SmtpReceived(data, size, 1);
    SmtpClosed(2);
    FUZZ_REQUIRE(!SmtpRunning() && Closes == 1);
    FUZZ_REQUIRE(SmtpResult() != SmtpOutcome::Running && SmtpResult() != SmtpOutcome::Sent);

    // The same bytes as TLS gives them after its handshake, with a login.
    SmtpStart(&Network, {"host", 465, "helo", "a@b", mail, sizeof mail - 1, SmtpSecurity::Tls, "me", "pw"}, 0);
    SmtpHostFound(true, 1, 0);
    SmtpConnected(0, 0);
    SmtpSecured(SmtpOutcome::Sent, "", 1);
    SmtpReceived(data, size, 1);
    SmtpClosed(2);
    FUZZ_REQUIRE(!SmtpRunning() && Closes == 2 && SmtpResult() != SmtpOutcome::Running &&
                 SmtpResult() != SmtpOutcome::Sent);
    return 0;
}
