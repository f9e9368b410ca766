#include <gtest/gtest.h>

#include "info/geninfo.h"

namespace {

struct Case {
    uint16_t deviceId;
    uint32_t notify;
    uint16_t state;
    uint16_t link2;
    uint16_t link3;
    uint32_t fwAttributes;
    const char *expected;
};

DeviceRecord Record(const Case &c)
{
    DeviceRecord r;
    r.chip.DeviceId = c.deviceId;
    r.chip.SubVendorId = 0x1E7A;
    r.chip.SubSystemId = 0x0242; // makes the engine chip the FCoE engine adapter
    r.notificationStatus = c.notify;
    r.port.PortState = c.state;
    r.port.LinkState2 = c.link2;
    r.port.LinkState3 = c.link3;
    r.firmware.Attributes = c.fwAttributes;
    return r;
}

constexpr uint16_t kFc2G = 0x7020;  // family 2: "Loop" wording
constexpr uint16_t kFc8G = 0x70C0;  // family 12: "Link" wording
constexpr uint16_t kFc16G = 0x7180; // family 24
constexpr uint16_t kQuill = 0x70D0;

TEST(PortStatus, TextFollowsNotificationBitsThenPortState)
{
    const Case cases[] = {
        {kFc8G, 0, SD_PORT_STATE_ONLINE, 0, 0, 0, "Online"},
        {kFc16G, 0, SD_PORT_STATE_ONLINE, 0, SD_LINK3_FEC_ACTIVE, SD_FW_ATTR_FEC_SUPPORTED,
         "Online (FEC)"},
        {kFc16G, 0, SD_PORT_STATE_ONLINE, 0, SD_LINK3_FEC_ACTIVE, 0, "Online"},
        {kFc8G, 0, SD_PORT_STATE_ONLINE, 0, SD_LINK3_FEC_ACTIVE, SD_FW_ATTR_FEC_SUPPORTED,
         "Online"},
        {kFc8G, 0, SD_PORT_STATE_LINKDOWN, 0, 0, 0, "Link Down"},
        {kFc2G, 0, SD_PORT_STATE_LINKDOWN, 0, 0, 0, "Loop Down"},
        {kFc8G, 0, SD_PORT_STATE_OFFLINE, 0, 0, 0, "Loop Down"},
        {kQuill, 0, SD_PORT_STATE_OFFLINE, 0, 0, 0, "Unknown"},
        {kFc8G, 0, 0, 0, 0, 0, "Unknown"},
        {kFc8G, kNotifyLinkDown, SD_PORT_STATE_LINKDOWN, SD_LINK2_SFP_INVALID, 0, 0, "SFP Invalid"},
        {kFc2G, kNotifyLinkDown, SD_PORT_STATE_LINKDOWN, SD_LINK2_SFP_INVALID, 0, 0, "Loop Down"},
        {kFc8G, kNotifyLinkDown, SD_PORT_STATE_LINKDOWN, SD_LINK2_SFP_MISSING, 0, 0,
         "SFP not installed"},
        {kFc8G, kNotifyLinkDown, SD_PORT_STATE_LINKDOWN, SD_LINK2_OFFLINE, 0, 0, "Link Down"},
        {kFc8G, kNotifyLinkDown, SD_PORT_STATE_DIAG, 0, 0, 0, "Diag Port"},
        {kFc8G, kNotifySystemError, SD_PORT_STATE_ONLINE, 0, 0, 0, "System Error"},
        {kFc8G, kNotifyLipOccurred, SD_PORT_STATE_ONLINE, 0, 0, 0, "Lip occurred"},
        {kFc2G, kNotifyLinkUp, SD_PORT_STATE_ONLINE, 0, 0, 0, "Loop Up"},
        {kFc8G, kNotifyLinkUp, SD_PORT_STATE_ONLINE, 0, 0, 0, "Link Up"},
        {kFc8G, kNotifyPortUpdate, SD_PORT_STATE_ONLINE, 0, 0, 0, "Port update"},
        {kFc8G, kNotifyChangeReported, SD_PORT_STATE_ONLINE, 0, 0, 0, "Currently Up"},
        {kFc8G, kNotifyDisable, SD_PORT_STATE_ONLINE, 0, 0, 0, "Disable"},
        {kFc8G, kNotifyAltWwn, SD_PORT_STATE_ONLINE, 0, 0, 0, "Alt WWN sctive"},
        {kFc2G, kNotifyLinkDownReported, SD_PORT_STATE_ONLINE, 0, 0, 0, "Send loop down update"},
        {kFc8G, kNotifyLinkDownReported, SD_PORT_STATE_ONLINE, 0, 0, 0, "Send link down update"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(GetAdapterStatus(Record(c)), c.expected)
            << std::hex << c.deviceId << " notify " << c.notify << " state " << c.state;
}

} // namespace
