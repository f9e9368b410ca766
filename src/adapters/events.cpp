#include "adapters/events.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <mutex>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

constexpr uint32_t kMaxEvents = 64;

struct EventThreadState {
    std::atomic<bool> running{false};
    std::atomic<bool> skipEvents{false};
    std::atomic<bool> suppressReports{false};
    oss::Event stopped{true, true};
    oss::Event wake{false, false}; // ends the one-second wait early at shut-down
    uint64_t lastBeaconCheckMs = 0;
    uint64_t lastPollMs = 0;
};

EventThreadState &EventState()
{
    static EventThreadState state;
    return state;
}

std::string DeviceTag(const DeviceRecord &rec)
{
    return std::to_string(rec.instance) + "-" + rec.node.Model;
}

void ReportChange()
{
    std::time_t now = oss::Now();
    std::tm lt{};
    localtime_r(&now, &lt);
    char buf[26];
    asctime_r(&lt, buf);
    PrintMessageF("\n%.24s: %s", buf, "Change detected, please refresh current configuration.");
}

void pollingEvents()
{
    EventThreadState &st = EventState();
    while (st.running) {
        st.wake.Wait(1000);
        if (!st.running)
            break;
        PollEventsOnce();
    }
    Trace(kLevelDebug, "pollingEvents() ending %d...", st.running ? 1 : 0);
}

} // namespace

const char *AenEventName(uint32_t type)
{
    switch (type) {
    case SD_AEN_LIP_OCCURRED:
        return "Lip Occurred";
    case SD_AEN_LINK_UP:
        return "Link Up";
    case SD_AEN_LINK_DOWN:
        return "Link Down";
    case SD_AEN_LIP_RESET:
        return "Lip Reset Occurred";
    case SD_AEN_SCR_UPDATE:
        return "SCR Update";
    case SD_AEN_DEVICE_UPDATE:
        return "Device Update";
    case SD_AEN_FEC_ACTIVE:
        return "FEC Active";
    // Type 9 has no entry in the name table; it is shown by its meaning.
    case SD_AEN_TYPE9:
        return "Port Event";
    default:
        return "**Unknown**";
    }
}

int handleAEN()
{
    bool change = false;
    for (DeviceRecord &record : Devices()) {
        DeviceRecord *rec = &record;
        std::string tag = DeviceTag(*rec);
        if (!(rec->flags & kDeviceEventsEnabled) || rec->IsVirtual() || rec->IsFcoeEngineEntry()) {
            Trace(kLevelDebug, "handleAEN: Skipping Device [%s] (AEN Unsupported)", tag.c_str());
            continue;
        }
        uint8_t buffer[SD_AEN_BUFFER_SIZE];
        uint32_t count = 0;
        SD_STATUS s = SDGetAen(rec->handle, buffer, sizeof buffer, &count);
        if (s != SD_OK) {
            PrintMessageF("HBA %s: Unable to complete query AEN (0x%x) (%s)", tag.c_str(), s,
                          CoreErrorString(s));
            continue;
        }
        if (count > kMaxEvents) {
            Trace(kLevelDebug, "handleAEN: Device [%s] ajusted count to 64", tag.c_str());
            count = kMaxEvents;
        }
        uint32_t bits = 0;
        bool linkDown = false;
        for (uint32_t i = 0; i < count; ++i) {
            SD_AEN_EVENT ev;
            std::memcpy(&ev, buffer + i * sizeof ev, sizeof ev);
            PrintMessageF("HBA %s: Event[%u] (%s)", tag.c_str(), i, AenEventName(ev.EventType));
            switch (ev.EventType) {
            case SD_AEN_LIP_OCCURRED:
                bits |= kNotifyLipOccurred;
                break;
            case SD_AEN_LINK_UP:
                bits &= ~kNotifyLinkDown;
                bits |= kNotifyLinkUp;
                linkDown = false;
                break;
            case SD_AEN_LINK_DOWN:
                bits |= kNotifyLinkDown;
                linkDown = true;
                change = true;
                break;
            case SD_AEN_SCR_UPDATE:
            case SD_AEN_DEVICE_UPDATE:
                bits |= kNotifyPortUpdate;
                change = true;
                break;
            case SD_AEN_FEC_ACTIVE:
                bits |= kNotifyFecActive;
                break;
            case SD_AEN_TYPE9:
                bits |= kNotifyEventType9;
                break;
            default:
                break;
            }
        }
        if (bits && bits != rec->notificationStatus) {
            rec->notificationStatus =
                bits | (linkDown ? kNotifyLinkDownReported : kNotifyChangeReported);
            Trace(kLevelDebug, "handleAEN: Notification status Device[%s] = [%04x]", tag.c_str(),
                  rec->notificationStatus);
            rec->notificationStatus &= ~(kNotifyChangeReported | kNotifyFecActive);
        }
    }
    return change ? -2 : 0;
}

