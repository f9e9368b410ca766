// The update flows in the library against machines of their own: refusals
// before any file is read (host platform, driver), the update type of a port
// from its place on its card, VPD kept across an update, the stamped table and
// memo block, the firmware-only path, signed images and the pre-update versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "adapters/adapterlist.h"
#include "flash/image.h"
#include "flash/preupdate.h"
#include "flash/signature.h"
#include "flash/update.h"
#include "flashimg/builder.h"
#include "frame/frame.h"
#include "machine_fixture.h"
#include "testenv.h"
#include "vnsdm.h"
#include "vnsdm_sim.h"

using namespace flash;

namespace {

// A card whose ports carry the given port numbers, each with its own WWPN.
std::string CardWithPorts(const std::string &deviceId, const std::string &ssdid,
                          const std::string &serial, std::initializer_list<int> portNumbers,
                          const std::string &driver = "", const std::string &model = "CV-TEST")
{
    std::string s = "{ \"model\": \"" + model + "\", \"serial\": \"" + serial +
                    "\", \"defaults\": { \"chip\": { \"device_id\": \"" + deviceId +
                    "\", \"subsystem_id\": \"" + ssdid + "\" }" +
                    (driver.empty() ? "" : ", \"driver\": " + driver) + " }, \"ports\": [";
    bool first = true;
    for (int p : portNumbers) {
        char wwpn[32];
        std::snprintf(wwpn, sizeof wwpn, "21:00:00:0e:7a:99:%02x:%02x", p, p);
        s += std::string(first ? "" : ",") + "{ \"chip\": { \"port_number\": " + std::to_string(p) +
             " }, \"port\": { \"wwpn\": \"" + wwpn + "\" } }";
        first = false;
    }
    return s + "] }";
}

class RefusalTest : public MachineTest {
protected:
    void TearDown() override
    {
        Frame().hostSystemProduct.clear();
        freeUserOptionROMReq();
        MachineTest::TearDown();
    }
    void Load(const std::string &card)
    {
        UseMachine(Machine({card}));
        Scan();
        ASSERT_GT(Adapters().count, 0u);
    }
    FibreAdapter *Port(int portNumber)
    {
        for (FibreAdapter *a = Adapters().first; a; a = a->next)
            if (a->portNumber == portNumber)
                return a;
        ADD_FAILURE() << "no port " << portNumber;
        return nullptr;
    }
    // A file that is never read by the refusals below: its absence proves it.
    std::string NoFile() const { return dir.file("never-opened.bin"); }
};

TEST_F(RefusalTest, ItaniumHostRefusesEarlyChipsInEitherSpelling)
{
    Load(CardWithPorts("0x7020", "0x0020", "CVT0000201", {1}));
    FibreAdapter *a = Port(1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(doISPCheckForOptionROM(a), 2);

    for (const char *platform : {"Corvane Server IA64 Edition", "linux-ia64"}) {
        Frame().hostSystemProduct = platform;
        EXPECT_EQ(doISPCheckForOptionROM(a), 5) << platform;
        const UpdateOutcome out = updateOptionROMSingleHBA(a, NoFile(), true);
        EXPECT_EQ(out.status, kUpdateTypeRefused) << platform;
        EXPECT_NE(out.message.find("Flash update/save option is unsupported with this HBA "
                                   "(Instance"),
                  std::string::npos)
            << out.message;
        EXPECT_EQ(SaveFlashToFile(a, dir.file("saved.bin"), false), kUpdateOsRefused);
    }
    // A host whose name merely has "ia" and "64" apart is not one.
    Frame().hostSystemProduct = "Indiana x86_64";
    EXPECT_EQ(doISPCheckForOptionROM(a), 2);
}

TEST_F(RefusalTest, ItaniumHostDoesNotTouchPciExpressChips)
{
    Load(CardWithPorts("0x70C0", "0x0084", "CVT0000841", {1}));
    Frame().hostSystemProduct = "IA64";
    EXPECT_EQ(doISPCheckForOptionROM(Port(1)), 1);
}

TEST_F(RefusalTest, InboxDriverIsRefusedBeforeTheFile)
{
    Load(CardWithPorts("0x70C0", "0x0084", "CVT0000842", {1},
                       R"({ "type": "scsi_miniport", "version": "8.1.0.7" })"));
    FibreAdapter *a = Port(1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(doISPCheckForOptionROM(a), 5);
    const UpdateOutcome out = updateOptionROMSingleHBA(a, NoFile(), true);
    EXPECT_EQ(out.status, kUpdateInboxDriver);
    EXPECT_EQ(out.message,
              "Command aborted! Please update existing driver (8.1.0.7) and try again.");
    EXPECT_EQ(out.portsUpdated, 0);
}

TEST_F(RefusalTest, InboxDriverOnAnOlderChipIsLeftToItsFlow)
{
    // Below chip generation 12 the driver is not asked about.
    Load(CardWithPorts("0x7048", "0x0048", "CVT0000481", {1},
                       R"({ "type": "scsi_miniport", "version": "8.1.0.7" })"));
    EXPECT_EQ(doISPCheckForOptionROM(Port(1)), 1);
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), NoFile(), true);
    EXPECT_NE(out.status, kUpdateInboxDriver);
}

TEST_F(RefusalTest, FennNeedsARecentDriver)
{
    Load(CardWithPorts("0x7190", "0x0162", "CVT0001621", {1},
                       R"({ "type": "stor_miniport", "version": "9.1.7.2" })"));
    UpdateOutcome out = updateOptionROMSingleHBA(Port(1), NoFile(), true);
    EXPECT_EQ(out.status, kUpdateDriverTooOld);
    EXPECT_EQ(out.message, "Flash update is unsupported with current driver 9.1.7.2!");
}

TEST_F(RefusalTest, FennWithARecentDriverGoesOnToTheFile)
{
    Load(CardWithPorts("0x7190", "0x0162", "CVT0001622", {1},
                       R"({ "type": "stor_miniport", "version": "9.2.0.0" })"));
    UpdateOutcome out = updateOptionROMSingleHBA(Port(1), NoFile(), true);
    EXPECT_NE(out.status, kUpdateDriverTooOld);
    EXPECT_NE(out.message.find("Unable to open boot/multi-boot image file"), std::string::npos)
        << out.message;
}

// A second port whose first port is missing writes the card itself (type 3);
// on Fenn, without the whole card asked for, it is left alone (type 13).
TEST_F(RefusalTest, LoneSecondPortOfAFennCard)
{
    Load(CardWithPorts("0x7190", "0x0162", "CVT0001623", {2, 4}));
    FibreAdapter *second = Port(2);
    ASSERT_NE(second, nullptr);
    UpdateOutcome alone = updateOptionROMSingleHBA(second, NoFile(), false);
    EXPECT_EQ(alone.status, kUpdateUpToDate);
    EXPECT_NE(alone.message.find("does not need to be upgraded"), std::string::npos);

    UpdateOutcome card = updateOptionROMSingleHBA(second, NoFile(), true);
    EXPECT_NE(card.message.find("Unable to open boot/multi-boot image file"), std::string::npos)
        << card.message;
}

TEST_F(RefusalTest, LoneSecondPortOfAnotherFamilyWritesWithoutTheFlag)
{
    Load(CardWithPorts("0x7180", "0x0180", "CVT0001801", {2, 4}));
    UpdateOutcome out = updateOptionROMSingleHBA(Port(2), NoFile(), false);
    EXPECT_NE(out.message.find("Unable to open boot/multi-boot image file"), std::string::npos)
        << out.message;
}

// Ports beyond the first pair are written only when the whole card is asked for.
TEST_F(RefusalTest, FourthPortNeedsTheWholeCard)
{
    Load(CardWithPorts("0x7180", "0x0180", "CVT0001802", {1, 2, 3, 4}));
    UpdateOutcome partOnly = updateOptionROMSingleHBA(Port(4), NoFile(), false);
    EXPECT_EQ(partOnly.status, kUpdateUpToDate);
    UpdateOutcome whole = updateOptionROMSingleHBA(Port(4), NoFile(), true);
    EXPECT_NE(whole.message.find("Unable to open boot/multi-boot image file"), std::string::npos)
        << whole.message;
    // The second port's partner is there: covered by it unless the card is asked for.
    EXPECT_EQ(updateOptionROMSingleHBA(Port(2), NoFile(), false).status, kUpdateUpToDate);
}

// ---- VPD regions across an update -------------------------------------------------

class VpdKeepTest : public RefusalTest {
protected:
    // A one-port card of the FC family whose flash has an FC VPD region.
    void LoadWithVpd(const std::string &vpdHex, const std::string &moreRegions = "")
    {
        Load(CardWithPorts("0x7180", "0x0180", "CVT0001803", {1},
                           R"({ "version": "9.4.1.20" }, "flash": { "regions": [
                               { "code": "0x14", "size": 4096)" +
                               (vpdHex.empty() ? "" : R"(, "hex": ")" + vpdHex + "\"") + " }" +
                               moreRegions + " ] }"));
    }
    std::string Image(const std::vector<uint8_t> &vpdTemplate)
    {
        flashimg::ImageRecipe recipe;
        recipe.deviceId = 0x7180;
        recipe.ssdid = 0x0180;
        recipe.model = "CV-TEST";
        recipe.firmware = {9, 21, 0};
        recipe.extraRegions.push_back({uint16_t(kRegionFcVpd), vpdTemplate});
        const auto bytes = flashimg::BuildImage(recipe);
        const std::string path = dir.file("bryn.bin");
        testenv::WriteFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    // The first size bytes of a flash region.
    std::vector<uint8_t> Region(uint32_t code, uint32_t size)
    {
        const DeviceRecord *rec = FindDeviceForAdapter(Port(1));
        EXPECT_NE(rec, nullptr);
        uint32_t offset = 0, whole = 0;
        if (!rec || SDGetOptionRomOffset(rec->handle, 0, code, &offset, &whole) != SD_OK)
            return {};
        std::vector<uint8_t> out(whole);
        EXPECT_EQ(SDGetOptionRomEx(rec->handle, 0, code, out.data(), whole), SD_OK);
        out.resize(std::min(whole, size));
        return out;
    }
    const std::vector<uint8_t> kTemplate = std::vector<uint8_t>(64, 0x5A);
};

TEST_F(VpdKeepTest, TheCardsVpdSurvivesAndTheFirmwareIsNew)
{
    // Identifier tag, "CV-TEST", then an end tag: the card's own VPD.
    LoadWithVpd("82 07 00 43 56 2D 54 45 53 54 78");
    const std::vector<uint8_t> before = Region(kRegionFcVpd, 4096);
    ASSERT_EQ(before[0], 0x82);
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), Image(kTemplate), true);
    ASSERT_EQ(out.status, 0) << out.message;
    EXPECT_EQ(Region(kRegionFcVpd, 4096), before);
    // The firmware header's version words (big-endian) hold the new 9.21.
    const std::vector<uint8_t> fw = Region(0x01, 120);
    EXPECT_EQ(fw[19], 9);
    EXPECT_EQ(fw[23], 21);
}

