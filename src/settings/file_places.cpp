#include "file_places.h"

#include <cstring>

#include "file_replace.h"
#include "settings.h"
#include "unicode_calls.h"

namespace {

const char AppDataFolder[] = "\\Ostrivel\\";
const char VirtualStoreFolder[] = "\\VirtualStore\\";

char GivenFolder[MAX_PATH];

bool IsWindowsNt()
{
    return !(GetVersion() & 0x80000000u);
}

bool IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An environment variable's folder joined with more; false when unset.
bool FromEnvironment(const char* variable, const char* more, char (&path)[MAX_PATH])
{
    char value[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(variable, value, MAX_PATH);
    return n > 0 && n < MAX_PATH && JoinPath(path, value, more);
}

// "%APPDATA%\Ostrivel\", or the given folder with its trailing backslash.
bool OwnFolder(char (&folder)[MAX_PATH])
{
    if (!GivenFolder[0])
        return FromEnvironment("APPDATA", AppDataFolder, folder);
    const size_t n = std::strlen(GivenFolder);
    return JoinPath(folder, GivenFolder, GivenFolder[n - 1] == '\\' ? "" : "\\");
}

// What Windows wrote in place of the program's folder for programs without a
// manifest: the folder's path without its drive, under the VirtualStore.
bool VirtualStorePath(const char* name, char (&path)[MAX_PATH])
{
    char program[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
    char* end = std::strrchr(program, '\\');
    if (n == 0 || n >= MAX_PATH || !end || program[1] != ':' || program[2] != '\\')
        return false;  // only local drives were redirected
    end[1] = '\0';
    char store[MAX_PATH];
    return FromEnvironment("LOCALAPPDATA", VirtualStoreFolder, store) && JoinPath(path, store, program + 3, name);
}

// Whether the current directory (the program's folder) takes new files: a
// save creates its temporary file there first. Wine names a file even when
// it could not create it, so the file itself is looked for.
bool TakesNewFiles()
{
    char probe[MAX_PATH];
    return GetTempFileNameA(".", SettingsTemporaryPrefix, 0, probe) && IsFile(probe) && DeleteFileA(probe);
}

}  // namespace

void PlaceProgramFile(const char* name, FilePlace* place)
{
    JoinPath(place->read, name, "");
    JoinPath(place->write, name, "");
    char own[MAX_PATH], ownFile[MAX_PATH];
    if (!(GivenFolder[0] || IsWindowsNt()) || !OwnFolder(own) || !JoinPath(ownFile, own, name))
        return;
    const bool inOwnFolder = GivenFolder[0] || IsFile(ownFile);
    if (inOwnFolder || !TakesNewFiles())
        JoinPath(place->write, ownFile, "");
    if (inOwnFolder || !IsFile(name))
        JoinPath(place->read, place->write, "");
    char redirected[MAX_PATH];
    if (!GivenFolder[0] && !IsFile(place->read) && VirtualStorePath(name, redirected) && IsFile(redirected))
        JoinPath(place->read, redirected, "");
}

int SaveProgramFile(const char* name, const char* prefix, const void* data, size_t length,
                    char (&path)[MAX_PATH])
{
    FilePlace place;
    PlaceProgramFile(name, &place);
    JoinPath(path, place.write, "");
    if (char* end = std::strrchr(place.write, '\\')) {
        *end = '\0';
        CreateDirectoryA(place.write, nullptr);  // an existing folder is fine
    }
    return ReplaceFileWhole(path, prefix, data, length);
}

int ProgramFileFolders(char (*folders)[MAX_PATH])
{
    int n = 0;
    if (!GivenFolder[0])
        folders[n++][0] = '\0';
    if ((GivenFolder[0] || IsWindowsNt()) && OwnFolder(folders[n]))
        ++n;
    return n;
}

void UseSettingsFolder(const char* folder)
{
    if (!folder || !JoinPath(GivenFolder, folder, ""))
        GivenFolder[0] = '\0';
}
