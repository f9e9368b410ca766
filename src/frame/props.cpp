#include "frame/props.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
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

// Property files read in this process, kept while the file on disk is the
// same one (device, inode, size, change time); a write of ours drops the copy.
struct CachedFile {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    std::string content;
};

std::map<std::string, CachedFile> &PropertyCache()
{
    static std::map<std::string, CachedFile> cache;
    return cache;
}

bool SameFile(const CachedFile &c, const struct stat &st)
{
    return c.dev == st.st_dev && c.ino == st.st_ino && c.size == st.st_size &&
           c.mtime.tv_sec == st.st_mtim.tv_sec && c.mtime.tv_nsec == st.st_mtim.tv_nsec &&
           c.ctime.tv_sec == st.st_ctim.tv_sec && c.ctime.tv_nsec == st.st_ctim.tv_nsec;
}

bool RecentlyChanged(const struct stat &st)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    auto ns = [](const timespec &t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    constexpr int64_t kGranularityNs = 100 * 1000000;
    return ns(now) - std::max(ns(st.st_mtim), ns(st.st_ctim)) < kGranularityNs;
}

// The content of a readable regular property file, or null (missing, unreadable).
const std::string *PropertyFileContent(const std::string &path)
{
    auto &cache = PropertyCache();
    struct stat st { };
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        cache.erase(path);
        return nullptr;
    }
    if (auto it = cache.find(path); it != cache.end() && SameFile(it->second, st))
        return &it->second.content;
    cache.erase(path);
    FileHandle fp(path, "r");
    if (!fp)
        return nullptr;
    // Stat the open file: what is read below is that file, whatever replaces the path.
    if (fstat(fileno(fp.get()), &st) != 0)
        return nullptr;
    CachedFile c;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, fp.get())) > 0)
        c.content.append(chunk, n);
    if (std::ferror(fp.get()))
        return nullptr;
    struct stat after { };
    // A file that changed while it was read is read again next time.
    if (fstat(fileno(fp.get()), &after) != 0)
        return nullptr;
    c.dev = st.st_dev;
    c.ino = st.st_ino;
    c.size = st.st_size;
    c.mtime = st.st_mtim;
    c.ctime = st.st_ctim;
    // A file changed within the file system's time-stamp granularity could
    // change again with equal stamps and size: only older files are kept.
    if (RecentlyChanged(after) || after.st_size != st.st_size ||
        after.st_mtim.tv_nsec != st.st_mtim.tv_nsec || after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
        c.content.size() != static_cast<size_t>(st.st_size))
        c.size = -1; // never matches: read again
    return &(cache[path] = std::move(c)).content;
}

// The value of key in content as the line reader finds it: lines of at most
// kPropertyLineMax bytes, each cut at a NUL byte, split at '=', CR and LF.
bool FindProperty(std::string_view content, std::string_view key, std::string &value)
{
    for (std::string_view line : ReaderLines(content)) {
        std::vector<std::string_view> tokens = Tokens(ReaderView(line));
        for (size_t i = 0; i + 1 < tokens.size(); ++i)
            if (tokens[i] == key) {
                value.assign(tokens[i + 1]);
                return true;
            }
    }
    return false;
}

// A value through the cache, or null: missing key or file.
const char *CachedProperty(const std::string &path, const char *key, bool &opened)
{
    static std::string value;
    const std::string *content = PropertyFileContent(path);
    opened = content != nullptr;
    if (!content || !FindProperty(*content, key ? key : "", value))
        return nullptr;
    return value.c_str();
}

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

const char *PropertyOfFile(const std::string &path, const char *key, bool *opened)
{
    bool open = false;
    const char *v = CachedProperty(path, key, open);
    if (opened)
        *opened = open;
    if (!open)
        Trace(kLevelDebug, "Failed to open preference file (%s).", path.c_str());
    else if (!v)
        Trace(kLevelDebug, "PrefGetProperty: Failed to read preference file.");
    return v;
}

void ForgetPropertyFile(const std::string &path) { PropertyCache().erase(path); }

int GetKeyValue(const char *key, int mode)
{
    const std::string &file = Frame().hostPropertyFile;
    const char *v = nullptr;
    if (mode == 0) {
        bool opened = false;
        v = PropertyOfFile(file, key, &opened);
        if (!opened) {
            PrintWithLevel(kLevelWarning, "Unable to open preference file (%s).\n", file.c_str());
            return 0;
        }
    } else {
        FileHandle fp(PrefOpenPreferenceFile(file.c_str(), mode));
        if (!fp) {
            PrintWithLevel(kLevelWarning, "Unable to open preference file (%s).\n", file.c_str());
            return 0;
        }
        v = PrefGetProperty(fp.get(), key);
    }
    int value = v ? static_cast<int>(std::strtol(v, nullptr, 10)) : 0;
    Trace(kLevelDebug, "Config file=%s Key=%s Value=%d", file.c_str(), key, value);
    return value;
}

int GetKeyValueFromPath(const std::string &path, const char *key, int def)
{
    const char *v = PropertyOfFile(path, key, nullptr);
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
    ForgetPropertyFile(path);
    int err = UpdateFileLocked(path, [&](std::string &content, bool exists) {
        if (!exists) {
            Trace(kLevelError, "Unable to open preference file (%s)!", path);
            result = kPrefOpenFailed;
            errno = ENOENT;
            return FileEdit::Keep;
        }
        if (!content.empty() && content.back() != '\n')
            Trace(kLevelDebug, "Missing newline at end of file %s\n", path);
        std::string changed = SetPropertyInText(content, key, value, replace);
        // Nothing to change: the file stays as it is, untouched.
        if (changed == content)
            return FileEdit::Keep;
        content = std::move(changed);
        Trace(kLevelDebug, "Now open the pref file for writing - mode...");
        return FileEdit::Write;
    });
    ForgetPropertyFile(path);
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
