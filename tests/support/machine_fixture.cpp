#include "machine_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "adapters/adapterlist.h"
#include "device/core.h"
#include "device/devicelist.h"
#include "frame/frame.h"
#include "vnsdm_sim.h"

void MachineTest::SetUp()
{
    FrameState &f = Frame();
    f.installDir = dir.path();
    f.hostPropertyFile = dir.file("brask.properties");
    f.configPath = dir.path();
    f.coreLogSuppressed = true;
    f.quietMode = false;
    f.debugTrace = false;
    // The SNIA configuration file is the end-to-end tests' to change.
    f.hbaLibrarySuppressed = true;
    testenv::WriteFile(dir.file("adapters.properties"),
                       testenv::ReadFile(TAVRO_SOURCE_DIR "/data/adapters.properties"));
    SetHostProperties("");
}

void MachineTest::TearDown()
{
    FreeMyDeviceList();
    unsetenv("VNSDM_MACHINE");
    unsetenv("VNSDM_STATE");
    Frame().coreLogSuppressed = false;
}

void MachineTest::SetHostProperties(const std::string &lines)
{
    testenv::WriteFile(Frame().hostPropertyFile, lines);
}

void MachineTest::UseMachine(const std::string &json)
{
    if (json.empty()) {
        setenv("VNSDM_MACHINE", "", 1);
    } else {
        testenv::WriteFile(dir.file("machine.json"), json);
        setenv("VNSDM_MACHINE", dir.file("machine.json").c_str(), 1);
    }
    setenv("VNSDM_STATE", dir.file("state.db").c_str(), 1);
    VNSimReloadMachine();
}

void MachineTest::Scan()
{
    FreeMyDeviceList();
    CoreInitializeDevices();
    BuildVOLKDevices();
}

std::vector<const FibreAdapter *> MachineTest::Entries() const
{
    std::vector<const FibreAdapter *> out;
    for (const FibreAdapter *a = Adapters().first; a; a = a->next)
        out.push_back(a);
    return out;
}

std::string MachineTest::Wwpn(const FibreAdapter *a) { return a->wwpnText; }

std::string Card(const std::string &model, const std::string &deviceId, const std::string &ssdid,
                 const std::string &serial, const std::vector<std::string> &ports,
                 const std::string &extraDefaults)
{
    std::ostringstream s;
    s << "{ \"model\": \"" << model << "\", \"serial\": \"" << serial << "\",\n"
      << "  \"defaults\": { \"chip\": { \"device_id\": \"" << deviceId << "\", \"subsystem_id\": \""
      << ssdid << "\" }" << extraDefaults << " },\n"
      << "  \"ports\": [";
    bool first = true;
    for (const std::string &p : ports) {
        std::string wwpn = p, function, bus;
        if (auto c = wwpn.find(','); c != std::string::npos) {
            function = wwpn.substr(c + 1);
            wwpn = wwpn.substr(0, c);
            if (auto c2 = function.find(','); c2 != std::string::npos) {
                bus = function.substr(c2 + 1);
                function = function.substr(0, c2);
            }
        }
        s << (first ? "" : ",") << "\n    { ";
        if (!function.empty())
            s << "\"chip\": { \"function\": " << function
              << (bus.empty() ? "" : ", \"bus\": " + bus) << " }, ";
        s << "\"port\": { \"wwpn\": \"" << wwpn << "\" } }";
        first = false;
    }
    s << " ] }";
    return s.str();
}

std::string Machine(const std::vector<std::string> &cards, const std::string &instances)
{
    std::ostringstream s;
    s << "{ \"format\": 1, \"adapters\": [";
    for (size_t i = 0; i < cards.size(); ++i)
        s << (i ? ",\n" : "\n") << cards[i];
    s << " ]";
    if (!instances.empty())
        s << ", \"instances\": [ " << instances << " ]";
    s << " }\n";
    return s.str();
}
