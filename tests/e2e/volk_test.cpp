// End-to-end runs of the built volk on simulated machines.
#include <gtest/gtest.h>

#include "testenv.h"

using testenv::TempDir;

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

// Puts the machine's SNIA configuration file back however the case ends.
class HbaConfGuard {
public:
    HbaConfGuard() : saved_(testenv::ReadFile("/etc/hba.conf")) { }
    ~HbaConfGuard()
    {
        if (testenv::ReadFile("/etc/hba.conf") != saved_)
            testenv::WriteFile("/etc/hba.conf", saved_);
    }

private:
    std::string saved_;
};

class VolkTest : public ::testing::Test {
protected:
    // A private SNIA configuration file unless the case is about the machine's one.
    std::vector<std::string> Env(const std::string &machine = "", bool machineConf = false) const
    {
        std::vector<std::string> env = {"VNSDM_STATE=" + dir.file("state.db"),
                                        "VNSDM_MACHINE=" + machine, "TAVRO_CLOCK_SCALE=1000"};
        if (!machineConf)
            env.push_back("TAVRO_HBA_CONF=" + dir.file("hba.conf"));
        return env;
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
    HbaConfGuard guard;
    std::string before = testenv::ReadFile("/etc/hba.conf");
    auto r = testenv::Run({kVolk, "-i", "all"}, Env("", true));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testenv::ReadFile("/etc/hba.conf"), before);
}

// The embedded machine is machines/default.json, built in as CBOR: each
// answers every command alike, on a state of its own.
TEST_F(VolkTest, TheEmbeddedMachineIsTheDefaultDescription)
{
    TempDir other;
    const std::string file = std::string(TAVRO_SOURCE_DIR) + "/machines/default.json";
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-g"}, {"-i", "all"}, {"-x", "-i", "all"}, {"-t", "all"}}) {
        std::vector<std::string> argv = {kVolk};
        argv.insert(argv.end(), args.begin(), args.end());
        auto embedded = testenv::Run(argv, Env());
        auto described = testenv::Run(argv, {"VNSDM_STATE=" + other.file("state.db"),
                                             "VNSDM_MACHINE=" + file, "TAVRO_CLOCK_SCALE=1000",
                                             "TAVRO_HBA_CONF=" + other.file("hba.conf")});
        ASSERT_EQ(embedded.exitCode, 0) << args[0] << embedded.err;
        EXPECT_EQ(described.exitCode, embedded.exitCode) << args[0];
        EXPECT_EQ(described.out, embedded.out) << args[0];
        EXPECT_GT(embedded.out.size(), 1000u) << args[0];
    }
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
