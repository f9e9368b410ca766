// flashimg: writes a flash image file for one adapter of a machine (the
// simulator's description, VNSDM_MACHINE, or the default machine).
//
//   flashimg -n <instance> -o <file> [--kind boot|mbi] [--bios 3.70] [--fcode 4.20]
//            [--efi 6.30] [--firmware 9.10.00] [--mbi 1.02.03] [--fault <fault>]
//
// Faults: checksum, device-id, truncated, layout, signature-header, signature-data.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/classify.h"
#include "flashimg/builder.h"
#include "vnsdm.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: flashimg -n <instance> -o <file> [--kind boot|mbi] [--bios M.m]\n"
                 "                [--fcode M.m] [--efi M.m] [--firmware a.b.c] [--mbi a.b.c]\n"
                 "                [--no-fcode] [--no-efi] [--fault checksum|device-id|truncated|"
                 "layout|signature-header|signature-data]\n");
    return 2;
}

bool ReadTriple(const char *text, flashimg::Triple &t)
{
    t = {};
    return std::sscanf(text, "%d.%d.%d", &t.major, &t.minor, &t.sub) >= 2;
}

// Families whose flash takes a multiboot image; the others take boot code.
bool TakesMbi(uint16_t deviceId)
{
    switch (FamilyCodeOfDeviceId(deviceId)) {
    case 15:
    case 17:
    case 21:
    case 24:
    case 25:
    case 26:
    case 27:
        return true;
    default:
        return false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    flashimg::ImageRecipe recipe;
    int instance = -1;
    const char *outName = nullptr;
    const char *kind = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--no-fcode") {
            recipe.withFcode = false;
            continue;
        }
        if (a == "--no-efi") {
            recipe.withEfi = false;
            continue;
        }
        if (!v)
            return Usage();
        ++i;
        bool ok = true;
        if (a == "-n")
            instance = std::atoi(v);
        else if (a == "-o")
            outName = v;
        else if (a == "--kind")
            kind = v;
        else if (a == "--bios")
            ok = ReadTriple(v, recipe.bios);
        else if (a == "--fcode")
            ok = ReadTriple(v, recipe.fcode);
        else if (a == "--efi")
            ok = ReadTriple(v, recipe.efi);
        else if (a == "--firmware")
            ok = ReadTriple(v, recipe.firmware);
        else if (a == "--mbi")
            ok = ReadTriple(v, recipe.mbiVersion);
        else if (a == "--fault")
            ok = flashimg::ParseFault(v, recipe.fault);
        else
            ok = false;
        if (!ok)
            return Usage();
    }
    if (instance < 0 || !outName)
        return Usage();
    uint32_t handle = 0;
    SD_CHIP_PROPERTY chip{};
    SD_NODE_PROPERTY node{};
    if (SDOpenDevice(uint32_t(instance), &handle) != SD_OK ||
        SDGetHbaDeviceChipProperty(handle, &chip) != SD_OK ||
        SDGetHbaDeviceNodeProperty(handle, &node) != SD_OK) {
        std::fprintf(stderr, "flashimg: no adapter %d in this machine\n", instance);
        return 1;
    }
    SDCloseDevice(handle);
    recipe.vendorId = chip.VendorId;
    recipe.deviceId = chip.DeviceId;
    recipe.ssvid = chip.SubVendorId;
    recipe.ssdid = chip.SubSystemId;
    recipe.chipRevision = chip.ChipRevision;
    recipe.model = node.Model;
    if (kind)
        recipe.kind = std::strcmp(kind, "boot") == 0 ? flashimg::Kind::Boot : flashimg::Kind::Mbi;
    else
        recipe.kind = TakesMbi(chip.DeviceId) ? flashimg::Kind::Mbi : flashimg::Kind::Boot;
    const std::vector<uint8_t> image = flashimg::BuildImage(recipe);
    std::FILE *fp = std::fopen(outName, "wb");
    if (!fp || std::fwrite(image.data(), 1, image.size(), fp) != image.size()) {
        std::fprintf(stderr, "flashimg: cannot write %s\n", outName);
        if (fp)
            std::fclose(fp);
        return 1;
    }
    if (std::fclose(fp) != 0)
        return 1;
    std::printf("%s: %zu bytes (%s) for instance %d (%s, device 0x%04X)\n", outName, image.size(),
                recipe.kind == flashimg::Kind::Mbi ? "multiboot image" : "boot code", instance,
                node.Model, chip.DeviceId);
    return 0;
}
