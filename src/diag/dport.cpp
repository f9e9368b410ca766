// D_Port tests with the attached switch, and the D_Port option in NVRAM.
#include <cstring>
#include <ctime>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/text.h"
#include "device/core.h"
#include "diag/diag.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "render/output.h"
#include "render/renderer.h"
#include "session/longrun.h"

namespace {

constexpr int kDPortAttempts = 10;
constexpr uint32_t kNotReadyWaitMs = 5000;
constexpr uint32_t kNvEnableDPort = 27;

// Mbx1 codes behind the details line of a failed test.
std::string DetailsLine(uint32_t mbx1)
{
    switch (mbx1 & 0xFF) {
    case 0x00:
        return Format("\nDetails: Reserved (0x%x)", mbx1);
    case 0x01:
        return Format("\nDetails: Unexpected reject code (0x%x)", mbx1);
    case 0x02:
        return Format("\nDetails: Unexpected Phase (0x%x)", mbx1);
    case 0x03:
        return Format("\nDetails: Retry exceeded (0x%x)", mbx1);
    case 0x04:
        return Format("\nDetails: Test Timeout (0x%x)", mbx1);
    case 0x05:
        return Format("\nDetails: Dynamic mode not supported by attached switch (0x%x)", mbx1);
    case 0x06:
        return Format("\nDetails: Test stopped by user  (0x%x)", mbx1);
    default:
        return Format("\nDetails: Unknown error (0x%x)", mbx1);
    }
}

std::string TimeText(uint32_t t)
{
    std::time_t when = std::time_t(t);
    char buf[64] = {};
    std::tm tm{};
    localtime_r(&when, &tm);
    std::strftime(buf, sizeof buf, "%a %b %d %H:%M:%S %Y", &tm);
    return buf;
}

// AppRunDportDiagEx: the run, waiting while the switch is not ready.
SD_STATUS AppRunDportDiagEx(const DeviceRecord &rec, SD_DPORT_RESULT &out, LongRun &run)
{
    SD_STATUS st = SD_OK;
    for (int attempt = 1; attempt <= kDPortAttempts; ++attempt) {
        uint8_t buf[SD_DPORT_RESULT_SIZE] = {};
        st = SDRunDportDiagEx(rec.handle, 0, buf, sizeof buf);
        if (st == SD_OK) {
            std::memcpy(&out, buf, sizeof out);
            return st;
        }
        if (st == SDERR_DEVICE_BUSY) {
            Trace(kLevelDebug, "AppRunDportDiagEx: switch not ready (attempt %d)", attempt);
            if (attempt < kDPortAttempts && !run.Wait(kNotReadyWaitMs))
                return st;
            continue;
        }
        if (st == SDERR_INVALID_REGION)
            Trace(kLevelDebug, "AppRunDportDiagEx: the attached switch does not support D_Port");
        return st;
    }
    return st;
}

bool BootFromSan(const DeviceRecord &rec)
{
    uint32_t v = 0;
    return SDGetVariableValue(rec.handle, rec.nvramRegion1, SD_NVVAR_ENABLE_SELECTABLE_BOOT, &v) ==
               SD_OK &&
           v != 0;
}

bool DPortEnabled(const DeviceRecord &rec)
{
    uint32_t v = 0;
    return SDGetVariableValue(rec.handle, rec.nvramRegion1, kNvEnableDPort, &v) == SD_OK && v != 0;
}

// Both ends of a kept result in full: what --detail adds to the brief table.
void DescribeSides(Renderer &r, const SD_DPORT_RESULT &res)
{
    struct Side {
        const char *title;
        const char *element;
        const SD_DPORT_SIDE &side;
    };
    const Side sides[] = {{"HBA", "HBASide", res.Hba}, {"Switch", "SwitchSide", res.Switch}};
    if (r.Form() == OutputForm::Text) {
        for (const Side &s : sides) {
            const SD_DPORT_SIDE &d = s.side;
            PrintMessage("");
            PrintMessageF("%s side:", s.title);
            PrintMessageF("  Test Capabilities     : 0x%02X", d.Capabilities);
            PrintMessageF("  Round-Trip Latency    : %u ns", d.RoundTripLatency);
            PrintMessageF("  Link Distance         : %u m", d.LinkDistance);
            PrintMessageF("  Electrical Loopback   : 0x%02X %s", d.ElectricalType,
                          DPortResultText(d.ElectricalResult));
            PrintMessageF("  Optical Loopback      : 0x%02X %s", d.OpticalType,
                          DPortResultText(d.OpticalResult));
            PrintMessageF("  Link Traffic          : 0x%02X %s", d.TrafficType,
                          DPortResultText(d.TrafficResult));
            PrintMessageF("  Overall Result        : %s", DPortResultText(d.OverallResult));
            PrintMessageF("  Errors                : %u", d.ErrorCount);
        }
        return;
    }
    for (const Side &s : sides) {
        static RecordStyle style;
        style = {.element = s.element, .indent = "\t\t", .childIndent = "\t\t"};
        const SD_DPORT_SIDE &d = s.side;
        r.BeginRecord(style);
        r.Add(nullptr, "Capabilities", Format("0x%X", d.Capabilities));
        r.Add(nullptr, "RoundTripLatency", std::to_string(d.RoundTripLatency));
        r.Add(nullptr, "LinkDistance", std::to_string(d.LinkDistance));
        r.Add(nullptr, "ElectricalLoopbackResult", DPortResultText(d.ElectricalResult));
        r.Add(nullptr, "OpticalLoopbackResult", DPortResultText(d.OpticalResult));
        r.Add(nullptr, "LinkTrafficResult", DPortResultText(d.TrafficResult));
        r.Add(nullptr, "OverallResult", DPortResultText(d.OverallResult));
        r.Add(nullptr, "ErrorCount", std::to_string(d.ErrorCount));
        r.EndRecord();
    }
}

void Describe(Renderer &r, const FibreAdapter &a, const SD_DPORT_RESULT &res, bool detail = false)
{
    const SD_DPORT_SIDE &h = res.Hba;
    if (r.Form() == OutputForm::Text) {
        PrintMessage(("Start Time: " + TimeText(res.StartTime)).c_str());
        PrintMessage(("End Time  : " + TimeText(res.EndTime)).c_str());
        PrintMessageF("%20s%20s%20s%20s", "   HBA Port", "Electrical Loopback", "Optical Loopback",
                      "Link Traffic");
        PrintMessageF("%20s%20s%20s%20s", "   --------", "-------------------", "----------------",
                      "------------");
        PrintMessageF("%8s%10s%02d%16s0x%02X%16s0x%02X%16s0x%02X", "Value ", "", a.portNumber, "",
                      h.ElectricalType, "", h.OpticalType, "", h.TrafficType);
        PrintMessageF("%8s%8s0x%02X%16s0x%02X%16s0x%02X%16s0x%02X", "Status ", "", h.OverallResult,
                      "", h.ElectricalResult, "", h.OpticalResult, "", h.TrafficResult);
        PrintMessageF("%8s%12s%20s%20s%20s", "Result", DPortResultText(h.OverallResult),
                      DPortResultText(h.ElectricalResult), DPortResultText(h.OpticalResult),
                      DPortResultText(h.TrafficResult));
        if (h.OverallResult != 1) {
            PrintMessage(DetailsLine(res.Mbx1).c_str());
            PrintMessageF("Details (Mbx1): 0x%x", res.Mbx1);
            PrintMessageF("Details (Mbx2): 0x%x", res.Mbx2);
        }
        if (detail)
            DescribeSides(r, res);
        return;
    }
    static const RecordStyle kDiag = {.element = "Diagnostics", .indent = "", .childIndent = "\t"};
    static const RecordStyle kTest = {
        .element = "DiagnosticsPortTest", .indent = "\t", .childIndent = "\t\t"};
    auto group = [&](const char *element) {
        static RecordStyle style;
        style = {.element = element, .indent = "\t\t", .childIndent = "\t\t"};
        r.BeginRecord(style);
    };
    r.BeginRecord(kDiag);
    r.BeginRecord(kTest);
    r.Add(nullptr, "PhyPort", std::to_string(a.portNumber));
    group("HBAElectricalLoopbackTest");
    r.Add(nullptr, "HBAElectricalLoopbackTestType", Format("0x%X", h.ElectricalType));
    r.Add(nullptr, "HBAElectricalLoopbackTestResult", Format("0x%X", h.ElectricalResult));
    r.Add(nullptr, "HBAElectricalLoopbackTestStatus", DPortResultText(h.ElectricalResult));
    r.EndRecord();
    group("OpticalLoopbackTest");
    r.Add(nullptr, "OpticalLoopbackTestType", Format("0x%X", h.OpticalType));
    r.Add(nullptr, "HBAOpticalLoopbackTestResult", Format("0x%X", h.OpticalResult));
    r.Add(nullptr, "HBAOpticalLoopbackTestStatus", DPortResultText(h.OpticalResult));
    r.EndRecord();
    group("HBALinkTrafficTest");
    r.Add(nullptr, "HBALinkTrafficTestType", Format("0x%X", h.TrafficType));
    r.Add(nullptr, "HBALinkTrafficTestResult", Format("0x%X", h.TrafficResult));
    r.EndRecord();
    group("HBAOverAllTest");
    r.Add(nullptr, "HBAOveralTestResult", Format("0x%X", h.OverallResult));
    r.Add(nullptr, "HBAOveralTestStatus", DPortResultText(h.OverallResult));
    r.EndRecord();
    if (detail)
        DescribeSides(r, res);
    r.EndRecord();
    r.EndRecord();
}

// The kept result belongs to a physical port of a D_Port family.
DeviceRecord *DPortPort(FibreAdapter *a, int &status)
{
    DeviceRecord *rec = PhysicalPortRecord(a, status);
    if (!rec)
        return nullptr;
    const int family = rec->facts.familyCode;
    if (family != 24 && family != 25 && family != 27) {
        status = ReportFailure(kStatusGeneralFailure,
                               Format("This feature is not supported on this HBA (Instance %d - "
                                      "%s)!",
                                      a->instance, DisplayModel(*a).c_str())
                                   .c_str());
        return nullptr;
    }
    return rec;
}

} // namespace

