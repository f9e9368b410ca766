// A settings table of name/alias/value entries, as the diagnostics and the
// monitors keep them: a command line or a menu writes values by name or alias
// (any case), the operation reads them when it starts. Fixed widths: the
// values are the texts the user gave, cut to the table's own size.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "base/text.h"

template <std::size_t ValueSize> struct ParamEntry {
    char alias[4];
    char name[20];
    char value[ValueSize];
};

template <std::size_t Size, std::size_t ValueSize> class ParamTable {
public:
    using Entry = ParamEntry<ValueSize>;
    static constexpr int kSize = int(Size);

    void Fill(int index, std::string_view alias, std::string_view name, std::string_view value)
    {
        Entry &e = entries_[std::size_t(index)];
        CopyText(e.alias, alias);
        CopyText(e.name, name);
        CopyText(e.value, value);
    }
    // Index of the entry whose alias or name is key, among the first count; -1 when none.
    int Find(std::string_view key, int count = kSize) const
    {
        for (int i = 0; i < count && i < kSize; ++i)
            if (SameText(key, entries_[std::size_t(i)].alias) ||
                SameText(key, entries_[std::size_t(i)].name))
                return i;
        return -1;
    }
    // Writes the value of entry index; false (nothing written) out of range.
    bool Set(int index, std::string_view value)
    {
        if (index < 0 || index >= kSize)
            return false;
        CopyText(entries_[std::size_t(index)].value, value);
        return true;
    }
    bool Set(std::string_view key, std::string_view value) { return Set(Find(key), value); }
    // The value text of a name or alias; null when there is no such entry.
    const char *Value(std::string_view key) const
    {
        const int i = Find(key);
        return i < 0 ? nullptr : entries_[std::size_t(i)].value;
    }
    const char *ValueAt(int index) const { return entries_[std::size_t(index)].value; }
    const Entry *data() const { return entries_.data(); }
    const Entry &operator[](int index) const { return entries_[std::size_t(index)]; }
    bool Filled() const { return entries_[0].name[0] != '\0'; }

private:
    std::array<Entry, Size> entries_{};
};
