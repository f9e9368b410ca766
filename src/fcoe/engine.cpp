// The FCoE engine operations and their exports.
#include "fcoe/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "adapters/adapterlist.h"
#include "base/files.h"
#include "base/guard.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "device/core.h"
#include "fcoe/image.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "render/output.h"

namespace {

constexpr int kResultPending[] = {0, kFcoeResetFailed, kFcoeVersionFailed, kFcoeUpdateFailed,
                                  kFcoeManageFailed};
constexpr int kLoginPolls = 20;
constexpr uint32_t kLoginPollMs = 1000;

// The result record of one command kind: allocated on first use, overwritten by every call.
struct EngineResult {
    int32_t status = 0;
    std::string text;
};

// Everything this area keeps for the life of the process.
struct FcoeArea {
    std::unique_ptr<EngineResult> reset, version, update;
    std::unique_ptr<EngineManageResult> manage;
};
FcoeArea &Area()
{
    static FcoeArea area;
    return area;
}

EngineResult &Result(std::unique_ptr<EngineResult> &slot, int command)
{
    if (!slot)
        slot = std::make_unique<EngineResult>();
    slot->status = kResultPending[command];
    slot->text.clear();
    return *slot;
}

std::string DeviceError(SD_STATUS st)
{
    return Format("Command failed (0x%x) - %s", st, CoreErrorString(st));
}

// One call of the channel, inside the critical section.
SD_STATUS EngineCall(const DeviceRecord *rec, uint16_t command, SD_ENGINE_REQUEST &request)
{
    CriticalSection lock;
    const SD_STATUS st = SDQuillMgt(rec->handle, command, &request);
    Trace(kLevelDebug, "EngineCall: command %u operation %u status 0x%x", unsigned(command),
          unsigned(request.Operation), st);
    return st;
}

// The engine's configuration change for one engine port, packed as the
// engine keeps it: ports and pause in one word, the two timeouts in one, the
// pause mask (with the FCoE configuration above it when the engine has the
// item) and the FC-MAP.
struct ChangeRequest {
    int port = 0;
    uint32_t settings = 0; // retry count 24-31, COS 16-23, pause type 8-15, port type 0-7
    uint32_t timeouts = 0; // engine timeout << 16 | firmware-update timeout
    uint32_t mask = 0;     // (FCoE configuration + 256) << 16 | pause mask, or the mask
    uint8_t fcMap[3] = {};
    bool fcoeConfigEnabled = false;
};

SD_STATUS ConfigItem(const DeviceRecord *rec, int port, uint32_t item, uint32_t p2, uint32_t p3)
{
    SD_ENGINE_REQUEST r{};
    r.Operation = SD_ENGINE_OP_CONFIG;
    r.Param1 = item | uint32_t(port) << 8;
    r.Param2 = p2;
    r.Param3 = p3;
    return EngineCall(rec, SD_ENGINE_CMD_MANAGE, r);
}

// Manage operation 2: one call per item; the FCoE configuration item only
// when the engine has it enabled, and its failure alone does not fail the change.
int ManageConfigure(const DeviceRecord *rec, const ChangeRequest &c)
{
    EngineManageResult &m = *Area().manage;
    const uint32_t portType = c.settings & 0xFF;
    const uint32_t pauseType = (c.settings >> 8) & 0xFF;
    const uint32_t cos = (c.settings >> 16) & 0xFF;
    const uint32_t retry = c.settings >> 24;
    const uint32_t pauseMask = c.mask & 0xFF;
    const uint32_t fwTimeout = c.timeouts & 0xFFFF;
    const uint32_t timeout = c.timeouts >> 16;

    const SD_STATUS portSt = ConfigItem(rec, c.port, SD_ENGINE_ITEM_PORT_TYPE, portType, 0);
    const SD_STATUS pauseSt =
        ConfigItem(rec, c.port, SD_ENGINE_ITEM_PAUSE_TYPE, 0, pauseMask << 8 | pauseType);
    if (c.fcoeConfigEnabled) {
        const uint32_t config = ((c.mask >> 16) - 256) & 0xFF;
        const uint32_t word = uint32_t(c.fcMap[0]) << 24 | uint32_t(c.fcMap[1]) << 16 |
                              uint32_t(c.fcMap[2]) << 8 | config;
        if (SD_STATUS st = ConfigItem(rec, c.port, SD_ENGINE_ITEM_FCOE_CONFIG, word, 0))
            Trace(kLevelDebug, "ManageConfigure: FCoE configuration failed (0x%x)", st);
    }
    const SD_STATUS cosSt = ConfigItem(rec, c.port, SD_ENGINE_ITEM_COS, 0, cos);
    const SD_STATUS toSt =
        ConfigItem(rec, c.port, SD_ENGINE_ITEM_TIMEOUTS, retry, fwTimeout << 16 | timeout);
    if (portSt || pauseSt || cosSt || toSt) {
        m.text = "One or multiple Quill parameters failed to be updated!";
        Trace(kLevelDebug, "ManageConfigure: %s (0x%x 0x%x 0x%x 0x%x)", m.text.c_str(), portSt,
              pauseSt, cosSt, toSt);
        return m.status; // still the pending value
    }
    m.status = 0;
    return 0;
}

// The manage call of every other operation: parameters 1 and 2 from the
// caller, the data buffer of the requested size (or 32,768 bytes).
int ManageCall(const DeviceRecord *rec, uint16_t operation, uint32_t p1, uint32_t p2,
               uint32_t count, const uint8_t *data)
{
    EngineManageResult &m = *Area().manage;
    const bool memory =
        operation == SD_ENGINE_OP_READ_MEMORY || operation == SD_ENGINE_OP_WRITE_MEMORY;
    std::vector<uint8_t> buffer(memory ? count : SD_ENGINE_MAX_DATA, 0);
    if (operation == SD_ENGINE_OP_WRITE_MEMORY && data)
        std::memcpy(buffer.data(), data, count);
    SD_ENGINE_REQUEST r{};
    r.Operation = operation;
    r.Param1 = p1;
    r.Param2 = p2;
    r.ByteCount = uint32_t(buffer.size());
    r.Data = buffer.data();
    if (SD_STATUS st = EngineCall(rec, SD_ENGINE_CMD_MANAGE, r)) {
        m.text = DeviceError(st);
        m.deviceStatus = st;
        return m.status;
    }
    m.params[0] = r.Param1;
    m.params[1] = r.Param2;
    m.params[2] = r.Param3;
    const size_t length = std::min<size_t>(r.ByteCount, buffer.size());
    m.data.assign(buffer.begin(), buffer.begin() + ptrdiff_t(length));
    m.status = 0;
    return 0;
}

EngineManageResult &BeginManage()
{
    auto &slot = Area().manage;
    if (!slot)
        slot = std::make_unique<EngineManageResult>();
    slot->status = kFcoeManageFailed;
    slot->text.clear();
    slot->deviceStatus = 0;
    slot->data.clear();
    return *slot;
}

// ---- Adapter checks ------------------------------------------------------------------

std::string Named(const FibreAdapter *a)
{
    return Format("(Instance %lu - %s)", static_cast<unsigned long>(a->instance),
                  DisplayModel(*a).c_str());
}

// The device record of an engine port, or the refusal printed.
const DeviceRecord *EnginePort(const FibreAdapter *a, int &status)
{
    const DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec) {
        status = ReportFailure(kStatusNoAdapter, "Unable to find the specified FCoE engine!");
        return nullptr;
    }
    if (!IsQuillAdapter(rec)) {
        status =
            ReportFailure(kFcoeNotEngine,
                          Format("Selected port is not a FCoE engine  (HBA Instance %lu - "
                                 "%s)!",
                                 static_cast<unsigned long>(a->instance), DisplayModel(*a).c_str())
                              .c_str());
        return nullptr;
    }
    return rec;
}

