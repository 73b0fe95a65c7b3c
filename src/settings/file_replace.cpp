// The whole-file replacement shared by the settings file and the monitor's
// state file.
#include "file_replace.h"

#include <windows.h>

#include <cstring>

namespace {

// The file may be replaced under the same conditions as an in-place rewrite:
// it is absent, or it can be opened for writing with write sharing. A
// read-only file is refused even where the system would let us write it.
int FileReplaceable(const char* name)
{
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

// Writes the whole data to the (already created) temporary file.
int WriteWholeTo(const char* path, const void* data, size_t length)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    int complete = WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) && written == length &&
                   FlushFileBuffers(file);
    return CloseHandle(file) && complete;
}

// A new, unused file name in the folder of the file to replace (the current
// directory for a bare name): renames between the two stay within one
// folder. The system creates the file empty.
int NewNameBeside(const char* target, const char* prefix, char (&name)[MAX_PATH])
{
    char folder[MAX_PATH] = ".";
    if (const char* end = strrchr(target, '\\'))
        lstrcpynA(folder, target, static_cast<int>(end - target) + 2);  // with its backslash
    return GetTempFileNameA(folder, prefix, 0, name) != 0;
}

// Windows 9x exports MoveFileExA, but there it always fails with
// ERROR_CALL_NOT_IMPLEMENTED. Its replacement there: the earlier file steps
// aside under a spare name, the new one takes its name, and only then is the
// earlier one deleted; if the new one cannot take the name, the earlier one
// gets it back. A moment without the file, but never a partial one.
int ReplaceWithoutMoveFileEx(const char* temporary, const char* name, const char* prefix)
{
    char spare[MAX_PATH];
    if (!NewNameBeside(name, prefix, spare))
        return 0;
    DeleteFileA(spare);  // only the unused name is wanted
    const int hadFile = MoveFileA(name, spare);
    if (!hadFile && GetLastError() != ERROR_FILE_NOT_FOUND)
        return 0;
    if (MoveFileA(temporary, name)) {
        if (hadFile)
            DeleteFileA(spare);
        return 1;
    }
    if (hadFile)
        MoveFileA(spare, name);
    return 0;
}

int MoveOver(const char* temporary, const char* name, const char* prefix)
{
    if (MoveFileExA(temporary, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && ReplaceWithoutMoveFileEx(temporary, name, prefix);
}

}  // namespace

int ReplaceFileWhole(const char* name, const char* prefix, const void* data, size_t length)
{
    if (!FileReplaceable(name))
        return 0;
    char temporary[MAX_PATH];
    if (!NewNameBeside(name, prefix, temporary))
        return 0;
    if (WriteWholeTo(temporary, data, length) && MoveOver(temporary, name, prefix))
        return 1;
    const DWORD error = GetLastError();  // the reason, for the user
    DeleteFileA(temporary);
    SetLastError(error);
    return 0;
}
