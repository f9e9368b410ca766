// The QoS redistribution rule on lists of virtual ports.
#include <gtest/gtest.h>

#include <vector>

#include "vport/qos.h"

namespace {

QosList ListOf(const std::vector<int> &values, const std::vector<bool> &locked = {},
               const std::vector<bool> &enabled = {})
{
    QosList list;
    for (size_t i = 0; i < values.size(); ++i) {
        QosNode n;
        n.vpId = uint16_t(i + 1);
        n.wwpn[0] = 0x21;
        n.wwpn[1] = uint8_t(0x10 + i);
        n.value = int16_t(values[i]);
        n.locked = i < locked.size() && locked[i];
        n.enabled = i >= enabled.size() || enabled[i];
        list.nodes.push_back(n);
    }
    return list;
}

std::vector<int> Values(const QosList &list)
{
    std::vector<int> out;
    for (const QosNode &n : list.nodes)
        out.push_back(n.value);
    return out;
}

TEST(QosRedistribution, RaiseTakesOnePointAtATimeFromTheOthers)
{
    QosList list = ListOf({40, 40, 20});
    ASSERT_EQ(SetPercentBwFor(list, 2, 50), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{25, 25, 50}));
    EXPECT_TRUE(list.changed);
    // Uneven values: the larger one is walked first in list order all the same.
    list = ListOf({10, 60, 30});
    ASSERT_EQ(SetPercentBwFor(list, 0, 30), 0);
    EXPECT_EQ(GetTotalPercentageBW(list, 0), 100);
    EXPECT_EQ(list.nodes[0].value, 30);
}

TEST(QosRedistribution, FreeShareAndLoweringNeedNoSteal)
{
    QosList list = ListOf({20, 20});
    ASSERT_EQ(SetPercentBwFor(list, 1, 60), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{20, 60}));
    ASSERT_EQ(SetPercentBwFor(list, 1, 5), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{20, 5}));
}

TEST(QosRedistribution, LockedAndDisabledPortsKeepTheirValues)
{
    QosList list = ListOf({40, 40, 20}, {true, false, false});
    EXPECT_EQ(GetMaxQoSBandWidthValue(list), 60);
    ASSERT_EQ(SetPercentBwFor(list, 2, 50), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{40, 0, 50}));

    list = ListOf({30, 40, 30}, {}, {false, true, true});
    int remaining = 0;
    ASSERT_EQ(CalculateRemainingPercentageBW(list, remaining), 0);
    EXPECT_EQ(remaining, 70);
    ASSERT_EQ(SetPercentBwFor(list, 2, 60), 0);
    EXPECT_EQ(Values(list), (std::vector<int>{30, 0, 60}));
}

TEST(QosRedistribution, MoreThanTheUnlockedShareIsRefusedUnchanged)
{
    QosList list = ListOf({40, 40, 20}, {true, false, false});
    EXPECT_EQ(SetPercentBwFor(list, 2, 61), kQosPercentOverflow);
    EXPECT_EQ(Values(list), (std::vector<int>{40, 40, 20}));
    // Locked ports above the maximum: nothing can be computed.
    list = ListOf({70, 50, 0}, {true, true, false});
    int remaining = 0;
    EXPECT_EQ(CalculateRemainingPercentageBW(list, remaining), kQosPercentOverflow);
    EXPECT_EQ(SetPercentBwFor(list, 2, 1), kQosPercentOverflow);
}

TEST(QosTypeChange, BandwidthPortThatPassesTheTotalDropsToZero)
{
    std::vector<QosSlotValue> slots = {{kQosByBandwidth, 60},
                                       {kQosByPriority, 3},
                                       {kQosByBandwidth, 30},
                                       {kQosByBandwidth, 20},
                                       {kQosByBandwidth, 10}};
    EXPECT_EQ(AdjustVirtualPortsQoS(slots), (std::vector<size_t>{3}));
    EXPECT_EQ(slots[3].value, 0);
    EXPECT_EQ(slots[4].value, 10); // 60 + 30 + 10 stays within 100
    EXPECT_EQ(slots[1].value, 3);  // a priority keeps its level

    std::vector<QosSlotValue> small = {{kQosByBandwidth, 100}, {kQosByBandwidth, 1}};
    EXPECT_TRUE(AdjustVirtualPortsQoS(small).empty()); // a value of 1 is kept
    EXPECT_EQ(small[1].value, 1);

    std::vector<QosSlotValue> fits = {{kQosByBandwidth, 50}, {kQosByBandwidth, 50}};
    EXPECT_TRUE(AdjustVirtualPortsQoS(fits).empty());
}

TEST(QosTypeChange, FamiliesItAppliesTo)
{
    EXPECT_FALSE(QosAdjustAppliesTo(11));
    EXPECT_TRUE(QosAdjustAppliesTo(12));
    EXPECT_FALSE(QosAdjustAppliesTo(13));
    EXPECT_TRUE(QosAdjustAppliesTo(27));
    EXPECT_FALSE(QosSupportedBy(11));
    EXPECT_TRUE(QosSupportedBy(24));
}

} // namespace