// The engine state bits of the FC port, read fresh; 0 when the port cannot be read.
uint32_t EngineState(const DeviceRecord *rec)
{
    SD_PORT_PROPERTY p{};
    CriticalSection lock;
    if (SD_STATUS st = SDGetHbaDevicePortProperty(rec->handle, 0, &p)) {
        Trace(kLevelDebug, "EngineState: port query failed (0x%x)", st);
        return 0;
    }
    return p.EngineState;
}

// After a reset or an update the engine logs in again: poll, one second apart.
bool WaitForLogin(const DeviceRecord *rec)
{
    for (int i = 0; i < kLoginPolls; ++i) {
        if (EngineState(rec) & SD_ENGINE_STATE_LOGGED_IN) {
            Trace(kLevelDebug, "WaitForLogin: engine logged in after %d poll(s)", i + 1);
            return true;
        }
        oss::Sleep(kLoginPollMs);
    }
    Trace(kLevelDebug, "WaitForLogin: engine did not log in");
    return false;
}

// ---- Parameters ----------------------------------------------------------------------

uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

// GetQuillParams: manage operation 3, information type 6.
int GetQuillParams(const DeviceRecord *rec, int port, EngineParams &out)
{
    BeginManage();
    if (ManageCall(rec, SD_ENGINE_OP_GET_INFO, SD_ENGINE_INFO_PARAMS, 0, 0, nullptr)) {
        Trace(kLevelDebug, "GetQuillParams: %s", LastManageResult().text.c_str());
        return kFcoeParamReadFailed;
    }
    const auto &data = LastManageResult().data;
    if (!DecodeEngineParams(data.data(), data.size(), port, out)) {
        Trace(kLevelDebug, "GetQuillParams: block of %zu bytes has no port %d", data.size(), port);
        return kFcoeParamReadFailed;
    }
    return 0;
}

