// Machine description loader: JSON text -> Machine, with defaults and one-line errors.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "images.h"
#include "model.h"

namespace vnsdm {

using Json = nlohmann::ordered_json;

std::string WwnText(const Wwn &wwn)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x:%02x:%02x", wwn[0], wwn[1],
                  wwn[2], wwn[3], wwn[4], wwn[5], wwn[6], wwn[7]);
    return buf;
}

std::string WwnKey(const Wwn &wwn)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x%02x%02x%02x%02x", wwn[0], wwn[1], wwn[2],
                  wwn[3], wwn[4], wwn[5], wwn[6], wwn[7]);
    return buf;
}

bool IsZero(const Wwn &wwn)
{
    return std::all_of(wwn.begin(), wwn.end(), [](uint8_t b) { return b == 0; });
}

const Lun *Target::FindLun(uint16_t number) const
{
    for (const auto &l : luns)
        if (l.number == number)
            return &l;
    return nullptr;
}

const Target *Fabric::FindTarget(const Wwn &wwpn) const
{
    auto it = targetIndex.find(wwpn);
    return it == targetIndex.end() ? nullptr : &targets[it->second];
}

const Switch *Fabric::Principal() const
{
    const Switch *best = nullptr;
    for (const auto &s : switches)
        if (!best || s.domain < best->domain)
            best = &s;
    return best;
}

const Switch *Fabric::ByDomain(uint8_t domain) const
{
    for (const auto &s : switches)
        if (s.domain == domain)
            return &s;
    return nullptr;
}

Wwn Instance::Wwpn() const
{
    Wwn w;
    std::copy(std::begin(port.WWPN), std::end(port.WWPN), w.begin());
    return w;
}

Wwn Instance::Wwnn() const
{
    Wwn w;
    std::copy(std::begin(port.WWNN), std::end(port.WWNN), w.begin());
    return w;
}

const FlashRegion *Instance::Region(uint32_t code) const
{
    for (const auto &r : flash)
        if (r.code == code)
            return &r;
    return nullptr;
}

namespace {

struct ContentError {
    std::string path;
    std::string message;
};

[[noreturn]] void Fail(const std::string &path, const std::string &message)
{
    throw ContentError{path, message};
}

std::string Describe(const Json &j)
{
    switch (j.type()) {
    case Json::value_t::string:
        return "\"" + j.get<std::string>() + "\"";
    case Json::value_t::object:
        return "an object";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::boolean:
        return j.get<bool>() ? "true" : "false";
    case Json::value_t::null:
        return "null";
    default:
        return j.dump();
    }
}

std::string Sub(const std::string &path, std::string_view key)
{
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}
std::string Idx(const std::string &path, size_t i) { return path + "[" + std::to_string(i) + "]"; }

// One JSON object being read: hands out its members and refuses unknown ones.
// It may stand over lower layers (a card's defaults under a port): members of
// an upper layer win and objects merge member by member, without a copy.
class Obj {
public:
    Obj(const Json &j, std::string path) : path_(std::move(path))
    {
        if (!j.is_object())
            Fail(path_, "expected an object, got " + Describe(j));
        layers_.push_back(&j);
    }
    // Layers bottom first, each an object.
    Obj(std::vector<const Json *> layers, std::string path)
            : layers_(std::move(layers)), path_(std::move(path))
    {
    }
    // upper over one more layer below it.
    static Obj Over(const Json &below, const Obj &upper)
    {
        std::vector<const Json *> layers{&below};
        layers.insert(layers.end(), upper.layers_.begin(), upper.layers_.end());
        return Obj(std::move(layers), upper.path_);
    }

    const std::string &path() const { return path_; }
    bool Has(std::string_view key) const { return Get(key) != nullptr; }
    const Json *Get(std::string_view key) const
    {
        for (auto l = layers_.rbegin(); l != layers_.rend(); ++l)
            if (auto it = (*l)->find(key); it != (*l)->end())
                return &*it;
        return nullptr;
    }
    const Json &Need(std::string_view key) const
    {
        const Json *v = Get(key);
        if (!v)
            Fail(Sub(path_, key), "missing required field");
        return *v;
    }
    // A member object, merged over what the lower layers have under the same key;
    // an absent one reads as empty unless required.
    Obj Section(std::string_view key, bool required = false) const
    {
        std::vector<const Json *> found;
        for (auto l = layers_.rbegin(); l != layers_.rend(); ++l) {
            auto it = (*l)->find(key);
            if (it == (*l)->end())
                continue;
            if (!found.empty() && !it->is_object())
                break; // an object above replaces it
            found.push_back(&*it);
            if (!it->is_object())
                break;
        }
        if (found.empty() && required)
            Fail(Sub(path_, key), "missing required field");
        if (found.size() == 1 || (!found.empty() && !found.front()->is_object()))
            return Obj(*found.front(), Sub(path_, key));
        return Obj(std::vector<const Json *>(found.rbegin(), found.rend()), Sub(path_, key));
    }
    // Members in merged order (the lowest layer's first, then new ones above),
    // each with the value of the highest layer that has it.
    std::vector<std::pair<std::string, const Json *>> Members() const
    {
        std::vector<std::pair<std::string, const Json *>> out;
        std::map<std::string_view, size_t> place;
        for (const Json *l : layers_)
            for (auto it = l->begin(); it != l->end(); ++it) {
                auto [at, fresh] = place.emplace(it.key(), out.size());
                if (fresh)
                    out.emplace_back(it.key(), &*it);
                else
                    out[at->second].second = &*it;
            }
        return out;
    }
    std::string At(std::string_view key) const { return Sub(path_, key); }
    void Allow(std::initializer_list<std::string_view> keys) const
    {
        for (const Json *l : layers_)
            for (auto it = l->begin(); it != l->end(); ++it)
                if (std::find(keys.begin(), keys.end(), it.key()) == keys.end())
                    Fail(Sub(path_, it.key()), "unknown field");
    }

private:
    std::vector<const Json *> layers_; // empty: an absent section
    std::string path_;
};

uint64_t ParseHexText(const std::string &s, const std::string &path, uint64_t max)
{
    const std::string hint = "expected a hex number like \"0x7190\", got \"" + s + "\"";
    if (s.size() < 3 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || s.size() > 18)
        Fail(path, hint);
    uint64_t v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            Fail(path, hint);
        v = v * 16 + uint64_t(std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    if (v > max)
        Fail(path, "value " + s + " is out of range (at most " + std::to_string(max) + ")");
    return v;
}

// A number given as a JSON number or as a hex string "0x...".
uint64_t Num(const Json &j, const std::string &path, uint64_t max, bool hexField = false)
{
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        if (!hexField && s.rfind("0x", 0) != 0 && s.rfind("0X", 0) != 0)
            Fail(path, "expected a number, got " + Describe(j));
        return ParseHexText(s, path, max);
    }
    if (j.is_number_unsigned() || (j.is_number_integer() && j.get<int64_t>() >= 0)) {
        const uint64_t v = j.get<uint64_t>();
        if (v > max)
            Fail(path, "value " + std::to_string(v) + " is out of range (at most " +
                           std::to_string(max) + ")");
        return v;
    }
    Fail(path, "expected a number, got " + Describe(j));
}

int64_t SignedNum(const Json &j, const std::string &path)
{
    if (!j.is_number_integer())
        Fail(path, "expected an integer, got " + Describe(j));
    return j.get<int64_t>();
}

uint64_t Hex(const Json &j, const std::string &path, uint64_t max)
{
    if (!j.is_string() && !j.is_number())
        Fail(path, "expected a hex number like \"0x7190\", got " + Describe(j));
    return Num(j, path, max, true);
}

std::string Str(const Json &j, const std::string &path)
{
    if (!j.is_string())
        Fail(path, "expected a string, got " + Describe(j));
    return j.get<std::string>();
}

bool Bool(const Json &j, const std::string &path)
{
    if (!j.is_boolean())
        Fail(path, "expected true or false, got " + Describe(j));
    return j.get<bool>();
}

template <size_t N>
std::array<uint8_t, N> HexBytes(const Json &j, const std::string &path, const char *what,
                                const char *example)
{
    const std::string hint = std::string("bad ") + what + " " + Describe(j) + ": expected " +
                             std::to_string(N) + " hex bytes like \"" + example + "\"";
    if (!j.is_string())
        Fail(path, hint);
    const std::string s = j.get<std::string>();
    std::string digits;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c == ':' || c == '-') {
            if (digits.size() % 2 || i == 0 || i + 1 == s.size())
                Fail(path, hint);
        } else {
            Fail(path, hint);
        }
    }
    if (digits.size() != 2 * N)
        Fail(path, hint);
    std::array<uint8_t, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = uint8_t(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return out;
}

Wwn ParseWwn(const Json &j, const std::string &path)
{
    return HexBytes<8>(j, path, "WWN", "21:00:00:0e:7a:10:00:01");
}

Bytes HexBlob(const Json &j, const std::string &path)
{
    if (!j.is_string())
        Fail(path, "expected a string of hex digits, got " + Describe(j));
    std::string digits;
    for (char c : j.get<std::string>()) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ':' || c == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            Fail(path, std::string("bad hex data: unexpected character '") + c + "'");
        digits += c;
    }
    if (digits.size() % 2)
        Fail(path, "bad hex data: odd number of digits");
    Bytes out(digits.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint8_t(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return out;
}

// Named value or number.
uint32_t Enum(const Json &j, const std::string &path,
              std::initializer_list<std::pair<std::string_view, uint32_t>> names, uint64_t max)
{
    if (j.is_string()) {
        std::string s = j.get<std::string>();
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        for (const auto &[n, v] : names)
            if (s == n)
                return v;
        if (s.rfind("0x", 0) == 0)
            return uint32_t(ParseHexText(s, path, max));
        std::string list;
        for (const auto &[n, v] : names)
            list += (list.empty() ? "" : ", ") + std::string(n);
        Fail(path, "unknown value " + Describe(j) + " (expected one of: " + list + ")");
    }
    return uint32_t(Num(j, path, max));
}

SD_STATUS Status(const Json &j, const std::string &path)
{
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        if (auto v = StatusFromName(s))
            return *v;
        if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0)
            return SD_STATUS(ParseHexText(s, path, 0xFFFFFFFF));
        Fail(path, "unknown status " + Describe(j) +
                       " (expected a name like \"SDERR_DEVICE_BUSY\" or a hex code)");
    }
    return SD_STATUS(Num(j, path, 0xFFFFFFFF));
}

