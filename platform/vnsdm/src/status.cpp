// Status codes: names (for descriptions) and texts (for SDGetErrorString).
#include <string_view>

#include "model.h"

namespace vnsdm {

namespace {

struct StatusInfo {
    SD_STATUS code;
    const char *name;
    const char *text;
};

constexpr StatusInfo kStatuses[] = {
    {SD_OK, "SD_OK", "Success"},
    {SDERR_INVALID_HANDLE, "SDERR_INVALID_HANDLE", "Invalid device handle"},
    {SDERR_INVALID_PARAMETER, "SDERR_INVALID_PARAMETER", "Invalid parameter"},
    {SDERR_NO_MEMORY, "SDERR_NO_MEMORY", "Not enough memory"},
    {SDERR_NO_MACHINE, "SDERR_NO_MACHINE", "Machine description unreadable"},
    {SDERR_STATE_IO, "SDERR_STATE_IO", "Unable to access the adapter state store"},
    {SDERR_CT_REJECT, "SDERR_CT_REJECT", "CT request rejected"},
    {SDERR_SCSI_CHECK_CONDITION, "SDERR_SCSI_CHECK_CONDITION", "SCSI check condition"},
    {SDERR_SCSI_RESERVATION, "SDERR_SCSI_RESERVATION", "SCSI reservation conflict"},
    {SDERR_SCSI_TARGET_NOT_FOUND, "SDERR_SCSI_TARGET_NOT_FOUND", "SCSI target not found"},
    {SDERR_SCSI_LUN_NOT_FOUND, "SDERR_SCSI_LUN_NOT_FOUND", "SCSI LUN not found"},
    {SDERR_ELS_REJECT, "SDERR_ELS_REJECT", "ELS request rejected"},
    {SDERR_FAILED, "SDERR_FAILED", "Operation failed"},
    {SDERR_NOT_SUPPORTED, "SDERR_NOT_SUPPORTED", "Operation not supported"},
    {SDERR_DEVICE_BUSY, "SDERR_DEVICE_BUSY", "Device busy"},
    {SDERR_INVALID_INSTANCE, "SDERR_INVALID_INSTANCE", "Invalid device instance"},
    {SDERR_NO_MORE_DEVICES, "SDERR_NO_MORE_DEVICES", "No more devices"},
    {SDERR_DEVICE_OPEN_FAILED, "SDERR_DEVICE_OPEN_FAILED", "Unable to open device"},
    {SDERR_DEVICE_REMOVED, "SDERR_DEVICE_REMOVED", "Device has been removed"},
    {SDERR_TIMEOUT, "SDERR_TIMEOUT", "Operation timed out"},
    {SDERR_DEVICE_NOT_READY, "SDERR_DEVICE_NOT_READY", "Device not ready"},
    {SDERR_BUFFER_TOO_SMALL, "SDERR_BUFFER_TOO_SMALL", "Buffer too small"},
    {SDERR_INVALID_REGION, "SDERR_INVALID_REGION", "Invalid flash region"},
    {SDERR_FLASH_WRITE, "SDERR_FLASH_WRITE", "Flash write failed"},
    {SDERR_STATE_UNDETERMINED, "SDERR_STATE_UNDETERMINED", "State undetermined"},
    {SDERR_PERSIST_EMPTY, "SDERR_PERSIST_EMPTY", "No persistent data"},
    {SDERR_DATA_UNDERRUN, "SDERR_DATA_UNDERRUN", "Data underrun"},
    {SDERR_PERSIST_NOT_FOUND, "SDERR_PERSIST_NOT_FOUND", "Persistent data not found"},
    {SDERR_CHECKSUM, "SDERR_CHECKSUM", "Checksum error"},
    {SDERR_VPORT_LIMIT, "SDERR_VPORT_LIMIT", "Maximum number of virtual ports reached"},
    {SDERR_VPORT_EXISTS, "SDERR_VPORT_EXISTS", "Port name already in use"},
    {SDERR_VPORT_NOT_FOUND, "SDERR_VPORT_NOT_FOUND", "Virtual port not found"},
    {SDERR_LINK_DOWN, "SDERR_LINK_DOWN", "Link is down"},
};

} // namespace

std::optional<SD_STATUS> StatusFromName(std::string_view name)
{
    for (const auto &s : kStatuses)
        if (name == s.name)
            return s.code;
    return std::nullopt;
}

const char *StatusText(SD_STATUS status)
{
    for (const auto &s : kStatuses)
        if (s.code == status)
            return s.text;
    return "Unknown error";
}

} // namespace vnsdm
