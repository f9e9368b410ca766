#include "frame/hbaconf.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

#include "base/files.h"
#include "frame/messages.h"

namespace {

// ---- Owners ------------------------------------------------------------------

struct Owner {
    std::string boot;
    long pid = 0;
    unsigned long long start = 0;
    bool operator==(const Owner &o) const
    {
        return boot == o.boot && pid == o.pid && start == o.start;
    }
};

std::string FirstLineOf(const std::string &path)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        return {};
    return text.substr(0, text.find('\n'));
}

// Start time of a process in clock ticks since boot (field 22 of its stat
// file); 0 when it has none, that is when it is gone.
unsigned long long StartTimeOf(long pid)
{
    std::string stat;
    if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat))
        return 0;
    // The command name may hold blanks and parentheses: count from the last ')'.
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

std::string BootId()
{
    std::string id = FirstLineOf("/proc/sys/kernel/random/boot_id");
    return id.empty() ? "-" : id;
}

Owner Self()
{
    Owner me;
    me.boot = BootId();
    me.pid = static_cast<long>(getpid());
    me.start = StartTimeOf(me.pid);
    return me;
}

bool Alive(const Owner &o)
{
    if (o.pid <= 0)
        return false;
    std::string boot = BootId();
    if (boot != "-" && o.boot != boot)
        return false; // recorded before the last reboot
    if (o.start != 0)
        return StartTimeOf(o.pid) == o.start;
    return kill(static_cast<pid_t>(o.pid), 0) == 0 || errno == EPERM;
}

// ---- Journal -------------------------------------------------------------------

std::string Hex(const std::string &text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out.empty() ? "-" : out;
}

std::string Unhex(const std::string &hex)
{
    std::string out;
    if (hex == "-")
        return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

// The line we manage and who uses it.
struct Journal {
    std::string line; // empty: nothing recorded
    std::string replaced;
    bool joined = false;
    bool created = false;
    std::vector<Owner> owners;

    bool Active() const { return !line.empty(); }
};

std::string JournalPath(const std::string &confPath)
{
    return ResolveLinks(confPath) + ".tavro-journal";
}

Journal ReadJournal(const std::string &confPath)
{
    Journal j;
    std::string text;
    if (!ReadWholeFile(JournalPath(confPath), text))
        return j;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word == "line") {
            in >> word;
            j.line = Unhex(word);
        } else if (word == "replaced") {
            in >> word;
            j.replaced = Unhex(word);
        } else if (word == "joined") {
            in >> j.joined;
        } else if (word == "created") {
            in >> j.created;
        } else if (word == "owner") {
            Owner o;
            in >> o.boot >> o.pid >> o.start;
            j.owners.push_back(o);
        }
    }
    return j;
}

int WriteJournal(const std::string &confPath, const Journal &j)
{
    const std::string path = JournalPath(confPath);
    if (!j.Active())
        return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    std::ostringstream out;
    out << "line " << Hex(j.line) << "\nreplaced " << Hex(j.replaced) << "\njoined " << j.joined
        << "\ncreated " << j.created << "\n";
    for (const Owner &o : j.owners)
        out << "owner " << o.boot << " " << o.pid << " " << o.start << "\n";
    return WriteFileAtomically(path, out.str(), 0644);
}

// ---- The configuration file -------------------------------------------------------

struct Conf {
    std::string content;
    bool exists = false;
    bool dirty = false;
};

// Offset of line as a whole line of content, or npos.
size_t FindLine(const std::string &content, const std::string &line)
{
    size_t at = 0;
    while ((at = content.find(line, at)) != std::string::npos) {
        size_t end = at + line.size();
        if ((at == 0 || content[at - 1] == '\n') && (end == content.size() || content[end] == '\n'))
            return at;
        ++at;
    }
    return std::string::npos;
}

struct VendorLine {
    size_t at;
    std::string text;
    std::string library;
};

std::vector<VendorLine> VendorLines(const std::string &content)
{
    std::vector<VendorLine> out;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos)
            end = content.size();
        std::string text = content.substr(at, end - at);
        std::istringstream words(text);
        std::string name, library;
        words >> name >> library;
        if (name == kSniaVendorName)
            out.push_back({at, text, library});
        at = end + 1;
    }
    return out;
}