struct Version3 {
    uint8_t major = 0, minor = 0, sub = 0, build = 0;
    int parts = 0;
};

Version3 ParseVersion(const Json &j, const std::string &path, int minParts, int maxParts)
{
    const std::string s = Str(j, path);
    Version3 v;
    std::stringstream in(s);
    std::string part;
    uint8_t *dst[4] = {&v.major, &v.minor, &v.sub, &v.build};
    while (std::getline(in, part, '.')) {
        if (v.parts >= maxParts || part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(part) > 255)
            Fail(path,
                 "bad version \"" + s + "\": expected numbers separated by dots like \"9.06.02\"");
        *dst[v.parts++] = uint8_t(std::stoi(part));
    }
    if (v.parts < minParts)
        Fail(path, "bad version \"" + s + "\": expected at least " + std::to_string(minParts) +
                       " numbers");
    return v;
}

const std::initializer_list<std::pair<std::string_view, uint32_t>> kSpeeds = {
    {"1g", SD_SPEED_1G},   {"2g", SD_SPEED_2G},          {"auto", SD_SPEED_AUTO},
    {"4g", SD_SPEED_4G},   {"8g", SD_SPEED_8G},          {"10g", SD_SPEED_10G},
    {"16g", SD_SPEED_16G}, {"20g", SD_SPEED_20G},        {"32g", SD_SPEED_32G},
    {"64g", SD_SPEED_64G}, {"unknown", SD_SPEED_UNKNOWN}};
const std::initializer_list<std::pair<std::string_view, uint32_t>> kSpeedBits = {
    {"1g", SD_SUPPORTED_1G},   {"2g", SD_SUPPORTED_2G},   {"4g", SD_SUPPORTED_4G},
    {"8g", SD_SUPPORTED_8G},   {"10g", SD_SUPPORTED_10G}, {"16g", SD_SUPPORTED_16G},
    {"32g", SD_SUPPORTED_32G}, {"64g", SD_SUPPORTED_64G}};
const std::initializer_list<std::pair<std::string_view, uint32_t>> kEvents = {
    {"lip", SD_AEN_LIP_OCCURRED},      {"link_up", SD_AEN_LINK_UP},
    {"link_down", SD_AEN_LINK_DOWN},   {"lip_reset", SD_AEN_LIP_RESET},
    {"scr_update", SD_AEN_SCR_UPDATE}, {"device_update", SD_AEN_DEVICE_UPDATE},
    {"fec_active", SD_AEN_FEC_ACTIVE}, {"type9", SD_AEN_TYPE9}};

uint32_t BitList(const Json &j, const std::string &path,
                 std::initializer_list<std::pair<std::string_view, uint32_t>> names, uint64_t max)
{
    if (!j.is_array())
        return uint32_t(Hex(j, path, max));
    uint32_t bits = 0;
    for (size_t i = 0; i < j.size(); ++i)
        bits |= Enum(j[i], Idx(path, i), names, max);
    return bits;
}

// ---- Fabric -----------------------------------------------------------------

SenseFault ParseSenseFault(const Json &j, const std::string &path)
{
    using A = SenseFault::Answer;
    static const std::map<std::string, A> answers = {
        {"not_ready", A::NotReady},
        {"becoming_ready", A::BecomingReady},
        {"standby", A::Standby},
        {"unit_attention", A::UnitAttention},
        {"no_media", A::NoMedia},
        {"access_denied", A::AccessDenied},
        {"hardware_error", A::HardwareError},
        {"empty_sense", A::EmptySense},
        {"busy", A::Busy},
        {"reservation_conflict", A::ReservationConflict},
        {"timeout", A::Timeout},
    };
    static const std::map<std::string, SenseFault::Command> commands = {
        {"any", SenseFault::Any},
        {"tur", SenseFault::Tur},
        {"inquiry", SenseFault::Inquiry},
        {"report_luns", SenseFault::ReportLuns},
        {"read_capacity", SenseFault::ReadCapacity},
    };
    Obj o(j, path);
    o.Allow({"lun", "command", "answer", "count"});
    SenseFault f;
    const std::string answer = Str(o.Need("answer"), o.At("answer"));
    auto a = answers.find(answer);
    if (a == answers.end())
        Fail(o.At("answer"), "unknown answer \"" + answer +
                                 "\" (not_ready, becoming_ready, standby, unit_attention, "
                                 "no_media, access_denied, hardware_error, empty_sense, busy, "
                                 "reservation_conflict, timeout)");
    f.answer = a->second;
    if (o.Has("command")) {
        const std::string c = Str(*o.Get("command"), o.At("command"));
        auto it = commands.find(c);
        if (it == commands.end())
            Fail(o.At("command"),
                 "unknown command \"" + c + "\" (any, tur, inquiry, report_luns, read_capacity)");
        f.command = it->second;
    }
    if (o.Has("lun"))
        f.lun = uint16_t(Num(*o.Get("lun"), o.At("lun"), 2047));
    if (o.Has("count"))
        f.count = uint32_t(Num(*o.Get("count"), o.At("count"), 1000000));
    return f;
}

Fabric ParseFabric(const Json &j, const std::string &path)
{
    Fabric f;
    Obj o(j, path);
    o.Allow({"switches", "targets"});
    if (const Json *sw = o.Get("switches")) {
        if (!sw->is_array())
            Fail(o.At("switches"), "expected an array, got " + Describe(*sw));
        for (size_t i = 0; i < sw->size(); ++i) {
            Obj s((*sw)[i], Idx(o.At("switches"), i));
            s.Allow({"name", "wwn", "domain"});
            Switch out;
            out.name =
                s.Has("name") ? Str(*s.Get("name"), s.At("name")) : "switch" + std::to_string(i);
            out.wwn = ParseWwn(s.Need("wwn"), s.At("wwn"));
            out.domain = uint8_t(Num(s.Need("domain"), s.At("domain"), 239));
            if (out.domain == 0)
                Fail(s.At("domain"), "domain ID must be 1..239");
            for (const auto &prev : f.switches)
                if (prev.domain == out.domain)
                    Fail(s.At("domain"),
                         "domain ID " + std::to_string(out.domain) + " is used twice");
            f.switches.push_back(out);
        }
    }
    if (const Json *tg = o.Get("targets")) {
        if (!tg->is_array())
            Fail(o.At("targets"), "expected an array, got " + Describe(*tg));
        for (size_t i = 0; i < tg->size(); ++i) {
            Obj t((*tg)[i], Idx(o.At("targets"), i));
            t.Allow({"name", "wwnn", "wwpn", "port_id", "vendor", "product", "revision", "serial",
                     "device_type", "buffer_size", "speed", "link_errors_per_minute", "luns",
                     "sense"});
            Target out;
            out.wwpn = ParseWwn(t.Need("wwpn"), t.At("wwpn"));
            out.wwnn = t.Has("wwnn") ? ParseWwn(*t.Get("wwnn"), t.At("wwnn")) : out.wwpn;
            out.portId = uint32_t(Hex(t.Need("port_id"), t.At("port_id"), 0xFFFFFF));
            out.vendor = t.Has("vendor") ? Str(*t.Get("vendor"), t.At("vendor")) : "VANTOR";
            out.product = t.Has("product") ? Str(*t.Get("product"), t.At("product")) : "DISK";
            out.revision = t.Has("revision") ? Str(*t.Get("revision"), t.At("revision")) : "0001";
            out.serial = t.Has("serial") ? Str(*t.Get("serial"), t.At("serial")) : WwnKey(out.wwpn);
            out.deviceType = t.Has("device_type")
                                 ? uint8_t(Num(*t.Get("device_type"), t.At("device_type"), 31))
                                 : 0;
            if (t.Has("buffer_size"))
                out.bufferSize =
                    uint32_t(Num(*t.Get("buffer_size"), t.At("buffer_size"), 1u << 24));
            if (t.Has("link_errors_per_minute"))
                out.linkErrorsPerMinute = uint32_t(
                    Num(*t.Get("link_errors_per_minute"), t.At("link_errors_per_minute"), 1000000));
            if (const Json *luns = t.Get("luns")) {
                if (!luns->is_array())
                    Fail(t.At("luns"), "expected an array, got " + Describe(*luns));
                std::set<uint16_t> lunNumbers;
                for (size_t k = 0; k < luns->size(); ++k) {
                    Obj l((*luns)[k], Idx(t.At("luns"), k));
                    l.Allow({"lun", "blocks", "block_size"});
                    Lun lun;
                    lun.number = uint16_t(Num(l.Need("lun"), l.At("lun"), 2047));
                    lun.blocks =
                        l.Has("blocks") ? Num(*l.Get("blocks"), l.At("blocks"), UINT64_MAX) : 0;
                    lun.blockSize =
                        l.Has("block_size")
                            ? uint32_t(Num(*l.Get("block_size"), l.At("block_size"), 1u << 20))
                            : 512;
                    if (!lunNumbers.insert(lun.number).second)
                        Fail(l.At("lun"), "LUN " + std::to_string(lun.number) + " is listed twice");
                    out.luns.push_back(lun);
                }
            }
            if (t.Has("speed"))
                out.speed = uint16_t(Enum(*t.Get("speed"), t.At("speed"), kSpeeds, 0xFFFF));
            if (const Json *sn = t.Get("sense")) {
                if (!sn->is_array())
                    Fail(t.At("sense"), "expected an array, got " + Describe(*sn));
                for (size_t k = 0; k < sn->size(); ++k)
                    out.sense.push_back(ParseSenseFault((*sn)[k], Idx(t.At("sense"), k)));
            }
            if (!f.targetIndex.emplace(out.wwpn, f.targets.size()).second)
                Fail(t.At("wwpn"), "target WWPN " + WwnText(out.wwpn) + " is listed twice");
            f.targets.push_back(std::move(out));
        }
    }
    return f;
}

