#include "info/flashver.h"

#include <cstdio>
#include <vector>

#include "frame/messages.h"

namespace {

uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string Revision(uint8_t major, uint8_t minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", major, minor);
    return text;
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
        std::string version = Revision(ds[19], ds[18]);
        switch (ds[20]) {
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
        size) {
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
