#include "nvme_probe.h"

#include <cstdio>
#include <cstring>

#include "identify.h"
#include "nvme.h"
#include "platform_values.h"
#include "storage_query.h"

namespace {

// Both ways of every query; reused, so the scan allocates nothing.
alignas(8) uint8_t QueryBuffer[NvmeQueryBufferSize];

enum { DiskSizeOffset = 24, DiskGeometryExMinimum = 32 };

int Ask(DeviceHandle device, uint32_t code, uint32_t inputLength, uint32_t outputLength, uint32_t* returned)
{
    *returned = 0;
    return CurrentSmartOs().deviceIoControl(device, code, QueryBuffer, inputLength, QueryBuffer, outputLength,
                                            returned);
}

// The data of one NVMe request, or null with *error set.
const uint8_t* AskNvme(DeviceHandle device, uint32_t property, uint32_t dataType, uint32_t request,
                       uint32_t subValue, uint32_t length, uint32_t* error)
{
    const uint32_t size = BuildNvmeQuery(QueryBuffer, property, dataType, request, subValue, length);
    uint32_t returned = 0;
    if (!Ask(device, IOCTL_STORAGE_QUERY_PROPERTY, size, size, &returned)) {
        *error = CurrentSmartOs().getLastError();
        return nullptr;
    }
    const uint8_t* data = NvmeAnswerData(QueryBuffer, returned, length);
    *error = data ? ERROR_SUCCESS : ERROR_INVALID_DATA;
    return data;
}

void TakeDescriptorText(uint32_t returned, uint32_t offset, char* field)
{
    if (const char* text = DescriptorText(QueryBuffer, returned, offset)) {
        std::snprintf(field, TextSize, "%s", text);
        TrimBlanks(field);
    }
}

// Bytes of the whole disk, or 0 when the system does not say.
uint64_t DiskSize(DeviceHandle device)
{
    uint32_t returned = 0;
    std::memset(QueryBuffer, 0, DiskGeometryExMinimum);
    if (!Ask(device, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, 0, sizeof QueryBuffer, &returned) ||
        returned < DiskGeometryExMinimum)
        return 0;
    uint64_t size;
    std::memcpy(&size, QueryBuffer + DiskSizeOffset, sizeof size);
    return size;
}

}  // namespace

int32_t QueryDriveBus(DeviceHandle device, DriveRecord& r)
{
    std::memset(QueryBuffer, 0, DescriptorBufferSize);
    const STORAGE_PROPERTY_QUERY query = {StorageDeviceProperty, PropertyStandardQuery, {}};
    std::memcpy(QueryBuffer, &query, sizeof query);
    uint32_t returned = 0;
    if (!Ask(device, IOCTL_STORAGE_QUERY_PROPERTY, sizeof query, DescriptorBufferSize, &returned))
        return DriveBusUnknown;
    if (returned > DescriptorBufferSize)
        returned = DescriptorBufferSize;
    const int32_t bus = static_cast<int32_t>(DescriptorBusType(QueryBuffer, returned));
    if (bus == DriveBusNvme) {
        STORAGE_DEVICE_DESCRIPTOR d;
        std::memcpy(&d, QueryBuffer, sizeof d);
        r.busType = bus;
        TakeDescriptorText(returned, d.ProductIdOffset, r.model);
        TakeDescriptorText(returned, d.SerialNumberOffset, r.serial);
        TakeDescriptorText(returned, d.ProductRevisionOffset, r.firmware);
    }
    return bus;
}

void ReadNvmeDrive(DeviceHandle device, DriveRecord& r)
{
    const SmartOs& os = CurrentSmartOs();
    NvmeRecord& n = r.nvme;
    uint32_t error = 0;
    os.getLocalTime(&r.lastAccess);
    if (const uint8_t* data = AskNvme(device, StorageAdapterProtocolSpecificProperty, NVMeDataTypeIdentify,
                                      NVME_IDENTIFY_CNS_CONTROLLER, 0, NvmeIdentifySize, &error))
        DecodeNvmeController(data, r);
    if (const uint8_t* data = AskNvme(device, StorageDeviceProtocolSpecificProperty, NVMeDataTypeIdentify,
                                      NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE, 1, NvmeIdentifySize, &error))
        DecodeNvmeNamespace(data, n);
    if (const uint8_t* log = AskNvme(device, StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage,
                                     NVME_LOG_PAGE_HEALTH_INFO, 0, NvmeHealthLogSize, &error)) {
        DecodeNvmeHealth(log, n.health);
        n.healthRead = 1;
    } else {
        n.healthError = error;
        // The system passes these requests to the drive from Windows 10 on.
        n.olderSystem = os.systemMajorVersion() < 10;
    }
    r.smartEnabled = n.healthRead;
    if (n.capacityBytes == 0)
        n.capacityBytes = DiskSize(device);
    r.present = r.model[0] != '\0';
}