// ---- One instance -------------------------------------------------------------

struct AdapterInfo {
    std::string model, description, serial;
    const Json *vpd = nullptr;
};

void ParseChip(const Obj &o, Instance &in, uint16_t defaultFunction)
{
    o.Allow({"vendor_id", "device_id", "subsystem_vendor_id", "subsystem_id", "bus", "device",
             "function", "chip_type", "chip_revision", "isp_revision", "port_number", "pcie"});
    SD_CHIP_PROPERTY &c = in.chip;
    c.VendorId =
        o.Has("vendor_id") ? uint16_t(Hex(*o.Get("vendor_id"), o.At("vendor_id"), 0xFFFF)) : 0x1E7A;
    c.DeviceId = uint16_t(Hex(o.Need("device_id"), o.At("device_id"), 0xFFFF));
    c.SubVendorId =
        o.Has("subsystem_vendor_id")
            ? uint16_t(Hex(*o.Get("subsystem_vendor_id"), o.At("subsystem_vendor_id"), 0xFFFF))
            : c.VendorId;
    c.SubSystemId = o.Has("subsystem_id")
                        ? uint16_t(Hex(*o.Get("subsystem_id"), o.At("subsystem_id"), 0xFFFF))
                        : 0;
    c.PciBusNumber = o.Has("bus") ? uint16_t(Num(*o.Get("bus"), o.At("bus"), 255)) : 0;
    const uint16_t dev = o.Has("device") ? uint16_t(Num(*o.Get("device"), o.At("device"), 15)) : 0;
    const uint16_t fn = o.Has("function") ? uint16_t(Num(*o.Get("function"), o.At("function"), 7))
                                          : defaultFunction;
    c.PciDevFunc = uint16_t(dev | (fn << 5));
    c.ChipType =
        o.Has("chip_type") ? uint16_t(Hex(*o.Get("chip_type"), o.At("chip_type"), 0xFFFF)) : 0;
    c.ChipRevision = o.Has("chip_revision")
                         ? uint16_t(Hex(*o.Get("chip_revision"), o.At("chip_revision"), 0xFFFF))
                         : 1;
    c.IspRevision = o.Has("isp_revision")
                        ? uint16_t(Hex(*o.Get("isp_revision"), o.At("isp_revision"), 0xFFFF))
                        : 1;
    c.PortNumber = o.Has("port_number")
                       ? uint16_t(Num(*o.Get("port_number"), o.At("port_number"), 255))
                       : uint16_t(fn % 2 + 1);
    if (o.Has("pcie")) {
        Obj pc = o.Section("pcie");
        pc.Allow({"max_width", "negotiated_width", "max_speed", "negotiated_speed"});
        auto get = [&](const char *k) {
            return pc.Has(k) ? uint16_t(Num(*pc.Get(k), pc.At(k), 0xFFFF)) : uint16_t(0);
        };
        c.PcieMaxWidth = get("max_width");
        c.PcieNegWidth = pc.Has("negotiated_width") ? get("negotiated_width") : c.PcieMaxWidth;
        c.PcieMaxSpeed = get("max_speed");
        c.PcieNegSpeed = pc.Has("negotiated_speed") ? get("negotiated_speed") : c.PcieMaxSpeed;
    }
}

void ParseDriver(const Obj &o, Instance &in)
{
    o.Allow(
        {"version", "name", "type", "luns_per_target", "max_targets", "bind_type", "attributes"});
    SD_DRIVER_PROPERTY &d = in.driver;
    CopyText(d.Version, o.Has("version") ? Str(*o.Get("version"), o.At("version")) : "9.4.1.20");
    CopyText(d.Name, o.Has("name") ? Str(*o.Get("name"), o.At("name")) : "vnfc");
    d.DriverType = o.Has("type") ? uint16_t(Enum(*o.Get("type"), o.At("type"),
                                                 {{"scsi_miniport", SD_DRIVER_SCSI_MINIPORT},
                                                  {"stor_miniport", SD_DRIVER_STOR_MINIPORT}},
                                                 0xFFFF))
                                 : uint16_t(SD_DRIVER_STOR_MINIPORT);
    d.LunsPerTarget =
        o.Has("luns_per_target")
            ? uint16_t(Num(*o.Get("luns_per_target"), o.At("luns_per_target"), 0xFFFF))
            : 0;
    d.MaxTargets = o.Has("max_targets")
                       ? uint16_t(Num(*o.Get("max_targets"), o.At("max_targets"), 0xFFFF))
                       : 256;
    d.BindType =
        o.Has("bind_type")
            ? uint16_t(Enum(*o.Get("bind_type"), o.At("bind_type"),
                            {{"port_name", 0}, {"port_id", 1}, {"unknown", 0xFFFF}}, 0xFFFF))
            : 0;
    d.Attributes = o.Has("attributes")
                       ? uint32_t(Hex(*o.Get("attributes"), o.At("attributes"), 0xFFFFFFFF))
                       : 0;
}

void ParseFirmware(const Obj &o, Instance &in, uint32_t &riscAttributes)
{
    o.Allow({"version", "attributes", "mpi", "pep", "risc_attributes"});
    SD_FIRMWARE_PROPERTY &f = in.firmware;
    const std::string text = o.Has("version") ? Str(*o.Get("version"), o.At("version")) : "1.00.00";
    const Json tj = text;
    const Version3 v = ParseVersion(tj, o.At("version"), 3, 3);
    CopyText(f.Version, text);
    f.Major = v.major;
    f.Minor = v.minor;
    f.Sub = v.sub;
    if (const Json *a = o.Get("attributes"))
        f.Attributes = BitList(*a, o.At("attributes"),
                               {{"fec", SD_FW_ATTR_FEC_SUPPORTED},
                                {"npiv", SD_FW_ATTR_NPIV},
                                {"dport", SD_FW_ATTR_DPORT},
                                {"bbcr", SD_FW_ATTR_BBCR}},
                               0xFFFFFFFF);
    auto four = [&](const char *key, uint8_t(&dst)[4]) {
        if (const Json *m = o.Get(key)) {
            if (m->is_string() && m->get<std::string>() == "not_running") {
                dst[0] = dst[1] = 255;
                return;
            }
            const Version3 x = ParseVersion(*m, o.At(key), 2, 4);
            dst[0] = x.major;
            dst[1] = x.minor;
            dst[2] = x.sub;
            dst[3] = x.build;
        } else {
            dst[0] = dst[1] = 255;
        }
    };
    four("mpi", f.MpiVersion);
    four("pep", f.PepVersion);
    riscAttributes =
        o.Has("risc_attributes")
            ? uint32_t(Hex(*o.Get("risc_attributes"), o.At("risc_attributes"), 0xFFFFFFFF))
            : 0x20;
}

void ParsePort(const Obj &o, Instance &in)
{
    o.Allow({"wwpn", "wwnn", "port_id", "speed", "state", "link_state1", "link_state2",
             "link_state3", "connection", "topology", "supported_speeds", "enode_mac",
             "vp_index_supported", "max_vports", "type"});
    SD_PORT_PROPERTY &p = in.port;
    const Wwn wwpn = ParseWwn(o.Need("wwpn"), o.At("wwpn"));
    std::copy(wwpn.begin(), wwpn.end(), p.WWPN);
    if (const Json *w = o.Get("wwnn")) {
        const Wwn wwnn = ParseWwn(*w, o.At("wwnn"));
        std::copy(wwnn.begin(), wwnn.end(), p.WWNN);
    }
    if (const Json *t = o.Get("type"))
        if (Enum(*t, o.At("type"), {{"physical", SD_PORT_TYPE_PHYSICAL}}, 0xFFFF) !=
            SD_PORT_TYPE_PHYSICAL)
            Fail(o.At("type"), "an instance is a physical port (virtual ports go in \"vports\")");
    p.PortType = SD_PORT_TYPE_PHYSICAL;
    const uint32_t id =
        o.Has("port_id") ? uint32_t(Hex(*o.Get("port_id"), o.At("port_id"), 0xFFFFFF)) : 0;
    PutBe24(p.PortId, id);
    p.PortSpeed = o.Has("speed") ? uint16_t(Enum(*o.Get("speed"), o.At("speed"), kSpeeds, 0xFFFF))
                                 : uint16_t(SD_SPEED_AUTO);
    p.PortState = o.Has("state") ? uint16_t(Enum(*o.Get("state"), o.At("state"),
                                                 {{"online", SD_PORT_STATE_ONLINE},
                                                  {"offline", SD_PORT_STATE_OFFLINE},
                                                  {"linkdown", SD_PORT_STATE_LINKDOWN},
                                                  {"link_down", SD_PORT_STATE_LINKDOWN},
                                                  {"diag", SD_PORT_STATE_DIAG}},
                                                 0xFFFF))
                                 : uint16_t(SD_PORT_STATE_ONLINE);
    const bool online = p.PortState == SD_PORT_STATE_ONLINE;
    p.LinkState1 = o.Has("link_state1")
                       ? uint16_t(Num(*o.Get("link_state1"), o.At("link_state1"), 0xFFFF))
                       : uint16_t(online ? 1 : 0);
    p.LinkState2 = o.Has("link_state2") ? uint16_t(Enum(*o.Get("link_state2"), o.At("link_state2"),
                                                        {{"none", SD_LINK2_NONE},
                                                         {"sfp_missing", SD_LINK2_SFP_MISSING},
                                                         {"loss_of_sync", SD_LINK2_LOSS_OF_SYNC},
                                                         {"loss_of_light", SD_LINK2_LOSS_OF_LIGHT},
                                                         {"sfp_invalid", SD_LINK2_SFP_INVALID},
                                                         {"offline", SD_LINK2_OFFLINE}},
                                                        0xFFFF))
                                        : uint16_t(online ? SD_LINK2_NONE : SD_LINK2_LOSS_OF_SYNC);
    p.LinkState3 = o.Has("link_state3")
                       ? uint16_t(BitList(*o.Get("link_state3"), o.At("link_state3"),
                                          {{"fec_active", SD_LINK3_FEC_ACTIVE}}, 0xFFFF))
                       : 0;
    p.ConnectionMode = o.Has("connection")
                           ? uint16_t(Enum(*o.Get("connection"), o.At("connection"),
                                           {{"p2p", SD_CONNECTION_P2P},
                                            {"loop", SD_CONNECTION_LOOP},
                                            {"unknown", SD_CONNECTION_UNKNOWN}},
                                           0xFFFF))
                           : uint16_t(online ? SD_CONNECTION_P2P : SD_CONNECTION_UNKNOWN);
    p.Topology = o.Has("topology") ? uint16_t(Enum(*o.Get("topology"), o.At("topology"),
                                                   {{"nport", SD_TOPO_NPORT},
                                                    {"nlport", SD_TOPO_NLPORT},
                                                    {"fnlport", SD_TOPO_FNLPORT},
                                                    {"nxport", SD_TOPO_NXPORT},
                                                    {"fport", SD_TOPO_FPORT},
                                                    {"flport", SD_TOPO_FLPORT},
                                                    {"ltport", SD_TOPO_LTPORT},
                                                    {"eport", SD_TOPO_EPORT},
                                                    {"bport", SD_TOPO_BPORT},
                                                    {"unidentified", SD_TOPO_UNIDENTIFIED}},
                                                   0xFFFF))
                                   : uint16_t(online ? SD_TOPO_NPORT : SD_TOPO_UNIDENTIFIED);
    p.SupportedSpeeds =
        o.Has("supported_speeds")
            ? BitList(*o.Get("supported_speeds"), o.At("supported_speeds"), kSpeedBits, 0xFFFFFFFF)
            : 0;
    if (const Json *m = o.Get("enode_mac")) {
        const auto mac = HexBytes<6>(*m, o.At("enode_mac"), "MAC address", "00:0e:7a:82:12:01");
        std::copy(mac.begin(), mac.end(), p.ENodeMac);
    }
    p.VpIndexSupported =
        o.Has("vp_index_supported")
            ? uint32_t(Num(*o.Get("vp_index_supported"), o.At("vp_index_supported"), 0xFFFFFFFF))
            : 0;
    p.MaxVports = o.Has("max_vports")
                      ? uint32_t(Num(*o.Get("max_vports"), o.At("max_vports"), 0xFFFFFFFF))
                      : 0;
}

