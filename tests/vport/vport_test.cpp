// -vp and -i ... vfc end to end: every run is a separate volk process on a
// private state file, so a second run sees only what the first one persisted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "testenv.h"
#include "vnsdm_sim.h"
#include "vnwmi.h"
#include "xmlcheck.h"

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

// The CV-2162's first port has two virtual ports, its second none.
constexpr const char *kPort2 = "21-5A-00-0E-7A-16-20-01";

// volk's exit status is the operation's status as the host's 8 bits carry it.
constexpr int Exit(int status) { return status & 0xFF; }

class VportTest : public ::testing::Test {
protected:
    testenv::RunResult Volk(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {kVolk};
        argv.insert(argv.end(), args.begin(), args.end());
        return testenv::Run(argv, {"VNSDM_STATE=" + dir.file("state.db"),
                                   "VNSDM_MACHINE=" + machine, "TAVRO_CLOCK_SCALE=1000"});
    }
    void UseMachine(const std::string &json)
    {
        testenv::WriteFile(dir.file("machine.json"), json);
        machine = dir.file("machine.json");
    }
    // The virtual ports of a physical port as the WMI stand-in sees the state file.
    std::vector<VNWMI_NPIV_SLOT> Slots(const uint8_t phys[8])
    {
        setenv("VNSDM_MACHINE", machine.c_str(), 1);
        setenv("VNSDM_STATE", dir.file("state.db").c_str(), 1);
        VNSimReloadMachine();
        std::vector<VNWMI_NPIV_SLOT> slots(64);
        uint32_t count = 0;
        EXPECT_EQ(VNWmiQueryVirtualPorts(phys, slots.data(), 64, &count), VNWMI_OK);
        slots.resize(count);
        return slots;
    }
    testenv::TempDir dir;
    std::string machine;
};

constexpr uint8_t kInstance2[8] = {0x21, 0, 0, 0x0e, 0x7a, 0x16, 0x20, 0x01};

// One NPIV port with room for one virtual port, plus whatever the test adds.
std::string SmallMachine(const std::string &portExtra, const std::string &firmware = "[\"npiv\"]",
                         int maxVports = 1)
{
    return R"({ "adapters": [ { "model": "CV-2162", "serial": "CVA1620001",
      "defaults": { "chip": { "device_id": "0x7190", "subsystem_id": "0x0162" },
                    "firmware": { "version": "9.06.02", "attributes": )" +
           firmware + R"( },
                    "port": { "speed": "16g", "max_vports": )" +
           std::to_string(maxVports) + R"( } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:16:00:01", "port_id": "0x010100" })" +
           portExtra + " } ] } ] }";
}

