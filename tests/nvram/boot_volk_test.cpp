// The boot-device command end to end on the default machine, each case on a
// private machine state and with the host kind fixed by the test.
#include <gtest/gtest.h>

#include "testenv.h"
#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

const std::string kDiskNode = "50-0C-AB-10-00-00-10-00";
const std::string kDiskPort = "50-0C-AB-10-00-00-10-01";
const std::string kTapeNode = "50-0C-AB-20-00-00-20-00";
const std::string kTapePort = "50-0C-AB-20-00-00-20-01";
const std::string kZero = "00-00-00-00-00-00-00-00";
const std::string kDone = "HBA Parameters update complete. Changes have been saved to HBA "
                          "instance %d and a reboot is required.\n";

bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

std::string Done(int instance)
{
    std::string s = kDone;
    s.replace(s.find("%d"), 2, std::to_string(instance));
    return s;
}

std::string Row(const char *slot, const std::string &wwpn, int lun)
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "%s %s            %4d\n", slot, wwpn.c_str(), lun);
    return buf;
}

class BootVolk : public VolkFixture {
protected:
    // The default machine on a host of the kind asked for.
    testenv::RunResult Run(std::vector<std::string> args, bool efi = false)
    {
        const std::string machine = dir.file(efi ? "efi.json" : "bios.json");
        testenv::WriteFile(machine, testenv::DefaultMachineText(efi ? "efi" : "bios"));
        args.insert(args.begin(), VolkPath());
        return testenv::Run(args,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")});
    }
    std::string Nvram(const std::string &port)
    {
        const std::string f = dir.file("nv-" + std::to_string(++saves_) + ".dat");
        auto r = Run({"-r", port, "save", f});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return testenv::ReadFile(f);
    }
    int saves_ = 0;
};

TEST_F(BootVolk, SetViewDuplicateAndDisableAll)
{
    auto r = Run({"-e", "0", "view"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Boot Device Settings:\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Selectable Boot: Disabled\n")) << r.out;
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kZero, 0))) << r.out;

    r = Run({"-e", "0", kDiskNode, kDiskPort, "3", kDiskNode, kDiskPort, "5", "alt2"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, Done(0));
    const std::string written = Nvram("0");
    ASSERT_EQ(written.size(), 512u);
    EXPECT_EQ(written[0x77], 1) << "a boot-settings write marks the image";

    r = Run({"-e", "0", "info"});
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kDiskPort, 3))) << r.out;
    EXPECT_TRUE(Has(r.out, Row("Alternate 1", kZero, 0))) << r.out;
    EXPECT_TRUE(Has(r.out, Row("Alternate 2", kDiskPort, 5))) << r.out;
    // The other port of the card keeps its own settings.
    r = Run({"-e", "1", "view"});
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kZero, 0))) << r.out;

    // The same device again writes nothing.
    r = Run({"-e", "0", kDiskNode, kDiskPort, "3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out,
              "Selected device is already configured as current boot device of HBA instance 0\n");
    EXPECT_EQ(Nvram("0"), written);

    // Another LUN replaces the entry.
    r = Run({"-e", "0", kDiskNode, kDiskPort, "4", "prim"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = Run({"-e", "0", "view"});
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kDiskPort, 4))) << r.out;

    r = Run({"-e", "0", "disable", "alt2"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = Run({"-e", "0", "view"});
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kDiskPort, 4))) << r.out;
    EXPECT_TRUE(Has(r.out, Row("Alternate 2", kZero, 0))) << r.out;

    r = Run({"-e", "0", "disable", "all"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = Run({"-e", "0", "view"});
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kZero, 0))) << r.out;
    EXPECT_TRUE(Has(r.out, "Selectable Boot: Disabled\n")) << r.out;
    // Clearing what is already clear still succeeds.
    r = Run({"-e", "0", "disable", "all"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(BootVolk, EnableAndDisableSwitchSelectableBootOnly)
{
    ASSERT_EQ(Run({"-e", "4", kDiskNode, kDiskPort, "1"}).exitCode, 0);
    auto r = Run({"-e", "4", "enable"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, Done(4));
    EXPECT_TRUE(Has(Run({"-e", "4", "view"}).out, "Selectable Boot: Enabled\n"));
    ASSERT_EQ(Run({"-e", "4", "disable"}).exitCode, 0);
    r = Run({"-e", "4", "view"});
    EXPECT_TRUE(Has(r.out, "Selectable Boot: Disabled\n")) << r.out;
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kDiskPort, 1))) << r.out;

    // Every physical port at once: one line each.
    r = Run({"-e", "all", "enable"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, Done(0)) && Has(r.out, Done(8))) << r.out;
    EXPECT_TRUE(Has(Run({"-e", "8", "view"}).out, "Selectable Boot: Enabled\n"));
}

