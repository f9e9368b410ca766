// End-to-end flash updates of the built volk on the default machine: images
// from the builder, each run with a private state file.
#include <gtest/gtest.h>

#include <fstream>

#include "flashimg/builder.h"
#include "testenv.h"
#include "xmlcheck.h"

using testenv::TempDir;

namespace {

const std::string kVolk = std::string(TAVRO_BINARY_DIR) + "/bin/volk";

flashimg::ImageRecipe Cv2322()
{
    flashimg::ImageRecipe s;
    s.kind = flashimg::Kind::Mbi;
    s.deviceId = 0x7194;
    s.ssdid = 0x0322;
    s.chipRevision = 3;
    s.model = "CV-2322";
    return s;
}

class FlashTest : public ::testing::Test {
protected:
    std::vector<std::string> Env() const
    {
        return {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                "TAVRO_CLOCK_SCALE=1000"};
    }
    testenv::RunResult Volk(std::vector<std::string> args) const
    {
        args.insert(args.begin(), kVolk);
        return testenv::Run(args, Env());
    }
    std::string Image(const std::string &name, const flashimg::ImageRecipe &recipe) const
    {
        const auto bytes = flashimg::BuildImage(recipe);
        const std::string path = dir.file(name);
        testenv::WriteFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    // The whole flash of a port as saved by volk.
    std::string Saved(const std::string &port, const std::string &name) const
    {
        auto r = Volk({"-b", port, "save", dir.file(name)});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return testenv::ReadFile(dir.file(name));
    }
    // The default machine with one injected fault on the first port.
    void InjectOnFirstPort(const std::string &fault)
    {
        std::string json =
            testenv::ReadFile(std::string(TAVRO_SOURCE_DIR) + "/machines/default.json");
        const std::string port = R"("wwpn": "21:00:00:0e:7a:32:20:01", "port_id": "0x010100" },)";
        const size_t at = json.find(port);
        ASSERT_NE(at, std::string::npos);
        json.insert(at + port.size(), " \"faults\": " + fault + ",");
        machine = dir.file("machine.json");
        testenv::WriteFile(machine, json);
    }
    TempDir dir;
    std::string machine;
};

// A process exit status keeps the low eight bits of the code.
int Exit(int code) { return code & 0xFF; }

bool Has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(FlashTest, GoodImageIsWrittenAndShownByTheNextRun)
{
    auto before = Volk({"-i", "0"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    EXPECT_FALSE(Has(before.out, "9.10.00"));
    auto recipe = Cv2322();
    const std::string good = Image("good.bin", recipe);
    auto r = Volk({"-b", "0", good});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "Flash update complete. Changes have been saved to the HBA instance 0."))
        << r.out;
    auto after = Volk({"-i", "0"});
    ASSERT_EQ(after.exitCode, 0);
    EXPECT_TRUE(Has(after.out, "9.10.00")) << after.out;
    EXPECT_TRUE(Has(after.out, "3.70")) << after.out;

    auto x = Volk({"-b", "0", good, "-x"});
    ASSERT_EQ(x.exitCode, 0) << x.out;
    xmlcheck::Document doc(xmlcheck::FirstDocument(x.out));
    ASSERT_TRUE(doc.ok()) << doc.error() << x.out;
    EXPECT_EQ(doc.Value("normalize-space(//Status)"), "0");
    EXPECT_EQ(doc.Value("normalize-space(//Reboot)"), "1");
}

TEST_F(FlashTest, CorruptImagesAreRefusedAndTheFlashIsUnchanged)
{
    const std::string before = Saved("0", "before.bin");
    ASSERT_GT(before.size(), 0x40000u);
    struct Case {
        flashimg::Fault fault;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {flashimg::Fault::Checksum, 12, "Multiboot image file has invalid checksum!"},
        {flashimg::Fault::DeviceId, 451,
         "Incorrect multiboot image for adapter instance 0 (Invalid SSDID/SSVID)!"},
        {flashimg::Fault::Truncated, 507, "wrong size and wrong file for this specific adapter!!"},
        {flashimg::Fault::Layout, 450, "appears to be corrupted!"},
    };
    for (const Case &c : cases) {
        auto recipe = Cv2322();
        recipe.fault = c.fault;
        const std::string file = Image("bad.bin", recipe);
        auto r = Volk({"-b", "0", file});
        EXPECT_EQ(r.exitCode, Exit(c.code)) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        auto x = Volk({"-b", "0", file, "-x"});
        xmlcheck::Document doc(xmlcheck::FirstDocument(x.out));
        ASSERT_TRUE(doc.ok()) << doc.error() << x.out;
        EXPECT_EQ(doc.Value("normalize-space(//Reboot)"), "0");
        EXPECT_TRUE(Has(doc.Value("string(//ErrorMsg)"), c.message));
    }
    EXPECT_EQ(Saved("0", "after.bin"), before);
}

TEST_F(FlashTest, BootCodeFilesOnTheEightGigabitCard)
{
    flashimg::ImageRecipe s;
    s.kind = flashimg::Kind::Boot;
    s.deviceId = 0x70C0;
    s.ssdid = 0x0084;
    s.model = "CV-2084";
    s.withFcode = false;
    s.bios = {3, 40, 0};
    auto r = Volk({"-b", "4", Image("boot.bin", s)});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(Volk({"-i", "4"}).out, "3.40"));

