#include "frame/hbaconf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>
#include <vector>

#include "base/oss.h"
#include "frame/messages.h"

namespace {

// Serialises editors of the configuration file across processes. The lock
// lives on a file of its own so that replacing the configuration file by
// rename never drops it.
class ConfLock {
public:
    explicit ConfLock(const std::string &confPath)
    {
        std::string lockPath = confPath + ".tavro-lock";
        fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~ConfLock()
    {
        if (fd_ >= 0)
            close(fd_); // releases the lock
    }
    ConfLock(const ConfLock &) = delete;
    ConfLock &operator=(const ConfLock &) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool ReadWhole(const std::string &path, std::string &out, bool &exists)
{
    std::FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp) {
        exists = false;
        return errno == ENOENT;
    }
    exists = true;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        out.append(buf, n);
    bool ok = !std::ferror(fp);
    std::fclose(fp);
    return ok;
}

bool WriteAtomically(const std::string &path, const std::string &content, mode_t mode)
{
    std::string tmpl = path + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    fchmod(fd, mode);
    size_t off = 0;
    bool ok = true;
    while (ok && off < content.size()) {
        ssize_t n = write(fd, content.data() + off, content.size() - off);
        ok = n > 0;
        if (ok)
            off += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(name.data(), path.c_str()) == 0;
    if (!ok)
        unlink(name.data());
    return ok;
}

// First whitespace-separated word of a line.
std::string FirstWord(const std::string &line)
{
    std::istringstream in(line);
    std::string w;
    in >> w;
    return w;
}

} // namespace

int OSSRegSetSNIAHBAAPIPath(const std::string &confPath, const std::string &libraryPath,
                            SniaRegistration &reg)
{
    reg = SniaRegistration{};
    reg.confPath = confPath;
    ConfLock lock(confPath);
    if (!lock.Held()) {
        Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: Unable to lock %s", confPath.c_str());
        return -1;
    }
    std::string content;
    bool exists = false;
    if (!ReadWhole(confPath, content, exists)) {
        Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: Unable to read %s", confPath.c_str());
        return -1;
    }
    const std::string wanted = std::string(kSniaVendorName) + "\t" + libraryPath;
    // Another process (or an installation) may have listed the same library:
    // then there is nothing to change and nothing to restore.
    std::istringstream in(content);
    std::string line;
    std::string updated;
    bool listed = false;
    while (std::getline(in, line)) {
        if (FirstWord(line) == kSniaVendorName) {
            std::istringstream words(line);
            std::string name, path;
            words >> name >> path;
            if (path == libraryPath) {
                listed = true;
                break;
            }
        }
    }
    if (listed) {
        Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: %s already lists %s", confPath.c_str(),
              libraryPath.c_str());
        return 0;
    }
    std::string added;
    if (!content.empty() && content.back() != '\n')
        added += '\n';
    added += wanted + "\n";
    updated = content + added;
    struct stat st { };
    mode_t mode = (exists && stat(confPath.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
    if (!WriteAtomically(confPath, updated, mode)) {
        Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: Unable to write %s", confPath.c_str());
        return -1;
    }
    reg.changed = true;
    reg.existed = exists;
    reg.added = added;
    reg.line = wanted;
    return 0;
}

int OSSRegRestoreSNIAHBAAPIKey(SniaRegistration &reg)
{
    if (!reg.changed)
        return 0;
    ConfLock lock(reg.confPath);
    if (!lock.Held())
        return -1;
    std::string content;
    bool exists = false;
    if (!ReadWhole(reg.confPath, content, exists))
        return -1;
    // Take out exactly what was added, keeping whatever others changed meanwhile.
    std::string restored = content;
    if (content.size() >= reg.added.size() &&
        content.compare(content.size() - reg.added.size(), reg.added.size(), reg.added) == 0) {
        restored = content.substr(0, content.size() - reg.added.size());
    } else {
        std::string needle = reg.line + "\n";
        size_t at = content.rfind(needle);
        while (at != std::string::npos && at != 0 && content[at - 1] != '\n')
            at = at == 0 ? std::string::npos : content.rfind(needle, at - 1);
        if (at != std::string::npos)
            restored.erase(at, needle.size());
    }
    bool ok;
    if (!reg.existed && restored.empty()) {
        ok = unlink(reg.confPath.c_str()) == 0 || errno == ENOENT;
    } else {
        struct stat st { };
        mode_t mode = stat(reg.confPath.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
        ok = WriteAtomically(reg.confPath, restored, mode);
    }
    if (ok)
        reg.changed = false;
    return ok ? 0 : -1;
}
