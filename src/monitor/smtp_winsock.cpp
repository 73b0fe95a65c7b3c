// Winsock 1.1 behind SmtpServices. Every entry point is looked up with
// GetProcAddress: the program imports nothing from wsock32.dll, so it loads
// where the DLL is missing, and the monitor then says it has no network.
#include "smtp_winsock.h"

#include <winsock.h>

#include <cstring>

#include "monitor.h"
#include "loaded_library.h"
#include "tls_schannel.h"

namespace {

const char WinsockLibraryName[] = "wsock32.dll";

struct WinsockApi {
    decltype(&::WSAStartup) startup;
    decltype(&::WSACleanup) cleanup;
    decltype(&::WSAAsyncGetHostByName) asyncGetHostByName;
    decltype(&::WSACancelAsyncRequest) cancelAsyncRequest;
    decltype(&::WSAAsyncSelect) asyncSelect;
    decltype(&::WSAGetLastError) getLastError;
    decltype(&::socket) socket;
    decltype(&::setsockopt) setsockopt;
    decltype(&::connect) connect;
    decltype(&::getsockname) getsockname;
    decltype(&::send) send;
    decltype(&::recv) recv;
    decltype(&::closesocket) closesocket;
    decltype(&::inet_addr) inetAddr;
};

HMODULE Library;
WinsockApi Api;
HWND Window;

// The lookup under way: a Winsock task, or a dotted address posted as its
// own answer (wParam 0, which no task handle has).
HANDLE LookupTask;
bool AddressPosted;
uint32_t PostedAddress;
char HostBuffer[MAXGETHOSTSTRUCT];

SOCKET Live = INVALID_SOCKET;
UINT LiveMessage;  // 0 while no socket is open
unsigned Connections;
char ReceiveBuffer[2048];

// WinsockApi's functions, in its order.
const char WinsockNames[] = "WSAStartup\0WSACleanup\0WSAAsyncGetHostByName\0WSACancelAsyncRequest\0"
                            "WSAAsyncSelect\0WSAGetLastError\0socket\0setsockopt\0connect\0getsockname\0send\0"
                            "recv\0closesocket\0inet_addr";

bool WinsockReady()
{
    if (Library)
        return true;
    Library = LoadSystemLibrary(WinsockLibraryName);
    WSADATA data;
    if (Library && LoadSystemCalls(WinsockLibraryName, WinsockNames, &Api, sizeof Api) &&
        Api.startup(MAKEWORD(1, 1), &data) == 0)
        return true;
    if (Library)
        FreeLibrary(Library);
    Library = nullptr;
    return false;
}

// Windows runs little-endian: the port goes to the wire high byte first.
u_short NetworkOrder(uint16_t port)
{
    return static_cast<u_short>(port >> 8 | port << 8);
}

bool StartLookup(void*, const char* host)
{
    const unsigned long dotted = Api.inetAddr(host);
    if (dotted != INADDR_NONE) {
        PostedAddress = static_cast<uint32_t>(dotted);
        AddressPosted = PostMessageA(Window, WinsockLookupMessage, 0, 0) != 0;
        return AddressPosted;
    }
    LookupTask = Api.asyncGetHostByName(Window, WinsockLookupMessage, host, HostBuffer, sizeof HostBuffer);
    return LookupTask != nullptr;
}

bool StartConnect(void*, uint32_t address, uint16_t port)
{
    const SOCKET s = Api.socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    const UINT message = WinsockSocketMessageFirst + Connections++ % WinsockSocketMessageCount;
    // The message and its final "." go out as two writes: without this the
    // second waits for the server's delayed acknowledgement of the first.
    const BOOL noDelay = TRUE;
    Api.setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = NetworkOrder(port);
    to.sin_addr.s_addr = address;
    // WSAAsyncSelect makes the socket non-blocking: connect then answers
    // "would block" and FD_CONNECT follows.
    const bool started = Api.asyncSelect(s, Window, message, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == 0 &&
                         (Api.connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ||
                          Api.getLastError() == WSAEWOULDBLOCK);
    if (!started) {
        Api.closesocket(s);
        return false;
    }
    Live = s;
    LiveMessage = message;
    return true;
}

int SendRaw(const char* data, int length)
{
    if (Live == INVALID_SOCKET)
        return -1;
    const int n = Api.send(Live, data, length, 0);
    if (n != SOCKET_ERROR)
        return n;
    return Api.getLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int SendBytes(void*, const char* data, int length)
{
    return TlsEngaged() ? TlsSend(data, length) : SendRaw(data, length);
}

bool StartTls(void*, const char* host)
{
    return TlsStart(host, SendRaw);
}

void CloseConnection(void*)
{
    TlsStop();
    if (LookupTask)
        Api.cancelAsyncRequest(LookupTask);
    LookupTask = nullptr;
    AddressPosted = false;
    if (Live != INVALID_SOCKET) {
        Api.asyncSelect(Live, Window, 0, 0);
        Api.closesocket(Live);
    }
    Live = INVALID_SOCKET;
    LiveMessage = 0;
}

uint32_t LocalAddress(void*)
{
    sockaddr_in local = {};
    int size = sizeof local;
    if (Live == INVALID_SOCKET || Api.getsockname(Live, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return static_cast<uint32_t>(local.sin_addr.s_addr);
}

const SmtpServices Services = {nullptr, StartLookup, StartConnect, SendBytes, CloseConnection, LocalAddress, StartTls};

void OnLookup(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0) {
        if (!AddressPosted)
            return;  // the dialogue ended before its answer came
        AddressPosted = false;
        MonitorHostFound(true, PostedAddress);
        return;
    }
    if (!LookupTask || reinterpret_cast<HANDLE>(wParam) != LookupTask)
        return;
    LookupTask = nullptr;
    const auto* host = reinterpret_cast<const hostent*>(HostBuffer);
    const bool found = WSAGETASYNCERROR(lParam) == 0 && host->h_addrtype == AF_INET && host->h_length == 4 &&
                       host->h_addr_list && host->h_addr_list[0];
    uint32_t address = 0;
    if (found)
        std::memcpy(&address, host->h_addr_list[0], sizeof address);
    MonitorHostFound(found, address);
}

// Bytes from the socket: through TLS while it is engaged.
void Deliver(const char* bytes, size_t length)
{
    if (TlsEngaged())
        TlsReceived(bytes, length);
    else
        MonitorReceived(bytes, length);
}

bool StillLive(SOCKET s)
{
    return Live == s && s != INVALID_SOCKET;
}

// One read per FD_READ: Winsock posts another while bytes are left.
void ReadSome(SOCKET s)
{
    const int n = Api.recv(s, ReceiveBuffer, sizeof ReceiveBuffer, 0);
    if (n > 0)
        Deliver(ReceiveBuffer, static_cast<size_t>(n));
    else if (n == SOCKET_ERROR && Api.getLastError() != WSAEWOULDBLOCK)
        MonitorClosed();
}

// The server's last bytes may come with its close: they go first. The
// dialogue may end (and close the socket) on any of them.
void ReadToTheEnd(SOCKET s)
{
    int n = 0;
    while (StillLive(s) && (n = Api.recv(s, ReceiveBuffer, sizeof ReceiveBuffer, 0)) > 0)
        Deliver(ReceiveBuffer, static_cast<size_t>(n));
    if (StillLive(s))
        MonitorClosed();
}

void OnSocket(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto s = static_cast<SOCKET>(wParam);
    if (message != LiveMessage || !StillLive(s))
        return;  // a notification for a socket closed since
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT: MonitorConnected(WSAGETSELECTERROR(lParam)); break;
    case FD_READ: ReadSome(s); break;
    case FD_WRITE:
        if (TlsFlush())
            MonitorWritable();
        break;
    case FD_CLOSE: ReadToTheEnd(s); break;
    default: break;
    }
}

}  // namespace

const SmtpServices* WinsockSmtpServices(HWND window)
{
    Window = window;
    return WinsockReady() ? &Services : nullptr;
}

bool HandleWinsockMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WinsockLookupMessage) {
        OnLookup(wParam, lParam);
        return true;
    }
    if (message < WinsockSocketMessageFirst || message >= WinsockSocketMessageFirst + WinsockSocketMessageCount)
        return false;
    OnSocket(message, wParam, lParam);
    return true;
}

void StopWinsock()
{
    if (!Library)
        return;
    CloseConnection(nullptr);
    Api.cleanup();
    FreeLibrary(Library);
    Library = nullptr;
}
