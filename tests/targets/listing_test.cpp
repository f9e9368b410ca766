// -t, -l and -q end to end: volk on the default machine (or the loop test
// machine), its text lines, its XML documents and its exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "volk_fixture.h"
#include "xmlcheck.h"

namespace {

constexpr const char *kArray = "50-0C-AB-10-00-00-10-01";
constexpr const char *kTape = "50-0C-AB-20-00-00-20-01";

class ListingTest : public VolkFixture {
protected:
    std::string LoopMachine() const { return TAVRO_SOURCE_DIR "/machines/targets-loop.json"; }

    static bool Has(const std::string &text, const std::string &what)
    {
        return text.find(what) != std::string::npos;
    }
    // The line that contains what, or "".
    static std::string LineWith(const std::string &text, const std::string &what)
    {
        size_t at = text.find(what);
        if (at == std::string::npos)
            return "";
        size_t begin = text.rfind('\n', at);
        size_t end = text.find('\n', at);
        begin = begin == std::string::npos ? 0 : begin + 1;
        return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
};

TEST_F(ListingTest, TargetsOfAnOnlinePortWithTheirIdentity)
{
    auto r = Volk({"-t", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string array = LineWith(r.out, kArray);
    EXPECT_TRUE(Has(array, "50-0C-AB-10-00-00-10-00")) << array;
    EXPECT_TRUE(Has(array, "01-04-00")) << array;
    EXPECT_TRUE(Has(array, "KELDAR")) << array;
    EXPECT_TRUE(Has(array, "KD5200 ARRAY")) << array;
    EXPECT_TRUE(Has(array, "0512")) << array;
    EXPECT_TRUE(Has(array, "Disk")) << array;
    EXPECT_TRUE(array.ends_with("   8")) << array;
    const std::string tape = LineWith(r.out, kTape);
    EXPECT_TRUE(Has(tape, "KT-8 TAPE") && Has(tape, "Tape") && tape.ends_with("   1")) << tape;
    EXPECT_TRUE(Has(r.out, "HBA Instance 0: CV-2322 Port 1 WWPN 21-00-00-0E-7A-32-20-01"));
    // The same port by its WWPN.
    auto w = Volk({"-t", "21-00-00-0E-7A-32-20-01"});
    EXPECT_EQ(w.exitCode, 0);
    EXPECT_EQ(w.out, r.out);
}

TEST_F(ListingTest, LinkDownPortListsNoTargets)
{
    auto r = Volk({"-t", "1"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "(Link Down)")) << r.out;
    EXPECT_TRUE(Has(r.out, "No targets found.")) << r.out;
    EXPECT_FALSE(Has(r.out, kArray));
    auto l = Volk({"-l", "1"});
    EXPECT_EQ(l.exitCode, 0);
    EXPECT_TRUE(Has(l.out, "No targets found.")) << l.out;
}

TEST_F(ListingTest, OneTargetByWwpnOrPortIdAndTheUnseenOnes)
{
    auto r = Volk({"-t", "0", kTape});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, kTape));
    EXPECT_FALSE(Has(r.out, kArray));
    r = Volk({"-t", "0", "01-04-00"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, kArray));
    EXPECT_FALSE(Has(r.out, kTape));

    r = Volk({"-t", "0", "50-0C-AB-99-00-00-10-01"});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "Specified device not found (50-0C-AB-99-00-00-10-01)!\n");
    r = Volk({"-t", "0", "0A0B0C"});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "Specified device not found (0A-0B-0C)!\n");
    // The link-down port sees none of them.
    r = Volk({"-l", "1", kArray});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "Specified device not found (50-0C-AB-10-00-00-10-01)!\n");
}

TEST_F(ListingTest, EveryPortWithAllOrNothing)
{
    auto r = Volk({"-t"});
    EXPECT_EQ(r.exitCode, 0);
    auto all = Volk({"-t", "all"});
    EXPECT_EQ(all.out, r.out);
    EXPECT_TRUE(Has(r.out, "HBA Instance 12:"));
    EXPECT_TRUE(Has(r.out, "HBA Instance 0:"));
    auto none = Volk({"-t"}, EmptyMachine());
    EXPECT_EQ(none.exitCode, 8);
    EXPECT_EQ(none.out, "No compatible HBA(s) found in current system !\n");
}

