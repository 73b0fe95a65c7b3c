// SmtpServices that record what the dialogue asks of the network, for the
// host tests of the SMTP state machine and the monitor: no socket is opened.
// The test answers in place of the network by calling the Smtp*/Monitor*
// event functions.
#pragma once
#include <algorithm>
#include <string>
#include <utility>

#include "smtp_dialogue.h"

struct RecordingSmtp {
    std::string lookedUp;      // hosts, one per lookup, ';'-separated
    uint16_t port = 0;
    std::string sent;          // every byte taken
    int closes = 0;
    int takeAtMost = 1 << 30;  // bytes per sendBytes call
    bool blocked = false;      // sendBytes would block
    bool lookupWorks = true;
    std::string tlsHost;       // hosts, one per TLS handshake begun, ';'-separated

    static RecordingSmtp& Of(void* c) { return *static_cast<RecordingSmtp*>(c); }
    SmtpServices services{
        this,
        [](void* c, const char* host) { return Of(c).lookedUp += std::string(host) + ";", Of(c).lookupWorks; },
        [](void* c, uint32_t, uint16_t port) { return Of(c).port = port, true; },
        [](void* c, const char* data, int length) {
            const int n = Of(c).blocked ? 0 : std::min(length, Of(c).takeAtMost);
            return Of(c).sent.append(data, static_cast<size_t>(n)), n;
        },
        [](void* c) { ++Of(c).closes; },
        [](void*) -> uint32_t { return 0x070200C0; },  // 192.0.2.7
        [](void* c, const char* host) { return Of(c).tlsHost += std::string(host) + ";", true; },
    };

    // The sent bytes since the last call.
    std::string TakeSent() { return std::exchange(sent, std::string()); }
};
