#include "frame/props.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/files.h"
#include "frame/frame.h"
#include "frame/messages.h"

namespace {

// Text mode on the original platform folded CR LF into LF; CR is a
// delimiter here so that files written there read the same.
constexpr const char *kDelims = "=\r\n";

// Splits a line into tokens at '=', CR and LF, empty tokens dropped.
std::vector<std::string_view> Tokens(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        size_t start = line.find_first_not_of(kDelims, i);
        if (start == std::string_view::npos)
            break;
        size_t end = line.find_first_of(kDelims, start);
        if (end == std::string_view::npos)
            end = line.size();
        out.push_back(line.substr(start, end - start));
        i = end;
    }
    return out;
}

// The lines as the reader's 512-byte buffer gets them: up to and including a
// newline, at most kPropertyLineMax bytes. Nothing is dropped, so the lines
// put together again are the file byte for byte.
std::vector<std::string_view> ReaderLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        size_t n = std::min(content.size(), kPropertyLineMax);
        size_t newline = content.substr(0, n).find('\n');
        if (newline != std::string_view::npos)
            n = newline + 1;
        lines.push_back(content.substr(0, n));
        content.remove_prefix(n);
    }
    return lines;
}

// What the reader sees of a line: it stops at a NUL byte.
std::string_view ReaderView(std::string_view line) { return line.substr(0, line.find('\0')); }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

const char *PrefError(int err) { return std::strerror(err); }

} // namespace

const char *PrefModeString(int mode)
{
    switch (mode) {
    case 0:
        return "r";
    case 2:
        return "w";
    case 3:
        return "w+";
    case 4:
        return "a";
    case 5:
        return "a+";
    default:
        return "r+";
    }
}

std::FILE *PrefOpenPreferenceFile(const char *path, int mode)
{
    std::FILE *fp = path ? std::fopen(path, PrefModeString(mode)) : nullptr;
    if (!fp)
        Trace(kLevelDebug, "Failed to open preference file (%s).", path ? path : "");
    return fp;
}

const char *PrefGetProperty(std::FILE *stream, const char *key)
{
    static char line[kPropertyLineMax + 1];
    FileHandle own;
    if (!stream) {
        own = FileHandle("agent.properties", "r+");
        stream = own.get();
        if (!stream)
            return nullptr;
    }
    std::rewind(stream);
    std::string_view k(key ? key : "");
    while (std::fgets(line, sizeof line, stream)) {
        // Tokens in place: terminate the value token inside the static buffer.
        char *p = line;
        bool matched = false;
        for (;;) {
            p += std::strspn(p, kDelims);
            if (!*p)
                break;
            size_t len = std::strcspn(p, kDelims);
            if (matched) {
                p[len] = '\0';
                return p;
            }
            matched = std::string_view(p, len) == k;
            p += len;
        }
    }
    Trace(kLevelDebug, "PrefGetProperty: Failed to read preference file.");
    return nullptr;
}

int GetKeyValue(const char *key, int mode)
{
    const std::string &file = Frame().hostPropertyFile;
    FileHandle fp(PrefOpenPreferenceFile(file.c_str(), mode));
    if (!fp) {
        PrintWithLevel(kLevelWarning, "Unable to open preference file (%s).\n", file.c_str());
        return 0;
    }
    const char *v = PrefGetProperty(fp.get(), key);
    int value = v ? static_cast<int>(std::strtol(v, nullptr, 10)) : 0;
    Trace(kLevelDebug, "Config file=%s Key=%s Value=%d", file.c_str(), key, value);
    return value;
}

int GetKeyValueFromPath(const std::string &path, const char *key, int def)
{
    FileHandle fp(PrefOpenPreferenceFile(path.c_str(), 0));
    if (!fp)
        return def;
    const char *v = PrefGetProperty(fp.get(), key);
    if (!v)
        return def;
    return static_cast<int>(std::strtol(v, nullptr, 10));
}

const char *PropertyProblem(std::string_view key, std::string_view value)
{
    if (key.empty())
        return "a property needs a key";
    for (std::string_view text : {key, value})
        for (char c : text) {
            if (c == '=')
                return "'=' cannot be kept in a property line";
            if (IsControl(static_cast<unsigned char>(c)))
                return "a control character (a line break, a tab) cannot be kept in a property "
                       "line";
        }
    if (key.size() + value.size() + 2 > kPropertyLineMax)
        return "the property line would be too long";
    return nullptr;
}

bool PropertyFits(std::string_view key, std::string_view value)
{
    return PropertyProblem(key, value) == nullptr;
}

std::string SetPropertyInText(std::string_view content, std::string_view key,
                              std::string_view value, bool replace)
{
    std::string out;
    out.reserve(content.size() + key.size() + value.size() + 3);
    bool found = false;
    for (std::string_view line : ReaderLines(content)) {
        std::vector<std::string_view> tokens = Tokens(ReaderView(line));
        auto at = std::find(tokens.begin(), tokens.end(), key);
        if (at == tokens.end()) {
            out += line;
            continue;
        }
        found = true;
        std::string_view kept = value;
        if (!replace)
            kept = at + 1 != tokens.end() ? *(at + 1) : std::string_view();
        out.append(key).append("=").append(kept).append("\n");
    }
    if (!found) {
        if (!content.empty() && content.back() != '\n')
            out += '\n';
        out.append(key).append("=").append(value).append("\n");
    }
    return out;
}

int VOLKPrefSetProperty(const char *path, const char *key, const char *value, bool replace)
{
    if (!path || !key || !value)
        return kPrefOpenFailed;
    Trace(kLevelDebug, "VOLKPrefSetProperty: Open file %s with prefKey=%s and value=%s", path, key,
          value);
    if (const char *problem = PropertyProblem(key, value)) {
        Trace(kLevelError, "VOLKPrefSetProperty: %s", problem);
        AddFailureReason(Format("%s: %s", path, problem));
        return kPrefRefused;
    }
    int result = 0;
    int err = UpdateFileLocked(path, [&](std::string &content, bool exists) {
        if (!exists) {
            Trace(kLevelError, "Unable to open preference file (%s)!", path);
            result = kPrefOpenFailed;
            errno = ENOENT;
            return FileEdit::Keep;
        }
        if (!content.empty() && content.back() != '\n')
            Trace(kLevelDebug, "Missing newline at end of file %s\n", path);
        content = SetPropertyInText(content, key, value, replace);
        Trace(kLevelDebug, "Now open the pref file for writing - mode...");
        return FileEdit::Write;
    });
    if (result == kPrefOpenFailed) {
        AddFailureReason(Format("%s: %s", path, PrefError(ENOENT)));
        return result;
    }
    if (err != 0) {
        Trace(kLevelError, "VOLKPrefSetProperty: Failed to write to preference file!");
        AddFailureReason(Format("%s: %s", path, PrefError(err)));
        return err == ENOENT || err == EACCES || err == EPERM ? kPrefOpenFailed : kPrefWriteFailed;
    }
    return 0;
}