bool LibraryExists(const std::string &path)
{
    struct stat st { };
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Takes our line out again: the replaced line back in its place, or the
// appended line and the newline that was added before it.
void UndoLine(Conf &conf, const std::string &line, const std::string &replaced, bool joined)
{
    size_t at = FindLine(conf.content, line);
    if (at == std::string::npos)
        return;
    size_t end = at + line.size();
    if (!replaced.empty()) {
        conf.content.replace(at, line.size(), replaced);
    } else {
        bool last = end + 1 >= conf.content.size();
        conf.content.erase(at, std::min(end + 1, conf.content.size()) - at);
        if (joined && last && at > 0 && conf.content[at - 1] == '\n')
            conf.content.erase(at - 1, 1);
    }
    conf.dirty = true;
}

// Lines whose owners are all gone go back; answers whether the journal changed.
bool Heal(Journal &j, Conf &conf)
{
    if (!j.Active())
        return false;
    size_t before = j.owners.size();
    j.owners.erase(
        std::remove_if(j.owners.begin(), j.owners.end(), [](const Owner &o) { return !Alive(o); }),
        j.owners.end());
    if (!j.owners.empty())
        return j.owners.size() != before;
    Trace(kLevelDebug, "OSSRegHealSNIAConf: giving back a line of a process that is gone");
    UndoLine(conf, j.line, j.replaced, j.joined);
    if (j.created && conf.content.empty())
        conf.exists = false;
    j = Journal{};
    return true;
}

bool ReadConf(const std::string &confPath, Conf &conf)
{
    conf.exists = ReadWholeFile(confPath, conf.content);
    return conf.exists || errno == ENOENT;
}

int WriteConf(const std::string &confPath, const Conf &conf)
{
    if (!conf.dirty)
        return 0;
    if (!conf.exists)
        return unlink(ResolveLinks(confPath).c_str()) == 0 || errno == ENOENT ? 0 : errno;
    return WriteFileAtomically(confPath, conf.content, 0644);
}

void RemoveTemporaries(const std::string &confPath)
{
    RemoveStaleTemporaries(confPath);
    RemoveStaleTemporaries(JournalPath(confPath));
}

// One process-wide lock: the signal thread may give the line back while the
// caller's thread registers it.
std::mutex &ProcessLock()
{
    static std::mutex m;
    return m;
}

std::atomic<bool> g_refusing{false};

int Fail(SniaRegistration &reg, int err, const char *what)
{
    reg.error = err ? err : EIO;
    Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: %s %s (%d)", what, reg.confPath.c_str(),
          reg.error);
    return -1;
}

} // namespace

std::string SniaConfPath()
{
    const char *env = std::getenv(kSniaConfVariable);
    return env && *env ? env : kSniaConfFile;
}

void OSSRegRefuseRegistrations() { g_refusing = true; }

int OSSRegHealSNIAConf(const std::string &confPath)
{
    std::lock_guard<std::mutex> process(ProcessLock());
    // Every line we add is recorded in the journal first, and every writer
    // holds the lock while its temporary files exist: without a journal, a
    // lock file or such files, there is nothing to give back or remove, and
    // the file is left alone, unlocked.
    struct stat st { };
    if (lstat(JournalPath(confPath).c_str(), &st) != 0 &&
        lstat(FileLock::LockPathFor(confPath).c_str(), &st) != 0 &&
        !HasStaleTemporaries(confPath) && !HasStaleTemporaries(JournalPath(confPath)))
        return 0;
    FileLock lock(confPath);
    if (!lock.Held())
        return lock.Error();
    Conf conf;
    if (!ReadConf(confPath, conf))
        return errno;
    Journal j = ReadJournal(confPath);
    RemoveTemporaries(confPath);
    if (!Heal(j, conf))
        return 0;
    if (int rc = WriteConf(confPath, conf))
        return rc;
    return WriteJournal(confPath, j);
}

