// Persistent binding and selective LUN operations: each prints its outcome
// once, in the output form of the run, and answers its status.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "binding/persist.h"
#include "tavro_api.h"

struct LunSelectionItem {
    uint8_t wwnn[8] = {};
    uint8_t wwpn[8] = {};
    int32_t lun = 0;
    uint32_t enable = 0;
};

// Process-wide lists of the area: filled before the operation that uses
// them, freed after it.
struct BindingState {
    TargetBindingList requests;                            // BindingRequestList
    std::vector<LunSelectionItem> lunItems;                // LunSelectionList
    std::vector<std::array<uint8_t, 8>> persistentDevices; // PersistentDeviceList
};
BindingState &Binding();

// Adding a selection for a target and LUN already listed replaces its enable value.
void AddLunItemToList(std::vector<LunSelectionItem> &list, const LunSelectionItem &item);

int DisplayTargetPersistBinding(const FibreAdapter *adapter);
// Every physical port's bindings in one document.
int DisplayTargetPersistBindingAll();
int AutoConfigureBinding(const FibreAdapter *adapter, bool report = true);
int AutoConfigureBindingAllHBAs();
int UpdateBindingEntriesFromCmdLine(const FibreAdapter *adapter);
int UnbindSingleTarget(const FibreAdapter *adapter, const uint8_t wwnn[8]);
int UnbindAllTargets(const FibreAdapter *adapter, bool report = true);
int UnbindAllTargetsAllHBAs();

int SaveLunSelections(const FibreAdapter *adapter);
int SaveLunDataSpecificTarget(const FibreAdapter *adapter, const uint8_t wwnn[8],
                              const uint8_t wwpn[8], bool enable);
int SaveLunDataAll(const FibreAdapter *adapter, bool enable);
int DisplaySelectiveLuns(const FibreAdapter *adapter);
