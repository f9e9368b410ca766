// The menu exports the host calls before the main menu: its title and
// version, and the enable flags of the menus.
#include <array>
#include <cstring>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "device/classify.h"
#include "frame/frame.h"
#include "frame/menuconfig.h"
#include "frame/messages.h"
#include "frame/props.h"
#include "menus/session.h"
#include "tavro_api.h"
#include "vport/qos.h"

namespace menus {

namespace {

std::array<bool, static_cast<size_t>(MenuFlag::Count)> &Flags()
{
    static std::array<bool, static_cast<size_t>(MenuFlag::Count)> flags{};
    return flags;
}

bool &Flag(MenuFlag f) { return Flags()[static_cast<size_t>(f)]; }

// The switch of menu.properties that can hide each menu; a key the file
// lacks leaves the menu as the machine allows it.
constexpr const char *kFlagKeys[] = {
    "menu.hba.parameters.enable", "menu.target.binding.enable",   "menu.boot.device.enable",
    "menu.virtual.port.enable",   "menu.target.linkspeed.enable", "menu.driver.parameters.enable",
    "menu.selective.luns.enable", "menu.persistent.names.enable", "menu.qos.enable",
};
static_assert(sizeof kFlagKeys / sizeof kFlagKeys[0] == static_cast<size_t>(MenuFlag::Count));

// Speed classes of the families: 4 Gb (Fc4G), 8 Gb (Fc8G), 16/32 Gb and later
// (Fc16G, Fenn, Fc64G).
bool Is4GbFamily(int family) { return family == 10 || family == 11; }
bool Is8GbFamily(int family) { return family == 12; }
bool Is16GbFamily(int family) { return family == 24 || family == 25 || family == 27; }

struct MachineFacts {
    bool has4Gb = false;
    bool has8Gb = false;
    bool has16Gb = false;
    bool qosCapable = false;
    bool vportCapable = false;
    bool supported = false;
};

MachineFacts ReadMachine()
{
    MachineFacts m;
    for (const FibreAdapter *a = Adapters().first; a; a = a->next) {
        if (a->portType != TAVRO_PORT_TYPE_PHYSICAL)
            continue;
        DeviceRecord *rec = FindDeviceForAdapter(a);
        if (!rec)
            continue;
        const int family = GetAdapterFamilyCode(rec);
        if (Is4GbFamily(family) && !m.has4Gb) {
            Trace(kLevelDebug, "Detect4GbHBA: Found 4Gb HBA");
            m.has4Gb = true;
        }
        if (Is8GbFamily(family) && !m.has8Gb) {
            Trace(kLevelDebug, "Detect8GbHBA: Found 8Gb HBA");
            m.has8Gb = true;
        }
        if (Is16GbFamily(family) && !m.has16Gb) {
            Trace(kLevelDebug, "Detect16GbHBA: Found 16Gb/32Gb HBA");
            m.has16Gb = true;
        }
        if (QosSupportedBy(family))
            m.qosCapable = true;
        // Virtual ports need a port that the driver gives virtual port slots.
        if (a->maxVPorts > 0)
            m.vportCapable = true;
        if (a->enabled)
            m.supported = true;
    }
    return m;
}

} // namespace

bool MenuEnabled(MenuFlag flag) { return Flag(flag); }

void ComputeMenuFlags()
{
    Flags().fill(false);
    const MachineFacts m = ReadMachine();
    if (m.has4Gb || m.has8Gb || m.has16Gb)
        Flag(MenuFlag::TargetLinkSpeed) = true;
    if (m.qosCapable && (m.has8Gb || m.has16Gb))
        Flag(MenuFlag::Qos) = GetKeyValue("node.hba.virtual.qos.enable", 0) != 0;
    Trace(kLevelDebug, m.supported ? "MC_ParseConfigFile: Found supported HBA."
                                   : "MC_ParseConfigFile: Found unsupported HBA.");
    Flag(MenuFlag::HbaParameters) = true;
    Flag(MenuFlag::TargetPersistentBinding) = true;
    Flag(MenuFlag::BootDevice) = true;
    Flag(MenuFlag::DriverParameters) = true;
    Flag(MenuFlag::SelectiveLuns) = true;
    Flag(MenuFlag::PersistentNames) = false;
    Flag(MenuFlag::VirtualPort) = m.vportCapable;
    // menu.properties can only hide what the machine offers.
    for (size_t i = 0; i < Flags().size(); ++i)
        if (GetMenuConfigValue(kFlagKeys[i]) == 0)
            Flags()[i] = false;
    Trace(kLevelDebug, "MC_ParseConfigFile: exit");
}

} // namespace menus

using menus::MenuFlag;

extern "C" {

TAVRO_API int32_t TAVRO_RegisterCoreMenuInfo(const TAVRO_CoreMenuInfo *info)
{
    return GuardExport<int32_t>(-1, [&] {
        if (!info)
            return -1;
        menus::CoreMenuInfo copy;
        copy.major = info->major;
        copy.minor = info->minor;
        copy.subMinor = info->subMinor;
        copy.build = info->build;
        copy.title.assign(info->title, strnlen(info->title, sizeof info->title));
        menus::RegisterCoreMenuInfo(copy);
        return 0;
    });
}

TAVRO_API int32_t TAVRO_InitFCMenus(void)
{
    return GuardExport<int32_t>(-1, [] {
        Trace(kLevelDebug, "InitFCMenus: Menu Config file=%s", Frame().menuFile.c_str());
        menus::ComputeMenuFlags();
        Frame().interactiveMode = true;
        Trace(kLevelDebug, "InitFCMenus: exit 0");
        return 0;
    });
}

#define TAVRO_MENU_FLAG_EXPORT(name, flag)                                                         \
    TAVRO_API int32_t name(void)                                                                   \
    {                                                                                              \
        return GuardExport<int32_t>(0, [] { return menus::MenuEnabled(flag) ? 1 : 0; });           \
    }

TAVRO_MENU_FLAG_EXPORT(TAVRO_IsHBAParametersMenuEnabled, MenuFlag::HbaParameters)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsTargetPersistentBindingMenuEnabled,
                       MenuFlag::TargetPersistentBinding)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsBootDeviceMenuEnabled, MenuFlag::BootDevice)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsVirtualPortMenuEnabled, MenuFlag::VirtualPort)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsTargetLinkSpeedMenuEnabled, MenuFlag::TargetLinkSpeed)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsDriverParametersMenuEnabled, MenuFlag::DriverParameters)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsSelectiveLUNsMenuEnabled, MenuFlag::SelectiveLuns)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsPersistentNamesMenuEnabled, MenuFlag::PersistentNames)
TAVRO_MENU_FLAG_EXPORT(TAVRO_IsQoSMenuEnabled, MenuFlag::Qos)

} // extern "C"
