// The target and LUN listings (-t, -l, -q): what each port sees, from the
// target lists that discovery filled at the scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"
#include "tavro_api.h"

// Which targets of a port a listing shows.
struct TargetFilter {
    enum class By {
        Any,
        Wwpn,
        PortId
    };
    By by = By::Any;
    uint8_t wwpn[8] = {};
    uint32_t portId = 0;

    static TargetFilter Wwpn(const uint8_t *wwpn);
    static TargetFilter PortId(const uint8_t *portId);
    bool Matches(const TargetRecord &t) const;
};

inline constexpr int32_t kAllLuns = -1;

// -t and -q: one line per target of each port (with its link speed for -q).
// A filter names one target of one port; a port that does not see it fails with 119.
int32_t DisplayTargetInfo(const std::vector<FibreAdapter *> &ports, const TargetFilter &filter,
                          bool withSpeed);
// The same tables inside a display already open (the summary report): every
// port's targets, the ports that have no device record left out.
class Renderer;
void DescribeTargets(Renderer &r, const std::vector<FibreAdapter *> &ports);
// -l: the LUNs of the port's targets, of one target, or one LUN.
int32_t DisplayLunInfo(FibreAdapter *port, const TargetFilter &filter, int32_t lun);

// Texts the listings share.
std::string DeviceTypeText(uint32_t type);
std::string CapacityText(const LunRecord &lun);
std::string TargetSpeedText(uint16_t speed);
// "Specified device not found (...)!" for the filter's target.
std::string TargetNotFoundMessage(const TargetFilter &filter);
