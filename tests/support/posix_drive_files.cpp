#include "posix_drive_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform_values.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

// The system error code Windows gives for the same failure.
uint32_t CodeForErrno(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EISDIR:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_READ_FAULT;
    }
}

uint32_t ReadOpenFile(int fd, uint8_t* buffer, uint32_t capacity, uint32_t* size)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return CodeForErrno(errno);
    if (S_ISDIR(info.st_mode))
        return ERROR_ACCESS_DENIED;  // what CreateFileA says of a folder
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > capacity)
        return ERROR_FILE_TOO_LARGE;
    const uint32_t wanted = static_cast<uint32_t>(info.st_size);
    uint32_t got = 0;
    while (got < wanted) {
        const auto n = read(fd, buffer + got, wanted - got);
        if (n < 0)
            return CodeForErrno(errno);
        if (n == 0)
            return ERROR_READ_FAULT;
        got += static_cast<uint32_t>(n);
    }
    *size = got;
    return ERROR_SUCCESS;
}

uint32_t PosixReadFile(const char* path, uint8_t* buffer, uint32_t capacity, uint32_t* size)
{
    *size = 0;
    const int fd = open(path, O_RDONLY | O_BINARY);
    if (fd < 0)
        return CodeForErrno(errno);
    const uint32_t result = ReadOpenFile(fd, buffer, capacity, size);
    close(fd);
    return result;
}

int PosixFolderExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

const DriveFiles Files = {PosixReadFile, PosixFolderExists};

}  // namespace

const DriveFiles& PosixDriveFiles()
{
    return Files;
}
