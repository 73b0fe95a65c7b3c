// SmtpServices that record what the dialogue asks of the network, for the
// host tests of the SMTP state machine and the monitor: no socket is opened.
// The test answers in place of the network by calling the Smtp*/Monitor*
// event functions.
#pragma once
#include <string>

#include "smtp_dialogue.h"

struct RecordingSmtp {
    std::string lookedUp;      // hosts, one per lookup, ';'-separated
    uint16_t port = 0;
    std::string sent;          // every byte taken
    int closes = 0;
    int takeAtMost = 1 << 30;  // bytes per sendBytes call
    bool blocked = false;      // sendBytes would block
    bool lookupWorks = true;
    SmtpServices services{this, Lookup, Connect, Send, Close};

    static RecordingSmtp& Of(void* c) { return *static_cast<RecordingSmtp*>(c); }
    static bool Lookup(void* c, const char* host)
    {
        Of(c).lookedUp += std::string(host) + ";";
        return Of(c).lookupWorks;
    }
    static bool Connect(void* c, uint32_t, uint16_t port)
    {
        Of(c).port = port;
        return true;
    }
    static int Send(void* c, const char* data, int length)
    {
        RecordingSmtp& r = Of(c);
        if (r.blocked)
            return 0;
        const int n = length < r.takeAtMost ? length : r.takeAtMost;
        r.sent.append(data, static_cast<size_t>(n));
        return n;
    }
    static void Close(void* c) { ++Of(c).closes; }

    // The sent bytes since the last call.
    std::string TakeSent()
    {
        std::string s;
        s.swap(sent);
        return s;
    }
};