// ---- Updates that leave the adapter running ----------------------------------------

class NoResetTest : public VpdKeepTest {
protected:
    SD_NODE_PROPERTY Node()
    {
        SD_NODE_PROPERTY n{};
        const DeviceRecord *rec = FindDeviceForAdapter(Port(1));
        EXPECT_NE(rec, nullptr);
        if (rec) {
            EXPECT_EQ(SDGetHbaDeviceNodeProperty(rec->handle, &n), SD_OK);
        }
        return n;
    }
    static std::pair<int, int> Firmware(const SD_NODE_PROPERTY &n)
    {
        return {n.FlashFwMajor, n.FlashFwMinor};
    }
};

TEST_F(NoResetTest, TheAdapterRunsItsOldImageUntilItIsReset)
{
    LoadWithVpd("");
    const SD_NODE_PROPERTY before = Node();
    ASSERT_NE(Firmware(before), std::make_pair(9, 21));
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, true);
    ASSERT_EQ(out.status, 0) << out.message;
    // The flash holds the new firmware; the adapter still reports the old.
    EXPECT_EQ(Region(0x01, 120)[23], 21);
    EXPECT_EQ(Firmware(Node()), Firmware(before));
    EXPECT_EQ(Node().BiosMajor, before.BiosMajor);
    EXPECT_EQ(Node().BiosMinor, before.BiosMinor);
    // A second such update changes nothing the adapter runs either.
    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, true).status, 0);
    EXPECT_EQ(Firmware(Node()), Firmware(before));
    // The reset (a reboot) brings the new image up, and it stays up.
    ASSERT_EQ(VNSimResetAdapter(Port(1)->wwpn), SD_OK);
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
    Scan();
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
}

