// End-to-end runs of the built volk on simulated machines.
#include <gtest/gtest.h>

#include "testenv.h"

using testenv::TempDir;

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

class VolkTest : public ::testing::Test {
protected:
    std::vector<std::string> Env(const std::string &machine = "") const
    {
        return {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                "TAVRO_CLOCK_SCALE=1000"};
    }
    TempDir dir;
};

TEST_F(VolkTest, DefaultMachinePortsAreListed)
{
    auto r = testenv::Run({kVolk, "-g"}, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("HBA Model CV-2162 (SN CVA1621183):"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Port   4 WWPN 21-00-00-0E-7A-08-40-04 (HBA instance  7) Online"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Total Vantor HBA(s) : 6"), std::string::npos) << r.out;
}

TEST_F(VolkTest, HbaConfIsLeftAsFound)
{
    std::string before = testenv::ReadFile("/etc/hba.conf");
    auto r = testenv::Run({kVolk, "-i", "all"}, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testenv::ReadFile("/etc/hba.conf"), before);
}

TEST_F(VolkTest, BrokenMachineDescriptionLeavesNoPorts)
{
    std::string machine = dir.file("broken.json");
    testenv::WriteFile(machine, "{ \"instances\": [ ");
    auto r = testenv::Run({kVolk, "-i", "all"}, Env(machine));
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_NE(r.err.find(machine), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "No compatible HBA(s) found in current system !\n");
}

} // namespace
