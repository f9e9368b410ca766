// What the far side answers: SCSI targets, the fabric's CT servers, ELS.
#pragma once

#include <vector>

#include "model.h"
#include "simulator.h"

namespace vnsdm {

// One SCSI command to a LUN of a target. data/length follow the direction:
// in, length is the buffer size on entry and the bytes returned on exit.
SD_STATUS ScsiExecute(Simulator &sim, const Target &target, uint16_t lun, const uint8_t *cdb,
                      uint32_t cdbLength, uint32_t direction, uint8_t *data, uint32_t *length,
                      uint8_t *sense, uint32_t senseLength);

// The fabric as one port sees it.
struct FabricView {
    const Fabric &fabric;
    const std::vector<NsEntry> &ports; // name server contents, by port ID
    uint32_t ownPortId = 0;
    Wwn ownWwpn{};
};

// A CT request (16-byte preamble and payload); answers FS_ACC or FS_RJT.
SD_STATUS CtExecute(const FabricView &view, const uint8_t *request, uint32_t reqLength,
                    uint8_t *response, uint32_t *respLength);

// An ELS request to a port ID; answers LS_ACC, or SDERR_ELS_REJECT.
SD_STATUS ElsExecute(const FabricView &view, uint32_t destination, const uint8_t *request,
                     uint32_t reqLength, uint8_t *response, uint32_t *respLength);

// Name of the switch port a port ID is attached to.
Wwn FabricPortName(const Fabric &fabric, uint32_t portId);

} // namespace vnsdm
