// Shared set-up of the simulator tests: a private state file and machine per test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testenv.h"
#include "vnsdm.h"
#include "vnsdm_sim.h"

namespace vnsdm_test {

using Wwn = std::array<uint8_t, 8>;

Wwn ParseWwn(const std::string &text); // "21:00:00:0e:7a:16:20:01"

using testenv::ReadFile;
using testenv::TempDir;
using testenv::WriteFile;

// Output and exit code of the helper executable run with the test's environment.
struct HelperResult {
    int exitCode = -1;
    std::string output;
};
HelperResult RunHelper(const std::vector<std::string> &args);
// Starts the helper without waiting; answers its process ID.
int StartHelper(const std::vector<std::string> &args);
int WaitHelper(int pid);

// Every test gets its own state file and, unless it loads another, the default machine.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a description into the test directory and reloads the machine from it.
    SD_STATUS UseMachine(const std::string &json);
    // Reloads with the embedded default machine.
    SD_STATUS UseDefaultMachine();
    // Handle of an instance; fails the test when it does not open.
    uint32_t Open(uint32_t instance);

    TempDir dir_;
    std::string statePath_;
};

// One instance with everything optional left out, for loader and fault tests.
std::string MinimalInstance(const std::string &wwpn, const std::string &extra = "");

} // namespace vnsdm_test
