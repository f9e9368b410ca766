#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

// ---- FileHandle ------------------------------------------------------------

FileHandle::FileHandle(const std::string &path, const char *mode)
        : stream_(std::fopen(path.c_str(), mode))
{
}

FileHandle::~FileHandle() { Close(); }

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        Close();
        stream_ = other.release();
    }
    return *this;
}

std::FILE *FileHandle::release()
{
    std::FILE *stream = stream_;
    stream_ = nullptr;
    return stream;
}

bool FileHandle::Close()
{
    if (!stream_)
        return true;
    bool ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return ok;
}

// ---- Reading and paths -------------------------------------------------------

namespace {

std::string DirectoryPart(const std::string &path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NamePart(const std::string &path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view content)
{
    size_t off = 0;
    while (off < content.size()) {
        ssize_t n = write(fd, content.data() + off, content.size() - off);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        off += static_cast<size_t>(n);
    }
    return true;
}

void SyncDirectory(const std::string &dir)
{
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Rewrites a file in place: the fall-back when a replacement could not be
// given the file's owner (a writer that is not the owner and not root).
int RewriteInPlace(const std::string &path, std::string_view content)
{
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int rc = 0;
    if (!WriteAll(fd, content) || ftruncate(fd, static_cast<off_t>(content.size())) != 0 ||
        fsync(fd) != 0)
        rc = errno;
    if (close(fd) != 0 && rc == 0)
        rc = errno;
    return rc;
}

bool IsTemplateChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "<name>.XXXXXX", the names earlier writers gave their temporary files. A
// suffix of lower-case letters only is left alone: it reads as a word someone
// chose ("backup"), not as one mkstemp drew.
bool IsOldWriterTemporaryOf(std::string_view fileName, std::string_view candidate)
{
    if (candidate.size() != fileName.size() + 7 ||
        candidate.substr(0, fileName.size()) != fileName || candidate[fileName.size()] != '.')
        return false;
    bool drawn = false;
    for (char c : candidate.substr(fileName.size() + 1)) {
        if (!IsTemplateChar(c))
            return false;
        drawn = drawn || !(c >= 'a' && c <= 'z');
    }
    return drawn;
}

} // namespace

bool ReadWholeFile(const std::string &path, std::string &content)
{
    content.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            errno = err;
            return false;
        }
        if (n == 0)
            break;
        content.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

std::string ResolveLinks(const std::string &path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st { };
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return current;
        target[n] = '\0';
        if (target[0] == '/')
            current = target;
        else
            current = DirectoryPart(current) + "/" + target;
    }
    return current;
}

// ---- Atomic writer -------------------------------------------------------------

int WriteFileAtomically(const std::string &path, std::string_view content, mode_t newFileMode)
{
    const std::string target = ResolveLinks(path);
    const std::string dir = DirectoryPart(target);
    struct stat st { };
    const bool exists = stat(target.c_str(), &st) == 0;

    std::string tmpl = dir + "/." + NamePart(target) + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int rc = 0;
    bool ownerKept = true;
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid()))
        ownerKept = fchown(fd, st.st_uid, st.st_gid) == 0;
    if (fchmod(fd, exists ? (st.st_mode & 07777) : newFileMode) != 0)
        rc = errno;
    if (rc == 0 && ownerKept && (!WriteAll(fd, content) || fsync(fd) != 0))
        rc = errno;
    if (close(fd) != 0 && rc == 0)
        rc = errno;
    if (rc == 0 && ownerKept && rename(name.data(), target.c_str()) != 0)
        rc = errno;
    if (rc != 0 || !ownerKept) {
        unlink(name.data());
        if (rc == 0)
            rc = RewriteInPlace(target, content);
        return rc;
    }
    SyncDirectory(dir);
    return 0;
}

bool IsWriterTemporaryOf(std::string_view fileName, std::string_view candidate)
{
    if (candidate.size() != fileName.size() + 8 || candidate[0] != '.' ||
        candidate.substr(1, fileName.size()) != fileName || candidate[fileName.size() + 1] != '.')
        return false;
    for (char c : candidate.substr(fileName.size() + 2))
        if (!IsTemplateChar(c))
            return false;
    return true;
}

namespace {

// The temporary files of killed writers of path, as full paths.
std::vector<std::string> StaleTemporariesOf(const std::string &path)
{
    const std::string target = ResolveLinks(path);
    const std::string dir = DirectoryPart(target);
    const std::string name = NamePart(target);
    std::vector<std::string> stale;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return stale;
    while (dirent *e = readdir(d)) {
        std::string_view candidate(e->d_name);
        if (IsWriterTemporaryOf(name, candidate) || IsOldWriterTemporaryOf(name, candidate))
            stale.push_back(dir + "/" + std::string(candidate));
    }
    closedir(d);
    return stale;
}

} // namespace

int RemoveStaleTemporaries(const std::string &path)
{
    int removed = 0;
    for (const std::string &full : StaleTemporariesOf(path)) {
        struct stat st { };
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(full.c_str()) == 0)
            ++removed;
    }
    return removed;
}

bool HasStaleTemporaries(const std::string &path) { return !StaleTemporariesOf(path).empty(); }

// ---- Lock ------------------------------------------------------------------------

std::string FileLock::LockPathFor(const std::string &path)
{
    return ResolveLinks(path) + ".tavro-lock";
}

FileLock::FileLock(const std::string &path) : lockPath_(LockPathFor(path))
{
    for (;;) {
        // Read access is enough for flock, so a lock file that another user
        // left stays usable.
        int fd = open(lockPath_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        int rc;
        while ((rc = flock(fd, LOCK_EX)) != 0 && errno == EINTR) { }
        if (rc != 0) {
            error_ = errno;
            close(fd);
            return;
        }
        // The holder before us may have removed the file we waited on.
        struct stat held {
        }, named{};
        if (fstat(fd, &held) == 0 && stat(lockPath_.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fchmod(fd, 0644);
            fd_ = fd;
            return;
        }
        close(fd);
    }
}

FileLock::~FileLock()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so nobody can take this one after us.
    unlink(lockPath_.c_str());
    close(fd_);
}

// ---- Locked read-modify-write ---------------------------------------------------

int UpdateFileLocked(const std::string &path,
                     const std::function<FileEdit(std::string &content, bool exists)> &edit,
                     mode_t newFileMode)
{
    FileLock lock(path);
    if (!lock.Held())
        return lock.Error();
    std::string content;
    bool exists = ReadWholeFile(path, content);
    if (!exists && errno != ENOENT)
        return errno;
    switch (edit(content, exists)) {
    case FileEdit::Keep:
        return 0;
    case FileEdit::Remove:
        return exists && unlink(ResolveLinks(path).c_str()) != 0 && errno != ENOENT ? errno : 0;
    case FileEdit::Write:
        break;
    }
    return WriteFileAtomically(path, content, newFileMode);
}
