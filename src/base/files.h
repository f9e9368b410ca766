// Files: the one RAII handle over a C stream, the one atomic writer and the one
// locked read-modify-write of a whole file. Every rewrite of a file that other
// processes read (property files, the SNIA configuration file) goes through
// here, so a reader sees the old or the new file, never a torn one, and two
// writers never lose each other's change.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// Owns a FILE* and closes it when it goes out of scope.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(std::FILE *stream) : stream_(stream) { }
    // fopen(path, mode); test with operator bool (errno tells why it failed).
    FileHandle(const std::string &path, const char *mode);
    ~FileHandle();
    FileHandle(FileHandle &&other) noexcept : stream_(other.release()) { }
    FileHandle &operator=(FileHandle &&other) noexcept;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    std::FILE *get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    // Gives the stream up without closing it.
    std::FILE *release();
    // Closes now; false when the close (and so the last flush) failed.
    bool Close();

private:
    std::FILE *stream_ = nullptr;
};

// The whole content of a file, NUL bytes included. False with errno set when
// it cannot be read (ENOENT for a missing file).
bool ReadWholeFile(const std::string &path, std::string &content);

// The path a name finally stands for: symbolic links followed (relative ones
// from their own directory), the last one may dangle.
std::string ResolveLinks(const std::string &path);

// Replaces the content of path: a temporary file in the same directory,
// written and flushed to disk, renamed over the file. A symbolic link stays a
// link (its target is rewritten); an existing file keeps its owner, group and
// mode, a new one gets newFileMode. 0 on success, else an errno value.
int WriteFileAtomically(const std::string &path, std::string_view content,
                        mode_t newFileMode = 0644);

// Temporary files of the writer are ".<name>.XXXXXX" beside the file.
bool IsWriterTemporaryOf(std::string_view fileName, std::string_view candidate);
// Removes the temporary files a killed writer left beside path (call it while
// holding the file's lock, so no live writer's file goes). Answers the count.
int RemoveStaleTemporaries(const std::string &path);
// Whether such files are there, looked at without removing anything.
bool HasStaleTemporaries(const std::string &path);

// Exclusive lock of a file across processes: flock on "<file>.tavro-lock"
// beside the (link-resolved) file. The holder removes the lock file when it
// lets go, and a waiter that wakes on a removed one takes the new one, so no
// lock file outlives its use; one left by a killed holder is taken over.
class FileLock {
public:
    explicit FileLock(const std::string &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool Held() const { return fd_ >= 0; }
    // errno of a failed attempt, 0 while held.
    int Error() const { return error_; }
    static std::string LockPathFor(const std::string &path);

private:
    std::string lockPath_;
    int fd_ = -1;
    int error_ = 0;
};

// What an edit of a whole file decides.
enum class FileEdit {
    Write, // write the edited content
    Keep,  // leave the file as it is
    Remove // remove the file
};

// Locked read-modify-write of a whole file: takes the file's lock, reads it
// (a missing file reads as empty with exists false), lets edit change the
// content and writes it back atomically. 0 on success (also when edit keeps
// the file), else an errno value.
int UpdateFileLocked(const std::string &path,
                     const std::function<FileEdit(std::string &content, bool exists)> &edit,
                     mode_t newFileMode = 0644);
