// Makes flash image files for an adapter: boot-code chains and multiboot
// images, valid or with one chosen fault. Tests, benchmarks and fuzz seeds use
// it as well as the flashimg program.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace flashimg {

enum class Kind {
    Boot, // PCI expansion ROM chain and its locator
    Mbi,  // image layout table and regions
};

enum class Fault {
    None,
    Checksum, // a boot image's checksum (or locator sum) no longer holds
    DeviceId, // the image names another adapter
    Truncated,
    Layout,          // the layout table (or locator) signature is wrong
    SignatureHeader, // the signature region's header is not one
    SignatureData,   // the signature's digest no longer fits the regions
};

struct Triple {
    int major = 0, minor = 0, sub = 0;
};

struct ImageRecipe {
    Kind kind = Kind::Mbi;
    uint16_t vendorId = 0x1E7A;
    uint16_t deviceId = 0;
    uint16_t ssvid = 0x1E7A;
    uint16_t ssdid = 0;
    uint16_t chipRevision = 0;
    std::string model;
    Triple bios{3, 70, 0};
    Triple fcode{4, 20, 0};
    Triple efi{6, 30, 0};
    bool withFcode = true;
    bool withEfi = true;
    Triple firmware{9, 10, 0};
    uint32_t firmwareAttributes = 0x20;
    uint32_t firmwareSize = 0x10000;
    Triple mbiVersion{1, 2, 3};
    // Extra converged firmware region (0x97) of this many bytes, summed by its check.
    uint32_t convergedSize = 0;
    // Further regions taken as they are (code, bytes), after the others.
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> extraRegions;
    // A signature region (0x9E) last, over the data of the regions before it.
    bool signature = true;
    Fault fault = Fault::None;
};

std::vector<uint8_t> BuildBootChain(const ImageRecipe &recipe);
std::vector<uint8_t> BuildMbi(const ImageRecipe &recipe);
// The image of the recipe's kind with its fault applied.
std::vector<uint8_t> BuildImage(const ImageRecipe &recipe);

bool ParseFault(const std::string &word, Fault &fault);

} // namespace flashimg
