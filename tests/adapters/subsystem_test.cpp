// Subsystem list: plain and enciphered readers, lookup, and the shipped list.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/subsystem.h"

namespace {

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Encipher(const std::string &text, const char *key = kSubsystemListKey,
                              std::size_t keyLength = kSubsystemListKeyLength)
{
    std::vector<uint8_t> data(text.begin(), text.end());
    data.resize(SubsystemCipherPaddedLength(data.size()), 0);
    EXPECT_TRUE(SubsystemListCipher(data, key, keyLength, SubsystemCipherDirection::Encipher));
    return data;
}

std::vector<const SubSystemEntry *> Entries(const SubSystemEntry *list)
{
    std::vector<const SubSystemEntry *> entries;
    for (; list != nullptr; list = list->next)
        entries.push_back(list);
    return entries;
}

class SubSystemFiles : public ::testing::Test {
protected:
    std::string Write(const std::string &name, const std::string &bytes)
    {
        const std::string path = ::testing::TempDir() + "subsystem_" + name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        written_.push_back(path);
        return path;
    }
    std::string WriteEnciphered(const std::string &name, const std::string &text)
    {
        const std::vector<uint8_t> data = Encipher(text);
        return Write(name, std::string(data.begin(), data.end()));
    }
    void TearDown() override
    {
        for (const std::string &path : written_)
            std::remove(path.c_str());
    }

private:
    std::vector<std::string> written_;
};

const char kThreeEntries[] = "0x0142,0x1E7A,ISP70C0,Corvane 8Gb single-port,TRUE,TRUE,FALSE\n"
                             "0x0144,0x1E7A,ISP70C1,Corvane 8Gb dual-port,FALSE,FALSE,TRUE\n"
                             "0x0162,0x1E7A,ISP7190,Corvane 16Gb dual-port,TRUE,FALSE\n";

} // namespace

// ---- Plain form --------------------------------------------------------------------

TEST_F(SubSystemFiles, PlainListStartsEmptyAndKeepsFileOrder)
{
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("plain", kThreeEntries).c_str()));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_STREQ(entries[0]->ssdid, "");
    EXPECT_STREQ(entries[0]->description, "");
    EXPECT_STREQ(entries[1]->ssdid, "0x0142");
    EXPECT_STREQ(entries[2]->ssdid, "0x0144");
    EXPECT_STREQ(entries[2]->flag7, "TRUE");
    EXPECT_STREQ(entries[3]->ssdid, "0x0162");
    EXPECT_STREQ(entries[3]->isp, "ISP7190");
    EXPECT_STREQ(entries[3]->description, "Corvane 16Gb dual-port");
    EXPECT_STREQ(entries[3]->flag7, "FALSE"); // absent
}

TEST_F(SubSystemFiles, PlainLinesWithThreeCommasOrFewerArePassedOver)
{
    const std::string text = std::string("# SSDID SSVID ISP description supported\n") +
                             "0x0001,0x1E7A,ISP7000,no supported column\n" + // exactly three commas
                             "\n" + "0x0002,0x1E7A,ISP7000,five columns,TRUE\n";
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("commas", text).c_str()));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[1]->ssdid, "0x0002");
    EXPECT_STREQ(entries[1]->flag6, "FALSE");
    EXPECT_STREQ(entries[1]->flag7, "FALSE");
}

TEST_F(SubSystemFiles, PlainCommasCountOnlyInTheFirst255Characters)
{
    const std::string late = "0x0003,0x1E7A," + std::string(260, 'x') + ",desc,TRUE,FALSE,FALSE\n";
    const std::string early = "0x0004,0x1E7A,ISP,d,TRUE," + std::string(260, 'y') + "\n";
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("late", late + early).c_str()));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[1]->ssdid, "0x0004");
    EXPECT_EQ(std::string(entries[1]->flag6), std::string(9, 'y')); // cut to its width
}

TEST_F(SubSystemFiles, PlainLineMissingARequiredColumnFailsTheList)
{
    const std::string text = std::string(kThreeEntries) + "0x0005,,ISP7000,desc,TRUE,FALSE\n";
    EXPECT_EQ(BuildSubSystemListFromFile(Write("missing", text).c_str()), nullptr);
    const std::string noSupported = "0x0005,0x1E7A,ISP7000,desc,,FALSE,FALSE\n";
    EXPECT_EQ(BuildSubSystemListFromFile(Write("nosupp", noSupported).c_str()), nullptr);
}