int CoreHandlePortStateChange()
{
    bool rebuild = false;
    for (DeviceRecord &record : Devices()) {
        DeviceRecord *rec = &record;
        if (rec->IsVirtual() || rec->IsFcoeEngineEntry())
            continue;
        SD_PORT_PROPERTY port{};
        if (SDGetHbaDevicePortProperty(rec->handle, 0, &port) != SD_OK) {
            Trace(kLevelDebug,
                  "CoreHandlePortStateChange: Cannot retrieve port status for device (%ld)",
                  static_cast<long>(rec->instance));
            continue;
        }
        if (port.PortState == SD_PORT_STATE_ONLINE) {
            if (rec->notificationStatus & kNotifyLinkDown) {
                rec->notificationStatus &= ~(kNotifyLinkDown | kNotifyLinkDownReported);
                if (EventState().skipEvents)
                    Trace(kLevelDebug,
                          "CoreHandlePortStateChange: Skipping Rebuild due to disabled AEN");
                else
                    rebuild = true;
            }
            // Sub-states the port no longer reports.
            if (!(port.LinkState3 & SD_LINK3_FEC_ACTIVE))
                rec->notificationStatus &= ~kNotifyFecActive;
        } else {
            rec->notificationStatus |= kNotifyLinkDown;
        }
    }
    if (rebuild) {
        Trace(kLevelDebug, "CoreHandlePortStateChange: Rebuilding CoreDB...");
        return -2;
    }
    return 0;
}

void PollEventsOnce()
{
    EventThreadState &st = EventState();
    FrameState &f = Frame();
    uint64_t now = oss::TickMs();
    if (now - st.lastBeaconCheckMs > 5000)
        st.lastBeaconCheckMs = now; // target beacons are checked here once they exist
    AdapterModelState &model = AdapterModel();
    if (model.forceRebuild) {
        Trace(kLevelDebug, "pollingEvents: Forcing rebuild device database...");
        model.forceRebuild = false;
        model.rebuildRequired = true;
        return;
    }
    if (now - st.lastPollMs < static_cast<uint64_t>(f.pollingInterval) * 1000)
        return;
    st.lastPollMs = now;
    int aen = 0;
    int state = 0;
    {
        CriticalSection lock;
        if (!lock.Held())
            return;
        if (st.skipEvents)
            Trace(kLevelDebug, "pollingEvents: Skipping AEN");
        else
            aen = handleAEN();
        state = CoreHandlePortStateChange();
    }
    if ((aen != 0 || state != 0) && !st.suppressReports) {
        ReportChange();
        model.rebuildRequired = true;
    }
}

uint64_t StartEventThread()
{
    EventThreadState &st = EventState();
    if (GetKeyValue("node.app.core.aen.enable", 0) == 0)
        return oss::StartThread([] {});
    st.running = true;
    st.stopped.Reset();
    st.lastPollMs = oss::TickMs();
    uint64_t id = oss::StartThread([] {
        pollingEvents();
        EventState().stopped.Set();
    });
    if (!id) {
        st.running = false;
        st.stopped.Set();
    }
    return id;
}

void StopEventThread()
{
    EventThreadState &st = EventState();
    if (!st.running.exchange(false))
        return;
    st.wake.Set();
    st.stopped.Wait(oss::Event::kInfinite);
}
