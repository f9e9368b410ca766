// Buffer-to-buffer credit recovery of a port: the firmware's setting, shown
// and changed beside the credit-loss monitor that measures what it recovers.
#include "monitor/bbcr.h"

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "base/text.h"
#include "device/core.h"
#include "frame/messages.h"
#include "monitor/monitors.h"
#include "render/output.h"
#include "render/renderer.h"

namespace {

// Credit recovery came with the 16 Gb generation (family codes 24 on).
constexpr int kFirstBbcrFamily = 24;

const char *StateText(uint8_t state)
{
    switch (state) {
    case SD_BBCR_STATE_OFF:
        return "Off";
    case SD_BBCR_STATE_ONLINE:
        return "Online";
    case SD_BBCR_STATE_OFFLINE:
        return "Offline (link down)";
    default:
        return "Unknown";
    }
}

// The physical port the setting belongs to, or null after its message.
DeviceRecord *BbcrPort(FibreAdapter *a, int &status)
{
    DeviceRecord *rec = PhysicalPortRecord(a, status);
    if (!rec)
        return nullptr;
    if (rec->facts.familyCode < kFirstBbcrFamily) {
        status = ReportFailure(kStatusOptionUnsupported,
                               Format("This feature is not supported on this HBA (Instance %d - "
                                      "%s)!",
                                      a->instance, DisplayModel(*a).c_str())
                                   .c_str());
        return nullptr;
    }
    return rec;
}

// A refused read or write: firmware without recovery, or a failed call.
int BbcrFailure(const FibreAdapter &a, SD_STATUS st, const char *what)
{
    Trace(kLevelDebug, "%s failed with error 0x%x (%s)", what, st, CoreErrorString(st));
    if (st == SDERR_NOT_SUPPORTED)
        return ReportFailure(kStatusOptionUnsupported, Format("Unsupported firmware on HBA %d (%s)",
                                                              a.instance, DisplayModel(a).c_str())
                                                           .c_str());
    return ReportFailure(kStatusGeneralFailure,
                         Format("Unable to access BB credit recovery settings of HBA %d (%s)!",
                                a.instance, DisplayModel(a).c_str())
                             .c_str());
}

} // namespace

int DisplayBbcrInfo(FibreAdapter *a)
{
    int status = kStatusOk;
    DeviceRecord *rec = BbcrPort(a, status);
    if (!rec)
        return status;
    SD_BBCR_CONFIG c{};
    if (SD_STATUS st = SDGetBbcrConfig(rec->handle, 0, &c))
        return BbcrFailure(*a, st, "DisplayBbcrInfo: SDGetBbcrConfig");
    static const RecordStyle kStyle = {"BBCreditRecovery", "    ", "\t", XmlRows::Attributes};
    Renderer &r = CurrentRenderer();
    r.BeginDocument();
    r.TextLine(Format("BB Credit Recovery of HBA %d (%s)", a->instance, DisplayModel(*a).c_str()));
    r.BeginRecord(kStyle);
    r.Add("BB Credit Recovery", "Enabled", c.Enabled ? "Enabled" : "Disabled");
    r.Add("BB_SC_N (configured)", "BBSCN", std::to_string(c.BbScN));
    r.Add("BB_SC_N (in use)", "ActiveBBSCN", std::to_string(c.ActiveBbScN));
    r.Add("State", "State", StateText(c.State));
    r.EndRecord();
    return r.Finish(kStatusOk);
}

int ConfigureBbcr(FibreAdapter *a, bool enable, int bbScN)
{
    int status = kStatusOk;
    DeviceRecord *rec = BbcrPort(a, status);
    if (!rec)
        return status;
    SD_BBCR_CONFIG c{};
    if (SD_STATUS st = SDGetBbcrConfig(rec->handle, 0, &c))
        return BbcrFailure(*a, st, "ConfigureBbcr: SDGetBbcrConfig");
    c.Enabled = enable ? 1 : 0;
    // Without a value, enabling keeps the configured BB_SC_N.
    if (enable && bbScN > 0)
        c.BbScN = uint8_t(bbScN);
    if (SD_STATUS st = SDSetBbcrConfig(rec->handle, 0, &c))
        return BbcrFailure(*a, st, "ConfigureBbcr: SDSetBbcrConfig");
    if (!enable)
        return ReportResult(kStatusOk, Format("BB credit recovery disabled on HBA %d (%s)",
                                              a->instance, DisplayModel(*a).c_str())
                                           .c_str());
    return ReportResult(kStatusOk, Format("BB credit recovery enabled on HBA %d (%s) (BB_SC_N %d)",
                                          a->instance, DisplayModel(*a).c_str(), int(c.BbScN))
                                       .c_str());
}
