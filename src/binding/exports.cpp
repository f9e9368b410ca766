// The persistent binding and selective LUN exports.
#include <cstring>

#include "adapters/adapterlist.h"
#include "base/guard.h"
#include "base/status.h"
#include "binding/ops.h"
#include "frame/messages.h"
#include "render/output.h"

namespace {

template <class Body> int32_t Guarded(Body &&body)
{
    return GuardExport<int32_t>(kStatusGeneralFailure, std::forward<Body>(body));
}

int NoHba() { return ReportFailure(kStatusNoAdapter, "Unable to locate the specified HBA!"); }

void FreeTargetItems()
{
    for (size_t i = 0; i < Binding().requests.size(); ++i)
        Trace(kLevelDebug, "Freeing node id %zu...\n", i);
    TargetBindingList().swap(Binding().requests);
}

} // namespace

extern "C" {

TAVRO_API int32_t TAVRO_DisplayTargetPersistBinding(FibreAdapter *adapter)
{
    return Guarded(
        [&]() -> int32_t { return adapter ? DisplayTargetPersistBinding(adapter) : NoHba(); });
}

TAVRO_API int32_t TAVRO_AutoConfigureTargetPersistentBinding(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return adapter ? AutoConfigureBinding(adapter) : NoHba(); });
}

TAVRO_API int32_t TAVRO_AutoConfigureTargetPersistentBindingAllHBAs(void)
{
    return Guarded([&]() -> int32_t { return AutoConfigureBindingAllHBAs(); });
}

TAVRO_API int32_t TAVRO_AddBindingRequest(const uint8_t wwnn[8], const uint8_t wwpn[8],
                                          const uint8_t portId[3], uint16_t targetId)
{
    return Guarded([&]() -> int32_t {
        if (!wwnn || !wwpn || !portId)
            return kStatusGeneralFailure;
        TargetBindingItem item;
        std::memcpy(item.wwnn, wwnn, 8);
        std::memcpy(item.wwpn, wwpn, 8);
        std::memcpy(item.portId, portId, 3);
        item.targetId = targetId;
        return AddTargetItemToList(Binding().requests, item);
    });
}

TAVRO_API int32_t TAVRO_UpdateBindingEntriesFromCmdLine(FibreAdapter *adapter, int32_t bindType)
{
    (void)bindType; // the port's driver decides how targets are matched
    return Guarded([&]() -> int32_t {
        if (!adapter) {
            FreeTargetItems();
            return NoHba();
        }
        return UpdateBindingEntriesFromCmdLine(adapter);
    });
}

TAVRO_API int32_t TAVRO_UnbindSingleTarget(FibreAdapter *adapter, const uint8_t targetWwn[8])
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !targetWwn)
            return NoHba();
        return UnbindSingleTarget(adapter, targetWwn);
    });
}

TAVRO_API int32_t TAVRO_UnbindAllTargetsSpecificHBA(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t { return adapter ? UnbindAllTargets(adapter) : NoHba(); });
}

TAVRO_API int32_t TAVRO_UnbindAllTargetsAllHBAs(void)
{
    return Guarded([&]() -> int32_t { return UnbindAllTargetsAllHBAs(); });
}

TAVRO_API int32_t TAVRO_GetPersistentDeviceList(void)
{
    return Guarded([&]() -> int32_t {
        auto &list = Binding().persistentDevices;
        list.clear();
        const FibreAdapter *a = Adapters().first;
        while (a && a->portType != TAVRO_PORT_TYPE_PHYSICAL)
            a = a->next;
        if (!a)
            return kStatusNoAdapter;
        std::vector<uint8_t> slots(SD_PERSIST_ENTRY_LIST_SIZE);
        if (SD_STATUS s = ISDFoGetPersistentTargetEntryList(a->handle, slots.data(),
                                                            uint32_t(slots.size()))) {
            Trace(kLevelDebug, "GetPersistentDeviceList: 0x%x\n", s);
            return kBindUnreadable;
        }
        for (size_t i = 0; i < 256; ++i) {
            std::array<uint8_t, 8> name;
            std::memcpy(name.data(), slots.data() + 8 * i, 8);
            if (name != std::array<uint8_t, 8>{})
                list.push_back(name);
        }
        return 0;
    });
}

TAVRO_API int32_t TAVRO_PersistentDeviceListCount(void)
{
    return int32_t(Binding().persistentDevices.size());
}

TAVRO_API void TAVRO_FreePersistentDeviceList(void)
{
    GuardExportVoid([] {
        auto &list = Binding().persistentDevices;
        for (size_t i = 0; i < list.size(); ++i) {
            const uint8_t *w = list[i].data();
            Trace(kLevelDebug,
                  "Deallocating Persistent id %zu - %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X\n", i,
                  w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
        }
        std::vector<std::array<uint8_t, 8>>().swap(list);
    });
}

TAVRO_API void TAVRO_FreeTargetItemList(void)
{
    GuardExportVoid([] { FreeTargetItems(); });
}

TAVRO_API int32_t TAVRO_AddLunSelection(const uint8_t wwnn[8], const uint8_t wwpn[8], int32_t lun,
                                        uint32_t enable)
{
    return Guarded([&]() -> int32_t {
        if (!wwnn || !wwpn)
            return kStatusGeneralFailure;
        LunSelectionItem item;
        std::memcpy(item.wwnn, wwnn, 8);
        std::memcpy(item.wwpn, wwpn, 8);
        item.lun = lun;
        item.enable = enable;
        AddLunItemToList(Binding().lunItems, item);
        return 0;
    });
}

TAVRO_API int32_t TAVRO_SaveLunDataSpecificTargetSpecificLun(FibreAdapter *adapter)
{
    return Guarded([&]() -> int32_t {
        if (!adapter) {
            std::vector<LunSelectionItem>().swap(Binding().lunItems);
            return NoHba();
        }
        return SaveLunSelections(adapter);
    });
}

TAVRO_API int32_t TAVRO_SaveLunDataSpecificTarget(FibreAdapter *adapter, const uint8_t wwnn[8],
                                                  const uint8_t wwpn[8], int32_t enable)
{
    return Guarded([&]() -> int32_t {
        if (!adapter || !wwnn || !wwpn)
            return NoHba();
        return SaveLunDataSpecificTarget(adapter, wwnn, wwpn, enable != 0);
    });
}

TAVRO_API int32_t TAVRO_SaveLunDataAll(FibreAdapter *adapter, int32_t enable)
{
    return Guarded(
        [&]() -> int32_t { return adapter ? SaveLunDataAll(adapter, enable != 0) : NoHba(); });
}

TAVRO_API void TAVRO_FreeLunItemList(void)
{
    GuardExportVoid([] { std::vector<LunSelectionItem>().swap(Binding().lunItems); });
}

} // extern "C"
