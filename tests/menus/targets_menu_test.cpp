// The targets tree: listings, binding, selective LUNs and beacons through the
// menus, checked with the next command line run.
#include <map>
#include <regex>

#include "trees_fixture.h"

namespace {

constexpr const char *kFirstPort = "1\n";
constexpr const char *kArray = "1\n"; // the first target of the port
constexpr const char *kEnter = "\n";
constexpr const char *kTape = "2\n"; // the second
constexpr const char *kTapeRow = "50-0C-AB-20-00-00-20-01 02-03-00 0\n";

class TargetsMenuTest : public MenuTreesTest {
protected:
    void SetUp() override
    {
        area = Area("Targets and LUNs") + "\n";
        // The targets screen's own numbers: the link speed entry depends on the machine.
        auto r = Menus(area + "x\n");
        for (const char *text :
             {"Target Information", "LUN Information", "Target Link Speed",
              "Target Persistent Binding", "Selective LUNs", "HBA Port Beacon", "Target Beacon"})
            entry[text] = Entry(r.out, text) + "\n";
    }
    std::string area;
    std::map<std::string, std::string> entry;
};

TEST_F(TargetsMenuTest, EveryScreenIsReachableAndPAndMLeaveIt)
{
    auto r = Menus(area + entry["Target Information"] + kFirstPort + kEnter +   // -t 0
                   entry["LUN Information"] + kFirstPort + kEnter +             // -l 0
                   entry["Target Persistent Binding"] + kFirstPort + "p\np\n" + // back twice
                   entry["Selective LUNs"] + kFirstPort + "m\n" + area +        // m to main
                   entry["HBA Port Beacon"] + kFirstPort + "p\np\n" +           //
                   entry["Target Beacon"] + kFirstPort + "p\n" +                // target list
                   entry["Target Link Speed"] + kFirstPort + "1\n" + kEnter + "m\n" + "x\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    for (const char *title :
         {"    Targets\n", "    Target Persistent Binding\n", "    Selective LUNs\n",
          "    HBA Port Beacon\n", "    Target Link Speed\n", "    Select Target to Beacon\n"})
        EXPECT_TRUE(Has(r.out, title)) << title << r.out;
    // The listings are the command line's own.
    EXPECT_TRUE(Has(r.out, "50-0C-AB-20-00-00-20-01  50-0C-AB-20-00-00-20-00  02-03-00  KELDAR"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "KD5200 ARRAY")) << r.out;
    // The link speed column of -q.
    EXPECT_TRUE(Has(r.out, "1  8 Gb/s")) << r.out;
    EXPECT_EQ(Count(r.out, "    Main Menu\n"), 3u) << r.out;
    EXPECT_FALSE(Has(r.out, "Invalid selection!")) << r.out;
}

TEST_F(TargetsMenuTest, LinkSpeedSetInTheMenuShowsInTheNextListing)
{
    const std::string speed = entry["Target Link Speed"] + kFirstPort;
    // A speed the port cannot run is refused and changes nothing.
    auto r = Menus(area + speed + "2\n" + kTape + "64\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Link speed 64 Gb/s is not supported with HBA")) << r.out;
    auto q = Cli({"-q", "0"});
    EXPECT_FALSE(Has(q.out, "16 Gb/s")) << q.out;

    r = Menus(area + speed + "2\n" + kTape + "16\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    q = Cli({"-q", "0"});
    EXPECT_TRUE(Has(q.out, "1  16 Gb/s")) << q.out;

    // Back to the negotiated speed for all targets of the port.
    r = Menus(area + speed + "3\nauto\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    q = Cli({"-q", "0"});
    EXPECT_FALSE(Has(q.out, "16 Gb/s")) << q.out;
    EXPECT_TRUE(Has(q.out, "1  8 Gb/s")) << q.out;
}

TEST_F(TargetsMenuTest, BindingMadeInTheMenuShowsInTheNextView)
{
    // Bind a target: the tape drive, target ID 0.
    auto r = Menus(area + entry["Target Persistent Binding"] + kFirstPort + "3\n" + kTape + "0\n" +
                   kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Changes have been saved to persistent storage.")) << r.out;
    auto view = Cli({"-p", "0", "view"});
    EXPECT_TRUE(Has(view.out, kTapeRow)) << view.out;

    // Unbinding it through the menu empties the store again.
    r = Menus(area + entry["Target Persistent Binding"] + kFirstPort + "6\n" + kTape + kEnter +
              "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    view = Cli({"-p", "0", "view"});
    EXPECT_TRUE(Has(view.out, "No target persistent binding configuration on HBA instance 0"))
        << view.out;
}

TEST_F(TargetsMenuTest, RefusedTargetIdGetsItsMessageAndBindsNothing)
{
    // Out of the parser's range, then an ID the store refuses, then a bare Enter.
    auto r =
        Menus(area + entry["Target Persistent Binding"] + kFirstPort + "3\n" + kArray + "256\n" +
              kEnter + "3\n" + kArray + "7\n" + kEnter + "3\n" + kArray + "\n" + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Target ID value must be 0-255!")) << r.out;
    EXPECT_TRUE(Has(r.out, "Configuration aborted. Invalid target id!")) << r.out;
    auto view = Cli({"-p", "0", "view"});
    EXPECT_TRUE(Has(view.out, "No target persistent binding configuration on HBA instance 0"))
        << view.out;
}

TEST_F(TargetsMenuTest, AutomaticBindingThenSelectiveLuns)
{
    // Bind all, then hide LUN 3 of the array, answered through the menus.
    auto r = Menus(area + entry["Target Persistent Binding"] + kFirstPort + "4\n" + kEnter + "m\n" +
                   area + entry["Selective LUNs"] + kFirstPort + "2\n" + kArray + "3\n" + "2\n" +
                   kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    auto view = Cli({"-m", "0", "view"});
    EXPECT_EQ(view.exitCode, 0) << view.out;
    std::smatch m;
    EXPECT_TRUE(
        std::regex_search(view.out, m, std::regex(R"(\n +No +\S.*50-0C-AB-10-00-00-10-01 3\n)")))
        << view.out;
    EXPECT_TRUE(
        std::regex_search(view.out, m, std::regex(R"(\n +Yes +\S.*50-0C-AB-10-00-00-10-01 2\n)")))
        << view.out;
    // A LUN the target does not report is refused and nothing changes.
    r = Menus(area + entry["Selective LUNs"] + kFirstPort + "2\n" + kArray + "9\n" + "2\n" +
              kEnter + "m\nx\n");
    EXPECT_TRUE(Has(r.out, "Configuration aborted. Invalid LUN number!")) << r.out;
    EXPECT_EQ(Cli({"-m", "0", "view"}).out, view.out);
}

TEST_F(TargetsMenuTest, PortBeaconFromTheMenu)
{
    auto r = Menus(area + entry["HBA Port Beacon"] + kFirstPort + "2\n" + kEnter + "m\nx\n");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(Cli({"-a", "0"}).out, "Beacon is ON.")) << r.out;
    r = Menus(area + entry["HBA Port Beacon"] + kFirstPort + "3\n" + kEnter + "m\nx\n");
    EXPECT_TRUE(Has(Cli({"-a", "0"}).out, "Beacon is OFF.")) << r.out;
}

} // namespace
