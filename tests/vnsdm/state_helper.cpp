// Second process of the state tests: does one thing to the simulated machine
// named by the environment and prints what it read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vnsdm.h"
#include "vnsdm_sim.h"

namespace {

bool ParseWwn(const char *text, uint8_t out[8])
{
    unsigned v[8];
    if (std::sscanf(text, "%x:%x:%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &v[6], &v[7]) != 8)
        return false;
    for (int i = 0; i < 8; ++i)
        out[i] = uint8_t(v[i]);
    return true;
}

int Fail(const char *what, SD_STATUS s)
{
    std::printf("%s failed: 0x%x %s\n", what, s, SDGetErrorString(s));
    return 1;
}

SD_STATUS SetVar(uint32_t handle, uint32_t field, uint32_t value)
{
    uint8_t image[512];
    if (SD_STATUS s = SDGetNVRam(handle, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image))
        return s;
    if (SD_STATUS s = SDSetVariableValue(handle, image, field, value))
        return s;
    return SDUpdateNVRam(handle, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image);
}

uint32_t OpenOrExit(const char *instance)
{
    uint32_t handle = 0;
    if (SD_STATUS s = SDOpenDevice(uint32_t(std::atoi(instance)), &handle))
        std::exit(Fail("SDOpenDevice", s));
    return handle;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const std::string cmd = argv[1];
    if (cmd == "setvar" && argc == 5) {
        const uint32_t h = OpenOrExit(argv[2]);
        if (SD_STATUS s = SetVar(h, uint32_t(std::atoi(argv[3])), uint32_t(std::atoi(argv[4]))))
            return Fail("set", s);
        return 0;
    }
    if (cmd == "getvar" && argc == 4) {
        const uint32_t h = OpenOrExit(argv[2]);
        uint8_t image[512];
        uint32_t value = 0;
        if (SD_STATUS s = SDGetNVRam(h, 0, SD_NVRAM_REGION_PARAMETERS, image, sizeof image))
            return Fail("get", s);
        if (SD_STATUS s = SDGetVariableValue(h, image, uint32_t(std::atoi(argv[3])), &value))
            return Fail("var", s);
        std::printf("%u\n", value);
        return 0;
    }
    if (cmd == "getbeacon") {
        const uint32_t h = OpenOrExit(argv[2]);
        uint32_t value = 0;
        if (SD_STATUS s = SDGetBeaconControl(h, 0, &value))
            return Fail("beacon", s);
        std::printf("0x%08X\n", value);
        return 0;
    }
    if (cmd == "stats") {
        const uint32_t h = OpenOrExit(argv[2]);
        SD_STATISTICS st{};
        if (SD_STATUS s = SDGetStatistics(h, 0, &st))
            return Fail("stats", s);
        std::printf("%llu\n", static_cast<unsigned long long>(st.IoCount));
        return 0;
    }
    if (cmd == "hammer" && argc == 5) {
        // Writes NVRAM and beacon of every listed instance count times.
        std::vector<uint32_t> handles;
        for (char *p = std::strtok(argv[2], ","); p; p = std::strtok(nullptr, ","))
            handles.push_back(OpenOrExit(p));
        const int count = std::atoi(argv[3]), tag = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            for (uint32_t h : handles) {
                if (SD_STATUS s = SetVar(h, 16, uint32_t(tag * 1000 + i)))
                    return Fail("nvram", s);
                if (SD_STATUS s = SDUpdateBeaconControl(h, 0, i % 2 ? SD_BEACON_ON : SD_BEACON_OFF))
                    return Fail("beacon", s);
            }
        }
        return 0;
    }
    if (cmd == "loop") {
        // Writes until killed.
        const uint32_t h = OpenOrExit(argv[2]);
        std::printf("ready\n");
        std::fflush(stdout);
        for (uint32_t i = 0;; ++i)
            if (SD_STATUS s = SetVar(h, 16, i % 60000))
                return Fail("nvram", s);
    }
    if (cmd == "vports") {
        uint8_t wwpn[8];
        if (!ParseWwn(argv[2], wwpn))
            return 2;
        VNSIM_VPORT list[64];
        uint32_t count = 0;
        if (SD_STATUS s = VNSimListVports(wwpn, list, 64, &count))
            return Fail("list", s);
        std::printf("%u\n", count);
        for (uint32_t i = 0; i < count; ++i)
            std::printf("%02x:%02x:%02x:%02x:%02x:%02x:%02x:%02x %u\n", list[i].WWPN[0],
                        list[i].WWPN[1], list[i].WWPN[2], list[i].WWPN[3], list[i].WWPN[4],
                        list[i].WWPN[5], list[i].WWPN[6], list[i].WWPN[7], list[i].Slot);
        return 0;
    }
    if (cmd == "post" && argc == 4) {
        uint8_t wwpn[8];
        if (!ParseWwn(argv[2], wwpn))
            return 2;
        if (SD_STATUS s = VNSimPostEvent(wwpn, uint32_t(std::atoi(argv[3])), 0, 0, 0))
            return Fail("post", s);
        return 0;
    }
    return 2;
}