TEST_F(NoResetTest, WithoutTheFlagTheNewImageRunsAtOnce)
{
    LoadWithVpd("");
    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, false).status, 0);
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
}

TEST_F(NoResetTest, ActivatingTheFirmwareResetsTheAdapter)
{
    LoadWithVpd("");
    ASSERT_EQ(addUserOptionROMRequest("act", "1"), 0);
    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, true).status, 0);
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
}

TEST_F(NoResetTest, ADriverThatCannotLeaveTheAdapterRunningResetsIt)
{
    Load(CardWithPorts("0x7180", "0x0180", "CVT0001804", {1},
                       R"({ "version": "9.0.5.2" }, "flash": { "regions": [
                           { "code": "0x14", "size": 4096 } ] })"));
    const SD_NODE_PROPERTY before = Node();
    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, true).status, 0);
    EXPECT_NE(Firmware(Node()), Firmware(before));
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
}

TEST_F(NoResetTest, TheDeviceLibraryHoldsWhatTheAdapterRan)
{
    LoadWithVpd("");
    const DeviceRecord *rec = FindDeviceForAdapter(Port(1));
    ASSERT_NE(rec, nullptr);
    const SD_NODE_PROPERTY before = Node();
    const std::vector<uint8_t> fw = Region(0x01, 0x80000);
    // Options it does not know are refused and write nothing.
    EXPECT_EQ(SDUpdateOptionRomEx2(rec->handle, 0, 0x01, fw.data(), uint32_t(fw.size()), 0x2),
              SDERR_INVALID_PARAMETER);
    // A write without the option is a reset: what was held is dropped.
    const std::vector<uint8_t> boot = Region(0x07, 0x40000);
    ASSERT_EQ(SDUpdateOptionRomEx2(rec->handle, 0, 0x07, boot.data(), uint32_t(boot.size()),
                                   SD_FLASH_OPT_NO_RESET),
              SD_OK);
    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), Image(kTemplate), true, true).status, 0);
    EXPECT_EQ(Firmware(Node()), Firmware(before));
    ASSERT_EQ(SDUpdateOptionRomEx2(rec->handle, 0, 0x07, boot.data(), uint32_t(boot.size()), 0),
              SD_OK);
    EXPECT_EQ(Firmware(Node()), std::make_pair(9, 21));
}