    const std::string before = Saved("4", "before.bin");
    s.fault = flashimg::Fault::Checksum;
    r = Volk({"-b", "4", Image("sum.bin", s)});
    EXPECT_EQ(r.exitCode, 12) << r.out;
    EXPECT_TRUE(Has(r.out, "Multiboot image file has invalid checksum!")) << r.out;
    s.fault = flashimg::Fault::DeviceId;
    r = Volk({"-b", "4", Image("id.bin", s)});
    EXPECT_EQ(r.exitCode, 11) << r.out;
    EXPECT_TRUE(Has(r.out, "Incorrect multiboot image for adapter instance 4 (SSDID/SSVID "
                           "mismatched)!"))
        << r.out;
    EXPECT_EQ(Saved("4", "after.bin"), before);
}

TEST_F(FlashTest, VirtualPortIsRefusedBeforeTheFileIsOpened)
{
    auto r = Volk({"-b", "21:5a:00:0e:7a:16:20:01", dir.file("missing.bin")});
    EXPECT_EQ(r.exitCode, Exit(286)) << r.out;
    EXPECT_TRUE(Has(r.out, "Option is not available with virtual port HBA "
                           "(21-5A-00-0E-7A-16-20-01)!"))
        << r.out;
    r = Volk({"-b", "0", dir.file("missing.bin")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Has(r.out, "Unable to open boot/multi-boot image file (")) << r.out;
}

TEST_F(FlashTest, AllPortsCountThePartnerAndAnswerWhenNoneWasUpdated)
{
    auto r = Volk({"-b", "all", Image("good.bin", Cv2322())});
    // The two-port card counts twice; every other card refuses the image.
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Unable to update Flash to all HBAs (2 of ")) << r.out;
    EXPECT_TRUE(Has(Volk({"-i", "1"}).out, "9.10.00"));

    auto recipe = Cv2322();
    recipe.fault = flashimg::Fault::Layout;
    r = Volk({"-b", "all", Image("bad.bin", recipe)});
    EXPECT_EQ(r.exitCode, 34) << r.out;
    EXPECT_TRUE(Has(r.out, "Unable to update Flash to all HBAs (0 of ")) << r.out;
}

TEST_F(FlashTest, WizardStandardRefusesWhatForceDowngradeWrites)
{
    auto recipe = Cv2322();
    recipe.bios = {3, 60, 0};
    recipe.firmware = {9, 8, 1};
    Image("older.bin", recipe);
    const std::string list = dir.file("versions.txt");
    testenv::WriteFile(list,
                       "# model, ssdid, ssvid, bios, fcode, efi, firmware, firmware 2, image\n"
                       "; older boot code for the 32 Gb card\n"
                       "\n"
                       "CV-2322,0x0322,0x1E7A,3.60,4.14,7.08,9.08.01,0.0.0,older.bin\n");
    auto r = Volk({"-b", "0", "-op", "0", "-src", list});
    EXPECT_EQ(r.exitCode, 16) << r.out;
    EXPECT_TRUE(Has(r.out, "HBA 0 (CV-2322) does not need to be upgraded.")) << r.out;
    EXPECT_TRUE(Has(r.out, "Flash update not required.")) << r.out;

    r = Volk({"-b", "0", "-op", "3", "-src", list});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Flash update completed successfully (1 out of 1).")) << r.out;
    EXPECT_TRUE(Has(Volk({"-i", "0"}).out, "3.60"));

    r = Volk({"-b", "0", "-op", "0", "-src", dir.file("none.txt")});
    EXPECT_EQ(r.exitCode, Exit(330)) << r.out;
    EXPECT_TRUE(Has(r.out, "Unable to open file '" + dir.file("none.txt") + "' for reading!"))
        << r.out;
}

TEST_F(FlashTest, TornWriteIsReportedAndLeavesTheOldImage)
{
    InjectOnFirstPort(R"({ "calls": [ { "call": "SDUpdateOptionRomEx2", "nth": 1,
                          "status": "SDERR_FLASH_WRITE", "torn": true } ] })");
    const std::string before = Saved("0", "before.bin");
    auto r = Volk({"-b", "0", Image("good.bin", Cv2322())});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "Flash update failed on this HBA (Instance 0) with error (0x20000074)"))
        << r.out;
    EXPECT_EQ(Saved("0", "after.bin"), before);
}

