// VPD images: the walk, the corruption and checksum checks, the keyword
// rewrite, and robustness against cut, long and random images.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "info/vpd_display.h"

namespace {

// Identifier, VPD-R with the keywords and RV, VPD-W with RW, end tag.
std::vector<uint8_t> Image(const std::vector<std::pair<std::string, std::string>> &keywords,
                           bool withRv = true, bool withEnd = true)
{
    const std::string id = "Vantor Corvane Test Adapter";
    std::vector<uint8_t> v{0x82, uint8_t(id.size()), 0};
    v.insert(v.end(), id.begin(), id.end());
    const size_t r = v.size();
    v.insert(v.end(), {0x90, 0, 0});
    for (const auto &[k, d] : keywords) {
        v.insert(v.end(), {uint8_t(k[0]), uint8_t(k[1]), uint8_t(d.size())});
        v.insert(v.end(), d.begin(), d.end());
    }
    if (withRv) {
        v.insert(v.end(), {'R', 'V', 1});
        const size_t len = v.size() + 1 - (r + 3);
        v[r + 1] = uint8_t(len);
        uint8_t sum = 0;
        for (uint8_t b : v)
            sum = uint8_t(sum + b);
        v.push_back(uint8_t(-sum));
    }
    v.insert(v.end(), {0x91, 7, 0, 'R', 'W', 4, 0, 0, 0, 0});
    if (withEnd)
        v.push_back(0x78);
    v.resize(512, 0);
    return v;
}

TEST(VpdImage, GoodImageWalksAndChecks)
{
    const auto v = Image({{"PN", "CV2322-0101"}, {"SN", "CVA3220417"}});
    EXPECT_EQ(ValidateVpd(v), 0);
    EXPECT_EQ(verifyVpdChecksum(v), 0);
    const auto walk = WalkVpd(v);
    ASSERT_GE(walk.size(), 7u);
    EXPECT_EQ(walk.front().tag, 0x82);
    EXPECT_EQ(walk.back().tag, 0x78);
    EXPECT_FALSE(IsBlankVpd(v));
    EXPECT_TRUE(IsBlankVpd(std::vector<uint8_t>(512, 0xFF)));
    EXPECT_TRUE(IsBlankVpd(std::vector<uint8_t>(512, 0x00)));
}

TEST(VpdImage, FaultsHaveTheirCodes)
{
    // No end tag within the image: corrupted.
    auto noEnd = Image({{"PN", "X"}}, true, false);
    EXPECT_EQ(ValidateVpd(noEnd), kVpdStatusCorrupted);
    // No RV keyword: the checksum cannot hold.
    EXPECT_EQ(verifyVpdChecksum(Image({{"PN", "X"}}, false)), kVpdStatusChecksum);
    auto bad = Image({{"PN", "CV2322"}});
    bad[10] ^= 1;
    EXPECT_EQ(verifyVpdChecksum(bad), kVpdStatusChecksum);
}

TEST(VpdImage, UpdateRewritesTheKeywordAndItsChecksum)
{
    auto v = Image({{"PN", "CV2322-0101"}, {"YA", "        "}});
    const std::string tag = "ASSET-7";
    ASSERT_EQ(UpdateVpdField(v, "YA",
                             std::span(reinterpret_cast<const uint8_t *>(tag.data()), tag.size())),
              0);
    EXPECT_EQ(verifyVpdChecksum(v), 0);
    const std::string text(v.begin(), v.end());
    EXPECT_NE(text.find("YA\x08"
                        "ASSET-7 "),
              std::string::npos);

    const auto before = v;
    EXPECT_EQ(UpdateVpdField(v, "ZZ",
                             std::span(reinterpret_cast<const uint8_t *>(tag.data()), tag.size())),
              kVpdStatusUnreadable);
    EXPECT_EQ(v, before);
    std::vector<uint8_t> empty(512, 0);
    EXPECT_EQ(UpdateVpdField(empty, "YA", {}), kVpdStatusBadImage);
}

TEST(VpdImage, CutLongAndRandomImagesNeverReadOutside)
{
    const auto good = Image({{"PN", "CV2322-0101"}, {"SN", "CVA3220417"}});
    for (size_t n = 0; n <= good.size(); n += 3) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        for (const VpdElement &e : WalkVpd(cut))
            EXPECT_LE(e.offset + e.length, cut.size());
        ValidateVpd(cut);
        verifyVpdChecksum(cut);
        UpdateVpdField(cut, "SN", {});
    }
    std::vector<uint8_t> big = good;
    big.resize(64 * 1024, 0x41);
    EXPECT_EQ(verifyVpdChecksum(big), 0);
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> data(rng() % 1100);
        for (uint8_t &b : data)
            b = uint8_t(rng() % 4 == 0 ? 0x82 : rng());
        for (const VpdElement &e : WalkVpd(data))
            ASSERT_LE(e.offset + e.length, data.size());
        verifyVpdChecksum(data);
        const uint8_t sn[3] = {'A', 'B', 'C'};
        UpdateVpdField(data, "SN", sn);
    }
}

} // namespace