TEST_F(ListingTest, LunsWithTypeCapacityAndReadiness)
{
    auto r = Volk({"-l", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, std::string("Target ") + kArray)) << r.out;
    EXPECT_TRUE(Has(r.out, std::string("Target ") + kTape)) << r.out;
    const std::string lun0 = LineWith(r.out, "10.00 GB");
    EXPECT_TRUE(Has(lun0, "      0  Disk") && Has(lun0, "20971520") && Has(lun0, "Ready")) << lun0;
    EXPECT_TRUE(Has(r.out, "4.00 TB")) << "LUN 6 sized by the 16-byte READ CAPACITY\n" << r.out;
    const std::string lun7 = LineWith(r.out, "2621440");
    EXPECT_TRUE(Has(lun7, "4096") && Has(lun7, "      7")) << lun7;

    auto one = Volk({"-l", "0", kArray, "7"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(Has(one.out, "2621440"));
    EXPECT_FALSE(Has(one.out, "20971520"));
    EXPECT_FALSE(Has(one.out, kTape));

    auto missing = Volk({"-l", "0", kTape, "3"});
    EXPECT_EQ(missing.exitCode, 119);
    EXPECT_EQ(missing.out, "Specified LUN not found (3)!\n");
    auto byId = Volk({"-l", "0", "020300"});
    EXPECT_EQ(byId.exitCode, 0);
    EXPECT_TRUE(Has(byId.out, "Tape"));
    EXPECT_FALSE(Has(byId.out, kArray));
}

TEST_F(ListingTest, InformationCountsTheDiscoveredTargets)
{
    auto r = Volk({"-i", "0"});
    EXPECT_TRUE(Has(r.out, "Target Count                   : 2")) << r.out;
    r = Volk({"-i", "1"});
    EXPECT_TRUE(Has(r.out, "Target Count                   : 0")) << r.out;
}

TEST_F(ListingTest, XmlDocumentsHoldOneElementPerTargetAndLun)
{
    auto t = Volk({"-x", "-t", "0"});
    EXPECT_EQ(t.exitCode, 0);
    xmlcheck::Document td(t.out);
    ASSERT_TRUE(td.ok()) << td.error() << "\n" << t.out;
    EXPECT_EQ(td.Count("/Vantor/HBA/Targets/Target"), 2);
    EXPECT_EQ(td.Text("/Vantor/HBA/@Instance"), "0");
    EXPECT_EQ(td.Text("/Vantor/HBA/Targets/Target[@WWPN='50-0C-AB-10-00-00-10-01']/@Product"),
              "KD5200 ARRAY");
    EXPECT_EQ(td.Text("/Vantor/HBA/Targets/Target[@WWPN='50-0C-AB-20-00-00-20-01']/@LUNCount"),
              "1");
    EXPECT_EQ(td.Value("normalize-space(/Vantor/Status)"), "0");

    auto l = Volk({"-x2", "-l", "0"});
    EXPECT_EQ(l.exitCode, 0);
    xmlcheck::Document ld(l.out);
    ASSERT_TRUE(ld.ok()) << ld.error() << "\n" << l.out;
    EXPECT_EQ(ld.Count("/Vantor/HBA/Target"), 2);
    EXPECT_EQ(ld.Count("/Vantor/HBA/Target/LUNs/LUN"), 9);
    EXPECT_EQ(ld.Text("/Vantor/HBA/Target[1]/LUNs/LUN[8]/@BlockSize"), "4096");
    EXPECT_EQ(ld.Text("/Vantor/HBA/Target[2]/@DeviceType"), "Tape");
    EXPECT_EQ(ld.Value("normalize-space(/Vantor/Reboot)"), "0");

    auto all = Volk({"-x", "-t", "all"});
    xmlcheck::Document ad(all.out);
    ASSERT_TRUE(ad.ok()) << ad.error();
    EXPECT_GT(ad.Count("/Vantor/HBA"), 10);

    auto bad = Volk({"-x", "-t", "0", "0A0B0C"});
    EXPECT_EQ(bad.exitCode, 119);
    xmlcheck::Document bd(bad.out);
    ASSERT_TRUE(bd.ok()) << bd.error() << "\n" << bad.out;
    EXPECT_EQ(bd.Value("normalize-space(/Vantor/Status)"), "1");
    EXPECT_EQ(bd.Value("normalize-space(/Vantor/ErrorMsg)"),
              "Specified device not found (0A-0B-0C)!");
    EXPECT_EQ(bd.Count("/Vantor/HBA"), 0);
}

TEST_F(ListingTest, LinkSpeedsOfTheTargets)
{
    auto r = Volk({"-q", "0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(LineWith(r.out, kArray), "   8  32 Gb/s")) << r.out;
    EXPECT_TRUE(Has(LineWith(r.out, kTape), "   1  8 Gb/s")) << r.out;
    auto one = Volk({"-q", "0", kTape});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_FALSE(Has(one.out, kArray));
    auto x = Volk({"-x", "-targets", "0"});
    xmlcheck::Document d(x.out);
    ASSERT_TRUE(d.ok()) << d.error();
    EXPECT_EQ(d.Text("/Vantor/HBA/Targets/Target[1]/@LinkSpeed"), "32 Gb/s");
}

TEST_F(ListingTest, SetSpeedOfEveryTargetIsShownByTheNextRun)
{
    auto set = Volk({"-q", "0", "-t", "16"});
    ASSERT_EQ(set.exitCode, 0) << set.out;
    EXPECT_EQ(set.out, "Target link speed set to 16 Gb/s for 2 target(s) of HBA (Instance 0 - "
                       "CV-2322).\n");
    auto r = Volk({"-q", "0"});
    EXPECT_TRUE(Has(LineWith(r.out, kArray), "  16 Gb/s")) << r.out;
    EXPECT_TRUE(Has(LineWith(r.out, kTape), "  16 Gb/s")) << r.out;

    // Back to what the two ends negotiate.
    set = Volk({"-q", "0", "auto"});
    ASSERT_EQ(set.exitCode, 0) << set.out;
    r = Volk({"-q", "0"});
    EXPECT_TRUE(Has(LineWith(r.out, kArray), "  32 Gb/s")) << r.out;
    EXPECT_TRUE(Has(LineWith(r.out, kTape), "  8 Gb/s")) << r.out;
}

TEST_F(ListingTest, SetSpeedOfOneTargetLeavesTheOthers)
{
    auto set = Volk({"-q", "0", kTape, "16", "-x"});
    ASSERT_EQ(set.exitCode, 0) << set.out;
    xmlcheck::Document d(set.out);
    ASSERT_TRUE(d.ok()) << d.error() << set.out;
    EXPECT_EQ(d.Text("/Vantor/Status"), " 0 ");
    auto r = Volk({"-x", "-q", "0"});
    xmlcheck::Document after(r.out);
    ASSERT_TRUE(after.ok()) << after.error() << r.out;
    EXPECT_EQ(after.Text("//Target[@WWPN='" + std::string(kTape) + "']/@LinkSpeed"), "16 Gb/s")
        << r.out;
    EXPECT_EQ(after.Text("//Target[@WWPN='" + std::string(kArray) + "']/@LinkSpeed"), "32 Gb/s")
        << r.out;
}

TEST_F(ListingTest, RefusedSpeedsAndTargetsChangeNothing)
{
    const std::string before = Volk({"-q", "0"}).out;
    // The port runs 8, 16 and 32 Gb/s only.
    auto r = Volk({"-q", "0", "-t", "64"});
    EXPECT_EQ(r.exitCode, 60);
    EXPECT_EQ(r.out, "Link speed 64 Gb/s is not supported with HBA (Instance 0 - CV-2322)!\n");
    EXPECT_EQ(Volk({"-q", "0", "4"}).exitCode, 60);
    // 128 Gb/s is a word the parser takes, but no port runs it.
    EXPECT_EQ(Volk({"-q", "0", kArray, "128"}).exitCode, 60);
    r = Volk({"-q", "0", "50-0C-AB-99-00-00-10-01", "16"});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "Specified device not found (50-0C-AB-99-00-00-10-01)!\n");
    r = Volk({"-x", "-q", "0", "-t", "64"});
    EXPECT_EQ(r.exitCode, 60);
    xmlcheck::Document d(r.out);
    ASSERT_TRUE(d.ok()) << d.error() << r.out;
    EXPECT_EQ(d.Text("/Vantor/Status"), " 1 ");
    // The link-down port sees nothing to set.
    r = Volk({"-q", "1", "-t", "16"});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "No target devices found on HBA (Instance 1 - CV-2322)!\n");
    EXPECT_EQ(Volk({"-q", "0"}).out, before);
}

TEST_F(ListingTest, EveryPortOrNoneWithAll)
{
    const std::string before = Volk({"-q", "all"}).out;
    // The converged cards run 10 Gb/s only: the whole command is refused.
    auto r = Volk({"-q", "all", "-t", "16"});
    EXPECT_EQ(r.exitCode, 60) << r.out;
    EXPECT_EQ(Volk({"-q", "all"}).out, before);
    // One target on every port that sees it; nobody sees this one.
    r = Volk({"-q", "all", "50-0C-AB-99-00-00-10-01", "8"});
    EXPECT_EQ(r.exitCode, 119);
    EXPECT_EQ(r.out, "Specified device not found (50-0C-AB-99-00-00-10-01)!\n");
    r = Volk({"-q", "all", "-t", "auto"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Target link speed set to Auto for 2 target(s) of HBA (Instance 0 - "
                           "CV-2322).\n"))
        << r.out;
}

TEST_F(ListingTest, PartnerBoardsCarryTheirSuffixInListingsAndMessages)
{
    const std::string machine = TAVRO_SOURCE_DIR "/machines/partner-boards.json";
    auto r = Volk({"-t", "0"}, machine);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "HBA Instance 0: CV-2082-S Port 1 WWPN 21-00-00-0E-7A-83-20-01"))
        << r.out;
    r = Volk({"-i", "1"}, machine);
    EXPECT_TRUE(Has(r.out, "HBA Model                      : CV-2082-S\n")) << r.out;
    r = Volk({"-q", "1", "-t", "16"}, machine);
    EXPECT_EQ(r.exitCode, 60);
    EXPECT_EQ(r.out, "Link speed 16 Gb/s is not supported with HBA (Instance 1 - CV-2082-S)!\n");
    // The maker's own card beside it keeps its name.
    r = Volk({"-i", "2"}, machine);
    EXPECT_TRUE(Has(r.out, "HBA Model                      : CV-2081\n")) << r.out;
    r = Volk({"-x", "-t", "2"}, machine);
    EXPECT_FALSE(Has(r.out, "-S")) << r.out;
}

TEST_F(ListingTest, LoopMachineShowsInjectedAnswersOutcome)
{
    auto r = Volk({"-l", "0"}, LoopMachine());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "Ready (passive path)")) << r.out;
    EXPECT_TRUE(Has(r.out, "Ready (size unknown)")) << r.out;
    EXPECT_TRUE(Has(LineWith(r.out, "50-0C-AB-30-00-00-32-01"), "(Not ready)")) << r.out;
    EXPECT_TRUE(Has(LineWith(r.out, "50-0C-AB-30-00-00-31-01"), "(Unconfigured)")) << r.out;
    auto loop = Volk({"-t", "21-00-00-0E-7A-16-70-02"}, LoopMachine());
    EXPECT_EQ(loop.exitCode, 0);
    EXPECT_TRUE(Has(loop.out, "JB-12 ENCLOSURE")) << loop.out;
    EXPECT_TRUE(Has(loop.out, "00-00-E8")) << loop.out;
}

} // namespace
