// Schannel is asked for TLS 1.2 and later only, with manual validation: the
// certificate is checked here, the same way on every system, with the chain
// engine (cache-only retrieval and revocation, so nothing blocks the window's
// thread) and the SSL policy for the typed host name. Both the chain's trust
// status and the policy's result count: Wine's SSL policy passes a chain
// whose issuer is unknown, and only the chain's status (a partial chain)
// shows it.
#include "tls_schannel.h"

#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "loaded_library.h"
#include "monitor.h"

namespace {

constexpr DWORD ContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                               ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
constexpr DWORD ModernProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
constexpr DWORD IgnoredChainErrors = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
constexpr int PlainChunkMax = 4096;
// Revocation is read from the cache only, so "unknown" is its usual answer:
// only a known revocation (the chain's own status) fails the certificate.
constexpr DWORD IgnoreRevocationUnknown = 0x00000080;  // SECURITY_FLAG_IGNORE_REVOCATION

// Why a certificate fails: chain status bits, then policy errors.
struct Why {
    DWORD code;
    const char* text;
};

const Why ChainReasons[] = {
    {CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN, "its issuer is not an authority this computer trusts"},
    {CERT_TRUST_IS_NOT_TIME_VALID, "it has expired or is not valid yet"},
    {CERT_TRUST_IS_REVOKED, "it has been revoked"},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "its signature is not valid"},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "it is not meant for servers"},
};

const Why PolicyReasons[] = {
    {static_cast<DWORD>(CERT_E_CN_NO_MATCH), "it is not made out to the server's name"},
    {static_cast<DWORD>(CERT_E_UNTRUSTEDROOT), "its issuer is not an authority this computer trusts"},
    {static_cast<DWORD>(CERT_E_CHAINING), "its issuer is not an authority this computer trusts"},
    {static_cast<DWORD>(CERT_E_EXPIRED), "it has expired or is not valid yet"},
    {static_cast<DWORD>(CRYPT_E_REVOKED), "it has been revoked"},
};

struct CryptApi {
    decltype(&::CertGetCertificateChain) getChain;
    decltype(&::CertVerifyCertificateChainPolicy) verifyPolicy;
    decltype(&::CertFreeCertificateChain) freeChain;
    decltype(&::CertFreeCertificateContext) freeCertificate;
    decltype(&::CertGetNameStringA) getName;
};

PSecurityFunctionTableA Sspi;
CryptApi Crypt;
TlsRawSend RawSend;
CredHandle Credentials;
CtxtHandle Context;
bool HaveCredentials, HaveContext, Engaged, Established;
SecPkgContext_StreamSizes Sizes;
char Host[256];
char In[40000];
size_t InLength;
char Out[PlainChunkMax + 2048];
size_t OutLength, OutSent;
char Problem[400];

// CryptApi's functions, in its order.
const char CryptNames[] = "CertGetCertificateChain\0CertVerifyCertificateChainPolicy\0CertFreeCertificateChain\0"
                          "CertFreeCertificateContext\0CertGetNameStringA";

bool ApiReady()
{
    if (Sspi)
        return true;
    INIT_SECURITY_INTERFACE_A init;
    if (!LoadSystemCalls("crypt32.dll", CryptNames, &Crypt, sizeof Crypt) ||
        !LoadSystemCalls("secur32.dll", "InitSecurityInterfaceA", &init, sizeof init))
        return false;
    Sspi = init();
    return Sspi != nullptr;
}

bool Flush()
{
    while (OutSent < OutLength) {
        const int n = RawSend(Out + OutSent, static_cast<int>(OutLength - OutSent));
        if (n < 0)
            OutLength = OutSent = 0;  // the connection failed: its close follows
        if (n <= 0)
            return false;
        OutSent += static_cast<size_t>(n);
    }
    OutLength = OutSent = 0;
    return true;
}

// A handshake token for the server: queued whole, then sent as the socket takes it.
void Queue(const SecBuffer& token)
{
    if (token.pvBuffer && token.cbBuffer <= sizeof Out - OutLength) {
        std::memcpy(Out + OutLength, token.pvBuffer, token.cbBuffer);
        OutLength += token.cbBuffer;
    }
    if (token.pvBuffer)
        Sspi->FreeContextBuffer(token.pvBuffer);
    Flush();
}

// What Schannel left unread of In moves to its front.
void KeepExtra(const SecBuffer& last)
{
    if (last.BufferType == SECBUFFER_EXTRA && last.cbBuffer <= InLength) {
        std::memmove(In, In + InLength - last.cbBuffer, last.cbBuffer);
        InLength = last.cbBuffer;
    } else {
        InLength = 0;
    }
}