bool KeyAllows(const char *key) { return GetKeyValue(key, 0) != 0; }

const RecordStyle kParamRecord = {
    .element = "FCoEEngineParameters",
    .indent = "\t",
    .childIndent = "\t\t",
};

void DescribeParams(Renderer &r, const FibreAdapter *a, int port, const EngineParams &p)
{
    r.TextLine(std::string(54, '-'));
    r.TextLine(Format("FCoE Parameters Port %d", port));
    r.BeginRecord(kParamRecord);
    r.Add(nullptr, "Port", std::to_string(port), kInXml);
    r.Add("Host Name", "HostName", Frame().host.computerName);
    r.Add("HBA Instance", "Instance", std::to_string(a->instance));
    r.Add("HBA Model", "Model", DisplayModel(*a).c_str());
    r.Add("HBA Description", "Description", a->description);
    r.Add("Port Type", "PortType",
          p.portType == 0   ? "Access"
          : p.portType == 1 ? "Trunk"
                            : "Unknown");
    r.Add("Pause Type", "PauseType", p.pauseType == 2 ? "Priority Flow Control" : "Standard Pause");
    if (p.pauseType == 2) {
        std::string mask;
        for (int i = 0; i < 8; ++i)
            mask += Format("%d[%c] ", i, (p.pauseMask >> i) & 1 ? 'x' : ' ');
        r.Add(Row{"Priority Pause Mask", "PriorityPauseMask", mask, std::to_string(p.pauseMask)});
    }
    if (p.fcoeConfigItem)
        r.Add("FCoE Config", "FCoEConfig",
              p.fcoeConfig == 0 ? "Pre-T11 Frame Format" : "T11 Rev 0 Frame Format");
    if (KeyAllows("node.quill.params.fcmap.enable"))
        r.Add("FC MAP", "FCMap", Format("%02X-%02X-%02X", p.fcMap[0], p.fcMap[1], p.fcMap[2]));
    r.Add("FCoE COS", "COS", std::to_string(p.cos));
    if (KeyAllows("node.quill.params.retrycount.enable"))
        r.Add("Retry Count", "RetryCount", std::to_string(p.retryCount));
    if (KeyAllows("node.quill.params.updatefwtimeout.enable"))
        r.Add("Firmware Update Timeout (100ms)", "FwUpdateTimeOut",
              std::to_string(p.fwUpdateTimeout));
    if (KeyAllows("node.quill.params.timeout.enable"))
        r.Add("FCoE Engine Timeout (100ms)", "QuillTimeOut", std::to_string(p.timeout));
    r.EndRecord();
}

int ParamsFailure(const FibreAdapter *a, SD_STATUS why)
{
    if (why == SDERR_NOT_SUPPORTED)
        return ReportFailure(
            kFcoeParamReadFailed,
            Format("Selected FCoE engine is unsupported %s!", Named(a).c_str()).c_str());
    return ReportFailure(
        kFcoeParamReadFailed,
        Format("Error getting parameter settings of selected FCoE engine %s!", Named(a).c_str())
            .c_str());
}

SD_STATUS LastDeviceStatus() { return LastManageResult().deviceStatus; }

// Names as the user writes them, for the refusal messages.
constexpr const char *kParamNames[TAVRO_FCOE_PARAM_COUNT] = {
    "PortSelection", "PortType",        "PauseType",     "COS",
    "RetryCount",    "FwUpdateTimeOut", "QuillTimeOut",  "PriorityPauseMask",
    "FCoEConfig",    "FCoEConfigMin",   "FCoEConfigMax", "FCoEConfigEnable",
    "FCMap"};