const char *DPortResultText(uint32_t code)
{
    switch (code) {
    case 0:
        return "Not Started";
    case 1:
        return "Passed";
    case 2:
        return "Skipped";
    case 3:
    case 71:
        return "Failed";
    case 4:
        return "Running";
    case 5:
        return "Remote Port";
    case 6:
        return "Stopped";
    case 56:
        return "UN-REJ";
    case 57:
        return "UN-PHASE";
    case 58:
        return "Retry Excd";
    case 59:
        return "Timeout";
    case 78:
    case 79:
        return "Not SPTD";
    case 115:
        return "Mem Error";
    default:
        return "Unknown";
    }
}

int DPortResultStatus(uint32_t code)
{
    switch (code) {
    case 0:
        return 73;
    case 1:
        return 0;
    case 2:
        return 75;
    case 3:
    case 71:
        return 71;
    case 4:
        return 74;
    case 5:
        return 76;
    case 6:
        return 77;
    case 56:
    case 57:
    case 58:
    case 59:
    case 78:
    case 79:
    case 115:
        return int(code);
    default:
        return kStatusGeneralFailure;
    }
}

int RunDPortTest(FibreAdapter *a, bool bfsOverride)
{
    LongRun run("StartAdapterDPortDiagnosticsTest");
    int refused = kStatusOk;
    DeviceRecord *rec = PhysicalPortRecord(a, refused);
    if (!rec)
        return refused;
    const int family = rec->facts.familyCode;
    if (family != 24 && family != 25 && family != 27)
        return ReportFailure(kStatusGeneralFailure,
                             Format("This feature is not supported on this HBA (Instance %d - %s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    if (!(rec->firmware.Attributes & SD_FW_ATTR_DPORT))
        return ReportFailure(kStatusGeneralFailure, Format("Unsupported firmware on HBA %d (%s)",
                                                           a->instance, DisplayModel(*a).c_str())
                                                        .c_str());
    if (BootFromSan(*rec) && !bfsOverride)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Diagnotics Port  test has been suspended, current HBA %d "
                                    "(%s) has BFS configuration!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    Renderer &r = CurrentRenderer();
    if (r.Form() == OutputForm::Text)
        PrintMessageF("Starting diagnostic port test of HBA %d (%s), please wait...", a->instance,
                      DisplayModel(*a).c_str());
    if (!DPortEnabled(*rec))
        return ReportFailure(kStatusGeneralFailure,
                             Format("Diagnostic Port test is currently disable with HBA %d (%s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    if (rec->port.PortState == SD_PORT_STATE_DIAG)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to start Diagnostics Port test with current HBA %d "
                                    "(%s). Selected port is in Diagnostics mode.",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    if (rec->port.LinkState2 == SD_LINK2_SFP_MISSING ||
        rec->port.LinkState2 == SD_LINK2_SFP_INVALID)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to start Diagnostics Port test with current HBA %d "
                                    "(%s). No valid SFP module detected!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    const uint16_t speed = rec->port.PortSpeed;
    if (speed != SD_SPEED_16G && speed != SD_SPEED_20G && speed != SD_SPEED_32G &&
        speed != SD_SPEED_64G)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to start Diagnostics Port test from HBA %d (%s). "
                                    "Minimum link speed must be 16Gbps!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    SD_DPORT_RESULT res{};
    SD_STATUS st = AppRunDportDiagEx(*rec, res, run);
    Trace(kLevelDebug,
          "\nStartAdapterDPortDiagnosticsTest: Diagnostic port test completes in %.0f second(s)...",
          run.ElapsedSeconds());
    run.Finish();
    if (st != SD_OK)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to start diagnostic port test on HBA %d (%s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    r.BeginDocument();
    Describe(r, *a, res);
    const int status = DPortResultStatus(res.Hba.OverallResult);
    if (r.Form() == OutputForm::Text)
        return status;
    return r.Finish(status);
}

int DisplayAdapterDPortCfgInfo(FibreAdapter *a)
{
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.TextLine(Format("%s (SN %s) ", DisplayModel(*a).c_str(), a->serialNumber));
    // Every port of the adapter, in port order.
    for (DeviceRecord &d : Devices().records) {
        if (d.IsVirtual() || std::strcmp(d.serialNumber, rec->serialNumber) != 0 ||
            std::strcmp(d.node.Model, rec->node.Model) != 0)
            continue;
        uint8_t image[512] = {};
        if (SDGetNVRam(d.handle, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image) != SD_OK)
            return ReportFailure(kStatusGeneralFailure,
                                 Format("Unable to read current NVRAM of adapter %d (%s)",
                                        d.instance, DisplayModel(*a).c_str())
                                     .c_str());
        uint32_t v = 0;
        SDGetVariableValue(d.handle, image, kNvEnableDPort, &v);
        r.TextLine(Format("Port %d: DPort  : %s", d.portNumber, v ? "Enable" : "Disable"));
    }
    return r.Finish(kStatusOk);
}

int ConfigureAdapterDPortSettings(FibreAdapter *a, int value)
{
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec)
        return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
    if (value != 0 && value != 1)
        return ReportFailure(kDiagInvalidValue,
                             Format("Unable to modify NVRAM settings of %d (%s). Invalid setting "
                                    "(Val=%d)",
                                    a->instance, DisplayModel(*a).c_str(), value)
                                 .c_str());
    uint8_t image[512] = {};
    uint32_t current = 0;
    if (SDGetNVRam(rec->handle, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image) != SD_OK ||
        SDGetVariableValue(rec->handle, image, kNvEnableDPort, &current) != SD_OK)
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to read current NVRAM of adapter %d (%s)", a->instance,
                                    DisplayModel(*a).c_str())
                                 .c_str());
    // An unchanged option needs no write and no reboot.
    if (current == uint32_t(value))
        return ReportResult(kStatusOk, Format("HBA Parameters update complete. Changes have been "
                                              "saved to HBA instance %d.",
                                              a->instance)
                                           .c_str());
    if (SDSetVariableValue(rec->handle, image, kNvEnableDPort, uint32_t(value)) != SD_OK ||
        SDUpdateNVRam(rec->handle, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image) != SD_OK)
        return ReportFailure(
            kStatusGeneralFailure,
            Format("Failed to update HBA parameters of selected HBA (Instance %d)!", a->instance)
                .c_str());
    std::memcpy(rec->nvramRegion1, image, sizeof image);
    return ReportResult(kStatusOk,
                        Format("HBA Parameters update complete. Changes have been saved "
                               "to HBA instance %d and a reboot is required.",
                               a->instance)
                            .c_str(),
                        1);
}

int DisplayDPortResult(FibreAdapter *a, bool detail)
{
    int status = kStatusOk;
    DeviceRecord *rec = DPortPort(a, status);
    if (!rec)
        return status;
    uint8_t buf[SD_DPORT_RESULT_SIZE] = {};
    const SD_STATUS st = SDGetDportResult(rec->handle, 0, buf, sizeof buf);
    if (st == SDERR_PERSIST_EMPTY)
        return ReportFailure(kDPortNoResult,
                             Format("No diagnostic port test results on HBA %d (%s)!", a->instance,
                                    DisplayModel(*a).c_str())
                                 .c_str());
    if (st != SD_OK) {
        Trace(kLevelDebug, "DisplayDPortResult: SDGetDportResult failed with error 0x%x (%s)", st,
              CoreErrorString(st));
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to read diagnostic port test results of HBA %d (%s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    }
    SD_DPORT_RESULT res{};
    std::memcpy(&res, buf, sizeof res);
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    Describe(r, *a, res, detail);
    // Showing a result is not running a test: it succeeds whatever the result.
    return r.Finish(kStatusOk);
}

int ClearDPortResult(FibreAdapter *a)
{
    int status = kStatusOk;
    DeviceRecord *rec = DPortPort(a, status);
    if (!rec)
        return status;
    const SD_STATUS st = SDClearDportResult(rec->handle, 0);
    if (st != SD_OK) {
        Trace(kLevelDebug, "ClearDPortResult: SDClearDportResult failed with error 0x%x (%s)", st,
              CoreErrorString(st));
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unable to clear diagnostic port test results of HBA %d (%s)!",
                                    a->instance, DisplayModel(*a).c_str())
                                 .c_str());
    }
    return ReportResult(kStatusOk, Format("Diagnostic port test results of HBA %d (%s) have been "
                                          "cleared",
                                          a->instance, DisplayModel(*a).c_str())
                                       .c_str());
}
