// Subsystem list: the adapter models the host supports, read from
// adapters.properties in its enciphered form or, failing that, its plain one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "device/subsystem_cipher.h"

// Column widths (terminating NUL included); longer texts are cut.
inline constexpr std::size_t kSubSystemIdWidth = 20;
inline constexpr std::size_t kSubSystemIspWidth = 10;
inline constexpr std::size_t kSubSystemDescriptionWidth = 128;
inline constexpr std::size_t kSubSystemFlagWidth = 10;

// Longest line the readers take; the rest of a longer line is read as the next one.
inline constexpr std::size_t kSubSystemMaxLine = 2047;

struct SubSystemEntry {
    char ssdid[kSubSystemIdWidth]{}; // "0x" and four upper-case hex digits
    char ssvid[kSubSystemIdWidth]{};
    char isp[kSubSystemIspWidth]{}; // chip name
    char description[kSubSystemDescriptionWidth]{};
    char supported[kSubSystemFlagWidth]{}; // enables the adapter when it holds "TRUE"
    char flag6[kSubSystemFlagWidth]{};
    char flag7[kSubSystemFlagWidth]{};
    SubSystemEntry *next = nullptr;
};

// Enciphered form. Null when the file cannot be read or deciphered into
// entries, or when its first line is not a good entry (a plain file then
// falls through to BuildSubSystemListFromFile).
SubSystemEntry *BuildSubSystemListFromEncryptedFile(const char *path, const char *key,
                                                    std::size_t keyLength);
// Plain form; the list starts with an empty entry. Null when the file cannot
// be read or a considered line lacks one of the first five columns.
SubSystemEntry *BuildSubSystemListFromFile(const char *path);
// First entry with exactly "0x%04X" of both IDs; null when none.
const SubSystemEntry *FindSubSystemInSubSystemList(const SubSystemEntry *list, uint16_t ssdid,
                                                   uint16_t ssvid);
// One line of the enciphered form: six columns required, the seventh
// optional. False (entry untouched) when a required column is missing.
bool PopulateSubSystemData(std::string_view line, SubSystemEntry &entry);
// Whether an entry marks its adapter as supported.
bool IsSubSystemEntrySupported(const SubSystemEntry &entry);
// Traces every entry.
void DumpSubSystemList(const SubSystemEntry *list);
void FreeSubSystemList(SubSystemEntry *list);

struct SubSystemListDeleter {
    void operator()(SubSystemEntry *list) const { FreeSubSystemList(list); }
};
using SubSystemListPtr = std::unique_ptr<SubSystemEntry, SubSystemListDeleter>;

// The list as the adapter list reads it: the enciphered form with the
// shipped key first, the plain form as fall-back; null when neither reads.
SubSystemListPtr ReadSubSystemList(const char *path);
