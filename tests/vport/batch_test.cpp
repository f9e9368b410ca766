// The batch generator of the interactive create: several new virtual port
// names at once, none reserved and none repeated within the batch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "base/oss.h"
#include "vport/vport.h"

namespace {

constexpr uint8_t kPhys[8] = {0x21, 0x00, 0x00, 0x0e, 0x7a, 0x32, 0x20, 0x01};

class VportBatch : public ::testing::Test {
protected:
    void SetUp() override { oss::SetClockScale(1000); }
    void TearDown() override { unsetenv("TAVRO_FIXED_TIME"); }
};

TEST_F(VportBatch, BytesOfOneBatchNeverRepeatAndSkipTheReservedOnes)
{
    // Every port of the batch starts from the same seed: a frozen clock is the
    // hardest case for the rule that no two ports share the byte.
    setenv("TAVRO_FIXED_TIME", "1700000000", 1);
    const std::vector<uint8_t> batch = PopulateVportWwnArray(kPhys, 40);
    ASSERT_EQ(batch.size(), 40u);
    EXPECT_EQ(std::set<uint8_t>(batch.begin(), batch.end()).size(), 40u);
    for (uint8_t b : batch)
        EXPECT_GT(b, 3) << "reserved byte " << int(b);
}

TEST_F(VportBatch, SameClockGivesTheSameBatchAndNoneAsksForNothing)
{
    setenv("TAVRO_FIXED_TIME", "1700000123", 1);
    EXPECT_EQ(PopulateVportWwnArray(kPhys, 5), PopulateVportWwnArray(kPhys, 5));
    EXPECT_TRUE(PopulateVportWwnArray(kPhys, 0).empty());
}

} // namespace
