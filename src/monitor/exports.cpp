// The monitoring exports: the monitors, their resets and the settings table.
#include <string>

#include "base/guard.h"
#include "base/status.h"
#include "frame/messages.h"
#include "monitor/monitors.h"
#include "monitor/settings.h"
#include "render/output.h"

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

int32_t NoAdapter()
{
    return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
}

// Sets one entry among the first `count` names after checking its value.
int32_t AddSetting(const char *name, const char *value, int count)
{
    const char *msg = nullptr;
    const int index = name ? FindStatParam(name, count) : -1;
    const int st = ValidateStatSetting(index, value ? value : "", &msg);
    if (st != 0) {
        PrintMessage(msg);
        return st;
    }
    SetUserStatValue(index, value ? value : "");
    return kStatusOk;
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_CreateThreadForHBAStatistics(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return MonitorHBAStatistics(MonitorPorts(adapter)); });
}

TAVRO_API int32_t TAVRO_StartResetHBAStatistics(FibreAdapter *adapter)
{
    return Guarded(
        [&]() -> int32_t { return adapter ? ResetHBAStatistics(*adapter) : NoAdapter(); });
}

TAVRO_API int32_t TAVRO_CreateThreadForLinkStatus(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return MonitorLinkStatus(MonitorPorts(adapter)); });
}

TAVRO_API int32_t TAVRO_StartResetLinkStatus(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return adapter ? ResetLinkStatus(*adapter) : NoAdapter(); });
}

TAVRO_API int32_t TAVRO_CreateThreadForAdapterTemperatureMonitoring(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t {
        return adapter ? MonitorTemperature(MonitorPorts(adapter)) : NoAdapter();
    });
}

TAVRO_API int32_t TAVRO_CreateThreadForHostTemperatureMonitoring(void)
{
    return Guarded([&]() -> int32_t { return MonitorTemperature(MonitorPorts(nullptr)); });
}

TAVRO_API int32_t TAVRO_CreateThreadForBBCreditStats(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t {
        return adapter ? MonitorBBCredit(MonitorPorts(adapter)) : NoAdapter();
    });
}

TAVRO_API int32_t TAVRO_AddUserDataForHBAStatistics(const char *name, const char *value)
{
    return Guarded([&]() -> int32_t { return AddSetting(name, value, kStatNamesGeneral); });
}

TAVRO_API int32_t TAVRO_AddUserInputForTemperatureMonitoring(const char *name, const char *value)
{
    return Guarded([&]() -> int32_t { return AddSetting(name, value, kStatTableSize); });
}

TAVRO_API const char *TAVRO_GetStatisticsUserConfig(const char *alias)
{
    return GuardExport<const char *>(nullptr, [&]() -> const char * {
        return alias ? GetStatisticsUserConfig(alias) : nullptr;
    });
}

TAVRO_API void TAVRO_ResetUserStatSettings(void)
{
    GuardExport<int>(0, [] {
        ResetUserStatSettings();
        return 0;
    });
}

TAVRO_API void TAVRO_DisplayUserStatSettings(void)
{
    GuardExport<int>(0, [] {
        PrintStatSettings("Monitoring Settings", kStatNamesGeneral);
        return 0;
    });
}

TAVRO_API void TAVRO_PrintUserDataForTemperatureMonitoring(void)
{
    GuardExport<int>(0, [] {
        PrintStatSettings("Monitoring Settings", kStatTableSize);
        return 0;
    });
}

TAVRO_API void TAVRO_PrintUserDataForBBCredit(void)
{
    GuardExport<int>(0, [] {
        PrintStatSettings("HBA BBCR Stats", kStatNamesGeneral);
        return 0;
    });
}

} // extern "C"
