// Subsystem list readers.
//
// The enciphered form is deciphered into memory and split into lines there,
// with the same 2047-character line limit the plain reader has: no plain copy
// of the list ever touches the disk, and nothing is left behind on failure.
#include "device/subsystem.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/files.h"
#include "base/text.h"
#include "frame/messages.h"

namespace {

// Lines as a 2048-byte fgets buffer gives them: at most 2047 characters, the
// rest of a longer line coming back as the next line. The line end is dropped.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : rest_(text) { }

    bool Next(std::string_view &line)
    {
        if (rest_.empty())
            return false;
        std::size_t length = std::min(rest_.size(), kSubSystemMaxLine);
        const std::size_t newline = rest_.substr(0, length).find('\n');
        if (newline != std::string_view::npos)
            length = newline + 1;
        line = rest_.substr(0, length);
        rest_.remove_prefix(length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        return true;
    }

private:
    std::string_view rest_;
};

constexpr std::size_t kColumnCount = 7;

// Columns of a line split at every comma. An empty column counts as missing,
// so a doubled comma never shifts the columns after it.
struct Columns {
    std::array<std::string_view, kColumnCount> text{};

    explicit Columns(std::string_view line)
    {
        for (std::size_t i = 0; i < kColumnCount; ++i) {
            const std::size_t comma = line.find(',');
            text[i] = line.substr(0, comma);
            if (comma == std::string_view::npos)
                break;
            line.remove_prefix(comma + 1);
        }
    }
    bool HasFirst(std::size_t count) const
    {
        return std::all_of(text.begin(), text.begin() + count,
                           [](std::string_view column) { return !column.empty(); });
    }
};

template <std::size_t N> void CopyColumn(char (&field)[N], std::string_view text)
{
    CopyText(field, text);
}

template <std::size_t N> void CopyFlag(char (&field)[N], std::string_view text)
{
    CopyColumn(field, text.empty() ? std::string_view("FALSE") : text);
}

void FillEntry(const Columns &columns, SubSystemEntry &entry)
{
    CopyColumn(entry.ssdid, columns.text[0]);
    CopyColumn(entry.ssvid, columns.text[1]);
    CopyColumn(entry.isp, columns.text[2]);
    CopyColumn(entry.description, columns.text[3]);
    CopyColumn(entry.supported, columns.text[4]);
    CopyFlag(entry.flag6, columns.text[5]);
    CopyFlag(entry.flag7, columns.text[6]);
}

// Plain lines are taken only when their first 255 characters hold more than
// three commas; anything else (comments, blank lines) is passed over quietly.
bool LooksLikeEntry(std::string_view line)
{
    const std::string_view head = line.substr(0, std::min<std::size_t>(line.size(), 255));
    return std::count(head.begin(), head.end(), ',') > 3;
}

bool ReadAll(std::FILE *file, std::string &text)
{
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    return std::ferror(file) == 0;
}

// Appends in file order; the tail pointer saves walking the list each time.
class ListBuilder {
public:
    ~ListBuilder() { FreeSubSystemList(head_); }
    SubSystemEntry *Append()
    {
        auto *entry = new (std::nothrow) SubSystemEntry;
        if (entry == nullptr)
            return nullptr;
        (tail_ ? tail_->next : head_) = entry;
        tail_ = entry;
        ++count_;
        return entry;
    }
    int Count() const { return count_; }
    SubSystemEntry *Release()
    {
        SubSystemEntry *head = head_;
        head_ = tail_ = nullptr;
        return head;
    }

private:
    SubSystemEntry *head_ = nullptr;
    SubSystemEntry *tail_ = nullptr;
    int count_ = 0;
};

} // namespace

bool PopulateSubSystemData(std::string_view line, SubSystemEntry &entry)
{
    const Columns columns(line);
    if (!columns.HasFirst(6))
        return false;
    FillEntry(columns, entry);
    return true;
}

