#include "device/fabric.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "frame/messages.h"

namespace {

constexpr uint8_t kGsTypeManagement = 0xFA, kGsSubtypeConfig = 0x01;
constexpr uint8_t kGsTypeDirectory = 0xFC, kGsSubtypeNameServer = 0x02;
constexpr uint16_t kCtAccept = 0x8002;

// A CT request: 16-byte header (revision 1, GS type and subtype, command,
// maximum residual size in words) followed by the payload.
std::vector<uint8_t> CtRequest(uint8_t gsType, uint8_t gsSubtype, uint16_t command,
                               uint32_t responseSize, const std::vector<uint8_t> &payload)
{
    std::vector<uint8_t> req(16 + payload.size(), 0);
    req[0] = 0x01;
    req[4] = gsType;
    req[5] = gsSubtype;
    req[8] = static_cast<uint8_t>(command >> 8);
    req[9] = static_cast<uint8_t>(command);
    uint32_t words = (responseSize - 16) / 4;
    req[10] = static_cast<uint8_t>(words >> 8);
    req[11] = static_cast<uint8_t>(words);
    std::copy(payload.begin(), payload.end(), req.begin() + 16);
    return req;
}

uint16_t ResponseCode(const std::vector<uint8_t> &resp)
{
    return static_cast<uint16_t>(resp[8] << 8 | resp[9]);
}

uint32_t SendCt(const DeviceRecord *rec, const std::vector<uint8_t> &req,
                std::vector<uint8_t> &resp)
{
    uint32_t length = static_cast<uint32_t>(resp.size());
    return SDSendCTPassThru(rec->handle, req.data(), static_cast<uint32_t>(req.size()), resp.data(),
                            &length);
}

bool IsZero(const uint8_t *p)
{
    return std::all_of(p, p + 8, [](uint8_t b) { return b == 0; });
}

} // namespace

uint32_t CoreGetInterconnectElementList(const DeviceRecord *rec,
                                        std::vector<InterconnectElement> &out)
{
    out.clear();
    if (!rec)
        return SDERR_INVALID_PARAMETER;
    constexpr uint32_t kResponseSize = 3088;
    std::vector<uint8_t> resp(kResponseSize, 0);
    uint32_t st = SendCt(
        rec, CtRequest(kGsTypeManagement, kGsSubtypeConfig, 0x0101, kResponseSize, {}), resp);
    if (st == SDERR_CT_REJECT) {
        std::fill(resp.begin(), resp.end(), 0);
        st = SendCt(rec, CtRequest(kGsTypeManagement, kGsSubtypeConfig, 0x0100, kResponseSize, {}),
                    resp);
    }
    if (st != SD_OK)
        return st;
    if (ResponseCode(resp) != kCtAccept)
        return SDERR_CT_REJECT;
    uint32_t count = static_cast<uint32_t>(resp[16]) << 24 | static_cast<uint32_t>(resp[17]) << 16 |
                     static_cast<uint32_t>(resp[18]) << 8 | resp[19];
    for (uint32_t i = 0; i < count && 20 + 12 * (i + 1) <= kResponseSize; ++i) {
        InterconnectElement e;
        std::memcpy(e.name, &resp[20 + 12 * i], 8);
        e.type = resp[20 + 12 * i + 11];
        out.push_back(e);
    }
    return SD_OK;
}

int CoreGetSwitchDomainID(const DeviceRecord *rec, const uint8_t name[8], uint8_t *domain)
{
    if (!rec || !domain)
        return -1;
    constexpr uint32_t kResponseSize = 20;
    std::vector<uint8_t> resp(kResponseSize, 0);
    std::vector<uint8_t> payload(name, name + 8);
    uint32_t st = SendCt(
        rec, CtRequest(kGsTypeManagement, kGsSubtypeConfig, 0x0112, kResponseSize, payload), resp);
    if (st == SDERR_NOT_SUPPORTED || st == SDERR_CT_REJECT)
        return -1;
    if (st != SD_OK)
        return static_cast<int>(st);
    if (ResponseCode(resp) != kCtAccept)
        return -1;
    *domain = resp[17];
    return 0;
}

int CoreGetPrincipalFabricWWN(const DeviceRecord *rec, uint8_t wwn[8])
{
    std::memset(wwn, 0, 8);
    std::vector<InterconnectElement> list;
    if (CoreGetInterconnectElementList(rec, list) != SD_OK || list.empty())
        return -1;
    std::stable_sort(list.begin(), list.end(),
                     [](const InterconnectElement &a, const InterconnectElement &b) {
                         return WwnText(a.name) < WwnText(b.name);
                     });
    int best = -1;
    for (const InterconnectElement &e : list) {
        uint8_t domain = 0;
        if (CoreGetSwitchDomainID(rec, e.name, &domain) != 0)
            continue;
        if (best < 0 || domain < best) {
            best = domain;
            std::memcpy(wwn, e.name, 8);
        }
    }
    return best < 0 ? -1 : 0;
}

int CoreGetAdjacentFabricWWN(const DeviceRecord *rec, uint8_t wwn[8])
{
    std::memset(wwn, 0, 8);
    if (!rec)
        return -1;
    constexpr uint32_t kResponseSize = 80;
    std::vector<uint8_t> resp(kResponseSize, 0);
    std::vector<uint8_t> payload = {0x00, rec->port.PortId[0], rec->port.PortId[1],
                                    rec->port.PortId[2]};
    uint32_t st = SendCt(
        rec, CtRequest(kGsTypeDirectory, kGsSubtypeNameServer, 0x011C, kResponseSize, payload),
        resp);
    if (st != SD_OK || ResponseCode(resp) != kCtAccept) {
        Trace(kLevelDebug, "CoreGetAdjacentFabricWWN: query failed (0x%x)", st);
        return -1;
    }
    std::memcpy(wwn, &resp[16], 8);
    return IsZero(wwn) ? -1 : 0;
}

int CoreGetAttachedSwitchFabricWWN(const DeviceRecord *rec, uint8_t wwn[8])
{
    std::memset(wwn, 0, 8);
    std::vector<InterconnectElement> list;
    if (CoreGetInterconnectElementList(rec, list) != SD_OK)
        return -1;
    uint8_t ownDomain = rec->port.PortId[0];
    Trace(kLevelDebug, "CoreGetAttachedSwitchFabricWWN: Attached Fabric Domain ID=0x%x", ownDomain);
    bool found = false;
    for (const InterconnectElement &e : list) {
        uint8_t domain = 0;
        if (CoreGetSwitchDomainID(rec, e.name, &domain) == 0 && domain == ownDomain) {
            std::memcpy(wwn, e.name, 8);
            found = true;
        }
    }
    return found ? 0 : -1;
}

int CoreGetDestinationAddressType(const DeviceRecord *rec, const uint8_t wwn[8])
{
    std::vector<InterconnectElement> list;
    if (CoreGetInterconnectElementList(rec, list) == SD_OK) {
        for (const InterconnectElement &e : list) {
            if (std::memcmp(e.name, wwn, 8) == 0) {
                Trace(kLevelDebug,
                      "CoreGetDestinationAddressType: Destination is a fabric controller");
                return 3;
            }
        }
    }
    Trace(kLevelDebug, "CoreGetDestinationAddressType: Destination is a target device");
    return 2;
}