int OSSRegSetSNIAHBAAPIPath(const std::string &confPath, const std::string &libraryPath,
                            SniaRegistration &reg)
{
    std::lock_guard<std::mutex> process(ProcessLock());
    reg = SniaRegistration{};
    reg.confPath = confPath;
    if (g_refusing)
        return Fail(reg, ECANCELED, "ending, not registering in");
    FileLock lock(confPath);
    if (!lock.Held())
        return Fail(reg, lock.Error(), "Unable to lock");
    Conf conf;
    if (!ReadConf(confPath, conf))
        return Fail(reg, errno, "Unable to read");
    Journal j = ReadJournal(confPath);
    RemoveTemporaries(confPath);
    bool journalDirty = Heal(j, conf);
    const Owner me = Self();
    const std::string ours = std::string(kSniaVendorName) + "\t" + libraryPath;

    // A line someone else was also given back meanwhile: nothing to share.
    if (j.Active() && FindLine(conf.content, j.line) == std::string::npos) {
        j = Journal{};
        journalDirty = true;
    }
    bool useAsIs = false;
    if (j.Active()) {
        // A line we manage, still in use: share it.
        if (std::find(j.owners.begin(), j.owners.end(), me) == j.owners.end())
            j.owners.push_back(me);
        journalDirty = true;
        reg.changed = true;
        reg.line = j.line;
    } else {
        std::vector<VendorLine> lines = VendorLines(conf.content);
        const VendorLine *dead = nullptr;
        for (const VendorLine &v : lines) {
            if (v.library == libraryPath || LibraryExists(v.library))
                useAsIs = true;
            else if (!dead)
                dead = &v;
        }
        if (useAsIs) {
            Trace(kLevelDebug, "OSSRegSetSNIAHBAAPIPath: %s already lists a %s library",
                  confPath.c_str(), kSniaVendorName);
        } else {
            j = Journal{};
            j.line = ours;
            j.owners.push_back(me);
            if (dead) {
                j.replaced = dead->text;
                conf.content.replace(dead->at, dead->text.size(), ours);
            } else {
                j.joined = !conf.content.empty() && conf.content.back() != '\n';
                j.created = !conf.exists;
                conf.content += (j.joined ? "\n" : "") + ours + "\n";
            }
            conf.exists = true;
            conf.dirty = true;
            journalDirty = true;
            reg.changed = true;
            reg.added = true;
            reg.line = ours;
            reg.replaced = j.replaced;
            reg.joined = j.joined;
            reg.created = j.created;
        }
    }
    // The journal first: a process killed between the two writes leaves a
    // record of a line that is not there, never a line without a record.
    if (journalDirty) {
        if (int rc = WriteJournal(confPath, j)) {
            reg.changed = false;
            return Fail(reg, rc, "Unable to write the journal of");
        }
    }
    if (int rc = WriteConf(confPath, conf)) {
        reg.changed = false;
        return Fail(reg, rc, "Unable to write");
    }
    return 0;
}

int OSSRegRestoreSNIAHBAAPIKey(SniaRegistration &reg)
{
    std::lock_guard<std::mutex> process(ProcessLock());
    if (!reg.changed)
        return 0;
    FileLock lock(reg.confPath);
    if (!lock.Held()) {
        reg.error = lock.Error();
        return -1;
    }
    Conf conf;
    if (!ReadConf(reg.confPath, conf)) {
        reg.error = errno;
        return -1;
    }
    Journal j = ReadJournal(reg.confPath);
    if (j.Active() && j.line == reg.line) {
        const Owner me = Self();
        j.owners.erase(std::remove(j.owners.begin(), j.owners.end(), me), j.owners.end());
        Heal(j, conf);
    } else if (reg.added) {
        // The journal went missing: take out what we put in.
        UndoLine(conf, reg.line, reg.replaced, reg.joined);
        if (reg.created && conf.content.empty())
            conf.exists = false;
    }
    // The file first: a process killed between the two writes leaves a record
    // of a line that is already gone, which the next start-up drops.
    int rc = WriteConf(reg.confPath, conf);
    if (rc == 0)
        rc = WriteJournal(reg.confPath, j);
    if (rc != 0) {
        reg.error = rc;
        return -1;
    }
    reg.changed = false;
    return 0;
}