void ParseNode(const Obj &o, Instance &in, const AdapterInfo &ad, std::optional<Version3> &bios,
               std::optional<Version3> &flashFw)
{
    o.Allow({"wwnn", "model", "description", "firmware_version", "serial_bytes", "flash_firmware",
             "bios", "bios_is_efi"});
    SD_NODE_PROPERTY &n = in.node;
    if (const Json *w = o.Get("wwnn")) {
        const Wwn wwnn = ParseWwn(*w, o.At("wwnn"));
        std::copy(wwnn.begin(), wwnn.end(), n.WWNN);
    }
    std::string model = ad.model;
    if (o.Has("model"))
        model = Str(*o.Get("model"), o.At("model"));
    if (model.empty())
        Fail(o.At("model"), "missing required field");
    CopyText(n.Model, model);
    in.adapterModel = model;
    std::string desc = ad.description;
    if (o.Has("description"))
        desc = Str(*o.Get("description"), o.At("description"));
    if (desc.empty())
        desc = "Vantor Corvane " + model + " Fibre Channel Adapter";
    CopyText(n.ModelDescription, desc);
    if (o.Has("firmware_version"))
        CopyText(n.FirmwareVersion, Str(*o.Get("firmware_version"), o.At("firmware_version")));
    if (const Json *sb = o.Get("serial_bytes")) {
        if (!sb->is_array() || sb->size() != 3)
            Fail(o.At("serial_bytes"),
                 "expected an array of three bytes [b0, b1, b2], got " + Describe(*sb));
        for (size_t i = 0; i < 3; ++i)
            n.SerialNum[i] = uint8_t(Hex((*sb)[i], Idx(o.At("serial_bytes"), i), 255));
    } else {
        // Derive b0..b2 from the digits of the card's serial number.
        uint32_t num = 0;
        for (char c : ad.serial)
            if (c >= '0' && c <= '9')
                num = (num * 10 + uint32_t(c - '0')) % (32u << 16);
        n.SerialNum[0] = uint8_t(num >> 16);
        n.SerialNum[1] = uint8_t(num);
        n.SerialNum[2] = uint8_t(num >> 8);
    }
    if (const Json *f = o.Get("flash_firmware"))
        flashFw = ParseVersion(*f, o.At("flash_firmware"), 3, 3);
    if (const Json *b = o.Get("bios"))
        bios = ParseVersion(*b, o.At("bios"), 2, 2);
    if (const Json *e = o.Get("bios_is_efi"))
        n.BiosIsEfi = Bool(*e, o.At("bios_is_efi"));
}

uint32_t EngineVersion(const Json &j, const std::string &path)
{
    const Version3 v = ParseVersion(j, path, 3, 3);
    return uint32_t(v.major) << 16 | uint32_t(v.minor) << 8 | v.sub;
}

void ParseEnginePort(const Obj &o, EnginePort &p)
{
    o.Allow({"port_type", "pause_type", "cos", "retry_count", "fw_update_timeout", "timeout",
             "pause_mask", "fc_map", "fcoe_config", "fcoe_config_min", "fcoe_config_max",
             "fcoe_config_enable"});
    const std::pair<const char *, uint8_t *> bytes[] = {
        {"port_type", &p.portType},
        {"pause_type", &p.pauseType},
        {"cos", &p.cos},
        {"retry_count", &p.retryCount},
        {"pause_mask", &p.pauseMask},
        {"fcoe_config", &p.fcoeConfig},
        {"fcoe_config_min", &p.fcoeConfigMin},
        {"fcoe_config_max", &p.fcoeConfigMax},
        {"fcoe_config_enable", &p.fcoeConfigEnable}};
    for (const auto &[key, field] : bytes)
        if (const Json *v = o.Get(key))
            *field = uint8_t(Num(*v, o.At(key), 255));
    if (const Json *v = o.Get("fw_update_timeout"))
        p.fwUpdateTimeout = uint16_t(Num(*v, o.At("fw_update_timeout"), 0xFFFF));
    if (const Json *v = o.Get("timeout"))
        p.timeout = uint16_t(Num(*v, o.At("timeout"), 0xFFFF));
    if (const Json *v = o.Get("fc_map")) {
        const auto map = HexBytes<3>(*v, o.At("fc_map"), "FC-MAP", "0e:fc:00");
        std::copy(map.begin(), map.end(), p.fcMap);
    }
}

template <size_t N>
void ParseCounterRow(const Json &j, const std::string &path, std::array<uint64_t, N> &row)
{
    if (!j.is_array() || j.size() > N)
        Fail(path,
             "expected an array of at most " + std::to_string(N) + " counters, got " + Describe(j));
    for (size_t i = 0; i < j.size(); ++i)
        row[i] = Num(j[i], Idx(path, i), UINT64_MAX);
}

// Per engine port: an array of one or two counter rows.
template <size_t N>
void ParsePortCounters(const Json &j, const std::string &path,
                       std::array<std::array<uint64_t, N>, 2> &rows)
{
    if (!j.is_array() || j.size() > 2)
        Fail(path, "expected an array of at most two engine ports, got " + Describe(j));
    for (size_t i = 0; i < j.size(); ++i)
        ParseCounterRow(j[i], Idx(path, i), rows[i]);
}

void ParseEngineCounters(const Obj &o, EngineCounters &c)
{
    o.Allow({"asic", "cpu", "ethernet", "fc", "nsl"});
    if (const Json *v = o.Get("asic"))
        ParseCounterRow(*v, o.At("asic"), c.asic);
    if (const Json *v = o.Get("cpu"))
        ParseCounterRow(*v, o.At("cpu"), c.cpu);
    if (const Json *v = o.Get("ethernet"))
        ParsePortCounters(*v, o.At("ethernet"), c.ethernet);
    if (const Json *v = o.Get("fc"))
        ParsePortCounters(*v, o.At("fc"), c.fc);
    if (const Json *v = o.Get("nsl"))
        ParsePortCounters(*v, o.At("nsl"), c.nsl);
}

EngineLog ParseEngineLog(const Obj &o)
{
    o.Allow({"id", "name", "entries"});
    EngineLog log;
    log.id = uint16_t(Num(o.Need("id"), o.At("id"), 0xFFFF));
    if (const Json *v = o.Get("name"))
        log.name = Str(*v, o.At("name")).substr(0, SD_ENGINE_LOG_NAME_SIZE - 1);
    if (const Json *es = o.Get("entries")) {
        if (!es->is_array())
            Fail(o.At("entries"), "expected an array of log entries, got " + Describe(*es));
        for (size_t i = 0; i < es->size(); ++i) {
            Obj e((*es)[i], Idx(o.At("entries"), i));
            e.Allow({"time", "code", "severity", "text"});
            EngineLogEntry entry;
            if (const Json *v = e.Get("time"))
                entry.time = uint32_t(Num(*v, e.At("time"), UINT32_MAX));
            if (const Json *v = e.Get("code"))
                entry.code = uint16_t(Num(*v, e.At("code"), 0xFFFF, true));
            if (const Json *v = e.Get("severity"))
                entry.severity = uint8_t(Num(*v, e.At("severity"), 2));
            if (const Json *v = e.Get("text"))
                entry.text = Str(*v, e.At("text")).substr(0, SD_ENGINE_LOG_TEXT_SIZE - 1);
            log.entries.push_back(std::move(entry));
        }
    }
    return log;
}

