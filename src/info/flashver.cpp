#include "info/flashver.h"

#include <cstdio>
#include <vector>

#include "frame/messages.h"
#include "vnsdm_part.h"

namespace {

uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string Revision(uint8_t major, uint8_t minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", major, minor);
    return text;
}

void KeepVersion(uint8_t type, const std::string &version, FlashVersions &out)
{
    switch (type) {
    case 0:
        out.bios = version;
        break;
    case 1:
        out.fcode = version;
        break;
    case 3:
        out.efi = version;
        break;
    default:
        break;
    }
}

// The chain's versions read header by header, by the rules of
// ParseBootCodeVersions, without reading the whole region; false when the
// library cannot read part of a region.
bool WalkBootCodeVersions(uint32_t handle, uint32_t size, FlashVersions &out)
{
    FlashVersions found = out;
    uint64_t offset = 0;
    for (int images = 0; images < 16 && offset + 26 <= size; ++images) {
        uint8_t rom[26];
        if (SDGetOptionRomPart(handle, 0, SD_FLASH_REGION_BOOT, uint32_t(offset), rom, sizeof rom))
            return false;
        if (rom[0] != 0x55 || rom[1] != 0xAA)
            break;
        const uint64_t pcir = offset + Le16(rom + 24);
        if (pcir + 24 > size)
            break;
        uint8_t ds[24];
        if (SDGetOptionRomPart(handle, 0, SD_FLASH_REGION_BOOT, uint32_t(pcir), ds, sizeof ds))
            return false;
        if (ds[0] != 'P' || ds[1] != 'C' || ds[2] != 'I' || ds[3] != 'R')
            break;
        KeepVersion(ds[20], Revision(ds[19], ds[18]), found);
        const uint64_t length = uint64_t(Le16(ds + 16)) * 512;
        if ((ds[21] & 0x80) || length == 0)
            break;
        offset += length;
    }
    out = found;
    return true;
}

} // namespace

void ParseBootCodeVersions(const uint8_t *buf, size_t size, FlashVersions &out)
{
    size_t offset = 0;
    // A chain ends at the image whose indicator has bit 7 set; a bad header ends it too.
    for (int images = 0; images < 16 && offset + 26 <= size; ++images) {
        const uint8_t *rom = buf + offset;
        if (rom[0] != 0x55 || rom[1] != 0xAA)
            break;
        size_t pcir = offset + Le16(rom + 24);
        if (pcir + 24 > size || buf[pcir] != 'P' || buf[pcir + 1] != 'C' || buf[pcir + 2] != 'I' ||
            buf[pcir + 3] != 'R')
            break;
        const uint8_t *ds = buf + pcir;
        KeepVersion(ds[20], Revision(ds[19], ds[18]), out);
        size_t length = static_cast<size_t>(Le16(ds + 16)) * 512;
        if ((ds[21] & 0x80) || length == 0)
            break;
        offset += length;
    }
}

FlashVersions ReadFlashVersions(const DeviceRecord &rec)
{
    FlashVersions v;
    uint32_t offset = 0, size = 0;
    if (SDGetOptionRomOffset(rec.handle, 0, SD_FLASH_REGION_BOOT, &offset, &size) == SD_OK &&
        size && !WalkBootCodeVersions(rec.handle, size, v)) {
        std::vector<uint8_t> buf(size);
        SD_STATUS st = SDGetOptionRomEx(rec.handle, 0, SD_FLASH_REGION_BOOT, buf.data(), size);
        if (st == SD_OK)
            ParseBootCodeVersions(buf.data(), buf.size(), v);
        else
            Trace(kLevelDebug, "ReadFlashVersions: SDGetOptionRomEx failed (0x%x)", st);
    }
    if (rec.node.FlashFwMajor || rec.node.FlashFwMinor || rec.node.FlashFwSub) {
        char text[32];
        std::snprintf(text, sizeof text, "%d.%02d.%02d", rec.node.FlashFwMajor,
                      rec.node.FlashFwMinor, rec.node.FlashFwSub);
        v.firmware = text;
    }
    return v;
}
