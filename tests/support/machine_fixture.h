// A simulated machine of a test's own, scanned into the library's lists.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavro_api.h"
#include "testenv.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a description (empty: the default machine) with a private state file.
    void UseMachine(const std::string &json);
    // Scans the devices and builds the lists, as start-up does.
    void Scan();
    // Host switches for this test (brask.properties lines).
    void SetHostProperties(const std::string &lines);

    // Adapter list entries in order.
    std::vector<const FibreAdapter *> Entries() const;
    static std::string Wwpn(const FibreAdapter *a);

    testenv::TempDir dir;
};

// A card of the given shape for descriptions: ports as "wwpn[,function[,bus]]".
std::string Card(const std::string &model, const std::string &deviceId, const std::string &ssdid,
                 const std::string &serial, const std::vector<std::string> &ports,
                 const std::string &extraDefaults = "");
std::string Machine(const std::vector<std::string> &cards, const std::string &instances = "");
