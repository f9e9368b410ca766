// Virtual-port QoS: the per-port list of virtual port settings and the rule
// that redistributes bandwidth when one virtual port asks for more than is free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum QosStatus : int {
    kQosTypeInvalid = 374,     // QOS_TYPE_INVALID
    kQosPercentOverflow = 378, // QOS_PERCENT_OVERFLOW
    kVfabricNotFound = 410,    // VFABRIC_NOT_FOUND
};

enum : int {
    kQosByPriority = 0,
    kQosByBandwidth = 1,
};

struct QosNode {
    uint16_t vpId = 0;
    uint8_t wwpn[8] = {};
    int16_t value = 0; // percent for bandwidth
    bool locked = false;
    bool enabled = true; // a disabled port still reserves its value
};

// One physical port's virtual ports.
struct QosList {
    int maxTotal = 100;
    int type = kQosByBandwidth;
    std::vector<QosNode> nodes;
    bool changed = false;
};

// 0 and the remaining percentage, or kQosPercentOverflow.
int CalculateRemainingPercentageBW(const QosList &list, int &remaining);
// v plus the values of every node.
int GetTotalPercentageBW(const QosList &list, int v);
// The values of the unlocked nodes.
int GetUnlockedPercentageBW(const QosList &list);
// The most a virtual port may ask for.
int GetMaxQoSBandWidthValue(const QosList &list);
// Sets node p (an index into list.nodes) to newValue, taking what it lacks
// from the other unlocked ports; kQosPercentOverflow when it cannot.
int SetPercentBwFor(QosList &list, size_t p, int newValue);

// A virtual port slot's QoS as the adjustment after a type change sees it.
struct QosSlotValue {
    int type = kQosByPriority;
    int value = 0;
};
// AddjustVirtualPortsQoS: in slot order, the bandwidth port whose value takes
// the running total past 100 drops to 0 (unless its value is 0 or 1). Answers
// the slots it changed.
std::vector<size_t> AdjustVirtualPortsQoS(std::vector<QosSlotValue> &slots);
// Whether the adjustment applies to an adapter family (8 Gb and later, but
// not the FCoE engine adapter).
bool QosAdjustAppliesTo(int familyCode);
// Whether the adapter family offers virtual-port QoS at all.
bool QosSupportedBy(int familyCode);

// The QoS switches of virtual port vpId of a physical port ("qos" or "lock"),
// kept as "true"/"false" in the alias file; absent reads as false.
bool GetVportQosSwitch(const uint8_t physWwnn[8], const uint8_t physWwpn[8], uint32_t vpId,
                       const char *what);
// 0, or nonzero when the file could not be written.
int SetVportQosSwitch(const uint8_t physWwnn[8], const uint8_t physWwpn[8], uint32_t vpId,
                      const char *what, bool on);
