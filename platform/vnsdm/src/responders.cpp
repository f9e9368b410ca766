#include "responders.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "images.h"

namespace vnsdm {

// ---- SCSI --------------------------------------------------------------------

namespace {

constexpr uint8_t kIllegalRequest = 0x05;

SD_STATUS CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t *sense,
                         uint32_t senseLength, uint32_t *length)
{
    uint8_t s[18] = {};
    s[0] = 0x70; // current error, fixed format
    s[2] = key;
    s[7] = 10;
    s[12] = asc;
    s[13] = ascq;
    if (sense) {
        std::memset(sense, 0, senseLength);
        std::memcpy(sense, s, std::min<uint32_t>(senseLength, sizeof s));
    }
    if (length)
        *length = 0;
    return SDERR_SCSI_CHECK_CONDITION;
}

// Copies an answer into the caller's buffer, cut to the buffer and the CDB's allocation length.
SD_STATUS Answer(const Bytes &answer, uint32_t allocation, uint8_t *data, uint32_t *length)
{
    const uint32_t n = std::min<uint32_t>({uint32_t(answer.size()), allocation, *length});
    if (n && !data)
        return SDERR_INVALID_PARAMETER;
    if (n)
        std::memcpy(data, answer.data(), n);
    *length = n;
    return SD_OK;
}

void PutText(uint8_t *dst, size_t width, const std::string &text)
{
    std::memset(dst, ' ', width);
    std::memcpy(dst, text.data(), std::min(width, text.size()));
}

Bytes StandardInquiry(const Target &t, const Lun *lun)
{
    Bytes b(36, 0);
    b[0] = lun ? t.deviceType : 0x7F;       // no such LUN: qualifier 3, type 0x1F
    b[1] = t.deviceType == 1 ? 0x80 : 0x00; // tape media is removable
    b[2] = 0x06;
    b[3] = 0x02;
    b[4] = 31;
    b[7] = 0x02; // command queueing
    PutText(&b[8], 8, t.vendor);
    PutText(&b[16], 16, t.product);
    PutText(&b[32], 4, t.revision);
    return b;
}

SenseFault::Command CommandOf(uint8_t op)
{
    switch (op) {
    case 0x00:
        return SenseFault::Tur;
    case 0x12:
        return SenseFault::Inquiry;
    case 0xA0:
        return SenseFault::ReportLuns;
    case 0x25:
    case 0x9E:
        return SenseFault::ReadCapacity;
    default:
        return SenseFault::Any;
    }
}

// The first injected answer that applies to this command, counted as given.
const SenseFault *InjectedAnswer(const Target &t, uint16_t lun, uint8_t op)
{
    const SenseFault::Command command = CommandOf(op);
    for (const SenseFault &f : t.sense) {
        if (f.command != SenseFault::Any && f.command != command)
            continue;
        // REPORT LUNS speaks for the whole target, not for one LUN.
        if (f.lun && (command == SenseFault::ReportLuns || *f.lun != lun))
            continue;
        if (f.count && f.seen >= f.count)
            continue;
        ++f.seen;
        return &f;
    }
    return nullptr;
}

SD_STATUS Inject(const SenseFault &f, uint8_t *sense, uint32_t senseLength, uint32_t *length)
{
    using A = SenseFault::Answer;
    switch (f.answer) {
    case A::NotReady:
        return CheckCondition(0x02, 0x04, 0x00, sense, senseLength, length);
    case A::BecomingReady:
        return CheckCondition(0x02, 0x04, 0x01, sense, senseLength, length);
    case A::Standby:
        return CheckCondition(0x02, 0x04, 0x0B, sense, senseLength, length);
    case A::UnitAttention:
        return CheckCondition(0x06, 0x29, 0x00, sense, senseLength, length);
    case A::NoMedia:
        return CheckCondition(0x02, 0x3A, 0x00, sense, senseLength, length);
    case A::AccessDenied:
        return CheckCondition(0x05, 0x20, 0x02, sense, senseLength, length);
    case A::HardwareError:
        return CheckCondition(0x04, 0x44, 0x00, sense, senseLength, length);
    case A::EmptySense:
        if (sense)
            std::memset(sense, 0, senseLength);
        *length = 0;
        return SDERR_SCSI_CHECK_CONDITION;
    case A::Busy:
        *length = 0;
        return SDERR_DEVICE_BUSY;
    case A::ReservationConflict:
        *length = 0;
        return SDERR_SCSI_RESERVATION;
    case A::Timeout:
        *length = 0;
        return SDERR_TIMEOUT;
    }
    return SDERR_FAILED;
}

bool IsBlockDevice(const Target &t)
{
    return t.deviceType == 0 || t.deviceType == 7 || t.deviceType == 0x0E;
}

} // namespace

