// Registration of the maker's SNIA vendor library in the SNIA configuration
// file, the Linux counterpart of the registry value the HBA API reads.
#pragma once

#include <string>

// Library name under which the vendor library is listed.
constexpr const char *kSniaVendorName = "com.vantor.corvane";
constexpr const char *kSniaConfFile = "/etc/hba.conf";

struct SniaRegistration {
    std::string confPath;
    bool changed = false; // the file was changed and must be restored
    bool existed = false; // the file existed before
    std::string added;    // the text appended to it
    std::string line;     // the line listing the library
};

// Lists libraryPath under kSniaVendorName in confPath (atomically, under a
// lock shared with other processes). 0 on success, -1 on failure.
int OSSRegSetSNIAHBAAPIPath(const std::string &confPath, const std::string &libraryPath,
                            SniaRegistration &reg);
// Puts the file back as it was found. 0 on success, -1 on failure.
int OSSRegRestoreSNIAHBAAPIKey(SniaRegistration &reg);
