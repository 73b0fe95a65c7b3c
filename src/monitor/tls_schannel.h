// TLS on the dialogue's socket through Schannel (secur32 and crypt32, loaded
// on first use: TLS 1.2 needs Windows 7 or later). The socket's bytes come in
// through TlsReceived while TLS is engaged; what TLS decrypts goes on to
// MonitorReceived, and the handshake's end, with the check of the server's
// certificate, to MonitorSecured.
#pragma once
#include <cstddef>

// Sends raw bytes on the socket: bytes taken, 0 when it would block, -1 on failure.
using TlsRawSend = int (*)(const char* data, int length);

// Begins the handshake for `host`, the name the certificate must carry.
bool TlsStart(const char* host, TlsRawSend send);
bool TlsEngaged();
void TlsReceived(const char* bytes, size_t length);
// Takes up to `length` bytes to send inside TLS (as SmtpServices::sendBytes).
int TlsSend(const char* data, int length);
// The socket can take more: sends what waits. True when nothing waits.
bool TlsFlush();
// Ends TLS and frees what it holds (the connection is closing).
void TlsStop();
