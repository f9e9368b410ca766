// Operations on an adapter port's NVRAM: display, change, save to and
// restore from a file, factory defaults. Each answers its status, the exit
// code of the command, and reports through the current renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"
#include "render/renderer.h"
#include "tavro_api.h"

// The thirty parameters as the adapter's current image holds them, in table
// order; false when the image cannot be read.
bool ReadAdapterParams(const DeviceRecord &rec, int32_t (&values)[30]);

// The parameter records of the given ports (one HBAParam element each).
int32_t DisplayHBAParams(const std::vector<FibreAdapter *> &ports);
// The same records inside a display already open (the summary report); the
// ports whose parameters cannot be read are left out.
void DescribeHBAParams(Renderer &r, const std::vector<FibreAdapter *> &ports);
// Applies the pending settings (UserNVRAMConfigTable) and writes them.
int32_t SetAdapterNVRAM(FibreAdapter &a);
int32_t SaveSingleAdapterNVRAMToFile(FibreAdapter &a, const std::string &file);
int32_t SaveAllHBAsNVRAMToFile(const std::string &file);
int32_t UpdateAdapterNVRAMFromFile(FibreAdapter &a, const std::string &file);
// Every physical port: its own file of "-r all save <file>" when present, else <file>.
int32_t UpdateAllHBAsNVRAMFromFile(const std::string &file);
// -pn: the file's image, with or without the adapter's identity, optionally
// read back and compared.
int32_t ProgramAdapterNOVRAM(FibreAdapter &a, const std::string &file, bool preserve, bool verify);
// The template file name of a chip generation's NVRAM layout.
const char *NvramTemplateName(int generation);
// Path of a template file for the adapter: 0 when its own sub-directory
// (x<SSDID>, or x<SSVID>x<SSDID> for OEM cards) holds it, 1 for the default one.
int FindNVRAMDir(const DeviceRecord &rec, const std::string &file, std::string &path);
// -n <hba>|all <template>: the named template (".dat" added when missing).
int32_t LoadHBAParametersFromTemplateFile(FibreAdapter &a, const std::string &name);
int32_t LoadHBAParametersFromTemplateFileAllHBAs(const std::string &name);
int32_t RestoreNVRAMDefault(FibreAdapter &a);
int32_t RestoreNVRAMDefaultAllHBAs();

// Writes image to the adapter keeping its identity fields, then reads the
// image back into the device record: 0, 81, 83 or 1 on a refused write.
int32_t updateNVRam(DeviceRecord &rec, std::vector<uint8_t> image, bool preserve = true,
                    bool verify = false);
