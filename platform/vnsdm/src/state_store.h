// Persisted adapter state: one SQLite file shared by every process on the machine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vnsdm {

class StateStore {
public:
    StateStore() = default;
    ~StateStore();
    StateStore(const StateStore &) = delete;
    StateStore &operator=(const StateStore &) = delete;

    // The path from VNSDM_STATE, else the XDG state directory (created).
    static std::string DefaultPath();

    // Opens or creates the file; refuses anything that is not a state file.
    // On failure error() is one line naming the file and the problem.
    bool Open(const std::string &path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const std::string &path() const { return path_; }
    const std::string &error() const { return error_; }

    // The reads of one call share one read transaction. Values read are kept
    // across calls until this process or another one changes the file.
    class ReadScope {
    public:
        explicit ReadScope(StateStore &store);
        ~ReadScope();
        ReadScope(const ReadScope &) = delete;
        ReadScope &operator=(const ReadScope &) = delete;

    private:
        StateStore &store_;
    };

    // Counts every change of what reads answer: callers rebuild what they
    // derived from the state when it moves.
    uint64_t Epoch();

    // Items are keyed by the physical port's WWPN key and an item name.
    std::optional<Bytes> Get(const std::string &port, const std::string &item);
    const Bytes *Find(const std::string &port, const std::string &item);
    // Large items (flash regions) are read in place: their stored size, and a part of them.
    std::optional<uint32_t> StoredSize(const std::string &port, const std::string &item);
    bool ReadPart(const std::string &port, const std::string &item, uint32_t offset,
                  uint32_t length, uint8_t *out);
    bool Put(const std::string &port, const std::string &item, const Bytes &value);
    bool Erase(const std::string &port, const std::string &item);
    // Read-modify-write in one write transaction. fn answers the new value, or
    // nullopt to erase the item; it may set abort to leave the item as it was.
    using Updater = std::function<std::optional<Bytes>(const std::optional<Bytes> &, bool &abort)>;
    bool Update(const std::string &port, const std::string &item, const Updater &fn);
    // Every port's value of an item.
    std::vector<std::pair<std::string, Bytes>> GetAll(const std::string &item);

    bool PostEvent(const std::string &port, const Event &event);
    // Removes and answers up to max events of the port; pending is how many it had.
    bool TakeEvents(const std::string &port, size_t max, std::vector<Event> &out, size_t &pending);
    bool PendingEvents(const std::string &port, size_t &pending);

    bool ClearAll();

private:
    enum Statement {
        kBegin,
        kBeginImmediate,
        kCommit,
        kRollback,
        kDataVersion,
        kLoadAll,
        kSelectOne,
        kPut,
        kErase,
        kSelectItem,
        kPostEvent,
        kCountEvents,
        kSelectEvents,
        kDeleteEvents,
        kStatementCount
    };
    struct Large {
        int64_t rowid = 0;
        uint32_t size = 0;
    };
    friend class Txn;

    bool Exec(const char *sql);
    bool Fail(const std::string &problem);
    sqlite3_stmt *Prepared(Statement which);
    bool Step(Statement which); // a statement without bindings or rows
    void Refresh();             // reloads the cache when the file changed
    void Changed();             // after a write of this process
    void EndRead();             // a write ends the call's read transaction
    bool Init();
    void BeginRead(); // the scope's read transaction, when a read needs the file
    void OpenWalIndex();
    static constexpr size_t kWalHeaderSize = 48;
    bool ReadWalHeader(uint8_t (&out)[kWalHeaderSize]) const;

    sqlite3 *db_ = nullptr;
    std::string path_, error_;
    sqlite3_stmt *stmts_[kStatementCount] = {};

    int scopes_ = 0;
    bool reading_ = false; // the scope's read transaction is open
    bool checked_ = false; // the cache was checked in this scope
    bool cacheValid_ = false;
    int64_t dataVersion_ = -1;
    int walIndexFd_ = -1;                        // the WAL index, open with the connection
    const volatile uint8_t *walIndex_ = nullptr; // its first page, mapped
    size_t walIndexSize_ = 0;
    uint8_t walHeader_[kWalHeaderSize] = {}; // as it was at the last check
    bool walHeaderValid_ = false;
    uint64_t epoch_ = 1;
    std::map<std::pair<std::string, std::string>, Bytes> small_;
    std::map<std::pair<std::string, std::string>, Large> large_;
};

} // namespace vnsdm