void ParseEngine(const Obj &o, Instance &in)
{
    o.Allow({"firmware", "golden_firmware", "golden", "fcoe_config_item", "login_polls", "ports",
             "statistics", "logs", "panic_log"});
    Engine e;
    if (const Json *v = o.Get("firmware"))
        e.version = EngineVersion(*v, o.At("firmware"));
    if (const Json *v = o.Get("golden_firmware"))
        e.goldenVersion = EngineVersion(*v, o.At("golden_firmware"));
    if (const Json *v = o.Get("golden"))
        e.golden = Bool(*v, o.At("golden"));
    if (const Json *v = o.Get("fcoe_config_item"))
        e.fcoeConfigItem = Bool(*v, o.At("fcoe_config_item"));
    if (const Json *v = o.Get("login_polls"))
        e.loginPolls = uint32_t(Num(*v, o.At("login_polls"), 1000));
    if (const Json *ports = o.Get("ports")) {
        if (!ports->is_array() || ports->size() > 2)
            Fail(o.At("ports"),
                 "expected an array of at most two engine ports, got " + Describe(*ports));
        for (size_t i = 0; i < ports->size(); ++i)
            ParseEnginePort(Obj((*ports)[i], Idx(o.At("ports"), i)), e.ports[i]);
    }
    if (o.Has("statistics"))
        ParseEngineCounters(o.Section("statistics"), e.counters);
    if (const Json *logs = o.Get("logs")) {
        if (!logs->is_array())
            Fail(o.At("logs"), "expected an array of engine logs, got " + Describe(*logs));
        e.logs.clear();
        for (size_t i = 0; i < logs->size(); ++i)
            e.logs.push_back(ParseEngineLog(Obj((*logs)[i], Idx(o.At("logs"), i))));
    }
    if (const Json *v = o.Get("panic_log"))
        e.panicLog = Str(*v, o.At("panic_log")).substr(0, SD_ENGINE_MAX_DATA - 1);
    in.engine = e;
}

