// What an update would change, asked before it runs: the multiboot version
// the flash holds now against the file's, and the component listing of a
// file or of the image as it lies in an adapter's flash.
#pragma once

#include <string>
#include <vector>

#include "device/device.h"
#include "flash/image.h"
#include "tavro_api.h"

namespace flash {

// The MBI version recorded in the flash's memo block; unset when there is none.
Version FlashMbiVersion(const DeviceRecord &rec);

// The flash's image: its layout table, each region read from the flash at
// the table's offset. Empty when the flash keeps no layout table.
std::vector<uint8_t> ReadFlashImage(const DeviceRecord &rec);

// 0, or a status with its message (the caller reports it).
int GetFlashImageVersionPreUpdateInfo(const FibreAdapter *adapter, const std::string &file,
                                      Version &existing, Version &fresh, std::string &message);

// "MBI version: ..." and the component listing; empty with a message on failure.
int ImageVersionListing(const std::vector<uint8_t> &mbi, std::vector<std::string> &lines);

} // namespace flash
