// Vital product data of the adapters: reading and checking an image, the
// labelled display (text, both XML forms), keyword lookup and rewrite.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/device.h"
#include "tavro_api.h"

enum : int {
    kVpdStatusBadImage = 160,
    kVpdStatusCorrupted = 161,
    kVpdStatusChecksum = 162,
    kVpdStatusUnreadable = 164,
    kVpdStatusUnsupported = 165,
};

// One element of a walk: a tag (0x82, 0x90, 0x91, 0x78) or a keyword (tag 0).
struct VpdElement {
    uint8_t tag = 0;
    char keyword[3] = {};
    size_t offset = 0; // of the data
    size_t length = 0;
};

// The elements up to the end tag or the end of the image; an element whose
// data would run past the end stops the walk.
std::vector<VpdElement> WalkVpd(std::span<const uint8_t> image);
// 0 when the image holds an identifier tag and an end tag, else 161.
int ValidateVpd(std::span<const uint8_t> image);
// 0 when the bytes up to RV's first data byte sum to 0, else 162.
int verifyVpdChecksum(std::span<const uint8_t> image);
// Rewrites every keyword of that name with data (the keyword's own length,
// blanks where data is shorter) and recomputes the checksum: 0, 160 or 164.
int UpdateVpdField(std::span<uint8_t> image, const char keyword[2], std::span<const uint8_t> data);
bool IsBlankVpd(std::span<const uint8_t> image);
// Formatted value of one keyword of the adapter's VPD: 0, 1 (no identifier),
// 2 (no end tag) or 164.
int RetrieveSpecificVPDField(const DeviceRecord &rec, const char keyword[2], std::string &text);

int32_t GetHBAVPDData(const FibreAdapter &a);
int32_t GetAllHBAsVPDData();