int Refuse(const FibreAdapter *a, bool unsupported, int index, int value)
{
    return ReportFailure(kFcoeParamRefused, Format("%s FCoE parameter settings (%s=%d) %s!",
                                                   unsupported ? "Unsupported" : "Invalid",
                                                   kParamNames[index], value, Named(a).c_str())
                                                .c_str());
}

} // namespace

const DeviceRecord *EngineDeviceOf(const FibreAdapter *a, int &status)
{
    return EnginePort(a, status);
}

std::string EngineNamed(const FibreAdapter *a) { return Named(a); }

int EngineManage(const DeviceRecord *rec, uint16_t operation, uint32_t p1, uint32_t p2,
                 uint32_t count, const uint8_t *data)
{
    BeginManage();
    return ManageCall(rec, operation, p1, p2, count, data);
}

const EngineManageResult &LastManageResult()
{
    static const EngineManageResult kNone{};
    return Area().manage ? *Area().manage : kNone;
}

bool DecodeEngineParams(const uint8_t *block, size_t length, int port, EngineParams &out)
{
    if (!block || length < SD_ENGINE_PARAMS_HEADER_SIZE || port < 0 || port > 1)
        return false;
    const size_t ports = Le16(block + 2);
    const size_t record = Le16(block + 4);
    if (size_t(port) >= ports || record < SD_ENGINE_PARAMS_SHORT_RECORD_SIZE ||
        SD_ENGINE_PARAMS_HEADER_SIZE + (size_t(port) + 1) * record > length)
        return false;
    const uint8_t *r = block + SD_ENGINE_PARAMS_HEADER_SIZE + size_t(port) * record;
    EngineParams p;
    p.portType = r[SD_ENGINE_PARAM_PORT_TYPE];
    p.pauseType = r[SD_ENGINE_PARAM_PAUSE_TYPE];
    p.cos = r[SD_ENGINE_PARAM_COS];
    p.retryCount = r[SD_ENGINE_PARAM_RETRY_COUNT];
    p.fwUpdateTimeout = Le16(r + SD_ENGINE_PARAM_FW_TIMEOUT);
    p.timeout = Le16(r + SD_ENGINE_PARAM_TIMEOUT);
    p.pauseMask = r[SD_ENGINE_PARAM_PAUSE_MASK];
    std::memcpy(p.fcMap, r + SD_ENGINE_PARAM_FC_MAP, 3);
    // A block shorter than the full one comes from an engine without the
    // FCoE configuration item.
    p.fcoeConfigItem =
        length >= SD_ENGINE_PARAMS_FULL_SIZE && record >= SD_ENGINE_PARAM_FCOE_CONFIG + 4;
    if (p.fcoeConfigItem) {
        p.fcoeConfig = r[SD_ENGINE_PARAM_FCOE_CONFIG];
        p.fcoeConfigMin = r[SD_ENGINE_PARAM_FCOE_CONFIG + 1];
        p.fcoeConfigMax = r[SD_ENGINE_PARAM_FCOE_CONFIG + 2];
        p.fcoeConfigEnable = r[SD_ENGINE_PARAM_FCOE_CONFIG + 3];
    }
    out = p;
    return true;
}