SECURITY_STATUS HandshakeStep(bool first)
{
    SecBuffer input[2] = {{static_cast<unsigned long>(InLength), SECBUFFER_TOKEN, In}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBuffer output = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, input}, outDesc = {SECBUFFER_VERSION, 1, &output};
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        Sspi->InitializeSecurityContextA(&Credentials, first ? nullptr : &Context, Host, ContextFlags, 0, 0,
                                         first ? nullptr : &inDesc, 0, first ? &Context : nullptr, &outDesc,
                                         &attributes, nullptr);
    HaveContext = HaveContext || first;
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return status;
    Queue(output);
    if (!first)
        KeepExtra(input[1]);
    return status;
}

// "subject: why" when the certificate fails, else "".
void NoteProblem(PCCERT_CONTEXT certificate, const char* why)
{
    char subject[200] = "";
    Crypt.getName(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, subject, sizeof subject);
    std::snprintf(Problem, sizeof Problem, "\"%s\": %s", subject, why);
}

// Chain status is bits, a policy's error one code.
const char* ReasonOf(const Why* table, size_t count, DWORD code, bool bits, char* other, size_t size)
{
    for (size_t i = 0; i < count; ++i) {
        if (bits ? (table[i].code & code) != 0 : table[i].code == code)
            return table[i].text;
    }
    std::snprintf(other, size, "the system refused it (0x%08lX)", code);
    return other;
}

// An address typed in place of a name is never checked against the
// certificate's names: it fails, on every system alike.
bool IsAddress(const char* host)
{
    return std::strspn(host, "0123456789.") == std::strlen(host);
}

SmtpOutcome CheckCertificate(PCCERT_CONTEXT certificate)
{
    WCHAR name[256];
    MultiByteToWideChar(CP_ACP, 0, Host, -1, name, 256);
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!Crypt.getChain(nullptr, certificate, nullptr, certificate->hCertStore, &para,
                        CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY |
                            CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT,
                        nullptr, &chain)) {
        NoteProblem(certificate, "its chain could not be built");
        return SmtpOutcome::Certificate;
    }
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = IgnoreRevocationUnknown;
    ssl.pwszServerName = name;
    CERT_CHAIN_POLICY_PARA policy = {sizeof policy, CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS, &ssl};
    CERT_CHAIN_POLICY_STATUS status = {sizeof status, 0, 0, 0, nullptr};
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus & ~IgnoredChainErrors;
    const bool policyRan = Crypt.verifyPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    Crypt.freeChain(chain);
    char other[48];
    if (chainErrors)
        NoteProblem(certificate, ReasonOf(ChainReasons, 5, chainErrors, true, other, sizeof other));
    else if (!policyRan || status.dwError)
        NoteProblem(certificate, ReasonOf(PolicyReasons, 5, policyRan ? status.dwError : GetLastError(), false,
                                          other, sizeof other));
    else if (IsAddress(Host))
        NoteProblem(certificate, "an address was typed, and only a name can be checked against it");
    return Problem[0] ? SmtpOutcome::Certificate : SmtpOutcome::Sent;
}