TEST_F(VpdKeepTest, AnEmptyVpdRegionTakesTheImagesTemplate)
{
    LoadWithVpd("");
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), Image(kTemplate), true);
    ASSERT_EQ(out.status, 0) << out.message;
    const std::vector<uint8_t> now = Region(kRegionFcVpd, 4096);
    EXPECT_TRUE(std::equal(kTemplate.begin(), kTemplate.end(), now.begin()));
    EXPECT_EQ(now[kTemplate.size()], 0xFF);
}

// ---- The layout table and the memo block ---------------------------------------------

TEST_F(VpdKeepTest, WrittenTableIsStampedAndTheMemoRecordsTheImage)
{
    // The memo region starts erased: the block is built from scratch.
    LoadWithVpd("", R"(, { "code": "0x1F", "size": 4096 })");
    const std::time_t started = std::time(nullptr);
    const std::string image = Image(kTemplate);
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), image, true);
    ASSERT_EQ(out.status, 0) << out.message;
    const std::vector<uint8_t> region = Region(kRegionLayoutMemo, 4096);
    const std::string file = testenv::ReadFile(image);
    const std::vector<uint8_t> mbi(file.begin(), file.end());

    // The table: the image's header and entries, summing to zero with the stamp.
    const size_t length = size_t(region[6] | region[7] << 8);
    ASSERT_EQ(length, size_t(mbi[6] | mbi[7] << 8));
    EXPECT_EQ(std::string(region.begin(), region.begin() + 4), "VILT");
    EXPECT_EQ(HLPR_Sum16(Bytes(region).first(length), length / 2), 0);
    EXPECT_TRUE(std::equal(region.begin() + 10, region.begin() + 32, mbi.begin() + 10));
    const size_t n = size_t(region[10] | region[11] << 8);
    const size_t stamp = 32 * n;
    std::tm tm{};
    localtime_r(&started, &tm);
    EXPECT_EQ(region[stamp + 6] | region[stamp + 7] << 8, tm.tm_year + 1900);
    EXPECT_EQ(region[stamp + 8], tm.tm_mon + 1);
    EXPECT_EQ(region[stamp + 13], 20);
    EXPECT_EQ(region[length], 0xFF);

    // The memo block at the region's end: valid, and naming the image's versions.
    const Bytes memo = Bytes(region).last(kMemoBlockSize);
    EXPECT_EQ(isCorrectFlashMemoBlockSignature(memo), 1);
    EXPECT_EQ(HLPR_Sum32(memo, 12), 0u);
    EXPECT_EQ(memo[16], 9);  // FFV major
    EXPECT_EQ(memo[17], 21); // FFV minor
    EXPECT_EQ(memo[20], 1);  // MBI 1.2.3 of the builder
    EXPECT_EQ(memo[21], 2);
    EXPECT_EQ(memo[22], 3);
    EXPECT_EQ(std::string(memo.begin() + 24, memo.begin() + 32), "20261120");
    EXPECT_EQ(std::string(memo.begin() + 32, memo.begin() + 36), "VCLI");
    EXPECT_EQ(memo[36] | memo[37] << 8, tm.tm_year + 1900);
}

