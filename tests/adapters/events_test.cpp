#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "adapters/adapterlist.h"
#include "adapters/events.h"
#include "base/oss.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "session/lifecycle.h"
#include "vnsdm_sim.h"

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

using EventsTest = MachineTest;

const uint8_t kPort8[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x08, 0x10, 0x01}; // instance 8
const uint8_t kPort2[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x16, 0x20, 0x01}; // instance 2

DeviceRecord *Record(const uint8_t wwpn[8])
{
    for (DeviceRecord &r : Devices())
        if (std::memcmp(r.Wwpn(), wwpn, 8) == 0 && r.PortType() == SD_PORT_TYPE_PHYSICAL)
            return &r;
    return nullptr;
}

size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(EventsTest, MoreThan64EventsAreCutTo64)
{
    UseMachine("");
    Scan();
    handleAEN(); // drain what the description queued
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(VNSimPostEvent(kPort8, SD_AEN_LIP_OCCURRED, 0, 0, 0), SD_OK);
    CaptureStdout();
    EXPECT_EQ(handleAEN(), 0); // a LIP is no change
    std::string out = GetCapturedStdout();
    EXPECT_EQ(Count(out, "HBA 8-CV-2081: Event["), 64u) << out;
    EXPECT_NE(out.find("HBA 8-CV-2081: Event[63] (Lip Occurred)"), std::string::npos);
    EXPECT_EQ(Record(kPort8)->notificationStatus, kNotifyLipOccurred);
}

TEST_F(EventsTest, LinkDownIsAChangeAndComingBackOnlineAsksForARebuild)
{
    UseMachine("");
    Scan();
    handleAEN();
    ASSERT_EQ(VNSimSetPortState(kPort2, SD_PORT_STATE_LINKDOWN, SD_LINK2_LOSS_OF_LIGHT, 1), SD_OK);
    CaptureStdout();
    EXPECT_EQ(handleAEN(), -2);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("HBA 2-CV-2162: Event[0] (Link Down)"), std::string::npos) << out;
    DeviceRecord *rec = Record(kPort2);
    EXPECT_EQ(rec->notificationStatus, kNotifyLinkDown | kNotifyLinkDownReported);
    EXPECT_EQ(CoreHandlePortStateChange(), 0); // still down: nothing to rebuild

    ASSERT_EQ(VNSimSetPortState(kPort2, SD_PORT_STATE_ONLINE, SD_LINK2_NONE, 0), SD_OK);
    EXPECT_EQ(CoreHandlePortStateChange(), -2);
    EXPECT_EQ(rec->notificationStatus & (kNotifyLinkDown | kNotifyLinkDownReported), 0u);
}

TEST_F(EventsTest, UnknownEventTypesAreNamedUnknown)
{
    EXPECT_STREQ(AenEventName(SD_AEN_LINK_UP), "Link Up");
    EXPECT_STREQ(AenEventName(7), "**Unknown**");
    EXPECT_STREQ(AenEventName(42), "**Unknown**");
}

TEST_F(EventsTest, PollReportsAChangeOncePerIntervalAndAsksForARebuild)
{
    UseMachine("");
    Scan();
    handleAEN();
    oss::SetClockScale(100000.0);
    Frame().pollingInterval = 30;
    AdapterModel().rebuildRequired = false;
    ASSERT_EQ(VNSimPostEvent(kPort8, SD_AEN_DEVICE_UPDATE, 0, 0, 0), SD_OK);
    CaptureStdout();
    // Poll until one interval has passed on the scaled clock.
    uint64_t start = oss::TickMs();
    while (!AdapterModel().rebuildRequired && oss::TickMs() - start < 120000) {
        oss::Sleep(1000);
        PollEventsOnce();
    }
    std::string out = GetCapturedStdout();
    oss::SetClockScale(1.0);
    EXPECT_TRUE(AdapterModel().rebuildRequired);
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\n\\w{3} \\w{3} [ \\d]\\d \\d{2}:\\d{2}:\\d{2} \\d{4}: "
                        "Change detected, please refresh current configuration\\.")))
        << out;
    AdapterModel().rebuildRequired = false;
}

TEST_F(EventsTest, CtrlCRunsCleanupOnceAndTracesTheSecond)
{
    UseMachine("");
    Scan();
    ASSERT_GT(Adapters().count, 0u);
    FrameState &f = Frame();
    f.debugTrace = true;
    f.traceFileName = dir.file("trace.log");
    f.traceFileInUse = true;
    f.resourcesDeallocated = false;
    EXPECT_EQ(CtrlHandler(0), 0);
    EXPECT_TRUE(f.resourcesDeallocated);
    EXPECT_TRUE(f.abortRequested);
    EXPECT_EQ(Adapters().count, 0u);
    EXPECT_EQ(Devices().size(), 0u);
    EXPECT_EQ(CtrlHandler(0), 0);
    std::string trace = testenv::ReadFile(f.traceFileName);
    EXPECT_EQ(Count(trace, "CtrlHandler: already called cleanup()!"), 1u) << trace;
    EXPECT_EQ(Count(trace, "cleanup: g_ResourcesDeallocated = 1"), 1u) << trace;
    // Other control events are only answered.
    EXPECT_EQ(CtrlHandler(2), 1);
    f.debugTrace = false;
    f.traceFileInUse = false;
    f.resourcesDeallocated = false;
    f.abortRequested = false;
}

} // namespace
