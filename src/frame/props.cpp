#include "frame/props.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

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

bool LineHoldsKey(std::string_view line, std::string_view key)
{
    for (std::string_view t : Tokens(line))
        if (t == key)
            return true;
    return false;
}

struct FileCloser {
    void operator()(std::FILE *f) const
    {
        if (f)
            std::fclose(f);
    }
};

// Reads a whole file into lines of at most 511 characters, like the fixed
// line buffer of the readers.
bool ReadLines(std::FILE *fp, std::vector<std::string> &lines, bool &lastUnterminated)
{
    char buf[512];
    lastUnterminated = false;
    while (std::fgets(buf, sizeof buf, fp)) {
        lines.emplace_back(buf);
        lastUnterminated = lines.back().empty() || lines.back().back() != '\n';
    }
    return !std::ferror(fp);
}

// Writes content to a temporary file beside path and renames it over path,
// so that readers see the old or the new file, never a torn one.
int ReplaceFileAtomically(const std::string &path, const std::string &content)
{
    std::string dir = oss::DirectoryOf(path);
    std::string base = path.substr(dir.size());
    std::string tmpl = dir + "." + base + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        Trace(kLevelError, "VOLKPrefSetProperty: Failed to write to temp file!");
        return 3;
    }
    struct stat st { };
    if (stat(path.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    size_t off = 0;
    while (off < content.size()) {
        ssize_t n = write(fd, content.data() + off, content.size() - off);
        if (n <= 0) {
            close(fd);
            unlink(name.data());
            Trace(kLevelError, "VOLKPrefSetProperty: Failed to write to temp file!");
            return 3;
        }
        off += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        unlink(name.data());
        Trace(kLevelError, "VOLKPrefSetProperty: Failed to write to preference file!");
        return 3;
    }
    if (rename(name.data(), path.c_str()) != 0) {
        unlink(name.data());
        Trace(kLevelError, "VOLKPrefSetProperty: Failed to write to preference file!");
        return 3;
    }
    return 0;
}

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
    static char line[512];
    std::unique_ptr<std::FILE, FileCloser> own;
    if (!stream) {
        own.reset(std::fopen("agent.properties", "r+"));
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
    std::unique_ptr<std::FILE, FileCloser> fp(PrefOpenPreferenceFile(file.c_str(), mode));
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
    std::unique_ptr<std::FILE, FileCloser> fp(PrefOpenPreferenceFile(path.c_str(), 0));
    if (!fp)
        return def;
    const char *v = PrefGetProperty(fp.get(), key);
    if (!v)
        return def;
    return static_cast<int>(std::strtol(v, nullptr, 10));
}

int VOLKPrefSetProperty(const char *path, const char *key, const char *value, bool replace)
{
    // A linked property file is rewritten where it really lies, and stays linked.
    char real[PATH_MAX];
    if (path && realpath(path, real))
        path = real;
    Trace(kLevelDebug, "VOLKPrefSetProperty: Open file %s with prefKey=%s and value=%s", path, key,
          value);
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(path, "r"));
    if (!fp) {
        Trace(kLevelError, "Unable to open preference file (%s)!", path);
        return -1;
    }
    std::vector<std::string> lines;
    bool unterminated = false;
    if (!ReadLines(fp.get(), lines, unterminated)) {
        Trace(kLevelError, "Failed to read preference file %s!", path);
        return 2;
    }
    fp.reset();
    if (unterminated)
        Trace(kLevelDebug, "Missing newline at end of file %s\n", path);

    std::string content;
    bool found = false;
    for (const std::string &line : lines) {
        if (LineHoldsKey(line, key)) {
            found = true;
            if (replace) {
                content += std::string(key) + "=" + value + "\n";
            } else {
                std::vector<std::string_view> t = Tokens(line);
                std::string_view old;
                for (size_t i = 0; i + 1 < t.size(); ++i)
                    if (t[i] == key) {
                        old = t[i + 1];
                        break;
                    }
                content += std::string(key) + "=" + std::string(old) + "\n";
            }
        } else {
            content += line;
        }
    }
    if (!found) {
        if (unterminated)
            content += "\n";
        content += std::string(key) + "=" + value + "\n";
    }
    Trace(kLevelDebug, "Now open the pref file for writing - mode...");
    return ReplaceFileAtomically(path, content);
}
