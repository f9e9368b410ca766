// The diagnostics exports.
#include <cstring>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "base/text.h"
#include "device/fabric.h"
#include "diag/diag.h"
#include "render/output.h"
#include "tavro_api.h"

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

} // namespace

extern "C" {

TAVRO_API void TAVRO_InitializeUserDiagnosticsTable(int32_t mode)
{
    GuardExportVoid([&] { InitializeUserDiagnosticsTable(mode); });
}

TAVRO_API void TAVRO_AddUserDiagnosticsData(const char *name, const char *value)
{
    GuardExportVoid([&] {
        if (name && value)
            AddUserDiagnosticsData(name, value);
    });
}

TAVRO_API void TAVRO_AddUserDiagnosticsElsEchoPingData(const char *name, const char *value)
{
    GuardExportVoid([&] {
        if (name && value)
            AddUserDiagnosticsElsEchoPingData(name, value);
    });
}

TAVRO_API int32_t TAVRO_ValidateDiagnosticsParamName(const char *name)
{
    return Guarded([&]() -> int32_t { return name ? ValidateDiagnosticsParamName(name) : -1; });
}

TAVRO_API int32_t TAVRO_ValidateDiagnosticsParamValue(int32_t index, int32_t value, char *message,
                                                      uint32_t messageSize, int32_t mode)
{
    return Guarded([&]() -> int32_t {
        char buf[256] = {};
        int r = ValidateDiagnosticsParamValue(index, value, buf, sizeof buf, mode);
        if (message && messageSize)
            CopyText(message, messageSize, buf);
        return r;
    });
}

TAVRO_API int32_t TAVRO_GetUserDiagParamValue(const char *alias)
{
    return Guarded([&]() -> int32_t { return alias ? GetUserDiagParamValue(alias) : 0; });
}

TAVRO_API const char *TAVRO_GetUserDiagParamValueStr(const char *alias)
{
    return GuardExport<const char *>(nullptr, [&]() -> const char * {
        return alias ? GetUserDiagParamValueStr(alias) : nullptr;
    });
}

TAVRO_API int32_t TAVRO_GetUserDiagEchoPingParamValue(const char *alias)
{
    return Guarded([&]() -> int32_t {
        const char *v = alias ? GetUserDiagEchoPingParamValueStr(alias) : nullptr;
        return v ? std::atoi(v) : 0;
    });
}

TAVRO_API const char *TAVRO_GetUserDiagEchoPingParamValueStr(const char *alias)
{
    return GuardExport<const char *>(nullptr, [&]() -> const char * {
        return alias ? GetUserDiagEchoPingParamValueStr(alias) : nullptr;
    });
}

TAVRO_API int32_t TAVRO_ParseDataPattern(const char *text, char *message, uint32_t messageSize)
{
    return Guarded([&]() -> int32_t {
        char buf[256] = {};
        int r = ParseDataPattern(text ? text : "", buf, sizeof buf);
        if (message && messageSize)
            CopyText(message, messageSize, buf);
        return r;
    });
}

TAVRO_API int32_t TAVRO_DisplayDiagnosticSettings(FibreAdapter *adapter, int32_t mode)
{
    return Guarded([&]() -> int32_t {
        DeviceRecord *rec = adapter ? FindDeviceForAdapter(adapter) : nullptr;
        if (!rec)
            return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!");
        DiagSettings s;
        s.instance = uint32_t(adapter->instance);
        UpdateDiagnosticsParameter(s, mode, rec->facts.familyCode);
        for (const std::string &line :
             SettingsBlock("Diagnostics Settings", s, mode, rec->facts.familyCode, true))
            PrintMessage(line.c_str());
        return 0;
    });
}

TAVRO_API int32_t TAVRO_CreateLoopbackThreadTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunLoopbackTest(adapter); });
}

TAVRO_API int32_t TAVRO_CreateReadWriteBufferThreadTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunReadWriteBufferTest(adapter); });
}

TAVRO_API int32_t TAVRO_CreateFCPThreadTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunFcPingTest(adapter); });
}

TAVRO_API int32_t TAVRO_CreateCTPingThreadTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunCtTest(adapter, kDiagCtPing); });
}

TAVRO_API int32_t TAVRO_CreateCTFabricTraceRouteThreadTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunCtTest(adapter, kDiagCtFtr); });
}

TAVRO_API int32_t TAVRO_RunEchoPingDiagnosticTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunEchoPingTest(adapter); });
}

TAVRO_API int32_t TAVRO_RunDPortDiagnosticTest(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return RunDPortTest(adapter, false); });
}

TAVRO_API int32_t TAVRO_CheckExDevicesToRunDiagnostics(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return CheckExDevicesToRunDiagnostics(adapter); });
}

TAVRO_API void TAVRO_DeleteAllDeviceFromDisableDiagList(void)
{
    GuardExportVoid([] { DeleteAllDeviceFromDisableDiagList(); });
}

TAVRO_API int32_t TAVRO_AddDiagnosticsElsEchoPingDestList(const uint8_t *wwn, int32_t kind)
{
    return Guarded([&]() -> int32_t {
        if (!wwn)
            return kStatusGeneralFailure;
        EchoDestinationEntry e;
        std::memcpy(e.wwn, wwn, 8);
        e.kind = kind;
        EchoDestinations().push_back(e);
        return 0;
    });
}

TAVRO_API int32_t TAVRO_GetSwitchWWN(FibreAdapter *adapter, uint8_t *wwn, int32_t selector)
{
    return Guarded([&]() -> int32_t {
        DeviceRecord *rec = adapter ? FindDeviceForAdapter(adapter) : nullptr;
        if (!rec || !wwn)
            return 207;
        switch (selector) {
        case 0:
            return CoreGetPrincipalFabricWWN(rec, wwn);
        case 1:
            return CoreGetAdjacentFabricWWN(rec, wwn);
        default:
            return CoreGetAttachedSwitchFabricWWN(rec, wwn);
        }
    });
}
}
