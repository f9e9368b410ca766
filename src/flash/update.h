// Flash updates from an image file (one port, its partner, all ports), the
// flash wizard and the flash save. Each flow answers a status and leaves its
// messages to one report at the end, so that XML gets one document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tavro_api.h"

namespace flash {

enum : int {
    kUpdateUnknownHba = 9,
    kUpdateUpToDate = 16,
    kUpdateUnsupported = 19,
    kUpdateTypeRefused = 20,
    kUpdateOsRefused = 21,
    kUpdateNoPortUpdated = 34,
    kUpdateDriverTooOld = 53,
    kUpdateInboxDriver = 120,
    kUpdateVirtualPort = 286,
    kVersionListMissing = 330,
    kUpdateOkToo = 201,
};

// Flash regions of the card's VPD, kept across an update.
constexpr uint32_t kRegionFcVpd = 0x14;
constexpr uint32_t kRegionNicVpd = 0x16;

// Flash region of the written image's layout table (stamped with the time of
// the update, at its start) and the memo block (its last 48 bytes).
constexpr uint32_t kRegionLayoutMemo = 0x1F;

// The one pending option-ROM request of the library.
struct OptionRomRequest {
    uint32_t region = 255; // 0 whole option ROM, 255 the flow decides
    std::string file;
    uint32_t fileSize = 0;
    bool activateFirmware = false;
};
// The wizard's update mode of the exports (g_iFlashMode), 0 until set.
int &FlashUpdateModeSetting();
// Null until the first addUserOptionROMRequest.
OptionRomRequest *UserOptionRomRequest();
int addUserOptionROMRequest(const char *key, const char *value);
void freeUserOptionROMReq();

// Flow selector of an adapter's chip generation (family code).
int doISPCheckForOptionROM(const FibreAdapter *adapter);

struct UpdateOutcome {
    int status = 0;
    std::string message; // failure text, empty on success
    int portsUpdated = 0;
    std::string successLine; // the flow's own success text, else the common one
};

// One port (and its card partner); updateAllPorts as the export sets it.
// disableReset asks that the adapter is not reset after writing (kept only
// where the driver allows it): it then shows the new versions after its next
// reset or the host's reboot.
UpdateOutcome updateOptionROMSingleHBA(FibreAdapter *adapter, const std::string &file,
                                       bool updateAllPorts, bool disableReset = false);
// Runs the single path over the list and reports once; answers the status.
int UpdateOptionROMAllHBAs(const std::string &file);
// Runs one port and reports; answers the status.
int UpdateOptionROMSingleHBA(FibreAdapter *adapter, const std::string &file,
                             bool disableReset = false);

// Whole flash (biosOnly false) or the boot code alone to a file; reports.
int SaveFlashToFile(FibreAdapter *adapter, const std::string &file, bool biosOnly);

// ---- Flash wizard --------------------------------------------------------------

enum class FlashMode {
    Standard = 0,
    ForceWrite = 1,
    ForceReWrite = 2,
    ForceDowngrade = 3,
};

struct FlashCtrEntry {
    std::string model, ssdid, ssvid;
    int bios[2] = {}, fcode[2] = {}, efi[2] = {};
    int firmware[3] = {}, firmware2[3] = {};
    std::string imageFile;
};

// Reads the version list; 0, kVersionListMissing, or 1 for a list without entries.
int BuildFlashCtrListFromFile(const std::string &path, std::vector<FlashCtrEntry> &list);
// True when the mode asks for an update of the adapter to the entry.
bool GetFlashUpdatePolicy(FlashMode mode, const FlashCtrEntry &adapter, const FlashCtrEntry &entry);
int UpdateFlashWizard(FibreAdapter *only, const std::string &listFile, int mode);

} // namespace flash
