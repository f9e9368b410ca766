// The library's interactive start-up and clean-up through its exports.
#include <gtest/gtest.h>

#include <memory>

#include "tavro_api.h"
#include "testenv.h"

namespace {

TEST(Lifecycle, InitializeWithEventThreadThenCleanUpLeavesFilesAsFound)
{
    testenv::TempDir dir;
    const std::string bin = std::string(TAVRO_BINARY_DIR) + "/bin/";
    testenv::WriteFile(dir.file("adapters.properties"),
                       testenv::ReadFile(bin + "adapters.properties"));
    testenv::WriteFile(dir.file("brask.properties"),
                       "node.app.core.messages.disable=1\nnode.app.core.aen.enable=1\n"
                       "node.app.local.messages.disable=1\n");
    setenv("VNSDM_MACHINE", "", 1);
    setenv("VNSDM_STATE", dir.file("state.db").c_str(), 1);
    const std::string hbaConf = testenv::ReadFile("/etc/hba.conf");
    // Put back however the case ends.
    std::unique_ptr<const std::string, void (*)(const std::string *)> restore(
        &hbaConf, [](const std::string *saved) {
            if (testenv::ReadFile("/etc/hba.conf") != *saved)
                testenv::WriteFile("/etc/hba.conf", *saved);
        });

    ASSERT_EQ(TAVRO_Initialize(dir.path().c_str()), 0);
    EXPECT_EQ(std::string(TAVRO_GetApplicationPath()), dir.path());
    EXPECT_EQ(TAVRO_GetAdapterList()->count, 16u);
    EXPECT_EQ(TAVRO_isRefreshAdapterListRequired(), 0);
    EXPECT_EQ(TAVRO_Refresh(), 0);
    EXPECT_EQ(TAVRO_GetAdapterList()->count, 16u);
    EXPECT_EQ(TAVRO_Cleanup(), 0);
    EXPECT_EQ(TAVRO_GetAdapterList()->count, 0u);

    // Quiet mode of this run does not outlive it; the SNIA file is as it was.
    std::string brask = testenv::ReadFile(dir.file("brask.properties"));
    EXPECT_NE(brask.find("node.app.local.messages.disable=0\n"), std::string::npos) << brask;
    EXPECT_EQ(brask.find("node.app.local.messages.disable=1"), std::string::npos) << brask;
    EXPECT_EQ(testenv::ReadFile("/etc/hba.conf"), hbaConf);
    unsetenv("VNSDM_MACHINE");
    unsetenv("VNSDM_STATE");
}

TEST(Lifecycle, FilePathAndHostInfo)
{
    char path[260];
    EXPECT_EQ(TAVRO_GetFilePath("/etc/hostname", path), 1);
    EXPECT_STREQ(path, "/etc/hostname");
    EXPECT_EQ(TAVRO_GetFilePath("no/such/./file", path), -1);
    EXPECT_NE(std::string(path).find("/no/such/file"), std::string::npos) << path;
    char name[64], product[64], version[64];
    EXPECT_EQ(TAVRO_GetHostInfo(name, product, version, sizeof name), 0);
    EXPECT_GT(std::string(name).size(), 0u);
    EXPECT_LE(std::string(product).size(), 63u);
    EXPECT_EQ(TAVRO_IsWindowsPE(), 0);
}

} // namespace