Instance ParseInstance(const Obj &o, const AdapterInfo &ad, const Fabric &fabric,
                       uint16_t defaultFunction)
{
    const std::string &path = o.path();
    o.Allow({"chip", "driver", "node", "firmware", "port", "nvram", "vpd", "flash", "beacon",
             "temperature", "statistics", "traffic", "events", "vports", "targets", "engine",
             "faults"});
    Instance in;
    in.path = path;
    ParseChip(o.Section("chip", true), in, defaultFunction);
    ParseDriver(o.Section("driver"), in);
    uint32_t riscAttributes = 0x20;
    ParseFirmware(o.Section("firmware"), in, riscAttributes);
    ParsePort(o.Section("port", true), in);
    in.key = WwnKey(in.Wwpn());
    std::optional<Version3> bios, flashFw;
    ParseNode(o.Section("node"), in, ad, bios, flashFw);

    // Names: node WWNN from the port's, or derived from the WWPN (NAA 2, first byte 0x20).
    Wwn wwpn = in.Wwpn();
    Wwn nodeName;
    std::copy(std::begin(in.node.WWNN), std::end(in.node.WWNN), nodeName.begin());
    if (IsZero(nodeName)) {
        Wwn portWwnn = in.Wwnn();
        if (!IsZero(portWwnn))
            nodeName = portWwnn;
        else if (!IsZero(wwpn)) {
            nodeName = wwpn;
            nodeName[0] = 0x20;
        }
        std::copy(nodeName.begin(), nodeName.end(), in.node.WWNN);
    }
    if (IsZero(in.Wwnn()))
        std::copy(nodeName.begin(), nodeName.end(), in.port.WWNN);
    if (!in.node.FirmwareVersion[0])
        CopyText(in.node.FirmwareVersion, in.firmware.Version);

    // NVRAM
    const uint16_t ssvid = in.chip.SubVendorId, ssdid = in.chip.SubSystemId;
    NvramIdentity id{wwpn, nodeName, ssvid, ssdid};
    uint32_t nvSize = kNvramSize;
    auto parseImage = [&](const Obj *given) -> Bytes {
        std::map<uint32_t, uint32_t> values;
        if (given) {
            const Obj &n = *given;
            if (const Json *h = n.Get("hex")) {
                Bytes img = HexBlob(*h, n.At("hex"));
                if (img.size() != nvSize)
                    Fail(n.At("hex"), "NVRAM image is " + std::to_string(img.size()) +
                                          " bytes, expected " + std::to_string(nvSize));
                return img;
            }
            if (n.Has("parameters")) {
                const Obj pr = n.Section("parameters");
                for (const auto &[key, value] : pr.Members()) {
                    std::optional<uint32_t> num = NvramParameterNumber(key);
                    if (!num && !key.empty() && key.size() < 6 &&
                        std::all_of(key.begin(), key.end(),
                                    [](char c) { return c >= '0' && c <= '9'; }) &&
                        FindNvramVar(uint32_t(std::stoul(key))))
                        num = uint32_t(std::stoul(key));
                    if (!num)
                        Fail(pr.At(key), "unknown NVRAM variable");
                    values[*num] = uint32_t(Num(*value, pr.At(key), 0xFFFFFFFF));
                    Bytes probe(nvSize, 0);
                    if (!WriteNvramVar(probe, *FindNvramVar(*num), values[*num]))
                        Fail(pr.At(key), "value does not fit the variable");
                }
            }
        }
        return BuildNvram(nvSize, id, values);
    };
    if (o.Has("nvram")) {
        const Obj n = o.Section("nvram");
        n.Allow({"size", "parameters", "hex", "second"});
        if (const Json *s = n.Get("size")) {
            nvSize = uint32_t(Num(*s, n.At("size"), 0xFFFF));
            if (nvSize != kNvramSize && nvSize != kNvramSmallSize)
                Fail(n.At("size"), "NVRAM size must be 256 or 512");
        }
        in.nvram1 = parseImage(&n);
        if (n.Has("second")) {
            const Obj second = n.Section("second");
            second.Allow({"parameters", "hex"});
            in.nvram2 = parseImage(&second);
        } else {
            in.nvram2 = parseImage(nullptr);
        }
    } else {
        in.nvram1 = parseImage(nullptr);
        in.nvram2 = parseImage(nullptr);
    }

    // VPD: per-instance section over the adapter's.
    {
        const std::string vp = o.At("vpd");
        Obj v = o.Section("vpd");
        if (ad.vpd) {
            // The card's VPD lies under the port's.
            if (!ad.vpd->is_object())
                Fail(vp, "expected an object, got " + Describe(*ad.vpd));
            v = o.Has("vpd") ? Obj::Over(*ad.vpd, v) : Obj(*ad.vpd, vp);
        }
        v.Allow({"size", "identifier", "keywords", "hex"});
        const bool fast = (in.port.SupportedSpeeds & ~0x1Fu) != 0; // 16 Gb and up
        const uint32_t size = v.Has("size") ? uint32_t(Num(*v.Get("size"), v.At("size"), 65536))
                                            : (fast ? 1024 : 512);
        if (const Json *h = v.Get("hex")) {
            in.vpd = HexBlob(*h, v.At("hex"));
            if (in.vpd.size() > size)
                Fail(v.At("hex"), "VPD image is larger than its size");
            in.vpd.resize(size, 0);
        } else {
            std::vector<std::pair<std::string, std::string>> kw;
            if (v.Has("keywords")) {
                const Obj ko = v.Section("keywords");
                for (const auto &[key, value] : ko.Members()) {
                    if (key.size() != 2)
                        Fail(ko.At(key), "a VPD keyword has two characters");
                    if (key == "RV" || key == "RW")
                        Fail(ko.At(key), "RV and RW are added by the simulator");
                    const std::string data = Str(*value, ko.At(key));
                    if (data.size() > 255)
                        Fail(ko.At(key), "keyword data is longer than 255 bytes");
                    kw.emplace_back(key, data);
                }
            } else {
                kw = {{"PN", "CV" + in.adapterModel.substr(in.adapterModel.find('-') + 1) + "-01"},
                      {"EC", "A01"},
                      {"SN", ad.serial.empty() ? "CVA0000000" : ad.serial},
                      {"MN", "1E7A"}};
            }
            if (!ad.serial.empty() &&
                std::none_of(kw.begin(), kw.end(), [](auto &p) { return p.first == "SN"; }))
                kw.emplace_back("SN", ad.serial);
            const std::string ident = v.Has("identifier")
                                          ? Str(*v.Get("identifier"), v.At("identifier"))
                                          : in.node.ModelDescription;
            in.vpd = BuildVpd(size, ident, kw);
            if (in.vpd.empty())
                Fail(vp, "the VPD keywords do not fit in " + std::to_string(size) + " bytes");
        }
    }

    // Flash
    {
        const Obj f = o.Section("flash");
        f.Allow({"boot_code", "image_status", "regions", "total_size", "update_capabilities"});
        in.flashCaps = f.Has("update_capabilities")
                           ? uint32_t(Hex(*f.Get("update_capabilities"),
                                          f.At("update_capabilities"), 0xFFFFFFFF))
                           : 0;
        std::vector<BootImage> boot;
        if (const Json *bc = f.Get("boot_code")) {
            if (!bc->is_array())
                Fail(f.At("boot_code"), "expected an array, got " + Describe(*bc));
            for (size_t i = 0; i < bc->size(); ++i) {
                Obj b((*bc)[i], Idx(f.At("boot_code"), i));
                b.Allow({"type", "version", "blocks"});
                BootImage img;
                img.type =
                    BootCodeType(Enum(b.Need("type"), b.At("type"),
                                      {{"bios", 0}, {"fcode", 1}, {"pxe", 2}, {"efi", 3}}, 3));
                const Version3 ver = ParseVersion(b.Need("version"), b.At("version"), 2, 2);
                img.major = ver.major;
                img.minor = ver.minor;
                img.blocks =
                    b.Has("blocks") ? uint32_t(Num(*b.Get("blocks"), b.At("blocks"), 255)) : 32;
                if (img.blocks == 0)
                    Fail(b.At("blocks"), "an image has at least one block");
                boot.push_back(img);
            }
        } else {
            const uint8_t maj = bios ? bios->major : 3, min = bios ? bios->minor : 60;
            boot = {{BootCodeType::Bios, maj, min, 32},
                    {BootCodeType::FCode, 4, 10, 16},
                    {BootCodeType::Efi, 7, 2, 48}};
        }
        const uint32_t bootSize = 0x40000, fwSize = 0x80000;
        if (BootChainSize(boot) > bootSize)
            Fail(f.At("boot_code"), "the boot images do not fit in the boot region");
        FlashRegion rBoot;
        rBoot.code = SD_FLASH_REGION_BOOT;
        rBoot.size = bootSize;
        rBoot.kind = FlashRegion::Kind::Boot;
        rBoot.boot = boot;
        const Version3 fw = flashFw
                                ? *flashFw
                                : Version3{uint8_t(in.firmware.Major), uint8_t(in.firmware.Minor),
                                           uint8_t(in.firmware.Sub), 0, 3};
        uint32_t seed = 0;
        for (uint8_t b : wwpn)
            seed = seed * 31 + b;
        FlashRegion rFw;
        rFw.code = SD_FLASH_REGION_FW;
        rFw.offset = bootSize;
        rFw.size = fwSize;
        rFw.kind = FlashRegion::Kind::Firmware;
        rFw.fwMajor = fw.major;
        rFw.fwMinor = fw.minor;
        rFw.fwSub = fw.sub;
        rFw.riscAttributes = riscAttributes;
        rFw.seed = seed;
        FlashRegion rNv;
        rNv.code = SD_FLASH_REGION_NVRAM_DEFAULT;
        rNv.offset = bootSize + fwSize;
        rNv.size = 0x1000;
        rNv.kind = FlashRegion::Kind::NvramDefaults;
        FlashRegion rSt;
        rSt.code = SD_FLASH_REGION_IMAGE_STATUS;
        rSt.offset = bootSize + fwSize + 0x1000;
        rSt.size = 0x1000;
        rSt.kind = FlashRegion::Kind::ImageStatus;
        rSt.marker = f.Has("image_status")
                         ? uint32_t(Hex(*f.Get("image_status"), f.At("image_status"), 0xFFFFFFFF))
                         : kImageStatusMarker;
        in.flash = {std::move(rBoot), std::move(rFw), std::move(rNv), std::move(rSt)};
        uint32_t next = bootSize + fwSize + 0x2000;
        if (const Json *regs = f.Get("regions")) {
            if (!regs->is_array())
                Fail(f.At("regions"), "expected an array, got " + Describe(*regs));
            if (regs->size() > SD_FLASH_MAX_REGIONS)
                Fail(f.At("regions"), "too many flash regions");
            for (size_t i = 0; i < regs->size(); ++i) {
                Obj r((*regs)[i], Idx(f.At("regions"), i));
                r.Allow({"code", "size", "hex", "fill", "attributes"});
                FlashRegion reg;
                reg.code = uint32_t(Hex(r.Need("code"), r.At("code"), 0xFFFF));
                if (reg.code == SD_FLASH_REGION_WHOLE)
                    Fail(r.At("code"), "region 0 stands for the whole flash");
                reg.data = r.Has("hex") ? HexBlob(*r.Get("hex"), r.At("hex")) : Bytes{};
                reg.size = r.Has("size") ? uint32_t(Num(*r.Get("size"), r.At("size"), 1u << 24))
                                         : uint32_t(reg.data.size());
                if (reg.size == 0)
                    Fail(r.At("size"), "a region needs a size or data");
                if (reg.data.size() > reg.size)
                    Fail(r.At("hex"), "data is larger than the region");
                reg.fill = r.Has("fill") ? uint8_t(Hex(*r.Get("fill"), r.At("fill"), 255)) : 0xFF;
                reg.attributes =
                    r.Has("attributes")
                        ? uint32_t(Hex(*r.Get("attributes"), r.At("attributes"), 0xFFFFFFFF))
                        : 0;
                reg.kind = FlashRegion::Kind::Data;
                auto same = std::find_if(in.flash.begin(), in.flash.end(),
                                         [&](const FlashRegion &x) { return x.code == reg.code; });
                if (same != in.flash.end() && same->size >= reg.size) {
                    reg.offset = same->offset;
                    reg.size = same->size;
                    *same = std::move(reg);
                } else {
                    if (same != in.flash.end())
                        in.flash.erase(same);
                    reg.offset = next;
                    next += (reg.size + 0xFFF) & ~0xFFFu;
                    in.flash.push_back(std::move(reg));
                }
            }
        }
        for (auto &r : in.flash) {
            char item[24];
            std::snprintf(item, sizeof item, "flash:0x%02x", r.code);
            r.item = item;
        }
        if (in.flash.size() > SD_FLASH_MAX_REGIONS)
            Fail(f.At("regions"), "too many flash regions");
        in.flashTotal = f.Has("total_size")
                            ? uint32_t(Num(*f.Get("total_size"), f.At("total_size"), 1u << 28))
                            : std::max<uint32_t>(next, 0x100000);
        if (in.flashTotal < next)
            Fail(f.At("total_size"), "the regions do not fit in the flash");
        // Node versions follow the flash unless the description gave them.
        if (!bios) {
            const auto chain = DescribedBootImages(in, in.flash[0]);
            auto x86 = std::find_if(chain.begin(), chain.end(), [](const BootImage &b) {
                return b.type == BootCodeType::Bios;
            });
            auto efi = std::find_if(chain.begin(), chain.end(),
                                    [](const BootImage &b) { return b.type == BootCodeType::Efi; });
            if (x86 != chain.end()) {
                in.node.BiosMajor = x86->major;
                in.node.BiosMinor = x86->minor;
            } else if (efi != chain.end()) {
                in.node.BiosMajor = efi->major;
                in.node.BiosMinor = efi->minor;
                in.node.BiosIsEfi = 1;
            }
        } else {
            in.node.BiosMajor = bios->major;
            in.node.BiosMinor = bios->minor;
        }
        in.node.FlashFwMajor = fw.major;
        in.node.FlashFwMinor = fw.minor;
        in.node.FlashFwSub = fw.sub;
    }

    if (const Json *b = o.Get("beacon"))
        in.beacon = Enum(*b, o.At("beacon"),
                         {{"off", SD_BEACON_OFF}, {"on", SD_BEACON_ON}, {"third", SD_BEACON_THIRD}},
                         0xFFFFFFFF);

    if (o.Has("temperature")) {
        const Obj to = o.Section("temperature");
        to.Allow({"celsius", "high_alarm", "low_alarm", "threshold", "steps", "step_seconds"});
        if (to.Has("celsius"))
            in.temperature.celsius = int32_t(SignedNum(*to.Get("celsius"), to.At("celsius")));
        if (to.Has("high_alarm"))
            in.temperature.highAlarm =
                int32_t(SignedNum(*to.Get("high_alarm"), to.At("high_alarm")));
        if (to.Has("low_alarm"))
            in.temperature.lowAlarm = int32_t(SignedNum(*to.Get("low_alarm"), to.At("low_alarm")));
        if (to.Has("threshold"))
            in.temperature.threshold = int32_t(SignedNum(*to.Get("threshold"), to.At("threshold")));
        if (const Json *st = to.Get("steps")) {
            if (!st->is_array() || st->empty() || st->size() > 64)
                Fail(to.At("steps"),
                     "expected an array of 1 to 64 temperatures, got " + Describe(*st));
            in.temperature.steps.clear();
            for (size_t i = 0; i < st->size(); ++i)
                in.temperature.steps.push_back(
                    int32_t(SignedNum((*st)[i], Idx(to.At("steps"), i))));
        }
        if (to.Has("step_seconds"))
            in.temperature.stepSeconds =
                uint32_t(Num(*to.Get("step_seconds"), to.At("step_seconds"), 86400));
    }

    if (o.Has("traffic")) {
        const Obj tr = o.Section("traffic");
        Traffic &t = in.traffic;
        const std::pair<const char *, uint32_t *> rates[] = {
            {"io_per_second", &t.ioPerSecond},
            {"bytes_per_io", &t.bytesPerIo},
            {"port_errors_per_minute", &t.portErrorsPerMinute},
            {"device_errors_per_minute", &t.deviceErrorsPerMinute},
            {"link_errors_per_minute", &t.linkErrorsPerMinute},
            {"credit_loss_per_minute", &t.creditLossPerMinute},
            {"fec_errors_per_minute", &t.fecErrorsPerMinute}};
        for (const auto &[key, member] : tr.Members()) {
            bool known = false;
            for (auto &[k, dst] : rates)
                if (key == k) {
                    *dst = uint32_t(Num(*member, tr.At(k), 1000000));
                    known = true;
                }
            if (!known)
                Fail(tr.At(key), "unknown field");
        }
    }

    if (o.Has("statistics")) {
        const Obj so = o.Section("statistics");
        SD_STATISTICS &st = in.stats;
        const std::pair<const char *, uint64_t *> wide[] = {
            {"io_count", &st.IoCount},
            {"byte_count", &st.ByteCount},
            {"read_requests", &st.ReadRequests},
            {"write_requests", &st.WriteRequests},
            {"control_requests", &st.ControlRequests}};
        const std::pair<const char *, uint32_t *> narrow[] = {
            {"port_errors", &st.PortErrors},
            {"device_errors", &st.DeviceErrors},
            {"reset_count", &st.ResetCount},
            {"link_failures", &st.LinkFailureCount},
            {"loss_of_sync", &st.LossOfSyncCount},
            {"loss_of_signal", &st.LossOfSignalCount},
            {"primitive_seq_errors", &st.PrimitiveSeqProtocolErrorCount},
            {"invalid_tx_words", &st.InvalidTransmissionWordCount},
            {"invalid_crc", &st.InvalidCrcCount},
            {"seconds_since_reset", &st.SecondsSinceReset}};
        for (const auto &[key, member] : so.Members()) {
            const Json &value = *member;
            bool known = false;
            for (auto &[k, dst] : wide)
                if (key == k) {
                    *dst = Num(value, so.At(k), UINT64_MAX);
                    known = true;
                }
            for (auto &[k, dst] : narrow)
                if (key == k) {
                    *dst = uint32_t(Num(value, so.At(k), 0xFFFFFFFF));
                    known = true;
                }
            if (!known)
                Fail(so.At(key), "unknown field");
        }
    }

    if (const Json *ev = o.Get("events")) {
        if (!ev->is_array())
            Fail(o.At("events"), "expected an array, got " + Describe(*ev));
        for (size_t i = 0; i < ev->size(); ++i) {
            Obj e((*ev)[i], Idx(o.At("events"), i));
            e.Allow({"type", "data"});
            Event out;
            out.type = Enum(e.Need("type"), e.At("type"), kEvents, 0xFFFFFFFF);
            if (const Json *d = e.Get("data")) {
                if (!d->is_array() || d->size() > 3)
                    Fail(e.At("data"), "expected an array of up to three numbers");
                for (size_t k = 0; k < d->size(); ++k)
                    out.data[k] = uint32_t(Num((*d)[k], Idx(e.At("data"), k), 0xFFFFFFFF));
            }
            in.events.push_back(out);
        }
    }

    if (const Json *vp = o.Get("vports")) {
        if (!vp->is_array())
            Fail(o.At("vports"), "expected an array, got " + Describe(*vp));
        std::set<uint32_t> slots;
        std::set<Wwn> vportNames;
        for (size_t i = 0; i < vp->size(); ++i) {
            Obj v((*vp)[i], Idx(o.At("vports"), i));
            v.Allow({"wwpn", "wwnn", "slot", "port_id", "qos_type", "qos_value", "vf_id", "name",
                     "san_priority"});
            Vport out;
            out.wwpn = ParseWwn(v.Need("wwpn"), v.At("wwpn"));
            out.wwnn = v.Has("wwnn") ? ParseWwn(*v.Get("wwnn"), v.At("wwnn")) : out.wwpn;
            out.slot = v.Has("slot") ? uint32_t(Num(*v.Get("slot"), v.At("slot"), 0xFFFF))
                                     : uint32_t(i + 1);
            if (out.slot == 0)
                Fail(v.At("slot"), "slot 0 stands for the physical port");
            if (in.port.MaxVports && out.slot > in.port.MaxVports)
                Fail(v.At("slot"), "slot " + std::to_string(out.slot) + " is above max_vports " +
                                       std::to_string(in.port.MaxVports));
            if (!slots.insert(out.slot).second)
                Fail(v.At("slot"), "slot " + std::to_string(out.slot) + " is used twice");
            if (!vportNames.insert(out.wwpn).second)
                Fail(v.At("wwpn"), "virtual port WWPN is used twice");
            out.portId = v.Has("port_id")
                             ? uint32_t(Hex(*v.Get("port_id"), v.At("port_id"), 0xFFFFFF))
                             : (GetBe24(in.port.PortId) ? GetBe24(in.port.PortId) + out.slot : 0);
            out.qosType = v.Has("qos_type")
                              ? uint32_t(Num(*v.Get("qos_type"), v.At("qos_type"), 0xFFFFFFFF))
                              : 0;
            out.qosValue = v.Has("qos_value")
                               ? uint32_t(Num(*v.Get("qos_value"), v.At("qos_value"), 0xFFFFFFFF))
                               : 0;
            out.vfId =
                v.Has("vf_id") ? uint32_t(Num(*v.Get("vf_id"), v.At("vf_id"), 0xFFFFFFFF)) : 0;
            out.sanPriority =
                v.Has("san_priority")
                    ? uint32_t(Num(*v.Get("san_priority"), v.At("san_priority"), 0xFFFFFFFF))
                    : 0;
            out.name = v.Has("name") ? Str(*v.Get("name"), v.At("name"))
                                     : "VantorVirtualPort-" + std::to_string(out.slot);
            if (const Switch *sw = fabric.Principal())
                out.fabricWwn = sw->wwn;
            in.vports.push_back(out);
        }
        if (!in.vports.empty() && !(in.firmware.Attributes & SD_FW_ATTR_NPIV))
            Fail(o.At("vports"), "virtual ports need firmware attribute \"npiv\"");
        std::sort(in.vports.begin(), in.vports.end(),
                  [](const Vport &a, const Vport &b) { return a.slot < b.slot; });
    }

    if (const Json *tg = o.Get("targets")) {
        if (!tg->is_array())
            Fail(o.At("targets"), "expected an array, got " + Describe(*tg));
        uint16_t nextId = 0;
        for (size_t i = 0; i < tg->size(); ++i) {
            const std::string tp = Idx(o.At("targets"), i);
            TargetRef ref;
            if ((*tg)[i].is_string()) {
                ref.wwpn = ParseWwn((*tg)[i], tp);
                ref.targetId = nextId;
            } else {
                Obj t((*tg)[i], tp);
                t.Allow({"wwpn", "configured", "boot", "target_id"});
                ref.wwpn = ParseWwn(t.Need("wwpn"), t.At("wwpn"));
                if (t.Has("configured"))
                    ref.configured = Bool(*t.Get("configured"), t.At("configured"));
                if (t.Has("boot"))
                    ref.boot = Bool(*t.Get("boot"), t.At("boot"));
                ref.targetId = t.Has("target_id")
                                   ? uint16_t(Num(*t.Get("target_id"), t.At("target_id"), 0xFFFE))
                                   : nextId;
            }
            if (!fabric.FindTarget(ref.wwpn))
                Fail(tp, "target " + WwnText(ref.wwpn) + " is not in fabric.targets");
            if (ref.configured)
                nextId = uint16_t(ref.targetId + 1);
            in.targets.push_back(ref);
        }
    }

    if (o.Has("engine"))
        ParseEngine(o.Section("engine"), in);

    if (o.Has("faults")) {
        const Obj fo = o.Section("faults");
        fo.Allow({"not_ready", "open_status", "queries", "calls", "duplicate", "diag"});
        if (fo.Has("diag")) {
            const Obj d = fo.Section("diag");
            d.Allow({"loopback_results", "crc_errors", "disparity_errors", "frame_length_errors",
                     "miscompare_at", "link_errors_at", "ct_busy", "ct_busy_reason",
                     "dport_not_ready", "dport_switch_unsupported", "dport_result", "dport_mbx1",
                     "primseq_gap"});
            DiagFaults &df = in.faults.diag;
            if (const Json *r = d.Get("loopback_results")) {
                if (!r->is_array())
                    Fail(d.At("loopback_results"), "expected an array, got " + Describe(*r));
                for (size_t i = 0; i < r->size(); ++i)
                    df.loopbackResults.push_back(
                        uint32_t(Num((*r)[i], Idx(d.At("loopback_results"), i), 255)));
            }
            auto num = [&](const char *key, uint32_t &out, uint64_t max) {
                if (d.Has(key))
                    out = uint32_t(Num(*d.Get(key), d.At(key), max));
            };
            num("crc_errors", df.crcErrors, 0xFFFF);
            num("disparity_errors", df.disparityErrors, 0xFFFF);
            num("frame_length_errors", df.frameLengthErrors, 0xFFFF);
            num("miscompare_at", df.miscompareAt, 1000000);
            num("link_errors_at", df.linkErrorsAt, 1000000);
            num("ct_busy", df.ctBusy, 1000);
            uint32_t reason = df.ctBusyReason;
            num("ct_busy_reason", reason, 255);
            df.ctBusyReason = uint8_t(reason);
            num("dport_not_ready", df.dportNotReady, 1000);
            num("dport_result", df.dportResult, 255);
            num("dport_mbx1", df.dportMbx1, 0xFFFFFFFF);
            num("primseq_gap", df.primSeqGap, 1000);
            if (d.Has("dport_switch_unsupported"))
                df.dportSwitchUnsupported =
                    Bool(*d.Get("dport_switch_unsupported"), d.At("dport_switch_unsupported"));
        }
        if (fo.Has("duplicate"))
            in.faults.duplicate = Bool(*fo.Get("duplicate"), fo.At("duplicate"));
        if (fo.Has("not_ready"))
            in.faults.notReady = uint32_t(Num(*fo.Get("not_ready"), fo.At("not_ready"), 1000000));
        if (fo.Has("open_status"))
            in.faults.openStatus = Status(*fo.Get("open_status"), fo.At("open_status"));
        if (fo.Has("queries")) {
            const Obj qo = fo.Section("queries");
            static const std::set<std::string> names = {"chip",
                                                        "driver",
                                                        "node",
                                                        "firmware",
                                                        "port",
                                                        "statistics",
                                                        "temperature",
                                                        "nvram",
                                                        "beacon",
                                                        "vpd",
                                                        "flash",
                                                        "aen_enable",
                                                        "aen",
                                                        "port_database",
                                                        "targets",
                                                        "features",
                                                        "private_statistics"};
            for (const auto &[key, value] : qo.Members()) {
                std::string k = key;
                std::replace(k.begin(), k.end(), '-', '_');
                if (!names.count(k))
                    Fail(qo.At(key), "unknown query (chip, driver, node, firmware, port, "
                                     "statistics, temperature, nvram, beacon, vpd, flash, "
                                     "aen_enable, aen, port_database, targets, features, "
                                     "private_statistics)");
                in.faults.queries[k] = Status(*value, qo.At(key));
            }
        }
        if (const Json *c = fo.Get("calls")) {
            if (!c->is_array())
                Fail(fo.At("calls"), "expected an array, got " + Describe(*c));
            for (size_t i = 0; i < c->size(); ++i) {
                Obj co((*c)[i], Idx(fo.At("calls"), i));
                co.Allow({"call", "nth", "status", "torn"});
                CallFault cf;
                cf.call = Str(co.Need("call"), co.At("call"));
                cf.nth =
                    co.Has("nth") ? uint32_t(Num(*co.Get("nth"), co.At("nth"), 0xFFFFFFFF)) : 1;
                if (cf.nth == 0)
                    Fail(co.At("nth"), "calls are counted from 1");
                cf.status =
                    co.Has("status") ? Status(*co.Get("status"), co.At("status")) : SDERR_FAILED;
                cf.torn = co.Has("torn") && Bool(*co.Get("torn"), co.At("torn"));
                in.faults.calls.push_back(cf);
            }
        }
    }
    return in;
}