TEST_F(VpdKeepTest, ARefusedImageLeavesTheMemoRegionAlone)
{
    LoadWithVpd("", R"(, { "code": "0x1F", "size": 4096 })");
    const std::vector<uint8_t> before = Region(kRegionLayoutMemo, 4096);
    flashimg::ImageRecipe recipe;
    recipe.deviceId = 0x7180;
    recipe.ssdid = 0x0180;
    recipe.fault = flashimg::Fault::Layout;
    const auto bytes = flashimg::BuildImage(recipe);
    testenv::WriteFile(dir.file("bad.bin"), std::string(bytes.begin(), bytes.end()));
    EXPECT_NE(updateOptionROMSingleHBA(Port(1), dir.file("bad.bin"), true).status, 0);
    EXPECT_EQ(Region(kRegionLayoutMemo, 4096), before);
}

// ---- Firmware only ------------------------------------------------------------------

TEST_F(VpdKeepTest, FirmwareOnlyWritesTheOneRegionOfTheImage)
{
    LoadWithVpd("");
    const std::vector<uint8_t> vpdBefore = Region(kRegionFcVpd, 4096);
    ASSERT_EQ(addUserOptionROMRequest("region", "0x01"), 0);
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), Image(kTemplate), true);
    ASSERT_EQ(out.status, 0) << out.message;
    EXPECT_EQ(out.successLine, "Firmware update completed successfully (Instance 0 - CV-TEST)");
    const std::vector<uint8_t> fw = Region(0x01, 120);
    EXPECT_EQ(fw[19], 9);
    EXPECT_EQ(fw[23], 21);
    // The image's VPD template is another region: not written.
    EXPECT_EQ(Region(kRegionFcVpd, 4096), vpdBefore);
}

