// The configuration tree: each screen is reachable and left with p and m, and
// what the menus change is what the next command line shows.
#include "trees_fixture.h"

namespace {

// Entries of the configuration screens, as the tree numbers them.
constexpr const char *kParams = "1\n";
constexpr const char *kFiles = "2\n";
constexpr const char *kAliases = "3\n";
constexpr const char *kBoot = "4\n";
constexpr const char *kFirstPort = "1\n";
constexpr const char *kEnter = "\n";

std::string Line(const std::string &name, const std::string &value)
{
    std::string padded = name;
    padded.resize(31, ' ');
    return padded + ": " + value + "\n";
}

class ConfigurationMenuTest : public MenuTreesTest {
protected:
    void SetUp() override { area = Area("Adapter Configuration") + "\n"; }
    std::string area;
};

TEST_F(ConfigurationMenuTest, EveryScreenIsReachableAndPAndMLeaveIt)
{
    auto r = Menus(area + kParams + kFirstPort + "p\n" + // HBA parameters, back to the port choice
                   "p\n" +                               // back to Configuration
                   kFiles + kFirstPort + "m\n" +         // files: m goes to the main menu
                   area + kAliases + kFirstPort + "p\np\n" + kBoot + kFirstPort + "3\n" +
                   "p\n" + // the boot slot screen: back to boot devices
                   "m\n" + area + "p\n" + "x\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    for (const char *title : {"    Configuration\n", "    HBA Parameters\n",
                              "    HBA Parameter Files and Memory\n", "    HBA and Port Aliases\n",
                              "    Boot Devices Configuration\n", "    Select Boot Device Type\n"})
        EXPECT_TRUE(Has(r.out, title)) << title << r.out;
    // Main menu: the start, m from files, p from Configuration twice over, m from boot.
    EXPECT_EQ(Count(r.out, "    Main Menu\n"), 4u) << r.out;
    EXPECT_FALSE(Has(r.out, "Invalid selection!")) << r.out;
    // Per-port screens carry the port's header block.
    EXPECT_TRUE(Has(r.out, "WWPN          : 21-00-00-0E-7A-32-20-01\n")) << r.out;
}

TEST_F(ConfigurationMenuTest, ParameterTableShowsTheAcceptedValues)
{
    auto r = Menus(area + kParams + kFirstPort + "2\n" + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "    1:\tDataRate (DR): 0-6\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "    4:\tMaximumLunsPerTarget (ML): 0, 8, 16, 32, 64, 128, 256\n"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "    7:\tFrameSize (FR): 512, 1024, 2048\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "   11:\tEnableExtendedLogging (EL): not supported\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "   29:\tEnableDistanceSupport (ED): 1 or more\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "   31:\tReturn to Previous Menu\n")) << r.out;
}

TEST_F(ConfigurationMenuTest, ChangedParameterShowsInTheNextCommandLineRun)
{
    // LoginRetryCount is entry 13 of the table.
    auto r = Menus(area + kParams + kFirstPort + "2\n13\n44\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Enter new value for LoginRetryCount (0-255)")) << r.out;
    EXPECT_TRUE(Has(Cli({"-c", "0"}).out, Line("LoginRetryCount", "44")));

    // Restore the defaults through the menu, confirmed with Yes.
    r = Menus(area + kParams + kFirstPort + "3\n1\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(Cli({"-c", "0"}).out, Line("LoginRetryCount", "8")));
}

TEST_F(ConfigurationMenuTest, RefusedValuesGetTheCommandLineMessageAndChangeNothing)
{
    const std::string before = Cli({"-c", "0"}).out;
    ASSERT_TRUE(Has(before, Line("LinkDownTimeout", "30"))) << before;
    // LinkDownTimeout (entry 14) out of range, a word, then a bare Enter that aborts.
    auto r = Menus(area + kParams + kFirstPort + "2\n14\n241\n" + kEnter + "2\n14\nsoon\n" +
                   kEnter + "2\n14\n\n" + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Count(r.out, "Link Down Time Out value must be 0-240!"), 1u) << r.out;
    EXPECT_TRUE(Has(r.out, "Invalid HBA parameter name/value!")) << r.out;
    // A parameter the command line refuses by name is refused from the menu too.
    r = Menus(area + kParams + kFirstPort + "2\n11\n1\n" + kEnter + "m\nx\n");
    EXPECT_TRUE(Has(r.out, "Parameter 'Extended Error Logging' is not supported with this HBA!"))
        << r.out;
    // Restoring defaults answered No changes nothing either.
    ASSERT_EQ(Cli({"-n", "0", "LR", "50"}).exitCode, 0);
    r = Menus(area + kParams + kFirstPort + "3\n2\nm\nx\n");
    EXPECT_EQ(r.exitCode, 0);
    const std::string after = Cli({"-c", "0"}).out;
    EXPECT_TRUE(Has(after, Line("LinkDownTimeout", "30"))) << after;
    EXPECT_TRUE(Has(after, Line("LoginRetryCount", "50"))) << after;
}

