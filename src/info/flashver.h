// Versions of the components held in an adapter's flash.
#pragma once

#include <string>

#include "device/device.h"

struct FlashVersions {
    std::string bios = "N/A";
    std::string fcode = "N/A";
    std::string efi = "N/A";
    std::string firmware = "N/A";
    std::string mpi = "N/A";
    std::string pep = "N/A";
};

// Reads the boot-code chain and the firmware versions of a port's flash.
FlashVersions ReadFlashVersions(const DeviceRecord &rec);
// Boot-code versions of a PCI expansion ROM chain in a buffer.
void ParseBootCodeVersions(const uint8_t *buf, size_t size, FlashVersions &out);
