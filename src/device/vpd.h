// PCI vital product data: walking an image and looking up keywords.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum : uint8_t {
    kVpdTagIdString = 0x82,
    kVpdTagReadOnly = 0x90,
    kVpdTagWritable = 0x91,
    kVpdTagEnd = 0x78,
};

// Data of the first keyword with that name: offset and length within buf.
// False when the end of the image or its end tag comes first.
bool VpdFindKeyword(const uint8_t *buf, size_t size, const char keyword[2], size_t &offset,
                    size_t &length);
// Keyword data as text, trailing blanks and tabs cut; empty when absent.
std::string VpdKeywordText(const uint8_t *buf, size_t size, const char keyword[2]);
// VPD buffer size of a family code: 512 for 8 to 15, 1024 from 16, 0 below 8.
uint32_t VpdSizeForFamily(int familyCode);
