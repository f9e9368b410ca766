#include "state_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace vnsdm {

namespace {

// One prepared statement, finalized on scope exit.
class Stmt {
public:
    Stmt(sqlite3 *db, const char *sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK) s_ = nullptr;
    }
    ~Stmt() { sqlite3_finalize(s_); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    Stmt &Text(int i, const std::string &v) {
        sqlite3_bind_text(s_, i, v.c_str(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &Blob(int i, const Bytes &v) {
        // An empty vector has no data pointer, which would bind NULL.
        if (v.empty()) sqlite3_bind_zeroblob(s_, i, 0);
        else sqlite3_bind_blob(s_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &Int(int i, int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    int Step() { return sqlite3_step(s_); }
    Bytes ColumnBlob(int i) {
        const auto *p = static_cast<const uint8_t *>(sqlite3_column_blob(s_, i));
        return Bytes(p, p + sqlite3_column_bytes(s_, i));
    }
    std::string ColumnText(int i) {
        const auto *p = sqlite3_column_text(s_, i);
        return p ? reinterpret_cast<const char *>(p) : "";
    }
    int64_t ColumnInt(int i) { return sqlite3_column_int64(s_, i); }

private:
    sqlite3_stmt *s_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3 *db) : db_(db) {
        ok_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (ok_ && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool ok() const { return ok_; }
    bool Commit() {
        done_ = true;
        return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    sqlite3 *db_;
    bool ok_ = false, done_ = false;
};

bool MakeDirs(const std::string &dir) {
    if (dir.empty()) return true;
    struct stat st{};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

StateStore::~StateStore() { Close(); }

std::string StateStore::DefaultPath() {
    const char *env = std::getenv("VNSDM_STATE");
    if (env && *env) return env;
    std::string dir;
    if (const char *xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) dir = std::string(xdg) + "/vnsdm";
    else if (const char *home = std::getenv("HOME"); home && *home) dir = std::string(home) + "/.local/state/vnsdm";
    else dir = "/tmp/vnsdm";
    MakeDirs(dir);
    return dir + "/state.db";
}

bool StateStore::Open(const std::string &path) {
    Close();
    path_ = path;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        Close();
        return false;
    }
    // Other processes write the same file: wait for their locks rather than fail.
    sqlite3_busy_timeout(db_, 10000);
    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=NORMAL") ||
        !Exec("CREATE TABLE IF NOT EXISTS port_state(port TEXT NOT NULL, item TEXT NOT NULL, "
              "value BLOB NOT NULL, PRIMARY KEY(port, item))") ||
        !Exec("CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY AUTOINCREMENT, port TEXT NOT NULL, "
              "type INTEGER, d0 INTEGER, d1 INTEGER, d2 INTEGER)")) {
        Close();
        return false;
    }
    return true;
}

void StateStore::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool StateStore::Exec(const char *sql) {
    // Schema set-up races with other processes doing the same: retry on a busy file.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) return false;
        sqlite3_sleep(20);
    }
    return false;
}

std::optional<Bytes> StateStore::Get(const std::string &port, const std::string &item) {
    if (!db_) return std::nullopt;
    Stmt s(db_, "SELECT value FROM port_state WHERE port=?1 AND item=?2");
    if (!s) return std::nullopt;
    s.Text(1, port).Text(2, item);
    if (s.Step() != SQLITE_ROW) return std::nullopt;
    return s.ColumnBlob(0);
}

bool StateStore::Put(const std::string &port, const std::string &item, const Bytes &value) {
    if (!db_) return false;
    Stmt s(db_, "INSERT OR REPLACE INTO port_state(port, item, value) VALUES(?1, ?2, ?3)");
    if (!s) return false;
    s.Text(1, port).Text(2, item).Blob(3, value);
    return s.Step() == SQLITE_DONE;
}

bool StateStore::Erase(const std::string &port, const std::string &item) {
    if (!db_) return false;
    Stmt s(db_, "DELETE FROM port_state WHERE port=?1 AND item=?2");
    if (!s) return false;
    s.Text(1, port).Text(2, item);
    return s.Step() == SQLITE_DONE;
}

bool StateStore::Update(const std::string &port, const std::string &item, const Updater &fn) {
    if (!db_) return false;
    Transaction tx(db_);
    if (!tx.ok()) return false;
    std::optional<Bytes> old;
    {
        Stmt s(db_, "SELECT value FROM port_state WHERE port=?1 AND item=?2");
        if (!s) return false;
        s.Text(1, port).Text(2, item);
        const int rc = s.Step();
        if (rc == SQLITE_ROW) old = s.ColumnBlob(0);
        else if (rc != SQLITE_DONE) return false;
    }
    bool abort = false;
    const std::optional<Bytes> next = fn(old, abort);
    if (abort) return true;
    if (next ? !Put(port, item, *next) : !Erase(port, item)) return false;
    return tx.Commit();
}

std::vector<std::pair<std::string, Bytes>> StateStore::GetAll(const std::string &item) {
    std::vector<std::pair<std::string, Bytes>> out;
    if (!db_) return out;
    Stmt s(db_, "SELECT port, value FROM port_state WHERE item=?1 ORDER BY port");
    if (!s) return out;
    s.Text(1, item);
    while (s.Step() == SQLITE_ROW) out.emplace_back(s.ColumnText(0), s.ColumnBlob(1));
    return out;
}

bool StateStore::PostEvent(const std::string &port, const Event &e) {
    if (!db_) return false;
    Stmt s(db_, "INSERT INTO events(port, type, d0, d1, d2) VALUES(?1, ?2, ?3, ?4, ?5)");
    if (!s) return false;
    s.Text(1, port).Int(2, e.type).Int(3, e.data[0]).Int(4, e.data[1]).Int(5, e.data[2]);
    return s.Step() == SQLITE_DONE;
}

bool StateStore::PendingEvents(const std::string &port, size_t &pending) {
    pending = 0;
    if (!db_) return false;
    Stmt s(db_, "SELECT COUNT(*) FROM events WHERE port=?1");
    if (!s) return false;
    s.Text(1, port);
    if (s.Step() != SQLITE_ROW) return false;
    pending = size_t(s.ColumnInt(0));
    return true;
}

bool StateStore::TakeEvents(const std::string &port, size_t max, std::vector<Event> &out,
                            size_t &pending) {
    if (!db_) return false;
    Transaction tx(db_);
    if (!tx.ok() || !PendingEvents(port, pending)) return false;
    int64_t last = -1;
    {
        Stmt s(db_, "SELECT id, type, d0, d1, d2 FROM events WHERE port=?1 ORDER BY id LIMIT ?2");
        if (!s) return false;
        s.Text(1, port).Int(2, int64_t(max));
        while (s.Step() == SQLITE_ROW) {
            last = s.ColumnInt(0);
            Event e;
            e.type = uint32_t(s.ColumnInt(1));
            for (int i = 0; i < 3; ++i) e.data[size_t(i)] = uint32_t(s.ColumnInt(2 + i));
            out.push_back(e);
        }
    }
    if (last >= 0) {
        Stmt d(db_, "DELETE FROM events WHERE port=?1 AND id<=?2");
        if (!d) return false;
        d.Text(1, port).Int(2, last);
        if (d.Step() != SQLITE_DONE) return false;
    }
    return tx.Commit();
}

bool StateStore::ClearAll() {
    if (!db_) return false;
    return Exec("DELETE FROM port_state") && Exec("DELETE FROM events");
}

}  // namespace vnsdm