SD_STATUS ScsiExecute(Simulator &sim, const Target &target, uint16_t lunNumber, const uint8_t *cdb,
                      uint32_t cdbLength, uint32_t direction, uint8_t *data, uint32_t *length,
                      uint8_t *sense, uint32_t senseLength)
{
    if (!cdb || cdbLength < 6 || cdbLength > 16 || !length)
        return SDERR_INVALID_PARAMETER;
    const Lun *lun = target.FindLun(lunNumber);
    const uint8_t op = cdb[0];
    if (const SenseFault *f = InjectedAnswer(target, lunNumber, op))
        return Inject(*f, sense, senseLength, length);
    auto needIn = [&]() { return direction == SD_DIR_IN || *length == 0; };
    auto noLun = [&]() {
        return CheckCondition(kIllegalRequest, 0x25, 0x00, sense, senseLength, length);
    };

    switch (op) {
    case 0x00: // TEST UNIT READY
        if (!lun)
            return noLun();
        *length = 0;
        return SD_OK;
    case 0x12: { // INQUIRY
        if (!needIn())
            return SDERR_INVALID_PARAMETER;
        const uint32_t alloc = GetBe16(cdb + 3);
        if (!(cdb[1] & 0x01)) {
            if (cdb[2])
                return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
            return Answer(StandardInquiry(target, lun), alloc, data, length);
        }
        if (!lun)
            return noLun();
        Bytes page(4, 0);
        page[0] = target.deviceType;
        page[1] = cdb[2];
        if (cdb[2] == 0x00) {
            page.insert(page.end(), {0x00, 0x80, 0x83});
        } else if (cdb[2] == 0x80) {
            const std::string serial = target.serial + "-" + std::to_string(lunNumber);
            page.insert(page.end(), serial.begin(), serial.end());
        } else if (cdb[2] == 0x83) {
            // One NAA 6 designator made of the target's port name and the LUN.
            page.insert(page.end(), {0x01, 0x03, 0x00, 0x10});
            Bytes naa(16, 0);
            naa[0] = 0x60 | (target.wwpn[2] & 0x0F);
            std::copy(target.wwpn.begin() + 3, target.wwpn.end(), naa.begin() + 1);
            PutBe16(&naa[14], lunNumber);
            page.insert(page.end(), naa.begin(), naa.end());
        } else {
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        }
        PutBe16(&page[2], uint16_t(page.size() - 4));
        return Answer(page, alloc, data, length);
    }
    case 0xA0: { // REPORT LUNS
        if (!needIn() || cdbLength < 12)
            return SDERR_INVALID_PARAMETER;
        std::vector<uint16_t> numbers;
        for (const auto &l : target.luns)
            numbers.push_back(l.number);
        std::sort(numbers.begin(), numbers.end());
        Bytes list(8 + 8 * numbers.size(), 0);
        PutBe32(&list[0], uint32_t(8 * numbers.size()));
        for (size_t i = 0; i < numbers.size(); ++i) {
            uint8_t *e = &list[8 + 8 * i];
            if (numbers[i] < 256)
                e[1] = uint8_t(numbers[i]);
            else
                PutBe16(e, uint16_t(0x4000 | numbers[i])); // flat space addressing
        }
        return Answer(list, GetBe32(cdb + 6), data, length);
    }
    case 0x25: { // READ CAPACITY (10)
        if (!needIn())
            return SDERR_INVALID_PARAMETER;
        if (!lun)
            return noLun();
        if (!IsBlockDevice(target))
            return CheckCondition(kIllegalRequest, 0x20, 0x00, sense, senseLength, length);
        Bytes b(8, 0);
        const uint64_t last = lun->blocks ? lun->blocks - 1 : 0;
        PutBe32(&b[0], last > 0xFFFFFFFEull ? 0xFFFFFFFFu : uint32_t(last));
        PutBe32(&b[4], lun->blockSize);
        return Answer(b, 8, data, length);
    }
    case 0x9E: { // SERVICE ACTION IN (16): READ CAPACITY (16)
        if ((cdb[1] & 0x1F) != 0x10 || cdbLength < 16)
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        if (!needIn())
            return SDERR_INVALID_PARAMETER;
        if (!lun)
            return noLun();
        if (!IsBlockDevice(target))
            return CheckCondition(kIllegalRequest, 0x20, 0x00, sense, senseLength, length);
        Bytes b(32, 0);
        PutBe64(&b[0], lun->blocks ? lun->blocks - 1 : 0);
        PutBe32(&b[8], lun->blockSize);
        return Answer(b, GetBe32(cdb + 10), data, length);
    }
    case 0x3B: { // WRITE BUFFER
        if (!lun)
            return noLun();
        if ((cdb[1] & 0x1F) != 0x02 || cdbLength < 10)
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        if (direction != SD_DIR_OUT && GetBe24(cdb + 6))
            return SDERR_INVALID_PARAMETER;
        const uint32_t offset = GetBe24(cdb + 3);
        const uint32_t n = std::min(GetBe24(cdb + 6), *length);
        Bytes &buf = sim.TargetBuffer(target);
        if (uint64_t(offset) + n > buf.size())
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        if (n && !data)
            return SDERR_INVALID_PARAMETER;
        if (n)
            std::memcpy(buf.data() + offset, data, n);
        *length = n;
        return SD_OK;
    }
    case 0x3C: { // READ BUFFER
        if (!lun)
            return noLun();
        if (!needIn() || cdbLength < 10)
            return SDERR_INVALID_PARAMETER;
        Bytes &buf = sim.TargetBuffer(target);
        const uint8_t mode = cdb[1] & 0x1F;
        if (mode == 0x03) { // descriptor: offset boundary and capacity
            Bytes d(4, 0);
            PutBe24(&d[1], uint32_t(buf.size()));
            return Answer(d, GetBe24(cdb + 6), data, length);
        }
        if (mode != 0x02)
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        const uint32_t offset = GetBe24(cdb + 3);
        if (offset > buf.size())
            return CheckCondition(kIllegalRequest, 0x24, 0x00, sense, senseLength, length);
        return Answer(Bytes(buf.begin() + offset, buf.end()), GetBe24(cdb + 6), data, length);
    }
    default:
        return CheckCondition(kIllegalRequest, 0x20, 0x00, sense, senseLength, length);
    }
}

