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
    auto r = testenv::Run({kVolk}, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("CV-2162"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CV-2084"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Total ports:"), std::string::npos) << r.out;
}

TEST_F(VolkTest, HbaConfIsLeftAsFound)
{
    std::string before = testenv::ReadFile("/etc/hba.conf");
    auto r = testenv::Run({kVolk}, Env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testenv::ReadFile("/etc/hba.conf"), before);
}

TEST_F(VolkTest, BrokenMachineDescriptionLeavesNoPorts)
{
    std::string machine = dir.file("broken.json");
    testenv::WriteFile(machine, "{ \"instances\": [ ");
    auto r = testenv::Run({kVolk}, Env(machine));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find(machine), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Total ports: 0"), std::string::npos) << r.out;
}

} // namespace