TEST_F(VpdKeepTest, FirmwareOnlyTakesABareFirmwareFile)
{
    LoadWithVpd("");
    const std::string mbiText = testenv::ReadFile(Image(kTemplate));
    const std::vector<uint8_t> mbi(mbiText.begin(), mbiText.end());
    const Bytes fw = GetSpecificImageComponentInBuffer(mbi, 0x01);
    ASSERT_GE(fw.size(), 120u);
    std::string bare(fw.begin(), fw.end());
    testenv::WriteFile(dir.file("fw.bin"), bare);
    ASSERT_EQ(addUserOptionROMRequest("fw", dir.file("fw.bin").c_str()), 0);
    const std::vector<uint8_t> before = Region(0x01, 120);

    // An attributes word no firmware carries: refused, nothing written.
    std::string broken = bare;
    broken[35] = 0x03;
    testenv::WriteFile(dir.file("broken.bin"), broken);
    UpdateOutcome bad = updateOptionROMSingleHBA(Port(1), dir.file("broken.bin"), true);
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ(bad.message,
              "Selected file (" + dir.file("broken.bin") + ") appears to be corrupted!");
    EXPECT_EQ(Region(0x01, 120), before);

    UpdateOutcome good = updateOptionROMSingleHBA(Port(1), dir.file("fw.bin"), true);
    ASSERT_EQ(good.status, 0) << good.message;
    EXPECT_EQ(Region(0x01, 120)[23], 21);
}

TEST_F(VpdKeepTest, FirmwareOnlyNamesTheMissingRegion)
{
    LoadWithVpd("");
    ASSERT_EQ(addUserOptionROMRequest("region", "0xA4"), 0);
    const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), NoFile(), true);
    EXPECT_NE(out.status, 0);
    EXPECT_EQ(out.message, "Unable to complete flash update on HBA Instance 0 - CV-TEST (Region "
                           "not found 0XA4)!");
}

// ---- Signed images on Fenn --------------------------------------------------------------

class SignatureTest : public VpdKeepTest {
protected:
    std::string FennImage(const std::string &name, flashimg::Fault fault, bool signature = true)
    {
        flashimg::ImageRecipe recipe;
        recipe.deviceId = 0x7190;
        recipe.ssdid = 0x0162;
        recipe.model = "CV-TEST";
        recipe.firmware = {9, 30, 0};
        recipe.fault = fault;
        recipe.signature = signature;
        const auto bytes = flashimg::BuildImage(recipe);
        testenv::WriteFile(dir.file(name), std::string(bytes.begin(), bytes.end()));
        return dir.file(name);
    }
};

