// Registration of the maker's SNIA vendor library in the SNIA configuration
// file, the Linux counterpart of the registry value the HBA API reads.
//
// Rules, so that the file is left as found whatever ends a process and two
// installations never make the HBA API load two vendor libraries:
//  - One line lists a library under kSniaVendorName. A line there whose
//    library exists (or that names our own library) is used as it is and
//    never duplicated; only a missing line, or one whose library is gone, is
//    added or replaced by ours.
//  - Every line we add or replace is recorded, with its owners (process id,
//    process start time and boot), in a journal beside the file, under the
//    same lock as the file. Processes that use such a line join its owners;
//    the last owner to leave puts the file back as it was.
//  - Every start-up first gives back lines whose owners are all gone (a
//    process killed with -9), and removes the temporary files killed writers
//    left.
#pragma once

#include <string>

// Library name under which the vendor library is listed.
constexpr const char *kSniaVendorName = "com.vantor.corvane";
constexpr const char *kSniaConfFile = "/etc/hba.conf";
// Environment variable that names another configuration file (tests, private set-ups).
constexpr const char *kSniaConfVariable = "TAVRO_HBA_CONF";

// The configuration file in use: $TAVRO_HBA_CONF when set, else /etc/hba.conf.
std::string SniaConfPath();

struct SniaRegistration {
    std::string confPath;
    bool changed = false; // this process owns a line it must give back
    std::string line;     // the line that lists our library, when we own one
    bool added = false;   // we wrote that line ourselves
    std::string replaced; // the line ours replaced ("" when appended)
    bool joined = false;  // a newline was added before ours (unterminated file)
    bool created = false; // the file did not exist before
    int error = 0;        // errno of a failed registration or restore
};

// Lists libraryPath under kSniaVendorName in confPath (see the rules above).
// 0 on success, -1 on failure (reg.error says why).
int OSSRegSetSNIAHBAAPIPath(const std::string &confPath, const std::string &libraryPath,
                            SniaRegistration &reg);
// Gives this process's line back; the last owner leaves the file as it was
// found. 0 on success, -1 on failure.
int OSSRegRestoreSNIAHBAAPIKey(SniaRegistration &reg);
// Start-up repair without a registration: lines of dead owners given back,
// temporary files of killed writers removed. 0, or an errno value.
int OSSRegHealSNIAConf(const std::string &confPath);
// From now on this process registers nothing (it is ending on a signal).
void OSSRegRefuseRegistrations();