int DisplayQuillGeneralInfo(const FibreAdapter *a)
{
    int status = 0;
    const DeviceRecord *rec = EnginePort(a, status);
    if (!rec)
        return status;
    SD_PORT_PROPERTY port{};
    {
        CriticalSection lock;
        if (SD_STATUS st = SDGetHbaDevicePortProperty(rec->handle, 0, &port)) {
            Trace(kLevelDebug, "DisplayQuillGeneralInfo: port query failed (0x%x)", st);
            return ReportFailure(kFcoeVersionFailed,
                                 Format("Error getting general information of selected FCoE "
                                        "engine %s!",
                                        Named(a).c_str())
                                     .c_str());
        }
    }
    EngineResult &res = Result(Area().version, SD_ENGINE_CMD_VERSION);
    SD_ENGINE_REQUEST r{};
    std::string version = "N/A";
    if (SD_STATUS st = EngineCall(rec, SD_ENGINE_CMD_VERSION, r)) {
        res.text = DeviceError(st);
        Trace(kLevelDebug, "DisplayQuillGeneralInfo: %s", res.text.c_str());
    } else {
        uint32_t v = 0;
        std::memcpy(&v, &r, sizeof v);
        res.status = 0;
        const bool golden =
            (port.EngineState & (SD_ENGINE_STATE_GOLDEN | SD_ENGINE_STATE_LOGGED_IN)) ==
            (SD_ENGINE_STATE_GOLDEN | SD_ENGINE_STATE_LOGGED_IN);
        version = Format("%u.%u.%u (%s)", (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF,
                         golden ? "Golden" : "Operational");
    }
    static const RecordStyle kGeneral = {
        .element = "FCoEEngineInfo",
        .indent = "\t",
        .childIndent = "\t\t",
        .ruleBefore = true,
    };
    Renderer &out = CurrentRenderer();
    out.BeginDocument();
    out.BeginRecord(kGeneral);
    out.Add("Host Name", "HostName", Frame().host.computerName);
    out.Add("HBA Model", "Model", DisplayModel(*a).c_str());
    out.Add("HBA Description", "Description", a->description);
    out.Add("Running Firmware Version", "FirmwareVersion", version);
    out.EndRecord();
    return out.Finish(kStatusOk);
}

int DisplayQuillParameters(const FibreAdapter *a, int port)
{
    int status = 0;
    const DeviceRecord *rec = EnginePort(a, status);
    if (!rec)
        return status;
    std::vector<std::pair<int, EngineParams>> blocks;
    for (int p = 0; p < 2; ++p) {
        if (port >= 0 && p != port)
            continue;
        EngineParams params;
        if (GetQuillParams(rec, p, params))
            return ParamsFailure(a, LastDeviceStatus());
        blocks.emplace_back(p, params);
    }
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    for (const auto &[p, params] : blocks)
        DescribeParams(r, a, p, params);
    return r.Finish(kStatusOk);
}

int SetQuillParameters(const FibreAdapter *a, const TavroFcoeParams &in)
{
    int status = 0;
    const DeviceRecord *rec = EnginePort(a, status);
    if (!rec)
        return status;
    const int32_t *v = in.values;
    const int port = v[TAVRO_FCOE_PORT_SELECTION] == 1 ? 1 : 0;
    EngineParams cur;
    if (GetQuillParams(rec, port, cur))
        return ParamsFailure(a, LastDeviceStatus());

    // The engine reports its FCoE configuration bounds; they are not the user's to set.
    for (int i : {TAVRO_FCOE_CONFIG_MIN, TAVRO_FCOE_CONFIG_MAX})
        if (v[i] >= 0)
            return Refuse(a, true, i, v[i]);
    const std::pair<int, const char *> keyed[] = {
        {TAVRO_FCOE_RETRY_COUNT, "node.quill.params.retrycount.enable"},
        {TAVRO_FCOE_FW_UPDATE_TIMEOUT, "node.quill.params.updatefwtimeout.enable"},
        {TAVRO_FCOE_TIMEOUT, "node.quill.params.timeout.enable"},
        {TAVRO_FCOE_FC_MAP, "node.quill.params.fcmap.enable"}};
    for (const auto &[i, key] : keyed)
        if (v[i] >= 0 && !KeyAllows(key))
            return Refuse(a, true, i, v[i]);
    // Ranges, for callers that did not come through the command line.
    const std::pair<int, int> ranges[] = {
        {TAVRO_FCOE_PORT_TYPE, 1},     {TAVRO_FCOE_COS, 7},
        {TAVRO_FCOE_RETRY_COUNT, 255}, {TAVRO_FCOE_FW_UPDATE_TIMEOUT, 65535},
        {TAVRO_FCOE_TIMEOUT, 65535},   {TAVRO_FCOE_PRIORITY_PAUSE_MASK, 255},
        {TAVRO_FCOE_CONFIG, 1},        {TAVRO_FCOE_CONFIG_ENABLE, 1},
        {TAVRO_FCOE_PORT_SELECTION, 1}};
    for (const auto &[i, max] : ranges)
        if (v[i] > max)
            return Refuse(a, false, i, v[i]);
    if (v[TAVRO_FCOE_PAUSE_TYPE] >= 0 &&
        (v[TAVRO_FCOE_PAUSE_TYPE] < 1 || v[TAVRO_FCOE_PAUSE_TYPE] > 2))
        return Refuse(a, false, TAVRO_FCOE_PAUSE_TYPE, v[TAVRO_FCOE_PAUSE_TYPE]);
    if (cur.fcoeConfigItem && v[TAVRO_FCOE_CONFIG] >= 0 &&
        (v[TAVRO_FCOE_CONFIG] < cur.fcoeConfigMin || v[TAVRO_FCOE_CONFIG] > cur.fcoeConfigMax))
        return Refuse(a, false, TAVRO_FCOE_CONFIG, v[TAVRO_FCOE_CONFIG]);

    auto pick = [&](int i, int current) { return v[i] >= 0 ? v[i] : current; };
    ChangeRequest c;
    c.port = port;
    c.settings = uint32_t(pick(TAVRO_FCOE_RETRY_COUNT, cur.retryCount)) << 24 |
                 uint32_t(pick(TAVRO_FCOE_COS, cur.cos)) << 16 |
                 uint32_t(pick(TAVRO_FCOE_PAUSE_TYPE, cur.pauseType)) << 8 |
                 uint32_t(pick(TAVRO_FCOE_PORT_TYPE, cur.portType));
    c.timeouts = uint32_t(pick(TAVRO_FCOE_TIMEOUT, cur.timeout)) << 16 |
                 uint32_t(pick(TAVRO_FCOE_FW_UPDATE_TIMEOUT, cur.fwUpdateTimeout));
    const uint32_t mask = uint32_t(pick(TAVRO_FCOE_PRIORITY_PAUSE_MASK, cur.pauseMask));
    std::memcpy(c.fcMap, cur.fcMap, 3);
    if (cur.fcoeConfigItem) {
        const uint32_t config = uint32_t(pick(TAVRO_FCOE_CONFIG, cur.fcoeConfig));
        c.mask = (config + 256) << 16 | mask;
        if (v[TAVRO_FCOE_FC_MAP] > 0)
            std::memcpy(c.fcMap, in.fcMap, 3);
        c.fcoeConfigEnabled = pick(TAVRO_FCOE_CONFIG_ENABLE, cur.fcoeConfigEnable) == 1;
    } else {
        c.mask = mask;
        if (v[TAVRO_FCOE_CONFIG] >= 0 || v[TAVRO_FCOE_CONFIG_ENABLE] >= 0 ||
            v[TAVRO_FCOE_FC_MAP] > 0)
            Trace(kLevelDebug, "UpdateQuillParams: engine has no FCoE configuration item; "
                               "FCoE configuration and FC-MAP left out");
    }

    BeginManage();
    if (ManageConfigure(rec, c))
        return ReportFailure(
            kFcoeParamSaveFailed,
            Format("Unable to save new settings on selected FCoE engine %s!", Named(a).c_str())
                .c_str());
    EngineParams confirm;
    if (GetQuillParams(rec, port, confirm))
        return ParamsFailure(a, LastDeviceStatus());
    return ReportResult(
        kStatusOk,
        Format("Parameter settings have been saved to the FCoE device %s.", Named(a).c_str())
            .c_str());
}

int ResetQuillChip(const FibreAdapter *a)
{
    int status = 0;
    const DeviceRecord *rec = EnginePort(a, status);
    if (!rec)
        return status;
    EngineResult &res = Result(Area().reset, SD_ENGINE_CMD_RESET);
    SD_ENGINE_REQUEST r{};
    r.Operation = 0; // a normal reset
    if (SD_STATUS st = EngineCall(rec, SD_ENGINE_CMD_RESET, r)) {
        res.text =
            Format("resetquill: Unable to reset Quill (0x%x) - %s!", st, CoreErrorString(st));
        Trace(kLevelDebug, "ResetQuillChip: %s", res.text.c_str());
        return ReportFailure(res.status, Format("Unable to reset FCoE engine (Instance %d - %s)!",
                                                a->instance, DisplayModel(*a).c_str())
                                             .c_str());
    }
    res.status = 0;
    WaitForLogin(rec);
    return ReportResult(kStatusOk,
                        Format("Quill reset completed successfully %s", Named(a).c_str()).c_str());
}

int QuillFirmwareUpdate(const FibreAdapter *a, const std::string &file)
{
    int status = 0;
    const DeviceRecord *rec = EnginePort(a, status);
    if (!rec)
        return status;
    FileHandle fp(file, "rb");
    if (!fp)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to open file '%s' for reading!", file.c_str()).c_str());
    long size = -1;
    if (std::fseek(fp.get(), 0, SEEK_END) == 0)
        size = std::ftell(fp.get());
    if (size < 0 || std::fseek(fp.get(), 0, SEEK_SET) != 0)
        return ReportFailure(
            kFcoeFileCorrupted,
            Format("Selected file (%s) appears to be corrupted!", file.c_str()).c_str());
    if (size_t(size) > kEngineImageMax)
        return ReportFailure(kFcoeImageTooLarge,
                             Format("%s is not an acceptable flash FW file, wrong size and wrong "
                                    "file for this specific adapter!",
                                    file.c_str())
                                 .c_str());
    std::vector<uint8_t> whole(size_t(size), 0);
    if (size > 0 && std::fread(whole.data(), 1, whole.size(), fp.get()) != whole.size())
        return ReportFailure(
            kFcoeFileCorrupted,
            Format("Selected file (%s) appears to be corrupted!", file.c_str()).c_str());
    fp.Close();
    const std::vector<ImageSegment> segments = SegmentImage(whole);
    Trace(kLevelDebug, "QuillFirmwareUpdate: %ld bytes in %zu segment(s)", size, segments.size());

    Renderer &out = CurrentRenderer();
    const uint32_t v = EngineImageVersion(whole);
    out.TextLine(Format("Updating to firmware version %x.%x.%x, please wait...", (v >> 16) & 0xFF,
                        (v >> 8) & 0xFF, v & 0xFF));
    if (!ValidateEngineImage(whole, rec->chip.DeviceId))
        return ReportFailure(
            kFcoeFileCorrupted,
            Format("Selected file (%s) appears to be corrupted!", file.c_str()).c_str());

    std::vector<uint8_t> image;
    uint32_t badSize = 0;
    if (!GatherSegments(segments, image, badSize)) {
        Trace(kLevelDebug, "UpdateQuillFW: Invalid segment size:  %u.", badSize);
        return ReportFailure(
            kFcoeSegmentInvalid,
            Format("Failed to update firmware on selected FCoE engine %s!", Named(a).c_str())
                .c_str());
    }
    EngineResult &res = Result(Area().update, SD_ENGINE_CMD_UPDATE);
    SD_ENGINE_REQUEST r{};
    r.Operation = SD_ENGINE_OP_UPDATE_FIRMWARE;
    r.Param1 = uint32_t(image.size());
    const uint8_t *address = image.data();
    std::memcpy(reinterpret_cast<uint8_t *>(&r) + 8, &address, sizeof address);
    if (SD_STATUS st = EngineCall(rec, SD_ENGINE_CMD_UPDATE, r)) {
        res.text = DeviceError(st);
        Trace(kLevelDebug, "QuillFirmwareUpdate: %s", res.text.c_str());
        return ReportFailure(
            res.status,
            Format("Failed to update firmware on selected FCoE engine %s!", Named(a).c_str())
                .c_str());
    }
    res.status = 0;
    // The update is done whether or not the engine is back within the polls.
    WaitForLogin(rec);
    return ReportResult(
        kStatusOk, Format("Firmware update completed successfully %s", Named(a).c_str()).c_str());
}

// ---- Exports ---------------------------------------------------------------------------

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_DisplayQuillGeneralInfo(const FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return DisplayQuillGeneralInfo(adapter); });
}

TAVRO_API int32_t TAVRO_DisplayQuillParameters(const FibreAdapter *adapter, int32_t port)
{
    return Guarded([&]() -> int32_t { return DisplayQuillParameters(adapter, port); });
}

TAVRO_API int32_t TAVRO_SetQuillParameters(const FibreAdapter *adapter,
                                           const TavroFcoeParams *params)
{
    return Guarded([&]() -> int32_t {
        if (!params)
            return ReportFailure(kStatusParseFailed, "Option requires additional input(s)!");
        return SetQuillParameters(adapter, *params);
    });
}

TAVRO_API int32_t TAVRO_ResetQuillChip(const FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return ResetQuillChip(adapter); });
}

TAVRO_API int32_t TAVRO_QuillFirmwareUpdate(const FibreAdapter *adapter, const char *file)
{
    return Guarded([&]() -> int32_t {
        if (!file)
            return ReportFailure(kStatusGeneralFailure, "Unable to open file '' for reading!");
        return QuillFirmwareUpdate(adapter, file);
    });
}

} // extern "C"
