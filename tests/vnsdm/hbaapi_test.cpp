// The SNIA vendor library: directly, and through the system's HBA API library.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

#include <hbaapi.h>
#include <vendorhbaapi.h>

#include "test_util.h"

namespace vnsdm_test {
namespace {

constexpr const char *kConf = "/etc/hba.conf";

class VendorLibraryTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        lib_ = dlopen(VNHBAAPI_LIBRARY, RTLD_NOW);
        ASSERT_NE(lib_, nullptr) << dlerror();
        auto reg = reinterpret_cast<HBARegisterLibraryV2Func>(dlsym(lib_, "HBA_RegisterLibraryV2"));
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(&t_), HBA_STATUS_OK);
        ASSERT_EQ(t_.LoadLibraryHandler(), HBA_STATUS_OK);
    }
    void TearDown() override
    {
        if (t_.FreeLibraryHandler)
            t_.FreeLibraryHandler();
        if (lib_)
            dlclose(lib_);
        SimTest::TearDown();
    }
    void *lib_ = nullptr;
    HBA_ENTRYPOINTSV2 t_{};
};

TEST_F(VendorLibraryTest, TableHasTheEntriesWeServe)
{
    EXPECT_NE(t_.GetVersionHandler, nullptr);
    EXPECT_EQ(t_.GetVersionHandler(), HBA_LIBVERSION);
    for (const void *f :
         {(void *)t_.GetNumberOfAdaptersHandler, (void *)t_.GetAdapterNameHandler,
          (void *)t_.OpenAdapterHandler, (void *)t_.CloseAdapterHandler,
          (void *)t_.GetAdapterAttributesHandler, (void *)t_.GetAdapterPortAttributesHandler,
          (void *)t_.GetPortStatisticsHandler, (void *)t_.SendCTPassThruV2Handler,
          (void *)t_.SendCTPassThruHandler, (void *)t_.OpenAdapterByWWNHandler,
          (void *)t_.GetPortAttributesByWWNHandler})
        EXPECT_NE(f, nullptr);
    EXPECT_EQ(t_.GetFcpTargetMappingV2Handler, nullptr);
    EXPECT_EQ(t_.SendRPLHandler, nullptr);
    // The first-revision table is the same beginning.
    auto reg1 = reinterpret_cast<HBARegisterLibraryFunc>(dlsym(lib_, "HBA_RegisterLibrary"));
    ASSERT_NE(reg1, nullptr);
    HBA_ENTRYPOINTS v1{};
    ASSERT_EQ(reg1(&v1), HBA_STATUS_OK);
    EXPECT_EQ(v1.OpenAdapterHandler, t_.OpenAdapterHandler);
}

TEST_F(VendorLibraryTest, OneAdapterPerPhysicalPort)
{
    ASSERT_EQ(t_.GetNumberOfAdaptersHandler(), 13u);
    char name[256];
    ASSERT_EQ(t_.GetAdapterNameHandler(2, name), HBA_STATUS_OK);
    EXPECT_STREQ(name, "com.vantor-CV2162-2");
    EXPECT_EQ(t_.GetAdapterNameHandler(13, name), HBA_STATUS_ERROR_ILLEGAL_INDEX);

    const HBA_HANDLE h = t_.OpenAdapterHandler(name);
    ASSERT_NE(h, HBA_HANDLE_INVALID);
    char wrong[] = "com.vantor-CV2322-2";
    EXPECT_EQ(t_.OpenAdapterHandler(wrong), HBA_HANDLE_INVALID);
    HBA_ADAPTERATTRIBUTES a{};
    ASSERT_EQ(t_.GetAdapterAttributesHandler(h, &a), HBA_STATUS_OK);
    EXPECT_STREQ(a.Manufacturer, "Vantor");
    EXPECT_STREQ(a.Model, "CV-2162");
    EXPECT_STREQ(a.SerialNumber, "CVA1621183");
    EXPECT_EQ(a.NumberOfPorts, 1u);
    EXPECT_EQ(a.VendorSpecificID, 0x71901E7Au);
    HBA_PORTATTRIBUTES p{};
    ASSERT_EQ(t_.GetAdapterPortAttributesHandler(h, 0, &p), HBA_STATUS_OK);
    EXPECT_EQ(0, std::memcmp(p.PortWWN.wwn, ParseWwn("21:00:00:0e:7a:16:20:01").data(), 8));
    EXPECT_EQ(p.PortFcId, 0x010200u);
    EXPECT_EQ(p.PortState, HBA_PORTSTATE_ONLINE);
    EXPECT_EQ(p.NumberofDiscoveredPorts, 2u);
    EXPECT_EQ(0, std::memcmp(p.FabricName.wwn, ParseWwn("10:00:00:5a:3c:20:00:01").data(), 8));
    EXPECT_EQ(t_.GetAdapterPortAttributesHandler(h, 1, &p), HBA_STATUS_ERROR_ILLEGAL_INDEX);
    HBA_PORTSTATISTICS s{};
    ASSERT_EQ(t_.GetPortStatisticsHandler(h, 0, &s), HBA_STATUS_OK);
    EXPECT_GT(s.RxFrames, 0);

    HBA_WWN array;
    std::memcpy(array.wwn, ParseWwn("50:0c:ab:10:00:00:10:01").data(), 8);
    ASSERT_EQ(t_.GetPortAttributesByWWNHandler(h, array, &p), HBA_STATUS_OK);
    EXPECT_EQ(p.PortFcId, 0x010400u);
    t_.CloseAdapterHandler(h);
    EXPECT_EQ(t_.GetAdapterAttributesHandler(h, &a), HBA_STATUS_ERROR_INVALID_HANDLE);
}