// ---- Fibre Channel services -----------------------------------------------------

namespace {

constexpr uint16_t kFsAcc = 0x8002, kFsRjt = 0x8001;
constexpr uint8_t kRjtInvalidCommand = 0x01, kRjtUnableToPerform = 0x09, kRjtNotSupported = 0x0B;

struct CtReply {
    Bytes bytes;
    CtReply(const uint8_t *req, uint16_t code, size_t payload = 0) : bytes(16 + payload, 0)
    {
        std::memcpy(bytes.data(), req, 8);
        PutBe16(&bytes[8], code);
    }
};

CtReply Reject(const uint8_t *req, uint8_t reason, uint8_t explanation)
{
    CtReply r(req, kFsRjt);
    r.bytes[13] = reason;
    r.bytes[14] = explanation;
    return r;
}

const NsEntry *ById(const FabricView &v, uint32_t id)
{
    for (const auto &p : v.ports)
        if (p.portId == id)
            return &p;
    return nullptr;
}

const NsEntry *ByName(const FabricView &v, const Wwn &name)
{
    for (const auto &p : v.ports)
        if (p.wwpn == name || p.wwnn == name)
            return &p;
    return nullptr;
}

const Switch *SwitchByName(const Fabric &f, const Wwn &name)
{
    for (const auto &s : f.switches)
        if (s.wwn == name)
            return &s;
    return nullptr;
}

Wwn ReadWwn(const uint8_t *p)
{
    Wwn w;
    std::copy(p, p + 8, w.begin());
    return w;
}

void PutWwn(uint8_t *p, const Wwn &w) { std::copy(w.begin(), w.end(), p); }

CtReply ManagementServer(const FabricView &v, const uint8_t *req, uint32_t len)
{
    const uint16_t cmd = GetBe16(req + 8);
    const Fabric &f = v.fabric;
    switch (cmd) {
    case 0x0100:   // topology information: answered with the element list
    case 0x0101: { // interconnect element list
        CtReply r(req, kFsAcc, 4 + 12 * f.switches.size());
        PutBe32(&r.bytes[16], uint32_t(f.switches.size()));
        for (size_t i = 0; i < f.switches.size(); ++i) {
            PutWwn(&r.bytes[20 + 12 * i], f.switches[i].wwn);
            r.bytes[20 + 12 * i + 11] = 0x01; // switch
        }
        return r;
    }
    case 0x0111:   // element type
    case 0x0112:   // domain identifier
    case 0x0114: { // fabric name
        if (len < 24)
            return Reject(req, kRjtInvalidCommand, 0);
        const Switch *s = SwitchByName(f, ReadWwn(req + 16));
        if (!s)
            return Reject(req, kRjtUnableToPerform, 0x01);
        if (cmd == 0x0114) {
            CtReply r(req, kFsAcc, 8);
            PutWwn(&r.bytes[16], f.Principal()->wwn);
            return r;
        }
        CtReply r(req, kFsAcc, 4);
        if (cmd == 0x0112)
            r.bytes[17] = s->domain;
        else
            r.bytes[19] = 0x01;
        return r;
    }
    case 0x0401: { // ping a port or switch by name; the token comes back
        if (len < 36)
            return Reject(req, kRjtInvalidCommand, 0);
        const Wwn dest = ReadWwn(req + 24);
        if (!ByName(v, dest) && !SwitchByName(f, dest))
            return Reject(req, kRjtUnableToPerform, 0x02);
        CtReply r(req, kFsAcc, 4);
        std::memcpy(&r.bytes[16], req + 32, 4);
        return r;
    }
    case 0x0400: { // fabric trace route: one path entry per switch on the way
        if (len < 48)
            return Reject(req, kRjtInvalidCommand, 0);
        const NsEntry *src = ByName(v, ReadWwn(req + 24));
        const NsEntry *dst = ByName(v, ReadWwn(req + 36));
        if (!src || !dst)
            return Reject(req, kRjtUnableToPerform, 0x02);
        std::vector<const Switch *> hops;
        const Switch *a = f.ByDomain(src->domain());
        const Switch *b = f.ByDomain(dst->domain());
        if (a)
            hops.push_back(a);
        if (b && b != a)
            hops.push_back(b);
        CtReply r(req, kFsAcc, 32 + 36 * hops.size());
        std::memcpy(&r.bytes[16], req + 16, 28);
        PutBe32(&r.bytes[44], uint32_t(hops.size()));
        for (size_t i = 0; i < hops.size(); ++i) {
            uint8_t *e = &r.bytes[48 + 36 * i];
            const uint32_t inId = i == 0 ? src->portId : (uint32_t(hops[i]->domain) << 16);
            const uint32_t outId =
                i + 1 == hops.size() ? dst->portId : (uint32_t(hops[i]->domain) << 16) | 0xFF00;
            PutWwn(e, hops[i]->wwn);
            PutWwn(e + 8, FabricPortName(f, inId));
            e[19] = hops[i]->domain;
            PutWwn(e + 20, FabricPortName(f, outId));
            PutBe32(e + 28, (inId >> 8) & 0xFF);
            PutBe32(e + 32, (outId >> 8) & 0xFF);
        }
        return r;
    }
    default:
        return Reject(req, kRjtNotSupported, 0);
    }
}

CtReply NameServer(const FabricView &v, const uint8_t *req, uint32_t len)
{
    const uint16_t cmd = GetBe16(req + 8);
    auto byIdRequest = [&]() -> const NsEntry * {
        return len >= 20 ? ById(v, GetBe24(req + 17)) : nullptr;
    };
    switch (cmd) {
    case 0x0100: { // GA_NXT: the next port object after the given port ID
        if (len < 20 || v.ports.empty())
            return Reject(req, kRjtUnableToPerform, 0x01);
        const uint32_t from = GetBe24(req + 17);
        const NsEntry *next = &v.ports.front();
        for (const auto &p : v.ports)
            if (p.portId > from) {
                next = &p;
                break;
            }
        CtReply r(req, kFsAcc, 620);
        uint8_t *o = &r.bytes[16];
        o[0] = 0x01; // N_Port
        PutBe24(o + 1, next->portId);
        PutWwn(o + 4, next->wwpn);
        const size_t n = std::min<size_t>(next->symbolicName.size(), 255);
        o[12] = uint8_t(n);
        std::memcpy(o + 13, next->symbolicName.data(), n);
        PutWwn(o + 268, next->wwnn);
        PutBe32(o + 556, 0x08); // class 3
        o[560 + 2] = 0x01;      // FC-4 type FCP
        PutWwn(o + 608, FabricPortName(v.fabric, next->portId));
        return r;
    }
    case 0x0171: { // GID_FT: port IDs of every port with FCP, within a domain when asked
        if (len < 20)
            return Reject(req, kRjtInvalidCommand, 0);
        if (req[19] != 0x08)
            return Reject(req, kRjtUnableToPerform, 0x07);
        std::vector<uint32_t> ids;
        for (const auto &p : v.ports)
            if (!req[17] || p.domain() == req[17])
                ids.push_back(p.portId);
        if (ids.empty())
            return Reject(req, kRjtUnableToPerform, 0x07);
        CtReply r(req, kFsAcc, 4 * ids.size());
        for (size_t i = 0; i < ids.size(); ++i)
            PutBe24(&r.bytes[16 + 4 * i + 1], ids[i]);
        r.bytes[16 + 4 * (ids.size() - 1)] = 0x80;
        return r;
    }
    case 0x0112:   // GPN_ID
    case 0x0113:   // GNN_ID
    case 0x011C: { // GFPN_ID
        const NsEntry *p = byIdRequest();
        if (!p)
            return Reject(req, kRjtUnableToPerform, 0x01);
        CtReply r(req, kFsAcc, 8);
        PutWwn(&r.bytes[16], cmd == 0x0112   ? p->wwpn
                             : cmd == 0x0113 ? p->wwnn
                                             : FabricPortName(v.fabric, p->portId));
        return r;
    }
    case 0x011A: { // GPT_ID
        const NsEntry *p = byIdRequest();
        if (!p)
            return Reject(req, kRjtUnableToPerform, 0x01);
        CtReply r(req, kFsAcc, 4);
        r.bytes[16] = 0x01;
        return r;
    }
    case 0x0118: { // GSPN_ID
        const NsEntry *p = byIdRequest();
        if (!p)
            return Reject(req, kRjtUnableToPerform, 0x01);
        const size_t n = std::min<size_t>(p->symbolicName.size(), 255);
        CtReply r(req, kFsAcc, 1 + n);
        r.bytes[16] = uint8_t(n);
        std::memcpy(&r.bytes[17], p->symbolicName.data(), n);
        return r;
    }
    case 0x0121: { // GID_PN
        if (len < 24)
            return Reject(req, kRjtInvalidCommand, 0);
        const Wwn name = ReadWwn(req + 16);
        for (const auto &p : v.ports)
            if (p.wwpn == name) {
                CtReply r(req, kFsAcc, 4);
                PutBe24(&r.bytes[17], p.portId);
                return r;
            }
        return Reject(req, kRjtUnableToPerform, 0x02);
    }
    default:
        return Reject(req, kRjtNotSupported, 0);
    }
}

bool WellKnownAddress(const FabricView &v, uint32_t id)
{
    if (id == 0xFFFFFA || id == 0xFFFFFC || id == 0xFFFFFD || id == 0xFFFFFE)
        return !v.fabric.switches.empty();
    if ((id & 0xFFFF00) == 0xFFFC00)
        return v.fabric.ByDomain(uint8_t(id)) != nullptr;
    return false;
}

} // namespace