constexpr size_t kMaxInstances = 256;

// Every port and virtual port name is used once: a second port with the same
// name would hide the first, whose state it shares.
class NameRegistry {
public:
    void Add(const Wwn &wwpn, const std::string &path)
    {
        auto [it, fresh] = seen_.emplace(wwpn, path);
        if (!fresh)
            Fail(path, "WWPN " + WwnText(wwpn) + " is already used by " + it->second);
    }

private:
    std::map<Wwn, std::string> seen_;
};

void AddNames(NameRegistry &names, const Instance &in)
{
    // A port the library lists twice is a fault the description asks for by name.
    if (!in.faults.duplicate)
        names.Add(in.Wwpn(), Sub(in.path, "port.wwpn"));
    for (size_t i = 0; i < in.vports.size(); ++i)
        names.Add(in.vports[i].wwpn, Idx(Sub(in.path, "vports"), i) + ".wwpn");
}

Machine ParseMachine(const Json &root)
{
    Machine m;
    Obj top(root, "");
    top.Allow({"format", "comment", "host", "fabric", "adapters", "instances"});
    if (const Json *h = top.Get("host")) {
        Obj host(*h, "host");
        host.Allow({"firmware"});
        if (const Json *fw = host.Get("firmware"))
            m.hostFirmware = HostFirmware(Enum(
                *fw, host.At("firmware"),
                {{"bios", uint32_t(HostFirmware::Bios)}, {"efi", uint32_t(HostFirmware::Efi)}}, 0));
    }
    if (const Json *f = top.Get("format"))
        if (Num(*f, "format", 0xFFFF) != 1)
            Fail("format", "unsupported format " + Describe(*f) + " (this library reads format 1)");
    const Json *ads = top.Get("adapters");
    const Json *ins = top.Get("instances");
    if (ads && !ads->is_array())
        Fail("adapters", "expected an array, got " + Describe(*ads));
    if (ins && !ins->is_array())
        Fail("instances", "expected an array, got " + Describe(*ins));
    // Counted before anything is built, so that a huge description costs nothing.
    size_t count = ins ? ins->size() : 0;
    for (size_t a = 0; ads && a < ads->size(); ++a)
        if ((*ads)[a].is_object())
            if (auto it = (*ads)[a].find("ports"); it != (*ads)[a].end() && it->is_array())
                count += it->size();
    if (count > kMaxInstances)
        Fail("instances", "at most " + std::to_string(kMaxInstances) +
                              " instances, the description has " + std::to_string(count));
    if (const Json *fab = top.Get("fabric"))
        m.fabric = ParseFabric(*fab, "fabric");
    m.instances.reserve(count);
    NameRegistry names;
    for (size_t a = 0; ads && a < ads->size(); ++a) {
        const std::string ap = Idx("adapters", a);
        Obj ao((*ads)[a], ap);
        ao.Allow({"model", "description", "serial", "vpd", "defaults", "ports"});
        AdapterInfo info;
        if (ao.Has("model"))
            info.model = Str(*ao.Get("model"), ao.At("model"));
        if (ao.Has("description"))
            info.description = Str(*ao.Get("description"), ao.At("description"));
        if (ao.Has("serial"))
            info.serial = Str(*ao.Get("serial"), ao.At("serial"));
        info.vpd = ao.Get("vpd");
        const Json *defaults = ao.Get("defaults");
        if (defaults && !defaults->is_object())
            Fail(ao.At("defaults"), "expected an object, got " + Describe(*defaults));
        const Json &ports = ao.Need("ports");
        if (!ports.is_array() || ports.empty())
            Fail(ao.At("ports"), "expected a non-empty array of ports");
        for (size_t p = 0; p < ports.size(); ++p) {
            const std::string pp = Idx(ao.At("ports"), p);
            if (!ports[p].is_object())
                Fail(pp, "expected an object, got " + Describe(ports[p]));
            // The port's keys over the card's defaults, read in place.
            const Obj port = defaults ? Obj(std::vector<const Json *>{defaults, &ports[p]}, pp)
                                      : Obj(ports[p], pp);
            // PCI function follows the port's place on the card unless given.
            m.instances.push_back(ParseInstance(port, info, m.fabric, uint16_t(p % 8)));
            AddNames(names, m.instances.back());
        }
    }
    for (size_t i = 0; ins && i < ins->size(); ++i) {
        m.instances.push_back(
            ParseInstance(Obj((*ins)[i], Idx("instances", i)), AdapterInfo{}, m.fabric, 0));
        AddNames(names, m.instances.back());
    }
    return m;
}