TEST_F(SubSystemFiles, PlainTextsAreCutToTheirWidths)
{
    const std::string text = "0x0006_and_a_long_tail_beyond_twenty,0x1E7A,ISP7000_TOO_LONG," +
                             std::string(150, 'd') + ",TRUE\r\n";
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("widths", text).c_str()));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[1]->ssdid, "0x0006_and_a_long_t");
    EXPECT_STREQ(entries[1]->isp, "ISP7000_T");
    EXPECT_EQ(std::string(entries[1]->description).size(), 127u);
    EXPECT_STREQ(entries[1]->supported, "TRUE"); // no carriage return kept
}

TEST_F(SubSystemFiles, PlainLinesLongerThan2047ContinueAsTheNextLine)
{
    // The tail after 2047 characters is a line of its own, and counts as one
    // for the line numbers.
    const std::string text = "0x0007,0x1E7A,ISP7000,d,TRUE," + std::string(2047 - 29, 'z') +
                             "0x0008,0x1E7A,ISP7000,tail,TRUE\n";
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("long", text).c_str()));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_STREQ(entries[1]->ssdid, "0x0007");
    EXPECT_STREQ(entries[2]->ssdid, "0x0008");
    EXPECT_STREQ(entries[2]->description, "tail");
}

TEST_F(SubSystemFiles, MissingFileGivesNoList)
{
    const std::string path = ::testing::TempDir() + "subsystem_does_not_exist";
    EXPECT_EQ(BuildSubSystemListFromFile(path.c_str()), nullptr);
    EXPECT_EQ(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                  kSubsystemListKeyLength),
              nullptr);
    EXPECT_EQ(ReadSubSystemList(path.c_str()), nullptr);
    EXPECT_EQ(BuildSubSystemListFromFile(nullptr), nullptr);
}

// ---- Lookup ------------------------------------------------------------------------

TEST_F(SubSystemFiles, LookupIsExactUpperCaseText)
{
    const std::string text = "0x0abc,0x1E7A,ISP7000,lower,TRUE\n"
                             "0x0ABC,0x1e7a,ISP7000,lower vendor,TRUE\n"
                             "0x0ABC,0x1E7A,ISP7000,upper,TRUE\n";
    const SubSystemListPtr list(BuildSubSystemListFromFile(Write("case", text).c_str()));
    const SubSystemEntry *found = FindSubSystemInSubSystemList(list.get(), 0x0ABC, 0x1E7A);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->description, "upper");
    EXPECT_EQ(FindSubSystemInSubSystemList(list.get(), 0x0ABC, 0x1E7B), nullptr);
    EXPECT_EQ(FindSubSystemInSubSystemList(list.get(), 0x0000, 0x0000), nullptr); // empty entry
    EXPECT_EQ(FindSubSystemInSubSystemList(nullptr, 0x0ABC, 0x1E7A), nullptr);
}

TEST(SubSystemEntry, SupportedWhenTheColumnHoldsTrue)
{
    SubSystemEntry entry;
    ASSERT_TRUE(PopulateSubSystemData("0x1,0x2,ISP,d,TRUE,FALSE", entry));
    EXPECT_TRUE(IsSubSystemEntrySupported(entry));
    ASSERT_TRUE(PopulateSubSystemData("0x1,0x2,ISP,d,(TRUE),FALSE", entry));
    EXPECT_TRUE(IsSubSystemEntrySupported(entry));
    ASSERT_TRUE(PopulateSubSystemData("0x1,0x2,ISP,d,FALSE,TRUE,TRUE", entry));
    EXPECT_FALSE(IsSubSystemEntrySupported(entry));
    ASSERT_TRUE(PopulateSubSystemData("0x1,0x2,ISP,d,true,FALSE", entry));
    EXPECT_FALSE(IsSubSystemEntrySupported(entry));
}

TEST(SubSystemEntry, EncipheredLinesNeedSixColumns)
{
    SubSystemEntry entry;
    EXPECT_FALSE(PopulateSubSystemData("0x1,0x2,ISP,d,TRUE", entry));
    EXPECT_FALSE(PopulateSubSystemData("0x1,0x2,ISP,,TRUE,FALSE", entry));
    EXPECT_STREQ(entry.ssdid, ""); // untouched on failure
    ASSERT_TRUE(PopulateSubSystemData("0x1,0x2,ISP,d,TRUE,TRUE", entry));
    EXPECT_STREQ(entry.flag6, "TRUE");
    EXPECT_STREQ(entry.flag7, "FALSE");
}