Wwn FabricPortName(const Fabric &fabric, uint32_t portId)
{
    const Switch *s = fabric.ByDomain(uint8_t(portId >> 16));
    if (!s)
        s = fabric.Principal();
    Wwn w{};
    if (!s)
        return w;
    w = s->wwn;
    w[0] = 0x20;
    w[1] = uint8_t(portId >> 8);
    return w;
}

SD_STATUS CtExecute(const FabricView &view, const uint8_t *request, uint32_t reqLength,
                    uint8_t *response, uint32_t *respLength)
{
    if (!request || reqLength < 16 || !response || !respLength)
        return SDERR_INVALID_PARAMETER;
    if (request[0] != 0x01) {
        CtReply r = Reject(request, 0x02, 0); // invalid version level
        const uint32_t n = std::min<uint32_t>(*respLength, uint32_t(r.bytes.size()));
        std::memcpy(response, r.bytes.data(), n);
        *respLength = n;
        return SD_OK;
    }
    CtReply reply =
        request[4] == 0xFA && request[5] == 0x01   ? ManagementServer(view, request, reqLength)
        : request[4] == 0xFC && request[5] == 0x02 ? NameServer(view, request, reqLength)
                                                   : Reject(request, kRjtNotSupported, 0);
    if (reply.bytes.size() > *respLength) {
        *respLength = uint32_t(reply.bytes.size());
        return SDERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(response, reply.bytes.data(), reply.bytes.size());
    *respLength = uint32_t(reply.bytes.size());
    return SD_OK;
}

SD_STATUS ElsExecute(const FabricView &view, uint32_t destination, const uint8_t *request,
                     uint32_t reqLength, uint8_t *response, uint32_t *respLength)
{
    if (!request || reqLength < 4 || !respLength || (!response && *respLength))
        return SDERR_INVALID_PARAMETER;
    if (!ById(view, destination) && !WellKnownAddress(view, destination)) {
        *respLength = 0;
        return SDERR_ELS_REJECT;
    }
    if (request[0] != 0x10) { // only ECHO is answered; LS_RJT "command not supported"
        const uint8_t rjt[8] = {0x01, 0, 0, 0, 0, 0x0B, 0, 0};
        const uint32_t n = std::min<uint32_t>(*respLength, sizeof rjt);
        if (n)
            std::memcpy(response, rjt, n);
        *respLength = n;
        return SDERR_ELS_REJECT;
    }
    if (*respLength < reqLength) {
        *respLength = reqLength;
        return SDERR_BUFFER_TOO_SMALL;
    }
    response[0] = 0x02; // LS_ACC
    response[1] = response[2] = response[3] = 0;
    std::memcpy(response + 4, request + 4, reqLength - 4);
    *respLength = reqLength;
    return SD_OK;
}

} // namespace vnsdm