TEST_F(SignatureTest, OfflineFennUpdateTakesOnlyASignedImage)
{
    Load(CardWithPorts("0x7190", "0x0162", "CVT0001624", {1}));
    const std::vector<uint8_t> before = Region(0x01, 120);
    struct Case {
        const char *name;
        flashimg::Fault fault;
        bool signature;
        const char *says;
    } cases[] = {
        {"unsigned.bin", flashimg::Fault::None, false, "does not have valid signature header!"},
        {"header.bin", flashimg::Fault::SignatureHeader, true,
         "does not have valid signature header!"},
        {"data.bin", flashimg::Fault::SignatureData, true, "does not have valid signature data!"},
    };
    for (const Case &c : cases) {
        const std::string path = FennImage(c.name, c.fault, c.signature);
        const UpdateOutcome out = updateOptionROMSingleHBA(Port(1), path, true);
        EXPECT_NE(out.status, 0) << c.name;
        EXPECT_EQ(out.message, "Boot/Multi-boot image file " + path + " " + c.says) << c.name;
        EXPECT_EQ(Region(0x01, 120), before) << c.name;
    }
    const UpdateOutcome good =
        updateOptionROMSingleHBA(Port(1), FennImage("good.bin", flashimg::Fault::None), true);
    ASSERT_EQ(good.status, 0) << good.message;
    EXPECT_EQ(Region(0x01, 120)[23], 30);
}

TEST_F(SignatureTest, ADigestOverOtherRegionsCatchesAChangedByte)
{
    const std::string path = FennImage("good.bin", flashimg::Fault::None);
    const std::string text = testenv::ReadFile(path);
    std::vector<uint8_t> mbi(text.begin(), text.end());
    EXPECT_EQ(CheckImageSignature(mbi), SignatureCheck::Ok);
    // One byte of the firmware region's data: the digest no longer fits.
    IltRegion fw;
    ASSERT_TRUE(ILT_Region_GetRegionByIndex(mbi, 1, fw));
    ASSERT_EQ(fw.code, 0x01);
    mbi[fw.offset + 200] ^= 0x40;
    EXPECT_EQ(CheckImageSignature(mbi), SignatureCheck::BadData);
    mbi[fw.offset + 200] ^= 0x40;
    // A shorter covered length in the header: the same.
    const Bytes sig = GetSpecificImageComponentInBuffer(mbi, kRegionImageSignature);
    ASSERT_EQ(sig.size(), kSignatureHeaderSize);
    const size_t at = size_t(sig.data() - mbi.data());
    mbi[at + 8] ^= 0x01;
    EXPECT_EQ(CheckImageSignature(mbi), SignatureCheck::BadData);
    EXPECT_EQ(CheckImageSignature(Bytes(mbi).first(16)), SignatureCheck::BadHeader);
}

// ---- A region named on the command line, in the boot-code flows -------------------------

TEST_F(VpdKeepTest, NamedRegionInTheBootCodeFlow)
{
    Load(CardWithPorts("0x70C0", "0x0084", "CVT0000843", {1}, "", "CV-2084"));
    flashimg::ImageRecipe boot;
    boot.kind = flashimg::Kind::Boot;
    boot.deviceId = 0x70C0;
    boot.ssdid = 0x0084;
    boot.model = "CV-2084";
    boot.withFcode = false;
    boot.bios = {3, 44, 0};
    const auto chain = flashimg::BuildImage(boot);
    testenv::WriteFile(dir.file("boot.bin"), std::string(chain.begin(), chain.end()));
    flashimg::ImageRecipe mbiRecipe = boot;
    mbiRecipe.kind = flashimg::Kind::Mbi;
    mbiRecipe.firmware = {9, 25, 0};
    const auto mbi = flashimg::BuildImage(mbiRecipe);
    const Bytes fw = GetSpecificImageComponentInBuffer(mbi, 0x01);
    testenv::WriteFile(dir.file("fw.bin"), std::string(fw.begin(), fw.end()));

    const std::vector<uint8_t> bootBefore = Region(0x07, 0x40000);
    const std::vector<uint8_t> fwBefore = Region(0x01, 0x80000);

    // A region this flow cannot write: named in the refusal, nothing written.
    ASSERT_EQ(addUserOptionROMRequest("region", "0x15"), 0);
    UpdateOutcome out = updateOptionROMSingleHBA(Port(1), dir.file("boot.bin"), true);
    EXPECT_EQ(out.message, "Unable to complete flash update on HBA Instance 0 - CV-2084 (Region "
                           "not found 0X15)!");
    EXPECT_EQ(Region(0x07, 0x40000), bootBefore);

    // The firmware alone: the boot code stays.
    ASSERT_EQ(addUserOptionROMRequest("region", "1"), 0);
    out = updateOptionROMSingleHBA(Port(1), dir.file("fw.bin"), true);
    ASSERT_EQ(out.status, 0) << out.message;
    EXPECT_EQ(Region(0x01, 120)[23], 25);
    EXPECT_EQ(Region(0x07, 0x40000), bootBefore);
    const std::vector<uint8_t> fwAfter = Region(0x01, 0x80000);
    EXPECT_NE(fwAfter, fwBefore);

    // The boot code alone: the firmware just written stays.
    ASSERT_EQ(addUserOptionROMRequest("region", "0x07"), 0);
    out = updateOptionROMSingleHBA(Port(1), dir.file("boot.bin"), true);
    ASSERT_EQ(out.status, 0) << out.message;
    EXPECT_NE(Region(0x07, 0x40000), bootBefore);
    EXPECT_EQ(Region(0x01, 0x80000), fwAfter);
}