// A 64 Gb card whose flash takes the online update, optionally with a fault.
std::string RookMachine(const std::string &faults)
{
    return R"({ "adapters": [ { "model": "CV-2642", "serial": "CVA6420001",
      "defaults": { "chip": { "device_id": "0x71C0", "subsystem_vendor_id": "0x1E7A",
                              "subsystem_id": "0x0642", "chip_revision": "0x01" },
                    "firmware": { "version": "9.12.00" },
                    "flash": { "update_capabilities": "0x2" } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:64:20:01" })" +
           faults + R"( } ] } ] })";
}

flashimg::ImageRecipe Cv2642()
{
    flashimg::ImageRecipe s;
    s.deviceId = 0x71C0;
    s.ssdid = 0x0642;
    s.chipRevision = 1;
    s.model = "CV-2642";
    s.firmware = {9, 14, 0};
    return s;
}

TEST_F(FlashTest, OnlineUpdateWritesAllRegionsOrNone)
{
    machine = dir.file("rook.json");
    testenv::WriteFile(machine, RookMachine(""));
    auto r = Volk({"-b", "0", Image("good.bin", Cv2642())});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(Volk({"-i", "0"}).out, "9.14.00"));

    testenv::WriteFile(machine,
                       RookMachine(R"(, "faults": { "calls": [ { "call": "SDUpdateOptionRomOnline",
                                   "nth": 1, "status": "SDERR_FLASH_WRITE", "torn": true } ] })"));
    const std::string before = Saved("0", "before.bin");
    auto recipe = Cv2642();
    recipe.firmware = {9, 16, 0};
    r = Volk({"-b", "0", Image("newer.bin", recipe)});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "Flash update failed on this HBA (Instance 0)")) << r.out;
    EXPECT_EQ(Saved("0", "after.bin"), before);
    EXPECT_TRUE(Has(Volk({"-i", "0"}).out, "9.14.00"));
}

