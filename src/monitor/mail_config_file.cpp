#include "mail_config_file.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>

#include "drive_services.h"
#include "file_places.h"
#include "file_replace.h"
#include "loaded_library.h"
#include "smtp_auth.h"

const char MailConfigFileName[] = "ostrivel.cfg";
MailConfig CurrentMailConfig;

namespace {

const char Crypt32[] = "crypt32.dll";

using ProtectCall = BOOL(WINAPI*)(DATA_BLOB*, LPCWSTR, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                  DATA_BLOB*);
using UnprotectCall = BOOL(WINAPI*)(DATA_BLOB*, LPWSTR*, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                    DATA_BLOB*);

}  // namespace

void LoadMailConfig()
{
    static char text[MailConfigFileMax + 1];
    uint32_t size = 0;
    FilePlace place;
    PlaceProgramFile(MailConfigFileName, &place);
    if (WindowsDriveFiles().readFile(place.read, reinterpret_cast<uint8_t*>(text), sizeof text, &size) !=
            ERROR_SUCCESS ||
        !ParseMailConfig(text, size, &CurrentMailConfig))
        std::memset(&CurrentMailConfig, 0, sizeof CurrentMailConfig);
}

bool SaveMailConfig()
{
    char text[MailConfigFileMax];
    const size_t length = FormatMailConfig(CurrentMailConfig, text, sizeof text);
    char path[MAX_PATH];
    return length > 0 && SaveProgramFile(MailConfigFileName, MonitorTemporaryPrefix, text, length, path);
}

bool ProtectPassword(const char* password, char* out, size_t capacity)
{
    out[0] = '\0';
    if (!password[0])
        return capacity > 0;
    const auto protect = LoadSystemCall<ProtectCall>(Crypt32, "CryptProtectData");
    DATA_BLOB plain = {static_cast<DWORD>(std::strlen(password)), reinterpret_cast<BYTE*>(const_cast<char*>(password))};
    DATA_BLOB sealed = {};
    if (!protect || !protect(&plain, L"Ostrivel", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed))
        return false;
    const bool done = EncodeBase64(sealed.pbData, sealed.cbData, out, capacity);
    LocalFree(sealed.pbData);
    return done;
}

bool RevealPassword(const char* protectedText, char* out, size_t capacity)
{
    const auto unprotect = LoadSystemCall<UnprotectCall>(Crypt32, "CryptUnprotectData");
    static uint8_t bytes[MailProtectedSize];
    size_t length = 0;
    DATA_BLOB sealed = {}, plain = {};
    out[0] = '\0';
    if (!unprotect || !DecodeBase64(protectedText, bytes, sizeof bytes, &length))
        return false;
    sealed = {static_cast<DWORD>(length), bytes};
    if (!unprotect(&sealed, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain))
        return false;
    const bool fits = plain.cbData < capacity;
    if (fits) {
        std::memcpy(out, plain.pbData, plain.cbData);
        out[plain.cbData] = '\0';
    }
    Wipe(plain.pbData, plain.cbData);
    LocalFree(plain.pbData);
    return fits;
}
