#include "flash/preupdate.h"

#include <cstdio>

#include "adapters/adapterlist.h"
#include "base/status.h"
#include "flash/imagefile.h"
#include "flash/update.h"
#include "frame/messages.h"

namespace flash {

namespace {

bool LayoutRegion(const DeviceRecord &rec, uint32_t code, uint32_t &size)
{
    uint32_t offset = 0;
    size = 0;
    return SDGetOptionRomOffset(rec.handle, 0, code, &offset, &size) == SD_OK && size > 0;
}

std::vector<uint8_t> ReadRegion(const DeviceRecord &rec, uint32_t code)
{
    uint32_t size = 0;
    if (!LayoutRegion(rec, code, size))
        return {};
    std::vector<uint8_t> out(size);
    if (SDGetOptionRomEx(rec.handle, 0, code, out.data(), size) != SD_OK)
        return {};
    return out;
}

} // namespace

Version FlashMbiVersion(const DeviceRecord &rec)
{
    Version v;
    const std::vector<uint8_t> region = ReadRegion(rec, kRegionLayoutMemo);
    if (region.size() < kMemoBlockSize)
        return v;
    const Bytes memo = Bytes(region).last(kMemoBlockSize);
    if (!isCorrectFlashMemoBlockSignature(memo))
        return v;
    v.n[0] = memo[20];
    v.n[1] = memo[21];
    v.n[2] = memo[22];
    v.set = true;
    return v;
}

std::vector<uint8_t> ReadFlashImage(const DeviceRecord &rec)
{
    const std::vector<uint8_t> region = ReadRegion(rec, kRegionLayoutMemo);
    if (region.size() < kIltHeaderSize + kMemoBlockSize || !ILT_Header_CompareSignature(region))
        return {};
    const size_t length = ILT_Header_GetTableLength(region);
    if (length < kIltHeaderSize || length > region.size() - kMemoBlockSize)
        return {};
    std::vector<uint8_t> image(region.begin(), region.begin() + long(length));
    const int n = ILT_Header_GetNumOfRegionEntries(image);
    for (int i = 0; i <= n - 2; ++i) {
        IltRegion r;
        if (!ILT_Region_GetRegionByIndex(image, i, r))
            break;
        // A region the flash does not have reads as erased.
        std::vector<uint8_t> data = ReadRegion(rec, r.code);
        data.resize(r.length, 0xFF);
        const size_t end = size_t(r.offset) + r.length;
        if (end > (64u << 20))
            continue; // a table that points past any flash
        if (image.size() < end)
            image.resize(end, 0xFF);
        std::copy(data.begin(), data.end(), image.begin() + long(r.offset));
    }
    return image;
}

int GetFlashImageVersionPreUpdateInfo(const FibreAdapter *a, const std::string &file,
                                      Version &existing, Version &fresh, std::string &message)
{
    existing = fresh = Version{};
    DeviceRecord *rec = a ? FindDeviceForAdapter(a) : nullptr;
    if (!rec) {
        message = "Unable to locate the specified HBA!";
        return kStatusNoAdapter;
    }
    std::vector<uint8_t> buf;
    switch (ReadImageFile(file, 64u << 20, buf)) {
    case ImageFileStatus::Ok:
        break;
    case ImageFileStatus::OpenFailed:
        message = "Unable to open boot/multi-boot image file (" + file + ")!";
        return kStatusGeneralFailure;
    case ImageFileStatus::ReadFailed:
    case ImageFileStatus::TooLarge:
        message = "Unable to read file " + file + " (Read error) !";
        return 4;
    }
    if (buf.size() < kIltHeaderSize || !ILT_Header_CompareSignature(buf)) {
        message = "Selected file (" + file + ") appears to be corrupted!";
        return kStatusGeneralFailure;
    }
    fresh.n[0] = buf[13];
    fresh.n[1] = buf[14];
    fresh.n[2] = buf[15];
    fresh.set = true;
    existing = FlashMbiVersion(*rec);
    return 0;
}

int ImageVersionListing(const std::vector<uint8_t> &mbi, std::vector<std::string> &lines)
{
    if (mbi.size() < kIltHeaderSize || !ILT_Header_CompareSignature(mbi))
        return kStatusGeneralFailure;
    lines.push_back("MBI version: " + MbiVersionText(mbi));
    for (std::string &line : GetFlashImageComponentVersion(mbi))
        lines.push_back(std::move(line));
    return 0;
}

} // namespace flash
