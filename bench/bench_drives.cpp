#include "bench_drives.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "drive_table.h"

namespace {

// The drive's checksum in the last byte: the sector sums to 0.
void SetChecksum(uint8_t* sector)
{
    uint8_t sum = 0;
    for (int i = 0; i < 511; ++i)
        sum = static_cast<uint8_t>(sum + sector[i]);
    sector[511] = static_cast<uint8_t>(-sum);
}

void PutSection(std::string& file, const char* tag, const uint8_t* data)
{
    file.append(tag, 4);
    file.append("\0\0\x02\0", 4);
    file.append(reinterpret_cast<const char*>(data), 512);
}

std::string DriveFile(int d)
{
    uint8_t identify[512] = {}, attributes[512] = {}, thresholds[512] = {};
    char model[41];
    std::snprintf(model, sizeof model, "EXAMPLE DISK %-27d", d);
    for (int k = 0; k < 40; ++k)
        identify[54 + (k ^ 1)] = static_cast<uint8_t>(model[k]);
    for (int k = 0; k < 20; ++k)
        identify[20 + (k ^ 1)] = static_cast<uint8_t>(k < 10 ? ' ' : '0' + k % 10);
    for (int k = 0; k < 30; ++k) {
        attributes[2 + 12 * k] = static_cast<uint8_t>(k < 13 ? k + 1 : 180 + k);
        attributes[2 + 12 * k + 3] = static_cast<uint8_t>(100 + k);
        thresholds[2 + 12 * k + 1] = static_cast<uint8_t>(k % 3 ? 0 : 20);
    }
    SetChecksum(attributes);
    SetChecksum(thresholds);
    std::string file;
    PutSection(file, "IDFY", identify);
    PutSection(file, "SMDT", attributes);
    PutSection(file, "SMTH", thresholds);
    return file;
}

std::string BlobPath(const std::string& folder, int d)
{
    return folder + "/drive" + std::to_string(d) + ".blob";
}

}  // namespace

std::string WriteBenchDrives(const char* name)
{
    std::string folder = std::string("/tmp/") + name + "-XXXXXX";
    if (!mkdtemp(folder.data()))
        return "";
    for (int d = 0; d < DriveCount; ++d) {
        const std::string file = DriveFile(d);
        FILE* out = std::fopen(BlobPath(folder, d).c_str(), "wb");
        const bool written = out && std::fwrite(file.data(), 1, file.size(), out) == file.size();
        if (out)
            std::fclose(out);
        if (!written) {
            RemoveBenchDrives(folder);
            return "";
        }
    }
    return folder;
}

void RemoveBenchDrives(const std::string& folder)
{
    for (int d = 0; d < DriveCount; ++d)
        std::remove(BlobPath(folder, d).c_str());
    rmdir(folder.c_str());
}
