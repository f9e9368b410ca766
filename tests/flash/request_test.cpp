// The option-ROM request and the wizard's version list and update policy.
#include <gtest/gtest.h>

#include <string>

#include "flash/update.h"
#include "testenv.h"

using namespace flash;

namespace {

std::string FileOf(const testenv::TempDir &dir, const std::string &name, size_t size)
{
    const std::string path = dir.file(name);
    testenv::WriteFile(path, std::string(size, '\xA5'));
    return path;
}

class RequestTest : public ::testing::Test {
protected:
    void TearDown() override { freeUserOptionROMReq(); }
    testenv::TempDir dir;
};

TEST_F(RequestTest, FileKeysSetRegionAndRefuseLargeFiles)
{
    EXPECT_EQ(addUserOptionROMRequest("", "x"), 0);
    EXPECT_EQ(UserOptionRomRequest(), nullptr);
    ASSERT_EQ(addUserOptionROMRequest("ALL", FileOf(dir, "a", 0x20000).c_str()), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 0u);
    EXPECT_EQ(UserOptionRomRequest()->fileSize, 0x20000u);
    ASSERT_EQ(addUserOptionROMRequest("all", FileOf(dir, "b", 0x20001).c_str()), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 255u);

    const std::string big = FileOf(dir, "c", 0x40001);
    EXPECT_EQ(addUserOptionROMRequest("boot", big.c_str()), 31);
    EXPECT_EQ(addUserOptionROMRequest("fw", big.c_str()), 30);
    EXPECT_EQ(addUserOptionROMRequest("fwtide", big.c_str()), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 0x01u);
    EXPECT_EQ(addUserOptionROMRequest("fwdunefcoe", big.c_str()), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 0xA4u);
    EXPECT_EQ(addUserOptionROMRequest("boot", dir.file("none").c_str()), 1);

    EXPECT_EQ(addUserOptionROMRequest("region", "0x2e"), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 0x2Eu);
    EXPECT_EQ(addUserOptionROMRequest("region", "46"), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 46u);
    EXPECT_EQ(addUserOptionROMRequest("act", "0"), 0);
    EXPECT_FALSE(UserOptionRomRequest()->activateFirmware);
    EXPECT_EQ(addUserOptionROMRequest("act", "2"), 0);
    EXPECT_TRUE(UserOptionRomRequest()->activateFirmware);
    EXPECT_EQ(addUserOptionROMRequest("sp", nullptr), 0);
    EXPECT_EQ(UserOptionRomRequest()->region, 0x2Bu);
}

FlashCtrEntry Bios(int major, int minor)
{
    FlashCtrEntry e;
    e.bios[0] = major;
    e.bios[1] = minor;
    return e;
}

TEST(Policy, ModesCompareVersionsAsText)
{
    const FlashCtrEntry have = Bios(1, 10), older = Bios(1, 9), same = Bios(1, 10);
    EXPECT_FALSE(GetFlashUpdatePolicy(FlashMode::Standard, have, older));
    EXPECT_TRUE(GetFlashUpdatePolicy(FlashMode::ForceDowngrade, have, older));
    EXPECT_FALSE(GetFlashUpdatePolicy(FlashMode::ForceDowngrade, have, same));
    EXPECT_TRUE(GetFlashUpdatePolicy(FlashMode::ForceReWrite, have, same));
    EXPECT_FALSE(GetFlashUpdatePolicy(FlashMode::ForceReWrite, have, older));
    EXPECT_TRUE(GetFlashUpdatePolicy(FlashMode::ForceWrite, have, older));
    EXPECT_FALSE(GetFlashUpdatePolicy(FlashMode(7), have, Bios(2, 0)));
    // "10.00" sorts before "9.00": the standard mode sees an older adapter.
    EXPECT_TRUE(GetFlashUpdatePolicy(FlashMode::Standard, Bios(10, 0), Bios(9, 0)));
}

TEST(VersionList, CommentsBlanksAndFields)
{
    testenv::TempDir dir;
    const std::string path = dir.file("list.txt");
    testenv::WriteFile(path, "  # comment\n\t; another\n   \n"
                             "CV-2322,0x0322,0x1E7A,3.70,4.14,7.08,9.10.00,1.2.3,img.bin,extra\n"
                             "CV-2162\t0x0162\t0x1E7A\t3.63\n");
    std::vector<FlashCtrEntry> list;
    ASSERT_EQ(BuildFlashCtrListFromFile(path, list), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].model, "CV-2322");
    EXPECT_EQ(list[0].bios[1], 70);
    EXPECT_EQ(list[0].efi[0], 7);
    EXPECT_EQ(list[0].firmware[1], 10);
    EXPECT_EQ(list[0].firmware2[2], 3);
    EXPECT_EQ(list[0].imageFile, "img.bin");
    EXPECT_EQ(list[1].ssdid, "0x0162");
    EXPECT_EQ(list[1].bios[1], 63);
    std::vector<FlashCtrEntry> none;
    EXPECT_EQ(BuildFlashCtrListFromFile(dir.file("missing"), none), kVersionListMissing);
}

} // namespace
