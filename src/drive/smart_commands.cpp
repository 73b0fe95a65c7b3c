#include "smart_commands.h"

// One row per SmartCommand, in its order.
const SmartCommandRow SmartCommandTable[static_cast<int>(SmartCommand::Count)] = {
    // control code            cBufferSize      answer                 features         count num  cyl low        cyl high      command
    {SMART_SEND_DRIVE_COMMAND, 0,               SmartAnswerHeaderSize, ENABLE_SMART,    1,    1,   SMART_CYL_LOW, SMART_CYL_HI, SMART_CMD},
    {SMART_RCV_DRIVE_DATA,     SmartSectorSize, SmartAnswerSize,       0,               1,    1,   0,             0,            ID_CMD},
    {SMART_RCV_DRIVE_DATA,     SmartSectorSize, SmartAnswerSize,       READ_ATTRIBUTES, 1,    1,   SMART_CYL_LOW, SMART_CYL_HI, SMART_CMD},
    {SMART_RCV_DRIVE_DATA,     SmartSectorSize, SmartAnswerSize,       READ_THRESHOLDS, 1,    1,   SMART_CYL_LOW, SMART_CYL_HI, SMART_CMD},
};

namespace {

int SendDriveCommand(DeviceHandle device, SENDCMDINPARAMS* record, void* answer, SmartCommand which,
                     uint8_t commandByte, uint8_t driveNumber, uint32_t* bytesReturned)
{
    const SmartCommandRow& row = SmartCommandTable[static_cast<int>(which)];
    record->cBufferSize = row.bufferSize;
    IDEREGS& regs = record->irDriveRegs;
    regs.bFeaturesReg = row.features;
    regs.bSectorCountReg = row.sectorCount;
    regs.bSectorNumberReg = row.sectorNumber;
    regs.bCylLowReg = row.cylLow;
    regs.bCylHighReg = row.cylHigh;
    regs.bDriveHeadReg = DriveHeadRegister(driveNumber);
    regs.bCommandReg = commandByte;
    record->bDriveNumber = driveNumber;
    return CurrentSmartOs().deviceIoControl(device, row.controlCode, record, SmartCommandLength, answer,
                                            row.outputLength, bytesReturned);
}

uint8_t TableCommand(SmartCommand which)
{
    return SmartCommandTable[static_cast<int>(which)].command;
}

}  // namespace

uint8_t DriveHeadRegister(uint8_t driveNumber)
{
    return static_cast<uint8_t>(0xA0 | ((driveNumber & 1) << 4));
}

int QuerySmartVersion(DeviceHandle device, GETVERSIONINPARAMS* version, uint32_t* bytesReturned)
{
    return CurrentSmartOs().deviceIoControl(device, SMART_GET_VERSION, nullptr, 0, version,
                                            sizeof(GETVERSIONINPARAMS), bytesReturned);
}

int EnableSmart(DeviceHandle device, SENDCMDINPARAMS* command, SENDCMDOUTPARAMS* answer,
                uint8_t driveNumber, uint32_t* bytesReturned)
{
    return SendDriveCommand(device, command, answer, SmartCommand::Enable,
                            TableCommand(SmartCommand::Enable), driveNumber, bytesReturned);
}

int IdentifyDrive(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                  uint8_t commandByte, uint8_t driveNumber, uint32_t* bytesReturned)
{
    return SendDriveCommand(device, command, answer, SmartCommand::Identify, commandByte, driveNumber,
                            bytesReturned);
}

int ReadSmartAttributes(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                        uint8_t driveNumber)
{
    uint32_t bytesReturned = 0;
    return SendDriveCommand(device, command, answer, SmartCommand::ReadAttributes,
                            TableCommand(SmartCommand::ReadAttributes), driveNumber, &bytesReturned);
}

int ReadSmartThresholds(DeviceHandle device, SENDCMDINPARAMS* command, SmartAnswerBuffer& answer,
                        uint8_t driveNumber)
{
    uint32_t bytesReturned = 0;
    return SendDriveCommand(device, command, answer, SmartCommand::ReadThresholds,
                            TableCommand(SmartCommand::ReadThresholds), driveNumber, &bytesReturned);
}