TEST_F(ConfigurationMenuTest, AliasesSetThroughTheMenusShowOnTheCommandLine)
{
    // Aliases live in the installation directory: a private one keeps the build's as it is.
    const std::string volk = PrivateVolk("");
    auto r = Menus(area + kAliases + kFirstPort + "2\nrack 4 left\n" + kEnter + "5\nfabric-a\n" +
                       kEnter + "1\n" + kEnter + "m\nx\n",
                   volk);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    auto view = Cli({"-ha", "0", "view"}, volk);
    EXPECT_TRUE(Has(view.out, "rack 4 left")) << view.out;
    view = Cli({"-pa", "0", "view"}, volk);
    EXPECT_TRUE(Has(view.out, "fabric-a")) << view.out;

    // Deleting the HBA alias from the menu leaves the port alias.
    r = Menus(area + kAliases + kFirstPort + "3\n" + kEnter + "m\nx\n", volk);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(Has(Cli({"-ha", "0", "view"}, volk).out, "rack 4 left"));
    EXPECT_TRUE(Has(Cli({"-pa", "0", "view"}, volk).out, "fabric-a"));
}

TEST_F(ConfigurationMenuTest, BootDeviceChosenFromTheTargetList)
{
    // Configure, primary slot, the array (first target), LUN 2.
    auto r = Menus(area + kBoot + kFirstPort + "3\n1\n1\n2\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    auto view = Cli({"-e", "0", "view"});
    EXPECT_TRUE(Has(view.out, "Primary     50-0C-AB-10-00-00-10-01               2")) << view.out;

    // A LUN the command line refuses leaves the slot as it was.
    r = Menus(area + kBoot + kFirstPort + "3\n2\n1\n70000\n" + kEnter + "m\nx\n");
    EXPECT_TRUE(Has(r.out, "Invalid LUN ID!")) << r.out;
    view = Cli({"-e", "0", "view"});
    EXPECT_TRUE(Has(view.out, "Alternate 1 00-00-00-00-00-00-00-00               0")) << view.out;

    // Disable every slot through the slot menu's last entry.
    r = Menus(area + kBoot + kFirstPort + "7\n5\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    view = Cli({"-e", "0", "view"});
    EXPECT_FALSE(Has(view.out, "Primary     50-0C-AB-10-00-00-10-01")) << view.out;
}

TEST_F(ConfigurationMenuTest, ParametersSavedToAFileAreRestoredFromIt)
{
    const std::string file = dir.file("params.dat");
    auto r = Menus(area + kFiles + kFirstPort + "1\n" + file + "\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_TRUE(testenv::FileExists(file)) << r.out;
    ASSERT_EQ(Cli({"-n", "0", "LR", "77"}).exitCode, 0);
    r = Menus(area + kFiles + kFirstPort + "3\n" + file + "\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(Cli({"-c", "0"}).out, Line("LoginRetryCount", "8")));
    // A bare Enter at the file prompt aborts and runs nothing.
    ASSERT_EQ(Cli({"-n", "0", "LR", "77"}).exitCode, 0);
    r = Menus(area + kFiles + kFirstPort + "3\n\nm\nx\n");
    EXPECT_TRUE(Has(Cli({"-c", "0"}).out, Line("LoginRetryCount", "77")));
}

TEST_F(ConfigurationMenuTest, DisabledMenusAreNotOfferedAndCannotBeTyped)
{
    const std::string volk = PrivateVolk("menu.hba.parameters.enable=0\nmenu.boot.device.enable=0\n"
                                         "menu.driver.parameters.enable=0\n");
    auto r = Menus(area + "2\n" + "p\nx\n", volk);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(Has(r.out, "\tHBA Parameters\n")) << r.out;
    EXPECT_FALSE(Has(r.out, "\tBoot Devices\n")) << r.out;
    EXPECT_FALSE(Has(r.out, "\tHBA Parameter Files and Memory\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "    1:\tHBA and Port Aliases\n")) << r.out;
    // 2 is now "Return to Previous Menu": it leaves, so the main menu shows again.
    EXPECT_TRUE(Has(r.out, "    2:\tReturn to Previous Menu\n")) << r.out;
    r = Menus(area + "4\n" + "p\nx\n", volk);
    EXPECT_TRUE(Has(r.out, "Invalid selection!")) << r.out;
    EXPECT_FALSE(Has(r.out, "    Boot Devices Configuration\n")) << r.out;
}

} // namespace
