// The storage property queries of Windows NT (IOCTL_STORAGE_QUERY_PROPERTY):
// which bus a drive hangs on, and the NVMe requests that the system passes to
// the drive (Windows 10 on). The records keep the platform's names and byte
// layouts; like smart_commands.h this header is never included together with
// <windows.h>, whose <winioctl.h> defines the same names. Every answer comes
// from a driver and is checked before it is read.
#pragma once
#include <cstdint>

// Control codes; both need no access right, so a handle opened with access
// 0 (a user without administrator rights) may send them.
enum : uint32_t {
    IOCTL_STORAGE_QUERY_PROPERTY = 0x2D1400,
    IOCTL_DISK_GET_DRIVE_GEOMETRY_EX = 0x700A0,
};

enum : uint32_t {
    StorageDeviceProperty = 0,
    StorageAdapterProtocolSpecificProperty = 49,
    StorageDeviceProtocolSpecificProperty = 50,
    PropertyStandardQuery = 0,
    ProtocolTypeNvme = 3,
    NVMeDataTypeIdentify = 1,
    NVMeDataTypeLogPage = 2,
    NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE = 0,
    NVME_IDENTIFY_CNS_CONTROLLER = 1,
    NVME_LOG_PAGE_HEALTH_INFO = 2,
};

struct STORAGE_PROPERTY_QUERY {
    uint32_t PropertyId;
    uint32_t QueryType;
    uint8_t AdditionalParameters[4];  // one byte and its padding
};

struct STORAGE_DEVICE_DESCRIPTOR {
    uint32_t Version;
    uint32_t Size;
    uint8_t DeviceType;
    uint8_t DeviceTypeModifier;
    uint8_t RemovableMedia;
    uint8_t CommandQueueing;
    uint32_t VendorIdOffset;  // from the descriptor's start; 0: none
    uint32_t ProductIdOffset;
    uint32_t ProductRevisionOffset;
    uint32_t SerialNumberOffset;
    uint32_t BusType;
    uint32_t RawPropertiesLength;
    uint8_t RawDeviceProperties[4];
};

struct STORAGE_PROTOCOL_SPECIFIC_DATA {
    uint32_t ProtocolType;
    uint32_t DataType;
    uint32_t ProtocolDataRequestValue;
    uint32_t ProtocolDataRequestSubValue;
    uint32_t ProtocolDataOffset;  // from this record's start
    uint32_t ProtocolDataLength;
    uint32_t FixedProtocolReturnData;
    uint32_t ProtocolDataRequestSubValue2;
    uint32_t ProtocolDataRequestSubValue3;
    uint32_t ProtocolDataRequestSubValue4;
};

// What the protocol query answers at the start of the same buffer.
struct STORAGE_PROTOCOL_DATA_DESCRIPTOR {
    uint32_t Version;
    uint32_t Size;
    STORAGE_PROTOCOL_SPECIFIC_DATA ProtocolSpecificData;
};

static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40);
static_assert(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) == 40);
static_assert(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) == 48);

// One NVMe request in one buffer, both ways: PropertyId and QueryType, the
// protocol record from byte 8 (in AdditionalParameters' place), the data from
// byte 48.
enum : uint32_t {
    ProtocolRecordOffset = 8,
    ProtocolDataStart = 48,
    NvmeQueryBufferSize = ProtocolDataStart + 4096,
    DescriptorBufferSize = 1024,
};

// Writes the request into buffer (zeroed first) and returns its length in
// bytes, the same for input and output.
uint32_t BuildNvmeQuery(uint8_t* buffer, uint32_t propertyId, uint32_t dataType, uint32_t requestValue,
                        uint32_t subValue, uint32_t dataLength);

// The data of an answer whose descriptor checks out (version and size 48,
// data offset at least 40, the length asked for, and all of it inside the
// bytes returned), else null.
const uint8_t* NvmeAnswerData(const uint8_t* buffer, uint32_t returned, uint32_t dataLength);

// The NUL-terminated text at a descriptor offset, or null when the offset is
// 0, points into the fixed part or runs past the bytes returned.
const char* DescriptorText(const uint8_t* descriptor, uint32_t returned, uint32_t offset);

// BusType of a device descriptor, or 0 when the answer is too short to hold it.
uint32_t DescriptorBusType(const uint8_t* descriptor, uint32_t returned);
