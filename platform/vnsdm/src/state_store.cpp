#include "state_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace vnsdm {

namespace {

// Marks a file as ours ("VNSD"), so that another application's database is refused.
constexpr int64_t kApplicationId = 0x564E5344;

const char *const kSql[] = {
    "BEGIN",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "PRAGMA data_version",
    "SELECT port, item, CASE WHEN length(value) > 4096 THEN NULL ELSE value END, length(value), "
    "rowid "
    "FROM port_state",
    "SELECT value FROM port_state WHERE port=?1 AND item=?2",
    "INSERT OR REPLACE INTO port_state(port, item, value) VALUES(?1, ?2, ?3)",
    "DELETE FROM port_state WHERE port=?1 AND item=?2",
    "SELECT port, value FROM port_state WHERE item=?1 ORDER BY port",
    "INSERT INTO events(port, type, d0, d1, d2) VALUES(?1, ?2, ?3, ?4, ?5)",
    "SELECT COUNT(*) FROM events WHERE port=?1",
    "SELECT id, type, d0, d1, d2 FROM events WHERE port=?1 ORDER BY id LIMIT ?2",
    "DELETE FROM events WHERE port=?1 AND id<=?2",
};

// A cached statement in use: reset on scope exit, so that no statement keeps
// a read transaction open behind the caller's back.
class Use {
public:
    explicit Use(sqlite3_stmt *s) : s_(s) { }
    ~Use()
    {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Use(const Use &) = delete;
    Use &operator=(const Use &) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    Use &Text(int i, const std::string &v)
    {
        sqlite3_bind_text(s_, i, v.c_str(), int(v.size()), SQLITE_STATIC);
        return *this;
    }
    Use &Blob(int i, const Bytes &v)
    {
        // An empty vector has no data pointer, which would bind NULL.
        if (v.empty())
            sqlite3_bind_zeroblob(s_, i, 0);
        else
            sqlite3_bind_blob(s_, i, v.data(), int(v.size()), SQLITE_STATIC);
        return *this;
    }
    Use &Int(int i, int64_t v)
    {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    int Step() { return sqlite3_step(s_); }
    Bytes ColumnBlob(int i)
    {
        const auto *p = static_cast<const uint8_t *>(sqlite3_column_blob(s_, i));
        return p ? Bytes(p, p + sqlite3_column_bytes(s_, i)) : Bytes{};
    }
    std::string ColumnText(int i)
    {
        const auto *p = sqlite3_column_text(s_, i);
        return p ? reinterpret_cast<const char *>(p) : "";
    }
    int64_t ColumnInt(int i) { return sqlite3_column_int64(s_, i); }
    bool ColumnNull(int i) { return sqlite3_column_type(s_, i) == SQLITE_NULL; }

private:
    sqlite3_stmt *s_;
};

bool MakeDirs(const std::string &dir)
{
    if (dir.empty())
        return true;
    struct stat st { };
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

// The state file is a few pages, read by short processes: SQLite's default
// per-connection allocations (a 120 KiB lookaside arena and a 20-page cache
// block, each written through at open) cost more page faults than all the
// reads. Pages and small objects come from malloc as needed instead. Set once,
// before SQLite starts; a SQLite already started by someone else keeps its own.
void ConfigureSqlite()
{
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    });
}

} // namespace

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class Txn {
public:
    explicit Txn(StateStore &s) : s_(s) { ok_ = s_.Step(StateStore::kBeginImmediate); }
    ~Txn()
    {
        if (ok_ && !done_)
            s_.Step(StateStore::kRollback);
    }
    Txn(const Txn &) = delete;
    Txn &operator=(const Txn &) = delete;
    bool ok() const { return ok_; }
    bool Commit()
    {
        done_ = true;
        return s_.Step(StateStore::kCommit);
    }

private:
    StateStore &s_;
    bool ok_ = false, done_ = false;
};

StateStore::~StateStore() { Close(); }

std::string StateStore::DefaultPath()
{
    const char *env = std::getenv("VNSDM_STATE");
    if (env && *env)
        return env;
    std::string dir;
    if (const char *xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        dir = std::string(xdg) + "/vnsdm";
    else if (const char *home = std::getenv("HOME"); home && *home)
        dir = std::string(home) + "/.local/state/vnsdm";
    else
        dir = "/tmp/vnsdm";
    MakeDirs(dir);
    return dir + "/state.db";
}

bool StateStore::Fail(const std::string &problem)
{
    error_ = "vnsdm: state file " + path_ + ": " + problem;
    Close();
    return false;
}

bool StateStore::Open(const std::string &path)
{
    Close();
    path_ = path;
    error_.clear();
    struct stat st { };
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail("is a directory, not a state file");
        if (!S_ISREG(st.st_mode))
            return Fail("not a regular file, not a state file");
    }
    ConfigureSqlite();
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return Fail(std::string("cannot open: ") +
                    (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
    // Other processes write the same file: wait for their locks rather than fail.
    sqlite3_busy_timeout(db_, 10000);
    // Every command is a short process: keep the log file between them rather
    // than make and remove it each time.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    if (!Init())
        return false;
    OpenWalIndex();
    return true;
}

// Every commit of any process rewrites the header at the start of the WAL
// index (its change counter, frame count and checksums), so a header equal to
// the one seen at the last check means nothing was committed since: the
// cache can answer without taking a lock, or making a system call. The first
// page of the index is mapped for that. Only a first opener ever shortens the
// file, and none can be first while our connection holds its share of the
// index (from the set-up reads above until it closes). That share is a POSIX
// lock, which closing any descriptor of the file in this process would drop:
// ours stays open until the connection is closed (see Close).
void StateStore::OpenWalIndex()
{
    const char *db = sqlite3_db_filename(db_, "main");
    if (!db || !*db)
        return;
    const std::string shm = std::string(db) + "-shm";
    walIndexFd_ = open(shm.c_str(), O_RDONLY | O_CLOEXEC);
    if (walIndexFd_ < 0)
        return;
    struct stat st { };
    const long page = sysconf(_SC_PAGESIZE);
    if (fstat(walIndexFd_, &st) != 0 || page <= 0 || st.st_size < page)
        return;
    void *map = mmap(nullptr, size_t(page), PROT_READ, MAP_SHARED, walIndexFd_, 0);
    if (map == MAP_FAILED)
        return;
    walIndex_ = static_cast<const volatile uint8_t *>(map);
    walIndexSize_ = size_t(page);
}

bool StateStore::ReadWalHeader(uint8_t (&out)[kWalHeaderSize]) const
{
    if (walIndex_) {
        // Pairs with the barrier SQLite puts between writing and publishing a header.
        std::atomic_thread_fence(std::memory_order_acquire);
        std::memcpy(out, const_cast<const uint8_t *>(walIndex_), kWalHeaderSize);
        return true;
    }
    return walIndexFd_ >= 0 &&
           pread(walIndexFd_, out, kWalHeaderSize, 0) == ssize_t(kWalHeaderSize);
}

bool StateStore::Init()
{
    // The journal mode reads the header first, so a file of another kind stops here.
    if (!Exec("PRAGMA journal_mode=WAL")) {
        const int code = sqlite3_errcode(db_);
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            return Fail("not a state file (" + std::string(sqlite3_errmsg(db_)) + ")");
        return Fail(std::string("cannot use: ") + sqlite3_errmsg(db_));
    }
    int64_t appId = -1;
    std::set<std::string> tables;
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            appId = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        s = nullptr;
        if (sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type='table'", -1, &s,
                               nullptr) == SQLITE_OK)
            while (sqlite3_step(s) == SQLITE_ROW)
                tables.insert(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    if (appId < 0)
        return Fail(std::string("cannot read: ") + sqlite3_errmsg(db_));
    const std::set<std::string> ours = {"port_state", "events", "sqlite_sequence"};
    const bool known = std::all_of(tables.begin(), tables.end(),
                                   [&](const std::string &t) { return ours.count(t); });
    if ((appId != 0 && appId != kApplicationId) || !known)
        return Fail("not a state file (a database of another application)");
    if (!Exec("PRAGMA synchronous=NORMAL"))
        return Fail(std::string("cannot use: ") + sqlite3_errmsg(db_));
    // The last process out checkpoints the log; an emptied log is cut to
    // nothing, or the next first opener would take its old frames for new
    // ones, read them back and copy them all again on its way out.
    if (!Exec("PRAGMA journal_size_limit=0"))
        return Fail(std::string("cannot use: ") + sqlite3_errmsg(db_));
    if (appId != kApplicationId || !tables.count("port_state") || !tables.count("events")) {
        // A new file, or one written before files were marked.
        if (!Exec("CREATE TABLE IF NOT EXISTS port_state(port TEXT NOT NULL, item TEXT NOT NULL, "
                  "value BLOB NOT NULL, PRIMARY KEY(port, item))") ||
            !Exec("CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY AUTOINCREMENT, port "
                  "TEXT NOT NULL, "
                  "type INTEGER, d0 INTEGER, d1 INTEGER, d2 INTEGER)") ||
            !Exec("PRAGMA application_id=1447973700"))
            return Fail(std::string("cannot write: ") + sqlite3_errmsg(db_));
    }
    return true;
}

void StateStore::Close()
{
    walHeaderValid_ = false;
    for (auto &s : stmts_) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    // Only now: closing our descriptor of the index earlier would drop the
    // connection's lock on it while SQLite still used its own mapping.
    if (walIndex_)
        munmap(const_cast<uint8_t *>(walIndex_), walIndexSize_);
    walIndex_ = nullptr;
    walIndexSize_ = 0;
    if (walIndexFd_ >= 0)
        close(walIndexFd_);
    walIndexFd_ = -1;
    scopes_ = 0;
    reading_ = checked_ = cacheValid_ = false;
    dataVersion_ = -1;
    small_.clear();
    large_.clear();
    ++epoch_;
}

bool StateStore::Exec(const char *sql)
{
    // Schema set-up races with other processes doing the same: retry on a busy file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return true;
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            return false;
        sqlite3_sleep(20);
    }
    return false;
}

sqlite3_stmt *StateStore::Prepared(Statement which)
{
    if (!db_)
        return nullptr;
    sqlite3_stmt *&s = stmts_[which];
    if (!s && sqlite3_prepare_v3(db_, kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
                  SQLITE_OK) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    return s;
}

bool StateStore::Step(Statement which)
{
    Use u(Prepared(which));
    if (!u)
        return false;
    const int rc = u.Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

StateStore::ReadScope::ReadScope(StateStore &store) : store_(store)
{
    if (!store_.db_ || store_.scopes_++)
        return;
    store_.checked_ = false;
    // The read transaction begins when a read needs the file.
    store_.reading_ = false;
}

void StateStore::BeginRead()
{
    if (scopes_ && !reading_)
        reading_ = Step(kBegin);
}

StateStore::ReadScope::~ReadScope()
{
    if (!store_.db_ || !store_.scopes_ || --store_.scopes_)
        return;
    if (store_.reading_)
        store_.Step(kCommit);
    store_.reading_ = false;
}

void StateStore::EndRead()
{
    if (reading_)
        Step(kCommit);
    reading_ = false;
    checked_ = false;
}

void StateStore::Changed()
{
    cacheValid_ = false;
    ++epoch_;
}

void StateStore::Refresh()
{
    if (!db_ || (scopes_ && checked_))
        return;
    uint8_t header[kWalHeaderSize] = {};
    const bool haveHeader = ReadWalHeader(header);
    if (haveHeader) {
        if (cacheValid_ && walHeaderValid_ &&
            std::memcmp(header, walHeader_, kWalHeaderSize) == 0) {
            if (scopes_)
                checked_ = true;
            return;
        }
    }
    BeginRead();
    int64_t version = -1;
    {
        Use u(Prepared(kDataVersion));
        if (u && u.Step() == SQLITE_ROW)
            version = u.ColumnInt(0);
    }
    if (scopes_)
        checked_ = true;
    if (cacheValid_ && version == dataVersion_) {
        std::memcpy(walHeader_, header, kWalHeaderSize);
        walHeaderValid_ = haveHeader;
        return;
    }
    small_.clear();
    large_.clear();
    cacheValid_ = false;
    ++epoch_;
    Use u(Prepared(kLoadAll));
    if (!u || version < 0)
        return;
    int rc;
    while ((rc = u.Step()) == SQLITE_ROW) {
        auto key = std::make_pair(u.ColumnText(0), u.ColumnText(1));
        if (u.ColumnNull(2))
            large_[std::move(key)] = Large{u.ColumnInt(4), uint32_t(u.ColumnInt(3))};
        else
            small_[std::move(key)] = u.ColumnBlob(2);
    }
    if (rc != SQLITE_DONE) {
        small_.clear();
        large_.clear();
        return;
    }
    dataVersion_ = version;
    cacheValid_ = true;
    // Taken before the check above: a commit since then shows as a change.
    std::memcpy(walHeader_, header, kWalHeaderSize);
    walHeaderValid_ = haveHeader;
}

uint64_t StateStore::Epoch()
{
    Refresh();
    return epoch_;
}

const Bytes *StateStore::Find(const std::string &port, const std::string &item)
{
    Refresh();
    if (!cacheValid_)
        return nullptr;
    auto it = small_.find(std::make_pair(port, item));
    return it == small_.end() ? nullptr : &it->second;
}

std::optional<Bytes> StateStore::Get(const std::string &port, const std::string &item)
{
    if (!db_)
        return std::nullopt;
    Refresh();
    if (cacheValid_) {
        const auto key = std::make_pair(port, item);
        if (auto it = small_.find(key); it != small_.end())
            return it->second;
        if (!large_.count(key))
            return std::nullopt;
    }
    BeginRead();
    Use u(Prepared(kSelectOne));
    if (!u)
        return std::nullopt;
    u.Text(1, port).Text(2, item);
    if (u.Step() != SQLITE_ROW)
        return std::nullopt;
    return u.ColumnBlob(0);
}

std::optional<uint32_t> StateStore::StoredSize(const std::string &port, const std::string &item)
{
    if (!db_)
        return std::nullopt;
    Refresh();
    if (cacheValid_) {
        const auto key = std::make_pair(port, item);
        if (auto it = small_.find(key); it != small_.end())
            return uint32_t(it->second.size());
        if (auto it = large_.find(key); it != large_.end())
            return it->second.size;
        return std::nullopt;
    }
    if (auto b = Get(port, item))
        return uint32_t(b->size());
    return std::nullopt;
}

bool StateStore::ReadPart(const std::string &port, const std::string &item, uint32_t offset,
                          uint32_t length, uint8_t *out)
{
    if (!db_)
        return false;
    Refresh();
    if (cacheValid_) {
        const auto key = std::make_pair(port, item);
        if (auto it = small_.find(key); it != small_.end()) {
            if (uint64_t(offset) + length > it->second.size())
                return false;
            if (length)
                std::memcpy(out, it->second.data() + offset, length);
            return true;
        }
        if (auto it = large_.find(key); it != large_.end()) {
            if (uint64_t(offset) + length > it->second.size)
                return false;
            BeginRead();
            sqlite3_blob *blob = nullptr;
            // Only the part asked for is read, not the whole value.
            const bool ok = sqlite3_blob_open(db_, "main", "port_state", "value", it->second.rowid,
                                              0, &blob) == SQLITE_OK &&
                            sqlite3_blob_bytes(blob) == int(it->second.size) &&
                            sqlite3_blob_read(blob, out, int(length), int(offset)) == SQLITE_OK;
            sqlite3_blob_close(blob);
            if (ok)
                return true;
        }
    }
    const auto b = Get(port, item);
    if (!b || uint64_t(offset) + length > b->size())
        return false;
    if (length)
        std::memcpy(out, b->data() + offset, length);
    return true;
}

bool StateStore::Put(const std::string &port, const std::string &item, const Bytes &value)
{
    if (!db_)
        return false;
    EndRead();
    Use u(Prepared(kPut));
    if (!u)
        return false;
    u.Text(1, port).Text(2, item).Blob(3, value);
    const bool ok = u.Step() == SQLITE_DONE;
    Changed();
    return ok;
}

bool StateStore::Erase(const std::string &port, const std::string &item)
{
    if (!db_)
        return false;
    EndRead();
    Use u(Prepared(kErase));
    if (!u)
        return false;
    u.Text(1, port).Text(2, item);
    const bool ok = u.Step() == SQLITE_DONE;
    Changed();
    return ok;
}

bool StateStore::Update(const std::string &port, const std::string &item, const Updater &fn)
{
    if (!db_)
        return false;
    EndRead();
    Txn tx(*this);
    if (!tx.ok())
        return false;
    std::optional<Bytes> old;
    {
        Use u(Prepared(kSelectOne));
        if (!u)
            return false;
        u.Text(1, port).Text(2, item);
        const int rc = u.Step();
        if (rc == SQLITE_ROW)
            old = u.ColumnBlob(0);
        else if (rc != SQLITE_DONE)
            return false;
    }
    bool abort = false;
    const std::optional<Bytes> next = fn(old, abort);
    if (abort)
        return true;
    if (next ? !Put(port, item, *next) : !Erase(port, item))
        return false;
    return tx.Commit();
}

std::vector<std::pair<std::string, Bytes>> StateStore::GetAll(const std::string &item)
{
    std::vector<std::pair<std::string, Bytes>> out;
    Use u(Prepared(kSelectItem));
    if (!u)
        return out;
    u.Text(1, item);
    while (u.Step() == SQLITE_ROW)
        out.emplace_back(u.ColumnText(0), u.ColumnBlob(1));
    return out;
}

bool StateStore::PostEvent(const std::string &port, const Event &e)
{
    if (!db_)
        return false;
    EndRead();
    Use u(Prepared(kPostEvent));
    if (!u)
        return false;
    u.Text(1, port).Int(2, e.type).Int(3, e.data[0]).Int(4, e.data[1]).Int(5, e.data[2]);
    return u.Step() == SQLITE_DONE;
}

bool StateStore::PendingEvents(const std::string &port, size_t &pending)
{
    pending = 0;
    Use u(Prepared(kCountEvents));
    if (!u)
        return false;
    u.Text(1, port);
    if (u.Step() != SQLITE_ROW)
        return false;
    pending = size_t(u.ColumnInt(0));
    return true;
}

bool StateStore::TakeEvents(const std::string &port, size_t max, std::vector<Event> &out,
                            size_t &pending)
{
    if (!db_)
        return false;
    // Pollers mostly find nothing: look before taking the write lock.
    if (!PendingEvents(port, pending))
        return false;
    if (!pending)
        return true;
    EndRead();
    Txn tx(*this);
    if (!tx.ok() || !PendingEvents(port, pending))
        return false;
    int64_t last = -1;
    {
        Use u(Prepared(kSelectEvents));
        if (!u)
            return false;
        u.Text(1, port).Int(2, int64_t(max));
        while (u.Step() == SQLITE_ROW) {
            last = u.ColumnInt(0);
            Event e;
            e.type = uint32_t(u.ColumnInt(1));
            for (int i = 0; i < 3; ++i)
                e.data[size_t(i)] = uint32_t(u.ColumnInt(2 + i));
            out.push_back(e);
        }
    }
    if (last >= 0) {
        Use d(Prepared(kDeleteEvents));
        if (!d)
            return false;
        d.Text(1, port).Int(2, last);
        if (d.Step() != SQLITE_DONE)
            return false;
    }
    return tx.Commit();
}

bool StateStore::ClearAll()
{
    if (!db_)
        return false;
    EndRead();
    const bool ok = Exec("DELETE FROM port_state") && Exec("DELETE FROM events");
    Changed();
    return ok;
}

} // namespace vnsdm