std::string OneLine(std::string s)
{
    std::replace(s.begin(), s.end(), '\n', ' ');
    std::replace(s.begin(), s.end(), '\r', ' ');
    return s;
}

} // namespace

namespace {

constexpr size_t kMaxText = 4u << 20; // far above any real machine, far below what hurts
constexpr int kMaxDepth = 64;         // a description nests about six levels
constexpr size_t kMaxMembers = 512;   // its largest objects have a few dozen

// Line and column (from 1) of a byte.
std::string Place(std::string_view text, size_t at)
{
    size_t line = 1, col = 1;
    for (size_t i = 0; i < at && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            col = 1;
        } else {
            ++col;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(col);
}

// Builds the tree and keeps where the parser stopped, for every kind of error
// (a number too large is not a syntax error to the parser, but is one here).
class TreeBuilder {
public:
    explicit TreeBuilder(Json &root) : dom_(root, false) { }
    bool null() { return dom_.null(); }
    bool boolean(bool v) { return dom_.boolean(v); }
    bool number_integer(Json::number_integer_t v) { return dom_.number_integer(v); }
    bool number_unsigned(Json::number_unsigned_t v) { return dom_.number_unsigned(v); }
    bool number_float(Json::number_float_t v, const std::string &s)
    {
        return dom_.number_float(v, s);
    }
    bool string(std::string &v) { return dom_.string(v); }
    bool binary(Json::binary_t &v) { return dom_.binary(v); }
    bool start_object(std::size_t n) { return dom_.start_object(n); }
    bool key(std::string &k) { return dom_.key(k); }
    bool end_object() { return dom_.end_object(); }
    bool start_array(std::size_t n) { return dom_.start_array(n); }
    bool end_array() { return dom_.end_array(); }
    bool parse_error(std::size_t position, const std::string &,
                     const nlohmann::detail::exception &ex)
    {
        position_ = position;
        what_ = ex.what();
        return false;
    }
    size_t position() const { return position_; }
    const std::string &what() const { return what_; }

private:
    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    size_t position_ = 0;
    std::string what_ = "unexpected end of input";
};

} // namespace

// Checked before a parser (and everything that walks the tree after it)
// recurses that deep, and before an object grows so large that its member
// look-ups (a list, to keep the order) cost more than the file is worth.
std::optional<ShapeError> CheckShape(std::string_view text, int maxDepth, size_t maxMembers)
{
    std::vector<std::pair<bool, size_t>> open; // object?, members so far
    bool inString = false, escaped = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            open.emplace_back(c == '{', 1);
            if (open.size() > size_t(maxDepth))
                return ShapeError{i, "nested deeper than " + std::to_string(maxDepth) + " levels"};
        } else if (c == ',' && !open.empty() && open.back().first) {
            if (++open.back().second > maxMembers)
                return ShapeError{i, "an object with more than " + std::to_string(maxMembers) +
                                         " members"};
        } else if ((c == '}' || c == ']') && !open.empty()) {
            open.pop_back();
        }
    }
    return std::nullopt;
}

namespace {

// Builds the machine of a parsed description, and turns every failure on the
// way into the one-line message.
template <class Parse> LoadResult BuildMachine(const std::string &source, Parse &&parse)
{
    LoadResult r;
    const std::string prefix = "vnsdm: machine description " + source + ": ";
    try {
        Json root;
        if (std::string problem = parse(root, prefix); !problem.empty()) {
            r.error = OneLine(problem);
            return r;
        }
        Machine m = ParseMachine(root);
        m.source = source;
        r.machine = std::move(m);
    } catch (const ContentError &e) {
        r.error = OneLine(prefix + (e.path.empty() ? "top level" : e.path) + ": " + e.message);
    } catch (const std::bad_alloc &) {
        r.error = prefix + "top level: out of memory";
    } catch (const std::exception &e) {
        r.error = OneLine(prefix + "top level: " + e.what());
    } catch (...) {
        r.error = prefix + "top level: cannot be read";
    }
    return r;
}

} // namespace

LoadResult LoadMachineText(std::string_view text, const std::string &source)
{
    return BuildMachine(source, [&](Json &root, const std::string &prefix) -> std::string {
        if (text.size() > kMaxText)
            return prefix + "top level: the description is larger than " +
                   std::to_string(kMaxText >> 20) + " MiB";
        if (const auto bad = CheckShape(text, kMaxDepth, kMaxMembers))
            return prefix + Place(text, bad->at) + ": " + bad->problem;
        TreeBuilder builder(root);
        if (Json::sax_parse(text.begin(), text.end(), &builder))
            return "";
        // "[json.exception.parse_error.101] parse error at line 3, column 14: syntax error ..."
        std::string what = builder.what();
        if (const auto at = what.find(": ", what.find("parse error"));
            what.find("parse error") != std::string::npos && at != std::string::npos)
            what = what.substr(at + 2);
        else if (what.rfind("[json.exception.", 0) == 0 && what.find("] ") != std::string::npos)
            what = what.substr(what.find("] ") + 2);
        const size_t stop = builder.position() ? builder.position() - 1 : 0;
        return prefix + Place(text, stop) + ": JSON syntax error: " + what;
    });
}

LoadResult LoadMachineCbor(std::span<const std::uint8_t> cbor, const std::string &source)
{
    return BuildMachine(source, [&](Json &root, const std::string &prefix) -> std::string {
        TreeBuilder builder(root);
        if (Json::sax_parse(cbor.begin(), cbor.end(), &builder,
                            nlohmann::detail::input_format_t::cbor))
            return "";
        return prefix + "top level: " + builder.what();
    });
}

LoadResult LoadMachineFile(const std::string &path)
{
    LoadResult r;
    const std::string prefix = "vnsdm: machine description " + path + ": ";
    struct stat st { };
    if (stat(path.c_str(), &st) != 0) {
        r.error = prefix + "cannot read: " + std::strerror(errno);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = prefix + "cannot read: not a regular file";
        return r;
    }
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        r.error = prefix + "cannot read: " + std::strerror(errno);
        return r;
    }
    // One byte past the limit is enough to refuse a file that grew too large.
    std::string text;
    char buf[65536];
    size_t n;
    while (text.size() <= kMaxText && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) {
        r.error = prefix + "cannot read: " + std::strerror(errno);
        return r;
    }
    return LoadMachineText(text, path);
}

} // namespace vnsdm
