// The QoS list arithmetic.
#include "vport/qos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "base/text.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"

int CalculateRemainingPercentageBW(const QosList &list, int &remaining)
{
    int locked = 0;
    int reserved = 0;
    for (const QosNode &n : list.nodes) {
        if (n.locked && n.enabled)
            locked += n.value;
        if (!n.enabled)
            reserved += n.value;
    }
    if (locked > list.maxTotal)
        return kQosPercentOverflow;
    remaining = list.maxTotal - reserved - locked;
    return 0;
}

int GetTotalPercentageBW(const QosList &list, int v)
{
    for (const QosNode &n : list.nodes)
        v += n.value;
    return v;
}

int GetUnlockedPercentageBW(const QosList &list)
{
    int sum = 0;
    for (const QosNode &n : list.nodes)
        if (!n.locked)
            sum += n.value;
    return sum;
}

int GetMaxQoSBandWidthValue(const QosList &list)
{
    int remaining = 0;
    if (CalculateRemainingPercentageBW(list, remaining) == 0)
        return remaining;
    int locked = 0;
    for (const QosNode &n : list.nodes)
        if (n.locked && n.enabled)
            locked += n.value;
    return list.maxTotal - locked;
}

namespace {

int StealPercentBwFor(QosList &list, size_t p, int newValue)
{
    int remaining = 0;
    if (CalculateRemainingPercentageBW(list, remaining) != 0) {
        Trace(kLevelDebug, "StealPercentBwFor: Failed to calculate remaining percentage");
        return kQosPercentOverflow;
    }
    if (newValue > remaining)
        return kQosPercentOverflow;
    QosNode &target = list.nodes[p];
    const int freePct = remaining - GetUnlockedPercentageBW(list);
    if (newValue <= freePct) {
        target.value = int16_t(newValue);
        list.changed = true;
        return 0;
    }
    const int steal = newValue - freePct;
    const int divisor = remaining - target.value - freePct;
    const int fraction = divisor != 0 ? steal / divisor : 0;
    auto isOther = [&](const QosNode &n) { return std::memcmp(n.wwpn, target.wwpn, 8) != 0; };
    for (QosNode &n : list.nodes) {
        if (!isOther(n) || n.locked || !n.enabled || n.value <= 0)
            continue;
        const double scaled = std::round(double(1 - fraction) * n.value);
        n.value = int16_t(std::max(0.0, scaled));
    }
    int total = GetTotalPercentageBW(list, newValue) - target.value;
    if (total > list.maxTotal) {
        std::vector<std::pair<uint16_t, int>> others;
        for (const QosNode &n : list.nodes)
            if (isOther(n) && !n.locked)
                others.emplace_back(n.vpId, n.value);
        std::sort(others.begin(), others.end(), [](const auto &a, const auto &b) {
            return a.second != b.second ? a.second > b.second : a.first > b.first;
        });
        auto collected = [&](uint16_t id) {
            return std::any_of(others.begin(), others.end(),
                               [id](const auto &o) { return o.first == id; });
        };
        bool progress = true;
        while (total > list.maxTotal && progress) {
            progress = false;
            for (QosNode &n : list.nodes) {
                if (total <= list.maxTotal)
                    break;
                if (!isOther(n) || !collected(n.vpId) || n.locked || n.value <= 0)
                    continue;
                --n.value;
                --total;
                progress = true;
            }
        }
        // Nothing left to take: the locked ports hold the rest.
        if (total > list.maxTotal)
            return kQosPercentOverflow;
    }
    target.value = int16_t(newValue);
    list.changed = true;
    return 0;
}

} // namespace

int SetPercentBwFor(QosList &list, size_t p, int newValue)
{
    if (p >= list.nodes.size())
        return kQosPercentOverflow;
    if (newValue <= list.nodes[p].value) {
        list.nodes[p].value = int16_t(newValue);
        list.changed = true;
        return 0;
    }
    return StealPercentBwFor(list, p, newValue);
}

namespace {

std::string SwitchKey(const uint8_t wwnn[8], const uint8_t wwpn[8], uint32_t vpId, const char *what)
{
    return Format("adapter.wwnn.%s.wwpn.%s.vp%u.%s.enable", WwnText(wwnn, WwnStyle::Dashed).c_str(),
                  WwnText(wwpn, WwnStyle::Dashed).c_str(), unsigned(vpId), what);
}

} // namespace

bool GetVportQosSwitch(const uint8_t physWwnn[8], const uint8_t physWwpn[8], uint32_t vpId,
                       const char *what)
{
    const std::string key = SwitchKey(physWwnn, physWwpn, vpId, what);
    bool opened = false;
    const char *value = PropertyOfFile(Frame().aliasFile, key.c_str(), &opened);
    if (!opened) {
        Trace(kLevelDebug, "Attempting to read from Alias backup file.");
        value = PropertyOfFile(Frame().globalAliasFile, key.c_str(), &opened);
    }
    return value && SameText(value, "true");
}

int SetVportQosSwitch(const uint8_t physWwnn[8], const uint8_t physWwpn[8], uint32_t vpId,
                      const char *what, bool on)
{
    const char *value = on ? "true" : "false";
    if (GetVportQosSwitch(physWwnn, physWwpn, vpId, what) == on) {
        Trace(kLevelDebug, "The values are the same (%s). No need to update.", value);
        return 0;
    }
    const std::string key = SwitchKey(physWwnn, physWwpn, vpId, what);
    return VOLKPrefSetProperty(Frame().aliasFile.c_str(), key.c_str(), value, true);
}

std::vector<size_t> AdjustVirtualPortsQoS(std::vector<QosSlotValue> &slots)
{
    std::vector<size_t> changed;
    int sum = 0;
    // The driver offers at most 256 slots.
    for (size_t i = 0; i < slots.size() && i < 256; ++i) {
        QosSlotValue &s = slots[i];
        if (s.type != kQosByBandwidth)
            continue;
        sum += s.value;
        if (sum <= 100)
            continue;
        Trace(kLevelDebug, "AddjustVirtualPortsQoS: Max bandwith exceeded!");
        if (s.value > 1) {
            sum -= s.value;
            s.value = 0;
            changed.push_back(i);
        }
    }
    return changed;
}

bool QosAdjustAppliesTo(int familyCode) { return familyCode >= 12 && familyCode != 13; }

bool QosSupportedBy(int familyCode) { return familyCode >= 12; }