TEST_F(VendorLibraryTest, CtThroughThePortOrItsVirtualPorts)
{
    HBA_WWN wwn;
    std::memcpy(wwn.wwn, ParseWwn("21:00:00:0e:7a:16:20:01").data(), 8);
    HBA_HANDLE h = 0;
    ASSERT_EQ(t_.OpenAdapterByWWNHandler(&h, wwn), HBA_STATUS_OK);
    uint8_t req[16] = {0x01, 0, 0, 0, 0xFA, 0x01, 0, 0, 0x01, 0x01};
    uint8_t resp[512];
    HBA_UINT32 len = sizeof resp;
    ASSERT_EQ(t_.SendCTPassThruV2Handler(h, wwn, req, sizeof req, resp, &len), HBA_STATUS_OK);
    EXPECT_EQ(resp[8] << 8 | resp[9], 0x8002);
    HBA_WWN vport;
    std::memcpy(vport.wwn, ParseWwn("21:5a:00:0e:7a:16:20:01").data(), 8);
    len = sizeof resp;
    EXPECT_EQ(t_.SendCTPassThruV2Handler(h, vport, req, sizeof req, resp, &len), HBA_STATUS_OK);
    HBA_WWN stranger;
    std::memcpy(stranger.wwn, ParseWwn("21:00:00:0e:7a:08:10:01").data(), 8);
    len = sizeof resp;
    EXPECT_EQ(t_.SendCTPassThruV2Handler(h, stranger, req, sizeof req, resp, &len),
              HBA_STATUS_ERROR_ILLEGAL_WWN);
    t_.CloseAdapterHandler(h);
    std::memset(wwn.wwn, 0x77, 8);
    EXPECT_EQ(t_.OpenAdapterByWWNHandler(&h, wwn), HBA_STATUS_ERROR_ILLEGAL_WWN);
}

// Lists the vendor library in /etc/hba.conf for the life of the object and puts
// the file back byte for byte, under the lock other editors of the file take.
class HbaConfEntry {
public:
    explicit HbaConfEntry(const std::string &line)
    {
        lockFd_ =
            open((std::string(kConf) + ".tavro-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0)
            return;
        struct stat st { };
        existed_ = stat(kConf, &st) == 0;
        mode_ = existed_ ? st.st_mode & 07777 : 0644;
        original_ = existed_ ? ReadFile(kConf) : "";
        std::string text = original_;
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        ok_ = Write(text + line + "\n");
    }
    ~HbaConfEntry()
    {
        if (ok_) {
            if (existed_)
                Write(original_);
            else
                unlink(kConf);
        }
        if (lockFd_ >= 0)
            close(lockFd_);
    }
    HbaConfEntry(const HbaConfEntry &) = delete;
    HbaConfEntry &operator=(const HbaConfEntry &) = delete;
    bool ok() const { return ok_; }
    const std::string &original() const { return original_; }

private:
    bool Write(const std::string &text)
    {
        const std::string tmp = std::string(kConf) + ".vnsdm-test";
        std::FILE *f = std::fopen(tmp.c_str(), "wb");
        if (!f)
            return false;
        const bool wrote = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (std::fclose(f) != 0 || !wrote)
            return false;
        chmod(tmp.c_str(), mode_);
        return std::rename(tmp.c_str(), kConf) == 0;
    }
    int lockFd_ = -1;
    bool existed_ = false, ok_ = false;
    mode_t mode_ = 0644;
    std::string original_;
};

class SniaLibraryTest : public SimTest { };

TEST_F(SniaLibraryTest, SeesTheSimulatedPorts)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs to edit /etc/hba.conf";
    std::string before;
    {
        HbaConfEntry entry(std::string("com.vantor.corvane  ") + VNHBAAPI_LIBRARY);
        ASSERT_TRUE(entry.ok());
        before = entry.original();
        ASSERT_EQ(HBA_LoadLibrary(), HBA_STATUS_OK);
        const HBA_UINT32 count = HBA_GetNumberOfAdapters();
        std::set<std::string> ours;
        std::string cv2162;
        for (HBA_UINT32 i = 0; i < count; ++i) {
            char name[256] = {};
            if (HBA_GetAdapterName(i, name) != HBA_STATUS_OK)
                continue;
            if (std::strncmp(name, "com.vantor-", 11) == 0)
                ours.insert(name);
            if (std::string(name) == "com.vantor-CV2162-2")
                cv2162 = name;
        }
        EXPECT_EQ(ours.size(), 13u);
        ASSERT_FALSE(cv2162.empty());
        const HBA_HANDLE h = HBA_OpenAdapter(cv2162.data());
        ASSERT_NE(h, HBA_HANDLE_INVALID);
        HBA_PORTATTRIBUTES p{};
        ASSERT_EQ(HBA_GetAdapterPortAttributes(h, 0, &p), HBA_STATUS_OK);
        EXPECT_EQ(0, std::memcmp(p.PortWWN.wwn, ParseWwn("21:00:00:0e:7a:16:20:01").data(), 8));
        EXPECT_EQ(p.PortState, HBA_PORTSTATE_ONLINE);
        HBA_ADAPTERATTRIBUTES a{};
        ASSERT_EQ(HBA_GetAdapterAttributes(h, &a), HBA_STATUS_OK);
        EXPECT_STREQ(a.Model, "CV-2162");
        HBA_CloseAdapter(h);
        HBA_FreeLibrary();
    }
    EXPECT_EQ(ReadFile(kConf), before);
}

} // namespace
} // namespace vnsdm_test
