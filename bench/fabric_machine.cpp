#include "fabric_machine.h"

#include <cstdio>

namespace bench {

namespace {

std::string Format(const char *fmt, auto... args)
{
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

constexpr int kSwitches = 4;
constexpr int kTargets = 16;

} // namespace

std::string FabricMachineJson(int ports)
{
    std::string j =
        "{\n  \"format\": 1,\n  \"comment\": \"Generated fabric machine: " + std::to_string(ports) +
        " ports.\",\n  \"fabric\": {\n    \"switches\": [\n";
    for (int s = 0; s < kSwitches; ++s)
        j += Format("      %s{ \"name\": \"fab-sw%d\", \"wwn\": \"10:00:00:5a:3c:30:00:%02x\", "
                    "\"domain\": %d }\n",
                    s ? "," : "", s + 1, s + 1, s + 1);
    j += "    ],\n    \"targets\": [\n";
    for (int t = 0; t < kTargets; ++t)
        j += Format(
            "      %s{ \"wwnn\": \"50:0c:ab:30:00:00:%02x:00\", \"wwpn\": "
            "\"50:0c:ab:30:00:00:%02x:01\", \"port_id\": \"0x%02xe%x00\",\n"
            "        \"vendor\": \"KELDAR\", \"product\": \"KD5200 ARRAY\", \"luns\": [ "
            "{ \"lun\": 0, \"blocks\": 20971520 }, { \"lun\": 1, \"blocks\": 41943040 } ] }\n",
            t ? "," : "", t, t, t % kSwitches + 1, t / kSwitches);
    j += "    ]\n  },\n  \"adapters\": [\n";
    const int cards = (ports + 1) / 2;
    for (int c = 0; c < cards; ++c) {
        j += Format(
            "    %s{ \"model\": \"CV-2162\", \"serial\": \"CVF%07d\",\n"
            "      \"defaults\": { \"chip\": { \"device_id\": \"0x7190\", \"subsystem_id\": "
            "\"0x0162\", \"bus\": %d, \"chip_type\": \"0x0025\" },\n"
            "        \"firmware\": { \"version\": \"9.06.02\", \"attributes\": [\"npiv\"] },\n"
            "        \"port\": { \"speed\": \"16g\", \"supported_speeds\": [\"4g\", \"8g\", "
            "\"16g\"], \"max_vports\": 64 } },\n"
            "      \"ports\": [\n",
            c ? "," : "", c, c % 250 + 2);
        for (int p = 0; p < 2 && 2 * c + p < ports; ++p) {
            const int n = 2 * c + p;
            const int domain = n % kSwitches + 1, area = n / kSwitches + 0x10;
            std::string targets;
            for (int k = 0; k < 4; ++k)
                targets += Format("%s\"50:0c:ab:30:00:00:%02x:01\"", k ? ", " : "",
                                  (n + k * 4) % kTargets);
            j += Format("        %s{ \"port\": { \"wwpn\": \"21:00:00:0e:7c:%02x:%02x:%02x\", "
                        "\"port_id\": \"0x%02x%02x00\" },\n"
                        "          \"targets\": [ %s ] }\n",
                        p ? "," : "", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF, domain, area,
                        targets.c_str());
        }
        j += "      ] }\n";
    }
    j += "  ]\n}\n";
    return j;
}

} // namespace bench
