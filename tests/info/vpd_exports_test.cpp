// The VPD exports over the default machine: the text and the always-XML forms,
// the all-ports walk with its pauses, and the failures before any output.
#include <gtest/gtest.h>

#include <functional>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "output_fixture.h"
#include "render/output.h"
#include "xmlcheck.h"

namespace {

constexpr const char *kPrompt = "\n\t\tPress <Enter> to continue: ";

size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class VpdExportsTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        ResetOutputSettings();
        oss::SetClockScale(1000);
    }
    void TearDown() override
    {
        oss::SetClockScale(1);
        ResetOutputSettings();
        MachineTest::TearDown();
    }
    static std::string Capture(const std::function<int32_t()> &fn, int32_t &rc)
    {
        ::testing::internal::CaptureStdout();
        rc = fn();
        return ::testing::internal::GetCapturedStdout();
    }
    // Ports the all-ports walk shows: every entry but the FCoE engine ones.
    size_t WalkedPorts() const
    {
        size_t n = 0;
        for (const FibreAdapter *a : Entries())
            n += a->portType != TAVRO_PORT_TYPE_FCOE_ENGINE;
        return n;
    }
};

TEST_F(VpdExportsTest, XmlFormIsXmlWhateverTheSettingsAndLeavesThemAsTheyWere)
{
    UseMachine("");
    Scan();
    const FibreAdapter *first = nullptr;
    for (const FibreAdapter *a : Entries())
        if (Wwpn(a) == "2100000e7a322001")
            first = a;
    ASSERT_NE(first, nullptr);
    int32_t rc = -1;
    std::string out = Capture([&] { return TAVRO_XML_EmitHbaVPDInfo(first); }, rc);
    EXPECT_EQ(rc, 0);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << out;
    EXPECT_EQ(doc.Text("/Vantor/VPD/VPD/@PartNumber").value_or(""), "CV2322-0101");
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 0 ");
    EXPECT_FALSE(Frame().xmlMode);

    out = Capture([&] { return TAVRO_GetHBAVPDData(first); }, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_NE(out.find("Part Number                    : CV2322-0101\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("<VPD"), std::string::npos) << out;

    // Form 2 chosen before stays form 2.
    SetXmlOutput(2);
    Frame().xmlMode = false;
    out = Capture([&] { return TAVRO_XML_EmitHbaVPDInfo(first); }, rc);
    EXPECT_TRUE(xmlcheck::ParseXml(out)) << out;
    EXPECT_EQ(Frame().xmlForm, 2);
    EXPECT_FALSE(Frame().xmlMode);
}

TEST_F(VpdExportsTest, FailuresBeforeAnyOutput)
{
    UseMachine("");
    Scan();
    int32_t rc = -1;
    EXPECT_EQ(Capture([] { return TAVRO_GetHBAVPDData(nullptr); }, rc),
              "Unable to locate the specified HBA!\n");
    EXPECT_EQ(rc, 8);
    std::string out = Capture([] { return TAVRO_XML_EmitHbaVPDInfo(nullptr); }, rc);
    EXPECT_EQ(rc, 8);
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << out;
    EXPECT_EQ(doc.Text("/Vantor/Status"), " 1 ");

    UseMachine(R"({ "adapters": [] })");
    Scan();
    EXPECT_EQ(Capture([] { return TAVRO_GetAllHBAsVPDData(); }, rc),
              "No compatible HBA(s) found in current system !\n");
    EXPECT_EQ(rc, 8);
    out = Capture([] { return TAVRO_XML_EmitAllHBAsVPDData(); }, rc);
    EXPECT_EQ(rc, 8);
    EXPECT_TRUE(xmlcheck::ParseXml(out)) << out;
}

TEST_F(VpdExportsTest, AllPortsSkipTheEngineEntriesAndPauseBetweenPorts)
{
    UseMachine("");
    Scan();
    const size_t ports = WalkedPorts();
    ASSERT_LT(ports, Entries().size()) << "the default machine has an FCoE engine entry";
    int32_t rc = -1;
    const uint64_t start = oss::TickMs();
    const std::string out = Capture([] { return TAVRO_XML_EmitAllHBAsVPDData(); }, rc);
    // One second of the library's clock between two ports.
    EXPECT_GE(oss::TickMs() - start, (ports - 1) * 1000);
    EXPECT_EQ(rc, 0) << out;
    xmlcheck::Document doc(out);
    ASSERT_TRUE(doc.ok()) << doc.error() << out;
    EXPECT_EQ(doc.Count("/Vantor/VPD/VPD"), int(ports)) << out;
    EXPECT_EQ(Count(out, kPrompt), 0u);
}

TEST_F(VpdExportsTest, InteractiveWalkWaitsForEnterAfterEveryPort)
{
    UseMachine("");
    Scan();
    const size_t ports = WalkedPorts();
    Frame().interactiveMode = true;
    StdinFeed feed(std::string(ports, '\n') + "rest\n");
    int32_t rc = -1;
    const std::string out = Capture([] { return TAVRO_GetAllHBAsVPDData(); }, rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(Count(out, kPrompt), ports) << out;
    EXPECT_TRUE(out.ends_with(kPrompt)) << out;
    EXPECT_EQ(StdinFeed::Rest(), "rest\n");
}

} // namespace