// A converged card of the family whose chip revision picks its firmware region.
std::string K7kMachine(const std::string &revision)
{
    return R"({ "adapters": [ { "model": "CV-8110", "serial": "CVA8110001",
      "defaults": { "chip": { "device_id": "0x7110", "subsystem_vendor_id": "0x1E7A",
                              "subsystem_id": "0x0110", "chip_revision": ")" +
           revision + R"(" },
                    "firmware": { "version": "8.01.00" },
                    "flash": { "regions": [ { "code": "0x97", "size": 131072 } ] } },
      "ports": [ { "port": { "wwpn": "21:00:00:0e:7a:81:10:01" } } ] } ] })";
}

TEST_F(FlashTest, MultibootWritesOnlyTheRegionsItRecorded)
{
    flashimg::ImageRecipe recipe;
    recipe.deviceId = 0x7110;
    recipe.ssdid = 0x0110;
    recipe.model = "CV-8110";
    recipe.convergedSize = 0x10000;
    machine = dir.file("k7k.json");
    // The converged firmware sits behind the four fixed regions.
    const size_t at = 0xC2000;
    for (const char *revision : {"0x60", "0x54"}) {
        testenv::WriteFile(machine, K7kMachine(revision));
        testenv::WriteFile(dir.file("state.db"), "");
        auto r = Volk({"-b", "0", Image("cna.bin", recipe)});
        ASSERT_EQ(r.exitCode, 0) << revision << r.out << r.err;
        // The FC firmware region is not among this family's regions: it stays.
        auto info = Volk({"-i", "0"});
        EXPECT_TRUE(Has(info.out, "8.01.00")) << info.out;
        EXPECT_FALSE(Has(info.out, "9.10.00"));
        const std::string flashNow = Saved("0", "flash.bin");
        ASSERT_GT(flashNow.size(), at + 8);
        // Revision 0x54 takes region 0x74, which the image lacks: 0x97 stays erased.
        const std::string head = flashNow.substr(at, 4);
        if (std::string(revision) == "0x60")
            EXPECT_EQ(head, std::string("\x03\x00\x40\x40", 4)) << revision;
        else
            EXPECT_EQ(head, std::string(4, '\xFF')) << revision;
    }
}

// The default machine's 16/32 Gb card is written offline: only a signed image.
TEST_F(FlashTest, UnsignedImageIsRefusedWithItsOwnMessage)
{
    const std::string before = Saved("0", "before.bin");
    auto recipe = Cv2322();
    recipe.fault = flashimg::Fault::SignatureData;
    const std::string bad = Image("bad-sig.bin", recipe);
    auto r = Volk({"-b", "0", bad});
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_TRUE(
        Has(r.out, "Boot/Multi-boot image file " + bad + " does not have valid signature data!"))
        << r.out;
    recipe.fault = flashimg::Fault::None;
    recipe.signature = false;
    const std::string unsigned_ = Image("unsigned.bin", recipe);
    r = Volk({"-b", "0", unsigned_});
    EXPECT_TRUE(Has(r.out, "Boot/Multi-boot image file " + unsigned_ +
                               " does not have valid signature header!"))
        << r.out;
    EXPECT_EQ(Saved("0", "after.bin"), before);
}

// -rg on the 8 Gb card: a region the boot-code flow cannot write is named, and
// the boot code alone is written when asked for.
TEST_F(FlashTest, NamedRegionOnTheEightGigabitCard)
{
    flashimg::ImageRecipe s;
    s.kind = flashimg::Kind::Boot;
    s.deviceId = 0x70C0;
    s.ssdid = 0x0084;
    s.model = "CV-2084";
    s.withFcode = false;
    s.bios = {3, 46, 0};
    const std::string boot = Image("boot.bin", s);
    const std::string before = Saved("4", "before.bin");
    auto r = Volk({"-b", "4", "-rg", "0x15", boot});
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "(Region not found 0X15)!")) << r.out;
    EXPECT_EQ(Saved("4", "same.bin"), before);
    r = Volk({"-b", "4", "-rg", "7", boot});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(Volk({"-i", "4"}).out, "3.46"));
}

} // namespace
