#include "info/vpd_display.h"

#include <cstring>
#include <set>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "device/classify.h"
#include "device/core.h"
#include "device/vpd.h"
#include "frame/messages.h"
#include "render/renderer.h"

namespace {

struct Label {
    const char *keyword;
    const char *text;
    const char *xml; // null: text only
    bool cutTrailing;
};

const Label kLabels[] = {
    {"RV", "Checksum & Reserved", nullptr, false},
    {"RW", "Remaining RW Data", nullptr, false},
    {"PN", "Part Number", "PartNumber", false},
    {"EC", "Engineering Date Code", "EnginerringDateCode", false},
    {"CC", "Custom Card Identification", nullptr, false},
    {"SN", "Serial Number", "SerialNumber", false},
    {"V0", "Misc. Information", "MiscInformation", false},
    {"V2", "Manufacturing Date Code", "ManufacturingDateCode", true},
    {"MN", "Manufacturing Id", "ManufacturingId", true},
    {"V1", "EFI Driver Version", "EFIDriverVersion", true},
    {"V3", "Firmware Version", "FirmwareVersion", true},
    {"V4", "BIOS Version", "BIOSVersion", true},
    {"V5", "FCode Version", "FCodeVersion", true},
    {"VV", "Flash Image Version (Dell)", "FlashImageVersion", true},
    {"RM", "Flash Image Version", "FlashImageVersion", true},
    {"V9", "Flash Image Version", "FlashImageVersion", true},
    {"FC", "FC Code", "FcCode", true},
    {"FN", "Fru Number", "FRUNumber", true},
    {"YA", "Asset Tag", "AssetTag", true},
};

const Label *FindLabel(const char *keyword)
{
    for (const Label &l : kLabels)
        if (std::strncmp(l.keyword, keyword, 2) == 0)
            return &l;
    return nullptr;
}

std::string Data(std::span<const uint8_t> image, const VpdElement &e, bool cut)
{
    std::string text(reinterpret_cast<const char *>(image.data() + e.offset), e.length);
    // Printed with its exact length: a NUL inside ends it as the display would.
    text.resize(std::strlen(text.c_str()));
    while (cut && !text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

const RecordStyle kVpdList = {.element = "VPD", .indent = "\t", .childIndent = "\t\t"};
const RecordStyle kVpdAdapter = {
    .element = "VPD", .indent = "\t\t", .childIndent = "\t\t", .rows = XmlRows::Attributes};

void DescribeVpd(Renderer &r, const FibreAdapter &a, std::span<const uint8_t> image)
{
    r.BeginRecord(kVpdAdapter);
    r.TextLine(Format("HBA Instance %d: %s Port %d WWPN %s", a.instance, DisplayModel(a).c_str(),
                      a.portNumber, WwnText(a.wwpn, WwnStyle::Dashed).c_str()));
    r.TextLine(std::string(80, '-'));
    std::set<std::string> named; // an attribute appears once
    auto add = [&](const char *label, const char *xml, const std::string &value,
                   std::optional<std::string> xmlValue = std::nullopt) {
        const bool inXml = xml && named.insert(xml).second;
        r.Add(Row{label, inXml ? xml : nullptr, value, xmlValue, ShowInIf(true, inXml)});
    };
    for (const VpdElement &e : WalkVpd(image)) {
        switch (e.tag) {
        case kVpdTagIdString:
            add("Product Identifier", "ProductIdentifier", Data(image, e, false));
            break;
        case kVpdTagReadOnly:
            add("VPD-R Tag", "VPD-RTag", "", std::string(" "));
            break;
        case kVpdTagWritable:
            add("VPD-W Tag", "VPD-WTag", "", std::string(" "));
            break;
        case kVpdTagEnd:
            add("End Tag", nullptr, "");
            break;
        default:
            if (const Label *l = FindLabel(e.keyword)) {
                if (!l->xml) {
                    add(l->text, nullptr, Format("%02X", e.length ? image[e.offset] : 0u));
                } else {
                    add(l->text, l->xml, Data(image, e, l->cutTrailing));
                }
            }
        }
    }
    r.EndRecord();
}

// Reads and checks one adapter's VPD; the failure's message in message.
int ReadVpd(const FibreAdapter &a, std::vector<uint8_t> &image, std::string &message)
{
    DeviceRecord *rec = FindDeviceForAdapter(&a);
    const uint32_t size = rec ? VpdSizeForFamily(GetAdapterFamilyCode(rec)) : 0;
    if (!size) {
        message =
            Format("VPD is not supported with this HBA (Instance %lu)!", (unsigned long)a.instance);
        return kVpdStatusUnsupported;
    }
    image.assign(size, 0);
    uint32_t got = size;
    const SD_STATUS st = SDGetVpd(rec->handle, 0, image.data(), &got);
    if (st != SD_OK) {
        message = Format("Unable to read VPD of this HBA (Instance %lu). Error=(x%x) (%s)!",
                         (unsigned long)a.instance, st, CoreErrorString(st));
        return st == SDERR_NOT_SUPPORTED ? kVpdStatusUnsupported : kVpdStatusUnreadable;
    }
    image.resize(std::min(got, size));
    if (ValidateVpd(image)) {
        message = Format("VPD data of this HBA appears to be corrupted (Instance %lu)!",
                         (unsigned long)a.instance);
        return kVpdStatusCorrupted;
    }
    return 0;
}

// XML names an adapter that could not be read with an empty identifier.
void DescribeUnreadable(Renderer &r)
{
    r.BeginRecord(kVpdAdapter, kInXml);
    r.Add(Row{nullptr, "ProductIdentifier", "", std::nullopt, kInXml});
    r.EndRecord();
}

} // namespace

std::vector<VpdElement> WalkVpd(std::span<const uint8_t> image)
{
    std::vector<VpdElement> out;
    size_t i = 0;
    while (i < image.size()) {
        VpdElement e;
        const uint8_t tag = image[i];
        if (tag == kVpdTagEnd) {
            e.tag = tag;
            out.push_back(e);
            break;
        }
        if (tag == kVpdTagReadOnly || tag == kVpdTagWritable) {
            e.tag = tag;
            out.push_back(e);
            i += 3;
            continue;
        }
        if (i + 3 > image.size())
            break;
        if (tag == kVpdTagIdString) {
            e.tag = tag;
            e.length = size_t(image[i + 1]) | size_t(image[i + 2]) << 8;
        } else {
            e.keyword[0] = char(image[i]);
            e.keyword[1] = char(image[i + 1]);
            e.length = image[i + 2];
        }
        e.offset = i + 3;
        if (e.offset + e.length > image.size())
            break;
        out.push_back(e);
        i = e.offset + e.length;
    }
    return out;
}

int ValidateVpd(std::span<const uint8_t> image)
{
    bool id = false, end = false;
    for (uint8_t b : image) {
        id = id || b == kVpdTagIdString;
        end = end || b == kVpdTagEnd;
    }
    return id && end ? 0 : kVpdStatusCorrupted;
}

int verifyVpdChecksum(std::span<const uint8_t> image)
{
    for (const VpdElement &e : WalkVpd(image)) {
        if (e.tag == 0 && std::strncmp(e.keyword, "RV", 2) == 0) {
            if (e.length == 0)
                return kVpdStatusChecksum;
            uint8_t sum = 0;
            for (size_t i = 0; i <= e.offset; ++i)
                sum = uint8_t(sum + image[i]);
            return sum == 0 ? 0 : kVpdStatusChecksum;
        }
    }
    return kVpdStatusChecksum;
}

int UpdateVpdField(std::span<uint8_t> image, const char keyword[2], std::span<const uint8_t> data)
{
    if (ValidateVpd(image))
        return kVpdStatusBadImage;
    bool matched = false;
    const VpdElement *rv = nullptr;
    const std::vector<VpdElement> walk = WalkVpd(image);
    for (const VpdElement &e : walk) {
        if (e.tag != 0)
            continue;
        if (std::strncmp(e.keyword, "RV", 2) == 0 && !rv)
            rv = &e;
        if (e.keyword[0] == keyword[0] && e.keyword[1] == keyword[1]) {
            for (size_t k = 0; k < e.length; ++k)
                image[e.offset + k] = k < data.size() ? data[k] : uint8_t(' ');
            matched = true;
        }
    }
    if (!matched)
        return kVpdStatusUnreadable;
    if (rv && rv->length) {
        uint8_t sum = 0;
        for (size_t i = 0; i < rv->offset; ++i)
            sum = uint8_t(sum + image[i]);
        image[rv->offset] = uint8_t(-sum);
    }
    const int st = verifyVpdChecksum(image);
    Trace(kLevelDebug, st ? "UpdateVpdField: Detected bad checksum!"
                          : "UpdateVpdField: New checksum has been verified successfully!");
    return 0;
}

bool IsBlankVpd(std::span<const uint8_t> image)
{
    if (image.empty())
        return true;
    const uint8_t first = image[0];
    if (first != 0x00 && first != 0xFF)
        return false;
    for (uint8_t b : image)
        if (b != first)
            return false;
    return true;
}

int RetrieveSpecificVPDField(const DeviceRecord &rec, const char keyword[2], std::string &text)
{
    const uint32_t size = VpdSizeForFamily(GetAdapterFamilyCode(&rec));
    std::vector<uint8_t> image(size ? size : 1024);
    uint32_t got = uint32_t(image.size());
    if (SDGetVpd(rec.handle, 0, image.data(), &got) != SD_OK)
        return kVpdStatusUnreadable;
    image.resize(std::min<size_t>(got, image.size()));
    const std::vector<VpdElement> walk = WalkVpd(image);
    if (walk.empty() || walk.front().tag != kVpdTagIdString)
        return 1;
    if (walk.back().tag != kVpdTagEnd)
        return 2;
    for (const VpdElement &e : walk) {
        if (e.tag != 0 || e.keyword[0] != keyword[0] || e.keyword[1] != keyword[1])
            continue;
        if (std::strncmp(keyword, "RV", 2) == 0 || std::strncmp(keyword, "RW", 2) == 0) {
            text = Format("%02X%02X", e.length > 0 ? image[e.offset] : 0u,
                          e.length > 1 ? image[e.offset + 1] : 0u);
            return 0;
        }
        const Label *l = FindLabel(e.keyword);
        text = Data(image, e, l && l->cutTrailing);
        return 0;
    }
    return kVpdStatusUnreadable;
}

int32_t GetHBAVPDData(const FibreAdapter &a)
{
    Renderer &r = CurrentRenderer();
    std::vector<uint8_t> image;
    std::string message;
    const int st = ReadVpd(a, image, message);
    if (st)
        return r.Finish(st, message.c_str());
    r.BeginDocument();
    r.BeginRecord(kVpdList, kInXml);
    DescribeVpd(r, a, image);
    r.EndRecord();
    return r.Finish(kStatusOk);
}

int32_t GetAllHBAsVPDData()
{
    Renderer &r = CurrentRenderer();
    std::vector<const FibreAdapter *> ports;
    for (const FibreAdapter *a = Adapters().first; a; a = a->next)
        if (a->portType != TAVRO_PORT_TYPE_FCOE_ENGINE)
            ports.push_back(a);
    if (ports.empty())
        return r.Finish(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
    r.BeginDocument();
    r.BeginRecord(kVpdList, kInXml);
    int last = 0, answered = 0;
    for (size_t n = 0; n < ports.size(); ++n) {
        std::vector<uint8_t> image;
        std::string message;
        const int st = ReadVpd(*ports[n], image, message);
        if (st == 0) {
            ++answered;
            DescribeVpd(r, *ports[n], image);
        } else {
            r.TextLine(message);
            DescribeUnreadable(r);
            // Adapters without VPD do not fail the whole listing.
            if (st != kVpdStatusUnsupported)
                last = st;
        }
        // Interactive runs wait after every adapter, the last one too.
        r.PageBreak();
        if (n + 1 < ports.size())
            oss::Sleep(1000);
    }
    r.EndRecord();
    if (!answered)
        return r.Finish(last ? last : kVpdStatusUnsupported,
                        "Unable to get VPD data for all HBAs!");
    return r.Finish(last);
}
