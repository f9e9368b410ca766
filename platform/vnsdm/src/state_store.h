// Persisted adapter state: one SQLite file shared by every process on the machine.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model.h"

struct sqlite3;

namespace vnsdm {

class StateStore {
public:
    StateStore() = default;
    ~StateStore();
    StateStore(const StateStore &) = delete;
    StateStore &operator=(const StateStore &) = delete;

    // The path from VNSDM_STATE, else the XDG state directory (created).
    static std::string DefaultPath();

    bool Open(const std::string &path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const std::string &path() const { return path_; }

    // Items are keyed by the physical port's WWPN key and an item name.
    std::optional<Bytes> Get(const std::string &port, const std::string &item);
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
    bool Exec(const char *sql);
    sqlite3 *db_ = nullptr;
    std::string path_;
};

}  // namespace vnsdm
