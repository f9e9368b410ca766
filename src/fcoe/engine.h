// The FCoE engine of the converged adapters that carry one: its management
// channel (one device-library call with a small request record), parameters,
// reset, firmware update and general information.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tavro_api.h"

enum FcoeStatus : int {
    kFcoeNotEngine = 27,         // FCOE_ENGINE_NOT_PRESENT
    kFcoeImageTooLarge = 30,     // IMAGE_TOO_LARGE
    kFcoeFileCorrupted = 33,     // FILE_CORRUPTED
    kFcoeResetFailed = 1101,     // FCOE_RESET_FAILED
    kFcoeVersionFailed = 1102,   // FCOE_VERSION_FAILED
    kFcoeUpdateFailed = 1103,    // FCOE_FW_UPDATE_FAILED
    kFcoeManageFailed = 1104,    // FCOE_MANAGE_FAILED
    kFcoeParamReadFailed = 1105, // FCOE_PARAM_READ_FAILED
    kFcoeParamSaveFailed = 1106, // FCOE_PARAM_SAVE_FAILED
    kFcoeParamRefused = 1107,    // FCOE_PARAM_REFUSED
    kFcoeSegmentInvalid = 1108,  // FCOE_SEGMENT_INVALID
};

// The settings of one engine port as the engine reports them.
struct EngineParams {
    int portType = 0;
    int pauseType = 0;
    int cos = 0;
    int retryCount = 0;
    int fwUpdateTimeout = 0;
    int timeout = 0;
    int pauseMask = 0;
    uint8_t fcMap[3] = {};
    bool fcoeConfigItem = false; // the engine has the FCoE configuration item
    int fcoeConfig = 0;
    int fcoeConfigMin = 0;
    int fcoeConfigMax = 0;
    int fcoeConfigEnable = 0;
};

// What one manage call left behind (the manage result record).
struct EngineManageResult {
    int32_t status = 0;
    std::string text;
    uint32_t deviceStatus = 0; // the device library's answer to the failed call
    uint32_t params[3] = {};
    std::vector<uint8_t> data;
};
const EngineManageResult &LastManageResult();

// Decodes the parameter block (information type 6) for one engine port;
// false when the block is too short to hold that port.
bool DecodeEngineParams(const uint8_t *block, size_t length, int port, EngineParams &out);

struct DeviceRecord;

// ---- Shared by the engine's views ----------------------------------------------------
// The device record of an engine port, or null with the refusal reported.
const DeviceRecord *EngineDeviceOf(const FibreAdapter *adapter, int &status);
// "(Instance %lu - %s)" of the adapter, as the engine's messages name it.
std::string EngineNamed(const FibreAdapter *adapter);
// One manage call (memory read or write, get information) into the manage
// result record: 0, or kFcoeManageFailed with its text and device status.
// count is the memory length; information calls take the largest buffer.
int EngineManage(const DeviceRecord *rec, uint16_t operation, uint32_t p1, uint32_t p2,
                 uint32_t count = 0, const uint8_t *data = nullptr);

// The engine's log layout and one log's entries, decoded from their blocks;
// a short block gives what it holds whole.
struct EngineLogInfo {
    int id = 0;
    int entrySize = 0;
    uint32_t entries = 0;
    std::string name;
};
std::vector<EngineLogInfo> DecodeLogLayout(std::span<const uint8_t> block);
struct EngineLogEntry {
    uint32_t time = 0;
    uint16_t code = 0;
    uint8_t severity = 0;
    std::string text;
};
std::vector<EngineLogEntry> DecodeLogEntries(std::span<const uint8_t> block);

// The engine's views over the same channel.
enum class EngineStatsView {
    Asic,
    Cpu,
    Ethernet,
    Fc,
    Nsl
};
// port 0 or 1, or -1 for both (ignored by the chip's own views).
int GetQuillStatistics(const FibreAdapter *adapter, EngineStatsView view, int port);
// At most SD_ENGINE_MAX_DATA bytes within the engine's memory.
int QuillReadMemory(const FibreAdapter *adapter, uint32_t address, uint32_t length);
int QuillWriteMemory(const FibreAdapter *adapter, uint32_t address, uint32_t value);
int ListQuillLogEntryLayOut(const FibreAdapter *adapter);
int DisplayQuillLogDataPerLogID(const FibreAdapter *adapter, int logId);
int GetQuillPanicLog(const FibreAdapter *adapter);

// The exported operations; each prints its own messages and answers a status.
int DisplayQuillGeneralInfo(const FibreAdapter *adapter);
int DisplayQuillParameters(const FibreAdapter *adapter, int port);
int SetQuillParameters(const FibreAdapter *adapter, const TavroFcoeParams &params);
int ResetQuillChip(const FibreAdapter *adapter);
int QuillFirmwareUpdate(const FibreAdapter *adapter, const std::string &file);
