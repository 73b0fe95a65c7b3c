#include "storage_query.h"

#include <cstddef>
#include <cstring>

uint32_t BuildNvmeQuery(uint8_t* buffer, uint32_t propertyId, uint32_t dataType, uint32_t requestValue,
                        uint32_t subValue, uint32_t dataLength)
{
    const uint32_t length = ProtocolDataStart + dataLength;
    std::memset(buffer, 0, length);
    const STORAGE_PROPERTY_QUERY query = {propertyId, PropertyStandardQuery, {}};
    std::memcpy(buffer, &query, ProtocolRecordOffset);
    STORAGE_PROTOCOL_SPECIFIC_DATA request = {};
    request.ProtocolType = ProtocolTypeNvme;
    request.DataType = dataType;
    request.ProtocolDataRequestValue = requestValue;
    request.ProtocolDataRequestSubValue = subValue;
    request.ProtocolDataOffset = sizeof request;
    request.ProtocolDataLength = dataLength;
    std::memcpy(buffer + ProtocolRecordOffset, &request, sizeof request);
    return length;
}

const uint8_t* NvmeAnswerData(const uint8_t* buffer, uint32_t returned, uint32_t dataLength)
{
    STORAGE_PROTOCOL_DATA_DESCRIPTOR d;
    if (returned < sizeof d)
        return nullptr;
    std::memcpy(&d, buffer, sizeof d);
    const STORAGE_PROTOCOL_SPECIFIC_DATA& data = d.ProtocolSpecificData;
    const uint64_t end = uint64_t{ProtocolRecordOffset} + data.ProtocolDataOffset + dataLength;
    if (d.Version != sizeof d || d.Size != sizeof d || data.ProtocolDataOffset < sizeof data ||
        data.ProtocolDataLength < dataLength || end > returned)
        return nullptr;
    return buffer + ProtocolRecordOffset + data.ProtocolDataOffset;
}

const char* DescriptorText(const uint8_t* descriptor, uint32_t returned, uint32_t offset)
{
    if (offset < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties) || offset >= returned)
        return nullptr;
    const char* text = reinterpret_cast<const char*>(descriptor + offset);
    return std::memchr(text, '\0', returned - offset) ? text : nullptr;
}

uint32_t DescriptorBusType(const uint8_t* descriptor, uint32_t returned)
{
    STORAGE_DEVICE_DESCRIPTOR d;
    if (returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength))
        return 0;
    std::memcpy(&d, descriptor, offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength));
    return d.BusType;
}