// ---- Enciphered form -----------------------------------------------------------------

TEST_F(SubSystemFiles, EncipheredRoundTripHasNoLeadingEntryAndNoPaddingLine)
{
    ASSERT_NE(std::string(kThreeEntries).size() % 8, 0u); // the last block is padded
    const std::string path = WriteEnciphered("enc", kThreeEntries);
    const SubSystemListPtr list(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                                    kSubsystemListKeyLength));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_STREQ(entries[0]->ssdid, "0x0142");
    EXPECT_STREQ(entries[2]->ssdid, "0x0162");
    EXPECT_STREQ(entries[2]->flag7, "FALSE");
}

TEST_F(SubSystemFiles, EncipheredFirstLineWithFiveFieldsDropsTheList)
{
    const std::string text =
        "0x0142,0x1E7A,ISP70C0,five fields,TRUE\n" + std::string(kThreeEntries);
    const std::string path = WriteEnciphered("enc5", text);
    EXPECT_EQ(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                  kSubsystemListKeyLength),
              nullptr);
}

TEST_F(SubSystemFiles, EncipheredBadLinesAfterTheFirstAreSkipped)
{
    const std::string text = "0x0142,0x1E7A,ISP70C0,first,TRUE,FALSE\n"
                             "0x0143,0x1E7A,ISP70C0,five fields,TRUE\n"
                             "\n"
                             "0x0144,0x1E7A,ISP70C1,last,TRUE,FALSE,TRUE";
    const std::string path = WriteEnciphered("encbad", text);
    const SubSystemListPtr list(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                                    kSubsystemListKeyLength));
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[0]->description, "first");
    EXPECT_STREQ(entries[1]->description, "last");
    EXPECT_STREQ(entries[1]->flag7, "TRUE");
}

TEST_F(SubSystemFiles, PlainFileFallsThroughToThePlainReader)
{
    const std::string path = Write("fallback", kThreeEntries);
    EXPECT_EQ(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                  kSubsystemListKeyLength),
              nullptr);
    const SubSystemListPtr list = ReadSubSystemList(path.c_str());
    const auto entries = Entries(list.get());
    ASSERT_EQ(entries.size(), 4u); // leading empty entry: the plain reader read it
    EXPECT_STREQ(entries[1]->ssdid, "0x0142");
}

TEST_F(SubSystemFiles, EncipheredWithAnotherKeyOrEmptyGivesNoList)
{
    const char other[] = "another-key-of-thirty-four-chars!!";
    const std::vector<uint8_t> data = Encipher(kThreeEntries, other, sizeof other - 1);
    const std::string path = Write("otherkey", std::string(data.begin(), data.end()));
    EXPECT_EQ(BuildSubSystemListFromEncryptedFile(path.c_str(), kSubsystemListKey,
                                                  kSubsystemListKeyLength),
              nullptr);
    const std::string empty = Write("empty", "");
    EXPECT_EQ(BuildSubSystemListFromEncryptedFile(empty.c_str(), kSubsystemListKey,
                                                  kSubsystemListKeyLength),
              nullptr);
    const SubSystemListPtr list = ReadSubSystemList(empty.c_str());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->next, nullptr); // just the empty entry
}

// ---- Cipher ---------------------------------------------------------------------------

TEST(SubsystemCipher, StandardBlowfishBlocks)
{
    // Published Blowfish test vector: zero key, zero block.
    const char zeroKey[8] = {};
    std::vector<uint8_t> block(8, 0);
    ASSERT_TRUE(
        SubsystemListCipher(block, zeroKey, sizeof zeroKey, SubsystemCipherDirection::Encipher));
    EXPECT_EQ(block, (std::vector<uint8_t>{0x4E, 0xF9, 0x97, 0x45, 0x61, 0x98, 0xDD, 0x78}));
}