SubSystemEntry *BuildSubSystemListFromEncryptedFile(const char *path, const char *key,
                                                    std::size_t keyLength)
{
    if (path == nullptr)
        return nullptr;
    FileHandle file(path, "rb");
    if (!file) {
        Trace(kLevelDebug,
              "BuildSubSystemListFromEncryptedFile: Cannot open the adapter properties file %s !",
              path);
        return nullptr;
    }
    long length = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0)
        length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        Trace(kLevelDebug, "BuildSubSystemListFromEncryptedFile: Unable to seek end of file %s !",
              path);
        return nullptr;
    }
    const std::size_t size = SubsystemCipherPaddedLength(static_cast<std::size_t>(length));
    std::unique_ptr<uint8_t[]> buffer(size ? new (std::nothrow) uint8_t[size]() : nullptr);
    if (!buffer) {
        Trace(kLevelDebug,
              "BuildSubSystemListFromEncryptedFile: Unable to allocate %d for encrypted buffer!",
              static_cast<int>(size));
        return nullptr;
    }
    if (std::fread(buffer.get(), 1, static_cast<std::size_t>(length), file.get()) !=
        static_cast<std::size_t>(length)) {
        Trace(kLevelDebug, "BuildSubSystemListFromEncryptedFile: Failed to read the %s file!",
              path);
        return nullptr;
    }
    file.Close();

    const std::span<uint8_t> blocks(buffer.get(), size);
    const bool ownKey = key != nullptr && keyLength == kSubsystemListKeyLength &&
                        std::memcmp(key, kSubsystemListKey, keyLength) == 0;
    if (!(ownKey
              ? SubsystemListDecipher(blocks)
              : SubsystemListCipher(blocks, key, keyLength, SubsystemCipherDirection::Decipher))) {
        Trace(kLevelDebug, "BuildSubSystemListFromEncryptedFile: Unusable key of %zu bytes",
              keyLength);
        return nullptr;
    }

    ListBuilder list;
    LineCursor lines(DecipheredText(blocks));
    std::string_view line;
    while (lines.Next(line)) {
        SubSystemEntry parsed;
        if (!PopulateSubSystemData(line, parsed)) {
            Trace(kLevelDebug,
                  "BuildSubSystemListFromEncryptedFile: Error encountered when reading buffer!");
            // A bad first line means this is not an enciphered list at all.
            if (list.Count() == 0)
                return nullptr;
            continue;
        }
        SubSystemEntry *entry = list.Append();
        if (entry == nullptr) {
            Trace(kLevelDebug, "BuildSubSystemListFromEncryptedFile: Unable to allocate memory!");
            return nullptr;
        }
        *entry = parsed;
        entry->next = nullptr;
    }
    Trace(kLevelDebug, "BuildSubSystemListFromEncryptedFile: %d entries read from %s", list.Count(),
          path);
    return list.Release();
}

SubSystemEntry *BuildSubSystemListFromFile(const char *path)
{
    if (path == nullptr)
        return nullptr;
    FileHandle file(path, "r");
    if (!file) {
        Trace(kLevelDebug,
              "BuildSubSystemListFromFile: Cannot open the adapter properties file %s !", path);
        return nullptr;
    }
    std::string text;
    if (!ReadAll(file.get(), text)) {
        Trace(kLevelDebug, "BuildSubSystemListFromFile: Failed to read the %s file!", path);
        return nullptr;
    }
    file.Close();

    ListBuilder list;
    // The leading empty entry never matches a lookup.
    if (list.Append() == nullptr) {
        Trace(kLevelDebug, "BuildSubSystemListFromFile: Unable to allocate memory!");
        return nullptr;
    }
    LineCursor lines(text);
    std::string_view line;
    int lineNumber = 0;
    while (lines.Next(line)) {
        ++lineNumber;
        if (!LooksLikeEntry(line))
            continue;
        const Columns columns(line);
        if (!columns.HasFirst(5)) {
            Trace(kLevelDebug,
                  "BuildSubSystemListFromFile: Failed to build adapter subsystem list from file %s "
                  "line %d!",
                  path, lineNumber);
            return nullptr;
        }
        SubSystemEntry *entry = list.Append();
        if (entry == nullptr) {
            Trace(kLevelDebug, "BuildSubSystemListFromFile: Unable to allocate memory!");
            return nullptr;
        }
        FillEntry(columns, *entry);
    }
    return list.Release();
}

const SubSystemEntry *FindSubSystemInSubSystemList(const SubSystemEntry *list, uint16_t ssdid,
                                                   uint16_t ssvid)
{
    const std::string ssdidText = Format("0x%04X", ssdid);
    const std::string ssvidText = Format("0x%04X", ssvid);
    for (const SubSystemEntry *entry = list; entry != nullptr; entry = entry->next) {
        if (ssdidText == entry->ssdid && ssvidText == entry->ssvid) {
            Trace(kLevelDebug, "FindSubSystemInSubSystemList: Found SSVID: %s SSDID %s.",
                  entry->ssvid, entry->ssdid);
            return entry;
        }
    }
    return nullptr;
}

bool IsSubSystemEntrySupported(const SubSystemEntry &entry)
{
    return std::strstr(entry.supported, "TRUE") != nullptr;
}

void DumpSubSystemList(const SubSystemEntry *list)
{
    int index = 0;
    for (const SubSystemEntry *entry = list; entry != nullptr; entry = entry->next, ++index)
        Trace(kLevelDebug, "\nEntry %d: %s %s %s %s %s %s", index, entry->ssdid, entry->ssvid,
              entry->isp, entry->description, entry->supported, entry->flag6);
}

void FreeSubSystemList(SubSystemEntry *list)
{
    while (list != nullptr) {
        SubSystemEntry *next = list->next;
        delete list;
        list = next;
    }
}

SubSystemListPtr ReadSubSystemList(const char *path)
{
    SubSystemEntry *list =
        BuildSubSystemListFromEncryptedFile(path, kSubsystemListKey, kSubsystemListKeyLength);
    if (list == nullptr) {
        Trace(kLevelDebug, "ReadSubSystemList: Reading %s as a plain list", path ? path : "(null)");
        list = BuildSubSystemListFromFile(path);
    }
    return SubSystemListPtr(list);
}
