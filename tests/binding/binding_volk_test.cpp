// volk end to end: the beacon state and the binding store survive the run,
// and every answer has its text and XML form.
#include <gtest/gtest.h>

#include <string>

#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

class BindingVolkTest : public VolkFixture {
protected:
    static bool Has(const testenv::RunResult &r, const std::string &text)
    {
        return r.out.find(text) != std::string::npos;
    }
    // A well-formed document with the trailer's values.
    static void ExpectDocument(const testenv::RunResult &r, int status, int reboot)
    {
        std::string error;
        EXPECT_TRUE(xmlcheck::ParseXml(r.out, &error)) << error << "\n" << r.out;
        EXPECT_TRUE(Has(r, "<Status> " + std::to_string(status) + " </Status>")) << r.out;
        EXPECT_TRUE(Has(r, "<Reboot> " + std::to_string(reboot) + " </Reboot>")) << r.out;
    }
};

TEST_F(BindingVolkTest, PortBeaconPersistsAcrossRuns)
{
    auto r = Volk({"-a", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "HBA instance 0 (WWPN 21-00-00-0E-7A-32-20-01): Beacon is OFF."));
    r = Volk({"-a", "0", "on"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r, "Beacon ON (HBA instance 0 WWPN 21-00-00-0E-7A-32-20-01)")) << r.out;
    r = Volk({"-a", "0"});
    EXPECT_TRUE(Has(r, "Beacon is ON.")) << r.out;
    r = Volk({"-x", "-a", "0"});
    EXPECT_EQ(r.exitCode, 0);
    ExpectDocument(r, 0, 0);
    EXPECT_TRUE(Has(r, "Beacon=\"ON\"")) << r.out;
    r = Volk({"-a", "0", "--BeaconCmd", "off"});
    EXPECT_TRUE(Has(r, "Beacon OFF (HBA instance 0")) << r.out;
    r = Volk({"-a", "0"});
    EXPECT_TRUE(Has(r, "Beacon is OFF.")) << r.out;
    r = Volk({"-a", "0", "blink"});
    EXPECT_EQ(r.exitCode, 134); // a refused operand
    EXPECT_TRUE(Has(r, "Invalid/unsupported option!")) << r.out;
}

TEST_F(BindingVolkTest, EmptyStoreAnswers)
{
    auto r = Volk({"-p", "0", "view"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r, "No target persistent binding configuration on HBA instance 0 (WWPN "
                       "21-00-00-0E-7A-32-20-01)."))
        << r.out;
    r = Volk({"-x", "-p", "0", "unbind", "all"});
    EXPECT_EQ(r.exitCode, 116);
    ExpectDocument(r, 1, 0);
    EXPECT_TRUE(Has(r, "No persistent binding data found!")) << r.out;
    r = Volk({"-m", "0", "view"});
    EXPECT_EQ(r.exitCode, 116);
    EXPECT_TRUE(Has(r, "LUN configuration is disabled with this HBA (Instance 0). No persistent "
                       "binding data!"))
        << r.out;
    r = Volk({"-p", "0", "20-00-00-E0-8B-00-00-01", "21-00-00-E0-8B-00-00-01", "010203", "256"});
    EXPECT_EQ(r.exitCode, 134);
    EXPECT_TRUE(Has(r, "Target ID value must be 0-255!")) << r.out;
}

} // namespace