TEST_F(BootVolk, RefusedChangesLeaveNvramByteIdentical)
{
    const std::string before = Nvram("0");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        // A target the port does not see, a node name that is not the target's, a missing LUN.
        {{"-e", "0", kDiskNode, "50-0C-AB-99-00-00-10-01", "1"},
         119,
         "Specified device not found (50-0C-AB-99-00-00-10-01)!\n"},
        {{"-e", "0", kTapeNode, kDiskPort, "1"},
         119,
         "Specified device not found (50-0C-AB-10-00-00-10-01)!\n"},
        {{"-e", "0", kDiskNode, kDiskPort, "200"},
         119,
         "Specified device not found (50-0C-AB-10-00-00-10-01)!\n"},
        {{"-e", "0", kDiskNode, kDiskPort, "1", kDiskNode, "50-0C-AB-99-00-00-10-01", "2"},
         119,
         "Specified device not found (50-0C-AB-99-00-00-10-01)!\n"},
        {{"-e", "60", "view"}, 8, "Unable to locate the specified HBA!\n"},
        {{"-e", "all", kDiskNode, kDiskPort, "1"},
         134,
         "Please specify the HBA instance or WWPN number!\n"},
    };
    for (const Case &c : cases) {
        auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.code) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        EXPECT_EQ(Nvram("0"), before) << c.args[3];
    }
}

TEST_F(BootVolk, AutomaticChoiceTakesTheFirstDisk)
{
    auto r = Run({"-e", "2", "0", "0", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, Done(2));
    r = Run({"-e", "2", "view"});
    EXPECT_TRUE(Has(r.out, "Selectable Boot: Enabled\n")) << r.out;
    // The tape drive is never a boot device.
    EXPECT_TRUE(Has(r.out, Row("Primary    ", kDiskPort, 0))) << r.out;
    const std::string image = Nvram("2");
    r = Run({"-e", "2", "0", "0", "0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Current HBA already configured with BIOS boot default (HBA instance 2).\n");
    EXPECT_EQ(Nvram("2"), image);
}

TEST_F(BootVolk, BothXmlFormsOnBiosHosts)
{
    ASSERT_EQ(Run({"-e", "0", kDiskNode, kDiskPort, "6", "alt3"}).exitCode, 0);
    for (const char *form : {"-x", "-x2"}) {
        auto r = Run({"-e", "0", "view", form});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Text("//BootDeviceInfo/BootParam/@EnableSelectableBoot").value_or(""), "0");
        EXPECT_EQ(doc.Text("//BootDeviceInfo/BootDevice/@TargetWWPN").value_or(""), kZero);
        EXPECT_EQ(doc.Text("//Alt3BootDevice/@TargetWWPN").value_or(""), kDiskPort);
        EXPECT_EQ(doc.Text("//Alt3BootDevice/@LUNID").value_or(""), "6");
        EXPECT_EQ(doc.Text("//Status").value_or(""), " 0 ");
        EXPECT_TRUE(
            Has(r.out, "\t\t<Alt3BootDevice TargetWWPN=\"" + kDiskPort + "\" LUNID=\"6\"  />\n"))
            << r.out;
    }
    // One document for every port.
    auto r = Run({"-e", "all", "view", "-x"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    xmlcheck::Document doc(r.out);
    ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
    EXPECT_EQ(doc.Count("//BootDeviceInfo"), 13) << r.out;

    // A change reports through the status element, with the reboot flag.
    r = Run({"-e", "0", "enable", "-x2"});
    xmlcheck::Document change(r.out);
    ASSERT_TRUE(change.ok()) << change.error() << r.out;
    EXPECT_EQ(change.Text("//Reboot").value_or(""), " 1 ");
}

TEST_F(BootVolk, EfiHostsKeepOneDeviceWithItsNodeName)
{
    auto r = Run({"-e", "0", kDiskNode, kDiskPort, "2"}, true);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const char *form : {"-x", "-x2"}) {
        r = Run({"-e", "0", "view", form}, true);
        ASSERT_EQ(r.exitCode, 0) << r.out;
        xmlcheck::Document doc(r.out);
        ASSERT_TRUE(doc.ok()) << doc.error() << r.out;
        EXPECT_EQ(doc.Text("//BootParam/@EnableSelectiveLogin").value_or("?"), "0");
        EXPECT_EQ(doc.Text("//BootDevice/@TargetWWNN").value_or(""), kDiskNode);
        EXPECT_EQ(doc.Text("//BootDevice/@TargetWWPN").value_or(""), kDiskPort);
        EXPECT_EQ(doc.Text("//BootDevice/@LUNID").value_or(""), "2");
        EXPECT_EQ(doc.Count("//Alt1BootDevice"), 0);
    }
    r = Run({"-e", "0", "view"}, true);
    EXPECT_TRUE(Has(r.out, "(EFI) Boot Port Name        LUN\n")) << r.out;
    EXPECT_FALSE(Has(r.out, "Alternate 1")) << r.out;
    // EFI boot code has no alternates.
    const std::string before = Nvram("0");
    r = Run({"-e", "0", kDiskNode, kDiskPort, "2", "alt1"}, true);
    EXPECT_EQ(r.exitCode, 7) << r.out;
    EXPECT_EQ(Nvram("0"), before);
    // Enabling turns selective login on.
    ASSERT_EQ(Run({"-e", "0", "enable"}, true).exitCode, 0);
    r = Run({"-e", "0", "view"}, true);
    EXPECT_TRUE(Has(r.out, "Enable Selective Logging: Enabled\n")) << r.out;
}

} // namespace
