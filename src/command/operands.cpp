// Shared operand parsers: option spelling, adapter and target selectors, WWNs,
// port IDs, LUNs and numbers.
#include "command/operands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "adapters/adapterlist.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int HexDigit(char c)
{
    return c <= '9' ? c - '0' : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

uint8_t HexByte(char hi, char lo) { return uint8_t(HexDigit(hi) << 4 | HexDigit(lo)); }

bool IsSeparator(char c) { return c == '-' || c == ':'; }

// The word of an option spelling without its one or two dashes or its '/';
// empty for a text that is no option spelling.
std::string_view OptionBody(std::string_view text)
{
    if (text.size() > 2 && text[0] == '-' && text[1] == '-')
        return text.substr(2);
    if (text.size() > 1 && (text[0] == '-' || text[0] == '/'))
        return text.substr(1);
    return {};
}

const std::string kNoOperand;

} // namespace

// ---- Option spelling --------------------------------------------------------

bool OptionIs(std::string_view arg, std::string_view word)
{
    if (SameText(arg, word))
        return true;
    std::string_view body = OptionBody(arg);
    std::string_view wordBody = OptionBody(word);
    return !body.empty() && !wordBody.empty() && SameText(body, wordBody);
}

std::string SubOptionWord(std::string_view operand)
{
    std::string_view rest;
    if (operand.size() > 2 && operand[0] == '-' && operand[1] == '-')
        rest = operand.substr(2);
    else if (operand.size() > 1 && operand[0] == '/')
        rest = operand.substr(1);
    else
        return {};
    std::string out;
    for (char ch : rest)
        out += char(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

bool IsFileOperand(std::string_view operand,
                   const std::function<bool(const std::string &)> &isOptionWord)
{
    if (operand.empty() || operand[0] == '-')
        return false;
    if (operand[0] != '/')
        return true;
    return !isOptionWord(SubOptionWord(operand));
}

// ---- Operand walker ---------------------------------------------------------

const std::string &Operands::Peek(size_t ahead) const
{
    return pos_ + ahead < list_.size() ? list_[pos_ + ahead] : kNoOperand;
}

const std::string &Operands::Next() { return More() ? list_[pos_++] : kNoOperand; }

bool Operands::PeekIs(std::string_view word) const { return More() && SameText(Peek(), word); }

bool Operands::PeekIsOption(std::string_view word) const
{
    return More() && OptionIs(Peek(), word);
}

bool Operands::Accept(std::string_view word)
{
    if (!PeekIs(word))
        return false;
    ++pos_;
    return true;
}

bool Operands::AcceptOption(std::string_view word)
{
    if (!PeekIsOption(word))
        return false;
    ++pos_;
    return true;
}

// ---- Numbers and names ------------------------------------------------------

bool ReadDecimal(std::string_view text, long &out)
{
    if (text.empty() || text.size() > 20)
        return false;
    std::string s(text);
    size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (start == s.size())
        return false;
    for (size_t i = start; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    errno = 0;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (errno)
        return false;
    out = v;
    return true;
}

bool ReadNumberOrHex(std::string_view text, long &out)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        long v = 0;
        for (char ch : text.substr(2)) {
            if (!IsHex(ch) || v > 0xFFFFFFF)
                return false;
            v = v * 16 + HexDigit(ch);
        }
        out = v;
        return true;
    }
    return ReadDecimal(text, out);
}

int WWNatoi(std::string_view text, uint8_t out[8])
{
    std::string t(text);
    uint8_t wwn[8] = {};
    if (text.size() == 23) {
        for (int i = 0; i < 8; ++i) {
            size_t p = size_t(i) * 3;
            if (i < 7 && !IsSeparator(text[p + 2])) {
                Trace(kLevelDebug, "WWNatoi: %s character position %d is not a hyphen.", t.c_str(),
                      int(p + 2));
                return kParseNoAdapter;
            }
            if (!IsHex(text[p]) || !IsHex(text[p + 1])) {
                Trace(kLevelDebug, "WWNatoi: %s is not in valid hex format.", t.c_str());
                return kParseNoAdapter;
            }
            wwn[i] = HexByte(text[p], text[p + 1]);
        }
    } else if (text.size() == 16) {
        for (int i = 0; i < 8; ++i) {
            if (!IsHex(text[2 * i]) || !IsHex(text[2 * i + 1])) {
                Trace(kLevelDebug, "WWNatoi: %s is not in valid hex format.", t.c_str());
                return kParseNoAdapter;
            }
            wwn[i] = HexByte(text[2 * i], text[2 * i + 1]);
        }
    } else {
        return kParseNoAdapter;
    }
    std::memcpy(out, wwn, sizeof wwn);
    return 0;
}

bool ParsePortId(std::string_view text, uint8_t out[3])
{
    uint8_t id[3];
    if (text.size() == 6) {
        for (int i = 0; i < 3; ++i) {
            if (!IsHex(text[2 * i]) || !IsHex(text[2 * i + 1]))
                return false;
            id[i] = HexByte(text[2 * i], text[2 * i + 1]);
        }
    } else if (text.size() == 8) {
        for (int i = 0; i < 3; ++i) {
            size_t p = size_t(i) * 3;
            if ((i < 2 && !IsSeparator(text[p + 2])) || !IsHex(text[p]) || !IsHex(text[p + 1]))
                return false;
            id[i] = HexByte(text[p], text[p + 1]);
        }
    } else {
        return false;
    }
    std::memcpy(out, id, sizeof id);
    return true;
}

bool LooksLikeWwn(std::string_view text) { return text.size() == 16 || text.size() == 23; }

bool IsViewWord(std::string_view word) { return SameText(word, "view") || SameText(word, "info"); }

// ---- Selectors --------------------------------------------------------------

int ParseAdapterSelector(std::string_view text, AdapterSelector &out)
{
    if (SameText(text, "all")) {
        out.kind = AdapterSelection::All;
        return 0;
    }
    if (LooksLikeWwn(text)) {
        uint8_t wwpn[8];
        if (WWNatoi(text, wwpn) != 0)
            return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
        // The list exists only once the library is initialised (menus, or a
        // host that called TAVRO_Initialize); a command-line run resolves the
        // WWPN after its start-up instead.
        if (Adapters().count > 0 && !FindAdapterInAdapterListByWWN(wwpn))
            return SetParseError(kParseNoAdapter,
                                 "Unable to find the specified HBA (WWPN "
                                 "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X)!",
                                 wwpn[0], wwpn[1], wwpn[2], wwpn[3], wwpn[4], wwpn[5], wwpn[6],
                                 wwpn[7]);
        out.kind = AdapterSelection::Wwpn;
        std::memcpy(out.wwpn, wwpn, sizeof wwpn);
        return 0;
    }
    if (text.empty())
        return SetParseErrorStatus(kParseNoAdapter);
    long n = 0;
    if (!ReadDecimal(text, n))
        return SetParseError(kParseNoAdapter, "Invalid HBA number!");
    if (n < 0 || n > kMaxAdapterInstance)
        return SetParseError(kParseNoAdapter, "HBA instance number must be from 0 to %d!",
                             kMaxAdapterInstance);
    out.kind = AdapterSelection::Instance;
    out.instance = int32_t(n);
    return 0;
}

int ParseTargetSelector(std::string_view text, TargetSelector &out)
{
    if (text.empty()) {
        out.kind = TargetSelection::All;
        return 0;
    }
    if (LooksLikeWwn(text)) {
        if (WWNatoi(text, out.wwpn) != 0)
            return SetParseError(kParseBadWwn, "Invalid World Wide Port Name!");
        out.kind = TargetSelection::Wwpn;
        return 0;
    }
    if (!ParsePortId(text, out.portId))
        return SetParseError(kParseBadWwn, "Invalid Port ID!");
    out.kind = TargetSelection::PortId;
    return 0;
}

int ParseLun(std::string_view text, uint16_t &out)
{
    if (text.empty())
        return 0;
    long n = 0;
    if (!ReadDecimal(text, n) || n < 0 || n >= kNoSelection)
        return SetParseError(kParseBadLun, "Invalid LUN ID!");
    out = uint16_t(n);
    return 0;
}

// ---- Pieces of the command parsers -----------------------------------------

int TakeAdapter(Operands &ops, AdapterOperand use, AdapterSelector &out)
{
    if (!ops.More()) {
        if (use == AdapterOperand::OptionalAll) {
            out.kind = AdapterSelection::All;
            return 0;
        }
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    }
    if (int status = ParseAdapterSelector(ops.Next(), out))
        return status;
    if (use == AdapterOperand::Required && out.kind == AdapterSelection::All)
        return SetParseError(kParseNoAdapter, "Please specify the HBA instance or WWPN number!");
    return 0;
}

int NoMoreOperands(const Operands &ops)
{
    if (ops.More())
        return SetParseError(kParseTooMany, "Unrecognized command line option!");
    return 0;
}

int MissingInput()
{
    return SetParseError(kParseMissingInput, "Option requires additional input(s)!");
}

int Unrecognized(std::string_view operand)
{
    return SetParseError(kParseUnrecognized, "Unrecognized command line option '%.*s'!",
                         int(operand.size()), operand.data());
}

int RequireOperand(const Operands &ops) { return ops.More() ? 0 : MissingInput(); }

int TakeFileName(Operands &ops, std::string &out)
{
    if (!ops.More())
        return MissingInput();
    out = CutText(ops.Next(), kMaxFileName);
    return 0;
}

int TakeWwn(Operands &ops, uint8_t out[8], bool nodeName)
{
    if (!ops.More())
        return MissingInput();
    if (WWNatoi(ops.Next(), out) != 0)
        return SetParseError(kParseBadWwn, nodeName ? "Invalid World Wide Node Name!"
                                                    : "Invalid World Wide Port Name!");
    return 0;
}

int TakePortId(Operands &ops, uint8_t out[3])
{
    if (!ops.More())
        return MissingInput();
    if (!ParsePortId(ops.Next(), out))
        return SetParseError(kParseBadWwn, "Invalid Port ID!");
    return 0;
}

bool AcceptViewWord(Operands &ops)
{
    if (!ops.More() || !IsViewWord(ops.Peek()))
        return false;
    ops.Next();
    return true;
}