TEST(SubsystemCipher, RoundTripAndRefusals)
{
    const std::string text = "0x0142,0x1E7A,ISP70C0,x,TRUE,FALSE";
    std::vector<uint8_t> data = Encipher(text);
    ASSERT_EQ(data.size(), 40u);
    EXPECT_NE(std::string(data.begin(), data.begin() + 8), text.substr(0, 8));
    ASSERT_TRUE(SubsystemListCipher(data, kSubsystemListKey, kSubsystemListKeyLength,
                                    SubsystemCipherDirection::Decipher));
    EXPECT_EQ(DecipheredText(data), text);

    std::vector<uint8_t> partial(12, 0);
    EXPECT_FALSE(SubsystemListCipher(partial, kSubsystemListKey, kSubsystemListKeyLength,
                                     SubsystemCipherDirection::Decipher));
    std::vector<uint8_t> block(8, 0);
    EXPECT_FALSE(
        SubsystemListCipher(block, kSubsystemListKey, 7, SubsystemCipherDirection::Encipher));
    const std::string longKey(57, 'k');
    EXPECT_FALSE(SubsystemListCipher(block, longKey.c_str(), longKey.size(),
                                     SubsystemCipherDirection::Encipher));
    EXPECT_FALSE(SubsystemListCipher(block, nullptr, 34, SubsystemCipherDirection::Encipher));
}

TEST(SubsystemCipher, TheBuiltInScheduleDeciphersAsTheKeyDoes)
{
    const std::string text = "0x0162,0x1E7A,CV-2162,Corvane 16Gb dual port,TRUE,FALSE";
    std::vector<uint8_t> data = Encipher(text);
    std::vector<uint8_t> computed = data;
    ASSERT_TRUE(SubsystemListCipher(computed, kSubsystemListKey, kSubsystemListKeyLength,
                                    SubsystemCipherDirection::Decipher));
    ASSERT_TRUE(SubsystemListDecipher(data));
    EXPECT_EQ(data, computed);
    EXPECT_EQ(DecipheredText(data), text);
    std::vector<uint8_t> partial(12, 0);
    EXPECT_FALSE(SubsystemListDecipher(partial));
}

// ---- The shipped list -------------------------------------------------------------------

TEST(ShippedList, PropertiesDecipherExactlyToTheCsv)
{
    const std::string csv = ReadBytes(TAVRO_SOURCE_DIR "/data/adapters.csv");
    const std::string enc = ReadBytes(TAVRO_SOURCE_DIR "/data/adapters.properties");
    ASSERT_FALSE(csv.empty());
    ASSERT_EQ(enc.size(), SubsystemCipherPaddedLength(csv.size()));
    std::vector<uint8_t> data(enc.begin(), enc.end());
    ASSERT_TRUE(SubsystemListCipher(data, kSubsystemListKey, kSubsystemListKeyLength,
                                    SubsystemCipherDirection::Decipher));
    EXPECT_EQ(DecipheredText(data), csv);
}

TEST(ShippedList, BothFormsGiveTheSameEntries)
{
    const SubSystemListPtr enciphered =
        ReadSubSystemList(TAVRO_SOURCE_DIR "/data/adapters.properties");
    const SubSystemListPtr plain(BuildSubSystemListFromFile(TAVRO_SOURCE_DIR "/data/adapters.csv"));
    ASSERT_NE(enciphered, nullptr);
    ASSERT_NE(plain, nullptr);
    const auto a = Entries(enciphered.get());
    const auto b = Entries(plain->next);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_STREQ(a[i]->ssdid, b[i]->ssdid);
        EXPECT_STREQ(a[i]->ssvid, b[i]->ssvid);
        EXPECT_STREQ(a[i]->description, b[i]->description);
        EXPECT_STREQ(a[i]->supported, b[i]->supported);
    }
}

TEST(ShippedList, DefaultMachineBoardsAreSupported)
{
    const SubSystemListPtr list = ReadSubSystemList(TAVRO_SOURCE_DIR "/data/adapters.properties");
    // 8Gb quad and single port, 10Gb CNA, FCoE engine, 16Gb and 32Gb Fenn.
    for (uint16_t ssdid : {0x0084, 0x0081, 0x0212, 0x0242, 0x0162, 0x0322}) {
        const SubSystemEntry *entry = FindSubSystemInSubSystemList(list.get(), ssdid, 0x1E7A);
        ASSERT_NE(entry, nullptr) << std::hex << ssdid;
        EXPECT_TRUE(IsSubSystemEntrySupported(*entry)) << std::hex << ssdid;
    }
    int unsupported = 0;
    for (const SubSystemEntry *e = list.get(); e != nullptr; e = e->next)
        unsupported += !IsSubSystemEntrySupported(*e);
    EXPECT_GE(unsupported, 1);
}
