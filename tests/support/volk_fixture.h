// Runs the built volk as a user would, on a private state file and SNIA
// configuration file and, when given, a machine description of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testenv.h"

class VolkFixture : public ::testing::Test {
protected:
    static std::string VolkPath() { return std::string(TAVRO_BINARY_DIR) + "/bin/volk"; }

    testenv::RunResult Volk(const std::vector<std::string> &args, const std::string &machine = "")
    {
        std::vector<std::string> argv = {VolkPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        // A private SNIA configuration file: the machine's one is left to the tests about it.
        return testenv::Run(argv,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + machine,
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")});
    }
    // A machine with no adapters at all.
    std::string EmptyMachine()
    {
        testenv::WriteFile(dir.file("empty.json"), "{ \"adapters\": [] }");
        return dir.file("empty.json");
    }
    testenv::TempDir dir;
};