// ---- Versions before an update ------------------------------------------------------------

TEST_F(VpdKeepTest, PreUpdateVersionsComeFromTheMemoAndTheFile)
{
    LoadWithVpd("", R"(, { "code": "0x1F", "size": 4096 })");
    const std::string first = Image(kTemplate); // MBI 1.2.3
    Version existing, fresh;
    std::string message;
    ASSERT_EQ(GetFlashImageVersionPreUpdateInfo(Port(1), first, existing, fresh, message), 0)
        << message;
    EXPECT_FALSE(existing.set); // nothing written by us yet
    EXPECT_TRUE(fresh.set);
    EXPECT_EQ(fresh.n[0], 1);
    EXPECT_EQ(fresh.n[2], 3);

    ASSERT_EQ(updateOptionROMSingleHBA(Port(1), first, true).status, 0);
    ASSERT_EQ(GetFlashImageVersionPreUpdateInfo(Port(1), first, existing, fresh, message), 0);
    ASSERT_TRUE(existing.set);
    EXPECT_EQ(existing.n[0], 1);
    EXPECT_EQ(existing.n[1], 2);
    EXPECT_EQ(existing.n[2], 3);
    EXPECT_EQ(CompareCNAFlashImageVersion(existing, fresh), 0);

    // The image as it lies in the flash lists the firmware that was written.
    std::vector<std::string> lines;
    ASSERT_EQ(ImageVersionListing(ReadFlashImage(*FindDeviceForAdapter(Port(1))), lines), 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "MBI version: 01.02.03");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Firmware version: 9.21.0"), lines.end());

    // Not a multiboot image, and no file at all.
    testenv::WriteFile(dir.file("plain.bin"), std::string(64, 'x'));
    EXPECT_NE(
        GetFlashImageVersionPreUpdateInfo(Port(1), dir.file("plain.bin"), existing, fresh, message),
        0);
    EXPECT_EQ(message, "Selected file (" + dir.file("plain.bin") + ") appears to be corrupted!");
    EXPECT_FALSE(fresh.set);
    EXPECT_NE(GetFlashImageVersionPreUpdateInfo(Port(1), NoFile(), existing, fresh, message), 0);
    EXPECT_NE(message.find("Unable to open boot/multi-boot image file"), std::string::npos);
}

TEST_F(VpdKeepTest, FlashWithoutATableHasNoImageToList)
{
    LoadWithVpd("");
    EXPECT_TRUE(ReadFlashImage(*FindDeviceForAdapter(Port(1))).empty());
    std::vector<std::string> lines;
    EXPECT_NE(ImageVersionListing({}, lines), 0);
}

} // namespace