TEST_F(VportTest, CreatedPortIsListedByTheNextRuns)
{
    auto r = Volk({"-vp", "3", "create", "auto"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::smatch m;
    const std::regex created(
        "New vPort (21-[0-9A-F]{2}-00-0E-7A-16-20-02) of HBA instance 3 was created successfully");
    ASSERT_TRUE(std::regex_search(r.out, m, created)) << r.out;
    const std::string wwpn = m[1];
    const int second = std::stoi(wwpn.substr(3, 2), nullptr, 16);
    EXPECT_GT(second, 3) << "reserved second byte generated";

    auto g = Volk({"-g"});
    EXPECT_NE(g.out.find("vPort  1 WWPN " + wwpn + " (HBA instance  3)"), std::string::npos)
        << g.out;
    auto i = Volk({"-i", "all"});
    EXPECT_NE(i.out.find("Port Name                      : " + wwpn), std::string::npos);
    auto l = Volk({"-vp", "3", "list"});
    EXPECT_EQ(l.exitCode, 0);
    EXPECT_NE(l.out.find("Port Name                      : " + wwpn), std::string::npos) << l.out;
    EXPECT_NE(l.out.find("Virtual Port                   : 1"), std::string::npos);
    EXPECT_NE(l.out.find("HBA Model                      : CV-2162"), std::string::npos);

    // A given second byte makes the same port name again: refused as in use.
    auto again = Volk({"-vp", "3", "create", wwpn.substr(3, 2)});
    EXPECT_EQ(again.exitCode, Exit(293)) << again.out;
    EXPECT_NE(again.out.find("Duplicate vPort WWPN " + wwpn + " (HBA instance 3 - CV-2162!"),
              std::string::npos)
        << again.out;
}

TEST_F(VportTest, RefusedCreatesChangeNothing)
{
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"-vp", "2", "create", "02"},
         Exit(287),
         "Invalid vPort WWPN byte 02: bytes 00 to 03 are reserved!"},
        {{"-vp", "2", "create", "5a"},
         Exit(293),
         std::string("Duplicate vPort WWPN ") + kPort2 + " (HBA instance 2 - CV-2162!"},
        // The WWPN of another physical port of the machine.
        {{"-vp", "2", "create", "21-00-00-0E-7A-16-20-02"},
         Exit(293),
         "Duplicate vPort WWPN 21-00-00-0E-7A-16-20-02 (HBA instance 2 - CV-2162!"},
        {{"-vp", "2", "delete", "21-99-00-0E-7A-16-20-01"},
         119,
         "Specified vPort 21-99-00-0E-7A-16-20-01 does not exist (HBA instance 2)!"},
        {{"-vp", "3", "delete", "all"}, 119, "HBA instance 3 does not have any virtual port!"},
        {{"-vp", "64", "create", "auto"}, 8, "Unable to locate the specified HBA!"},
    };
    for (const Case &c : cases) {
        auto r = Volk(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[3] << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
    EXPECT_EQ(Slots(kInstance2).size(), 2u);
    auto l = Volk({"-vp", "3", "list"});
    EXPECT_NE(l.out.find("HBA instance 3 does not have any virtual port!"), std::string::npos)
        << l.out;
}

TEST_F(VportTest, FullSlotTableAndFailingCreate)
{
    const uint8_t phys[8] = {0x21, 0, 0, 0x0e, 0x7a, 0x16, 0, 0x01};
    UseMachine(SmallMachine(R"(, "vports": [ { "wwpn": "21:44:00:0e:7a:16:00:01" } ])"));
    auto full = Volk({"-vp", "0", "create", "auto"});
    EXPECT_EQ(full.exitCode, 1) << full.out;
    EXPECT_NE(full.out.find("Unable to create vPort 21-"), std::string::npos) << full.out;
    EXPECT_EQ(Slots(phys).size(), 1u);

    UseMachine(SmallMachine(
        R"(, "faults": { "calls": [ { "call": "CreateVirtualPort", "status": "SDERR_FAILED" } ] })"));
    auto failed = Volk({"-vp", "0", "create", "0b"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.out.find("Unable to create vPort 21-0B-00-0E-7A-16-00-01 of HBA instance 0 - "
                              "CV-2162!"),
              std::string::npos)
        << failed.out;
    EXPECT_TRUE(Slots(phys).empty());

    UseMachine(SmallMachine("", "[]"));
    auto plain = Volk({"-vp", "0", "list"});
    EXPECT_EQ(plain.exitCode, 121);
    EXPECT_NE(plain.out.find("This feature is not supported on this HBA (Instance 0 - CV-2162)!"),
              std::string::npos)
        << plain.out;
}

TEST_F(VportTest, DeleteOneThenAll)
{
    auto one = Volk({"-vp", "2", "delete", kPort2});
    EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
    EXPECT_NE(one.out.find(std::string("Configuration changed, vPort ") + kPort2 +
                           " of HBA instance 2 has been deleted."),
              std::string::npos)
        << one.out;
    auto g = Volk({"-g"});
    EXPECT_EQ(g.out.find(kPort2), std::string::npos);
    EXPECT_NE(g.out.find("vPort  2 WWPN 21-7C-00-0E-7A-16-20-01"), std::string::npos) << g.out;

    auto all = Volk({"-vp", "2", "delete", "all"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("Configuration changed, 1 vPort(s) of HBA instance 2 - CV-2162 have "
                           "been deleted."),
              std::string::npos)
        << all.out;
    EXPECT_TRUE(Slots(kInstance2).empty());
    auto l = Volk({"-vp", "2", "list"});
    EXPECT_NE(l.out.find("HBA instance 2 does not have any virtual port!"), std::string::npos);
}

TEST_F(VportTest, BindAndUnbindPersist)
{
    auto bind = Volk({"-vp", "2", "bind", kPort2, "100"});
    EXPECT_EQ(bind.exitCode, 0) << bind.out;
    EXPECT_NE(bind.out.find(std::string("Bind completed for vPort 1 (") + kPort2 + ") to vF 100."),
              std::string::npos)
        << bind.out;
    auto slots = Slots(kInstance2);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].VFID, 100u);
    EXPECT_EQ(slots[1].VFID, 0u);

    auto all = Volk({"-vp", "2", "bind", "all", "7"});
    EXPECT_NE(all.out.find("All vPorts of HBA instance 2 have been bound on vSAN 7)"),
              std::string::npos)
        << all.out;
    uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE];
    ASSERT_EQ(VNWmiExecGetVFIDBitMap(kInstance2, bitmap), VNWMI_OK);
    EXPECT_EQ(bitmap[0], 1u << 7);
    EXPECT_EQ(bitmap[100 / 8], 0u);

    auto unbind = Volk({"-vp", "2", "unbind", kPort2, "7"});
    EXPECT_EQ(unbind.exitCode, 0);
    EXPECT_NE(
        unbind.out.find(std::string("Unbind completed for vPort 1 (") + kPort2 + ") from vF 7."),
        std::string::npos)
        << unbind.out;
    slots = Slots(kInstance2);
    EXPECT_EQ(slots[0].VFID, 0u);
    EXPECT_EQ(slots[1].VFID, 7u);

    auto missing = Volk({"-vp", "2", "bind", "21-99-00-0E-7A-16-20-01", "7"});
    EXPECT_EQ(missing.exitCode, 119);
    EXPECT_NE(missing.out.find("Unable to find vPort 21-99-00-0E-7A-16-20-01 of this physical HBA "
                               "(Instance 2)!"),
              std::string::npos);
    auto none = Volk({"-vp", "3", "bind", "all", "7"});
    EXPECT_NE(none.out.find("This physical HBA (Instance 3) does not have any virtual port !"),
              std::string::npos);
}