// After the handshake: TLS 1.2 or later, and a certificate that passes.
SmtpOutcome CheckConnection()
{
    SecPkgContext_ConnectionInfo info = {};
    PCCERT_CONTEXT certificate = nullptr;
    if (Sspi->QueryContextAttributesA(&Context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK ||
        !(info.dwProtocol & ModernProtocols) ||
        Sspi->QueryContextAttributesA(&Context, SECPKG_ATTR_STREAM_SIZES, &Sizes) != SEC_E_OK) {
        std::snprintf(Problem, sizeof Problem, "the server did not agree to TLS 1.2 or later (protocol 0x%lX)",
                      info.dwProtocol);
        return SmtpOutcome::TlsFailed;
    }
    if (Sspi->QueryContextAttributesA(&Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        !certificate) {
        std::snprintf(Problem, sizeof Problem, "the server showed no certificate");
        return SmtpOutcome::Certificate;
    }
    const SmtpOutcome outcome = CheckCertificate(certificate);
    Crypt.freeCertificate(certificate);
    return outcome;
}

void Fail(SmtpOutcome outcome, SECURITY_STATUS status)
{
    if (!Problem[0])
        std::snprintf(Problem, sizeof Problem, "the handshake failed (0x%08lX)", static_cast<unsigned long>(status));
    Engaged = false;
    MonitorSecured(outcome, Problem);
}

void Decrypt();

void ContinueHandshake()
{
    SECURITY_STATUS status = SEC_I_CONTINUE_NEEDED;
    while (status == SEC_I_CONTINUE_NEEDED && InLength > 0)
        status = HandshakeStep(false);
    if (status == SEC_E_INCOMPLETE_MESSAGE || status == SEC_I_CONTINUE_NEEDED)
        return;
    if (status != SEC_E_OK) {
        Fail(SmtpOutcome::TlsFailed, status);
        return;
    }
    const SmtpOutcome outcome = CheckConnection();
    if (outcome != SmtpOutcome::Sent) {
        Fail(outcome, status);
        return;
    }
    Established = true;
    MonitorSecured(SmtpOutcome::Sent, "");
    Decrypt();  // the server may have spoken already (its greeting)
}

// Each whole record goes on decrypted; TLS 1.3's messages after the
// handshake go back to Schannel.
void Decrypt()
{
    while (Established && InLength > 0) {
        SecBuffer b[4] = {{static_cast<unsigned long>(InLength), SECBUFFER_DATA, In}, {}, {}, {}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
        const SECURITY_STATUS status = Sspi->DecryptMessage(&Context, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
            InLength = 0;
            MonitorClosed();  // the server ended TLS, or sent what it cannot be
            return;
        }
        static char plain[sizeof In];
        size_t plainLength = 0;
        SecBuffer extra = {};
        for (const SecBuffer& buffer : b) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer <= sizeof plain) {
                std::memcpy(plain, buffer.pvBuffer, buffer.cbBuffer);
                plainLength = buffer.cbBuffer;
            } else if (buffer.BufferType == SECBUFFER_EXTRA) {
                extra = buffer;
            }
        }
        KeepExtra(extra);
        if (status == SEC_I_RENEGOTIATE && HandshakeStep(false) != SEC_E_OK)
            InLength = 0;
        if (plainLength)
            MonitorReceived(plain, plainLength);  // may end the dialogue, and TLS with it
    }
}

}  // namespace

bool TlsStart(const char* host, TlsRawSend send)
{
    TlsStop();
    if (!ApiReady() || std::strlen(host) >= sizeof Host)
        return false;
    std::strcpy(Host, host);
    RawSend = send;
    Problem[0] = '\0';
    SCHANNEL_CRED cred = {};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry;
    // Systems before TLS 1.3 refuse to hear of it: then TLS 1.2 alone.
    for (const DWORD protocols : {ModernProtocols, static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT)}) {
        cred.grbitEnabledProtocols = protocols;
        HaveCredentials = Sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                                          SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                                          &Credentials, &expiry) == SEC_E_OK;
        if (HaveCredentials)
            break;
    }
    Engaged = HaveCredentials && HandshakeStep(true) == SEC_I_CONTINUE_NEEDED;
    if (!Engaged)
        TlsStop();
    return Engaged;
}

bool TlsEngaged()
{
    return Engaged;
}

void TlsReceived(const char* bytes, size_t length)
{
    if (length > sizeof In - InLength) {
        Fail(SmtpOutcome::TlsFailed, SEC_E_BUFFER_TOO_SMALL);
        return;
    }
    std::memcpy(In + InLength, bytes, length);
    InLength += length;
    if (Established)
        Decrypt();
    else
        ContinueHandshake();
}

int TlsSend(const char* data, int length)
{
    if (!Established)
        return -1;
    if (!Flush())
        return OutLength ? 0 : -1;
    const int n = static_cast<int>(
        std::min<unsigned long>({static_cast<unsigned long>(length), Sizes.cbMaximumMessage, PlainChunkMax}));
    char* at = Out;
    SecBuffer b[4] = {{Sizes.cbHeader, SECBUFFER_STREAM_HEADER, at},
                      {static_cast<unsigned long>(n), SECBUFFER_DATA, at + Sizes.cbHeader},
                      {Sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, at + Sizes.cbHeader + n},
                      {0, SECBUFFER_EMPTY, nullptr}};
    if (Sizes.cbHeader + n + Sizes.cbTrailer > sizeof Out)
        return -1;
    std::memcpy(at + Sizes.cbHeader, data, static_cast<size_t>(n));
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
    if (Sspi->EncryptMessage(&Context, 0, &desc, 0) != SEC_E_OK)
        return -1;
    OutLength = b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer;
    OutSent = 0;
    Flush();
    return n;
}

bool TlsFlush()
{
    return !Engaged || Flush();
}

void TlsStop()
{
    if (HaveContext)
        Sspi->DeleteSecurityContext(&Context);
    if (HaveCredentials)
        Sspi->FreeCredentialsHandle(&Credentials);
    HaveContext = HaveCredentials = Engaged = Established = false;
    InLength = OutLength = OutSent = 0;
}
