// The flash wizard: a version list names, per adapter model, the versions its
// flash should hold and the image that brings them; the update mode decides
// which differences call for an update.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "adapters/adapterlist.h"
#include "base/oss.h"
#include "base/status.h"
#include "base/text.h"
#include "flash/update.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "info/flashver.h"
#include "render/output.h"

namespace flash {

namespace {

std::string Format(const char *format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

void ReadPair(const std::string &text, int out[2])
{
    std::sscanf(text.c_str(), "%d.%d", &out[0], &out[1]);
}

void ReadTriple(const std::string &text, int out[3])
{
    std::sscanf(text.c_str(), "%d.%d.%d", &out[0], &out[1], &out[2]);
}

std::string PairText(const int v[2]) { return Format("%d.%02d", v[0], v[1]); }
std::string TripleText(const int v[3]) { return Format("%d.%02d.%02d", v[0], v[1], v[2]); }

bool Given(const int *v, int n)
{
    for (int i = 0; i < n; ++i)
        if (v[i])
            return true;
    return false;
}

bool SameId(const std::string &a, const std::string &b)
{
    return std::strtoul(a.c_str(), nullptr, 0) == std::strtoul(b.c_str(), nullptr, 0);
}

struct FileCloser {
    void operator()(std::FILE *fp) const { std::fclose(fp); }
};

// The adapter's record, from what its flash holds now.
FlashCtrEntry BuildFlashCtrListFromHBA(const FibreAdapter *a, const DeviceRecord &rec)
{
    FlashCtrEntry e;
    e.model = CutText(a->model, sizeof a->model);
    e.ssdid = Format("0x%04X", a->ssdid);
    e.ssvid = Format("0x%04X", a->ssvid);
    const FlashVersions v = ReadFlashVersions(rec);
    if (v.bios != "N/A")
        ReadPair(v.bios, e.bios);
    if (v.fcode != "N/A")
        ReadPair(v.fcode, e.fcode);
    if (v.efi != "N/A")
        ReadPair(v.efi, e.efi);
    if (v.firmware != "N/A")
        ReadTriple(v.firmware, e.firmware);
    return e;
}

} // namespace

int BuildFlashCtrListFromFile(const std::string &path, std::vector<FlashCtrEntry> &list)
{
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(path.c_str(), "r"));
    if (!fp)
        return kVersionListMissing;
    char line[1024];
    while (std::fgets(line, sizeof line, fp.get())) {
        const char *p = line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0' || *p == '\n' || *p == '\r' || *p == ';' || *p == '#')
            continue;
        std::vector<std::string> fields;
        std::string field;
        for (; *p; ++p) {
            if (*p == ',' || *p == '\t' || *p == '\n' || *p == '\r') {
                fields.push_back(field);
                field.clear();
            } else {
                field += *p;
            }
        }
        if (!field.empty())
            fields.push_back(field);
        for (std::string &f : fields) {
            while (!f.empty() && f.front() == ' ')
                f.erase(f.begin());
            while (!f.empty() && f.back() == ' ')
                f.pop_back();
        }
        if (fields.empty() || fields[0].empty())
            continue;
        fields.resize(9);
        FlashCtrEntry e;
        e.model = fields[0];
        e.ssdid = CutText(fields[1], 9);
        e.ssvid = CutText(fields[2], 31);
        ReadPair(fields[3], e.bios);
        ReadPair(fields[4], e.fcode);
        ReadPair(fields[5], e.efi);
        ReadTriple(fields[6], e.firmware);
        ReadTriple(fields[7], e.firmware2);
        e.imageFile = fields[8];
        Trace(kLevelDebug,
              "File entry=HBA %s ssdid=%s ssvid=%s %d.%02d %d.%02d %d.%02d %d.%02d.%02d "
              "%d.%02d.%02d %s",
              e.model.c_str(), e.ssdid.c_str(), e.ssvid.c_str(), e.bios[0], e.bios[1], e.fcode[0],
              e.fcode[1], e.efi[0], e.efi[1], e.firmware[0], e.firmware[1], e.firmware[2],
              e.firmware2[0], e.firmware2[1], e.firmware2[2], e.imageFile.c_str());
        list.push_back(std::move(e));
    }
    return list.empty() ? 1 : 0;
}

bool GetFlashUpdatePolicy(FlashMode mode, const FlashCtrEntry &adapter, const FlashCtrEntry &entry)
{
    if (mode < FlashMode::Standard || mode > FlashMode::ForceDowngrade) {
        Trace(kLevelDebug, "GetFlashUpdatePolicy: Unknown command line option!");
        return false;
    }
    if (mode == FlashMode::ForceWrite)
        return true;
    // Texts compared byte by byte: 10.00 counts as lower than 9.00.
    struct Pair {
        std::string have, want;
        bool compared;
    };
    const Pair parts[] = {
        {PairText(adapter.bios), PairText(entry.bios),
         Given(adapter.bios, 2) && Given(entry.bios, 2)},
        {PairText(adapter.efi), PairText(entry.efi), Given(adapter.efi, 2) && Given(entry.efi, 2)},
        {PairText(adapter.fcode), PairText(entry.fcode),
         Given(adapter.fcode, 2) && Given(entry.fcode, 2)},
        {TripleText(adapter.firmware), TripleText(entry.firmware),
         Given(adapter.firmware, 3) && Given(entry.firmware, 3)},
    };
    for (const Pair &p : parts) {
        if (!p.compared)
            continue;
        const int c = std::strcmp(p.have.c_str(), p.want.c_str());
        const bool update = mode == FlashMode::Standard       ? c < 0
                            : mode == FlashMode::ForceReWrite ? c <= 0
                                                              : c != 0;
        if (update)
            return true;
    }
    return false;
}

int UpdateFlashWizard(FibreAdapter *only, const std::string &listFile, int mode)
{
    const std::string path = listFile.empty() ? Frame().flashCfgFile : listFile;
    std::vector<FlashCtrEntry> list;
    switch (BuildFlashCtrListFromFile(path, list)) {
    case 0:
        break;
    case kVersionListMissing:
        return ReportFailure(kVersionListMissing,
                             Format("Unable to open file '%s' for reading!", path.c_str()).c_str());
    default:
        return ReportFailure(kStatusGeneralFailure,
                             Format("Unsupported file format (%s) !", path.c_str()).c_str());
    }
    const std::string dir = oss::DirectoryOf(path);
    int needed = 0, updated = 0, seen = 0, lastFailure = 0;
    std::set<const FibreAdapter *> done;
    Renderer &r = CurrentRenderer();
    for (FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (only && a != only)
            continue;
        if (a->portType != TAVRO_PORT_TYPE_PHYSICAL || done.count(a))
            continue;
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec)
            continue;
        ++seen;
        const FlashCtrEntry have = BuildFlashCtrListFromHBA(a, *rec);
        const FlashCtrEntry *entry = nullptr;
        for (const FlashCtrEntry &e : list)
            if (SameText(e.model, have.model) && SameId(e.ssdid, have.ssdid) &&
                SameId(e.ssvid, have.ssvid)) {
                entry = &e;
                break;
            }
        if (!entry) {
            r.TextLine(Format("Unable to find matching entry in config file for this HBA "
                              "(Instance %lu - %s)!",
                              (unsigned long)a->instance, have.model.c_str()));
            continue;
        }
        if (!GetFlashUpdatePolicy(FlashMode(mode), have, *entry)) {
            r.TextLine(Format("HBA %d (%s) does not need to be upgraded.", a->instance,
                              have.model.c_str()));
            continue;
        }
        ++needed;
        std::string image = entry->imageFile;
        if (!image.empty() && image[0] != '/' && !dir.empty())
            image = oss::JoinPath(dir, image);
        UpdateOutcome out = updateOptionROMSingleHBA(a, image, true);
        if (out.status == 0) {
            ++updated;
            // The partner written with this port needs no second run.
            for (FibreAdapter *p = Adapters().first; p; p = p->next)
                if (p != a && std::strncmp(p->serialNumber, a->serialNumber, 32) == 0)
                    done.insert(p);
        } else {
            lastFailure = out.status;
            r.TextLine(out.message);
        }
    }
    if (seen == 0)
        return ReportFailure(kStatusNoAdapter, "No compatible HBA(s) found in current system !");
    if (needed == 0)
        return ReportResult(kUpdateUpToDate, "Flash update not required.");
    if (updated == needed)
        return ReportResult(
            0,
            Format("Flash update completed successfully (%d out of %d).", updated, needed).c_str(),
            1);
    (void)lastFailure;
    return ReportFailure(kStatusGeneralFailure,
                         Format("Some HBAs that need to be updated failed to be updated (%d out "
                                "of %d)!",
                                updated, needed)
                             .c_str());
}

} // namespace flash