// Several blocks in one document: each one of the XML forms is whole.
TEST_F(VportTest, ListingsAreWholeXmlDocuments)
{
    for (const std::vector<std::string> &args : {std::vector<std::string>{"-vp", "2", "list", "-x"},
                                                 {"-vp", "2", "list", "-x2"},
                                                 {"-qos", "2", "info", "-x"},
                                                 {"-vp", "2", "create", "03", "-x"}}) {
        auto r = Volk(args);
        xmlcheck::Document doc(r.out);
        EXPECT_TRUE(doc.ok()) << args[0] << " " << args.back() << ": " << doc.error() << "\n"
                              << r.out << r.err;
    }
    xmlcheck::Document list(Volk({"-vp", "2", "list", "-x"}).out);
    EXPECT_EQ(list.Text("//VirtualPort[2]/WWPN"), "21-7C-00-0E-7A-16-20-01");
}

TEST_F(VportTest, VirtualFibreChannelIsUnsupportedHere)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-i", "2", "vfc"}, {"-vp", "2", "vfc", kPort2}}) {
        auto r = Volk(args);
        EXPECT_EQ(r.exitCode, 7) << args[0];
        EXPECT_NE(r.out.find("Option is unsupported with current OS platform!"), std::string::npos)
            << r.out;
    }
}

} // namespace

namespace {

// QoS locks are kept in the installation's alias file: each case puts it back.
class QosTest : public VportTest {
protected:
    void SetUp() override
    {
        saved = testenv::ReadFile(kAliasFile);
        UseMachine(SmallMachine(R"(, "vports": [
            { "wwpn": "21:41:00:0e:7a:16:00:01", "slot": 1, "qos_type": 1, "qos_value": 40 },
            { "wwpn": "21:42:00:0e:7a:16:00:01", "slot": 2, "qos_type": 1, "qos_value": 40 },
            { "wwpn": "21:43:00:0e:7a:16:00:01", "slot": 3, "qos_type": 1, "qos_value": 20 } ])",
                                "[\"npiv\"]", 4));
    }
    void TearDown() override { testenv::WriteFile(kAliasFile, saved); }
    std::vector<uint32_t> Percentages()
    {
        std::vector<uint32_t> out;
        for (const VNWMI_NPIV_SLOT &s : Slots(kPhys))
            out.push_back(s.QosValue);
        return out;
    }
    static inline const std::string kAliasFile =
        std::string(TAVRO_BINARY_DIR) + "/bin/agent.properties";
    static constexpr uint8_t kPhys[8] = {0x21, 0, 0, 0x0e, 0x7a, 0x16, 0, 0x01};
    std::string saved;
};

TEST_F(QosTest, RaisedBandwidthIsTakenFromTheOtherPorts)
{
    auto r = Volk({"-qos", "0", "--vp", "21-43-00-0E-7A-16-00-01", "--bwper", "50"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Percentages(), (std::vector<uint32_t>{25, 25, 50}));
    auto info = Volk({"-qos", "0", "info", "--vp", "21-41-00-0E-7A-16-00-01", "--spd"});
    EXPECT_NE(info.out.find("Bandwidth QoS (Speed)          : 4.00 Gbps"), std::string::npos)
        << info.out;
}

TEST_F(QosTest, LockedPortKeepsItsShareAndOverflowIsRefused)
{
    auto lock = Volk({"-qos", "0", "--vp", "21-41-00-0E-7A-16-00-01", "--lock"});
    ASSERT_EQ(lock.exitCode, 0) << lock.out;
    auto shown = Volk({"-qos", "0", "info"});
    EXPECT_NE(shown.out.find("QoS Setting Lock State         : Locked"), std::string::npos)
        << shown.out;

    auto over = Volk({"-qos", "0", "--vp", "21-43-00-0E-7A-16-00-01", "--bwper", "61"});
    EXPECT_EQ(over.exitCode, Exit(378));
    EXPECT_NE(over.out.find("AutoAdjustAndUpdateQoS: Percentage value (61%) exceeds maximum "
                            "percentage allowed!"),
              std::string::npos)
        << over.out;
    EXPECT_EQ(Percentages(), (std::vector<uint32_t>{40, 40, 20}));

    auto r = Volk({"-qos", "0", "--vp", "21-43-00-0E-7A-16-00-01", "--bwper", "50"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Percentages(), (std::vector<uint32_t>{40, 0, 50}));
}

} // namespace
