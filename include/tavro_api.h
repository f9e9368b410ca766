/*
 * tavro_api.h - the exported interface of libtavro, the Fibre Channel back end
 * of volk. One declaration per export; every export has C linkage and answers a
 * 32-bit status unless its comment says otherwise.
 */
#ifndef TAVRO_API_H
#define TAVRO_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TAVRO_API __attribute__((visibility("default")))
#else
#define TAVRO_API
#endif

/* ---- Adapter list ------------------------------------------------------ */

#define TAVRO_PORT_TYPE_PHYSICAL 1
#define TAVRO_PORT_TYPE_VIRTUAL 3
#define TAVRO_PORT_TYPE_FCOE_ENGINE 4

#define TAVRO_VPORT_WWPN_SLOTS 256

/* One port as the host sees it. */
typedef struct FibreAdapter {
    int32_t instance;       /* device-library instance (HBA number) */
    int32_t portNumber;     /* 1-based physical port number on the adapter */
    uint32_t handle;        /* device-library handle */
    uint8_t pciLocation[4]; /* 0, device, bus (low byte), function */
    uint32_t beaconControl;
    int32_t enabled;   /* 1 when the adapter is supported */
    int32_t portClass; /* 2 for family codes above 7, else 1 */
    uint16_t vPortId;
    uint16_t ssvid;
    uint16_t ssdid;
    uint16_t deviceId;
    uint16_t chipType;
    uint8_t wwnn[8];
    uint8_t wwpn[8];
    uint8_t enodeMac[6];
    char model[32];
    char serialNumber[32];
    char wwpnText[24]; /* 16 lower-case hex digits */
    char wwnnText[24];
    char description[128];
    uint8_t portId[3];
    uint16_t portType; /* TAVRO_PORT_TYPE_... */
    int16_t parent;    /* -1 */
    int16_t qosType;
    int16_t vPortLock;
    int16_t vPortEnable;
    int32_t qosValue;
    int32_t portSpeed;        /* virtual ports: decimal Gb/s */
    uint8_t (*vPortWwpns)[8]; /* TAVRO_VPORT_WWPN_SLOTS slots, or null */
    uint32_t vpIndexSupported;
    uint32_t maxVPorts;
    char flashFirmwareVersion[32];
    uint32_t vpType;
    struct FibreAdapter *next;
    struct FibreAdapter *previous;
} FibreAdapter;

/* The ordered list of ports; valid until the next rebuild. */
typedef struct AdapterList {
    uint32_t count;
    FibreAdapter *first;
    FibreAdapter *last;
} AdapterList;

/* ---- Lifecycle and configuration --------------------------------------- */

TAVRO_API int32_t TAVRO_SetApplicationPath(const char *path);
/* Answers the application path buffer. */
TAVRO_API const char *TAVRO_GetApplicationPath(void);
TAVRO_API int32_t TAVRO_Initialize(const char *path);
TAVRO_API int32_t TAVRO_Cleanup(void);
/* Rebuilds the adapter list; entries handed out before become invalid. */
TAVRO_API int32_t TAVRO_Refresh(void);
/* 1 after a virtual port was created or deleted from a menu, else 0. */
TAVRO_API int32_t TAVRO_isRefreshAdapterListRequired(void);
/* "2.3.0.12 <link date> <link time>" cut to length-1; answers 0x0203000C. */
TAVRO_API int32_t TAVRO_GetLibraryVersion(char *buffer, uint32_t length);
TAVRO_API int32_t TAVRO_GetCapabilityMaskConfigOption(void);
/* Integer value of a key of the host property file; mode is the fopen mode code. */
TAVRO_API int32_t TAVRO_GetKeyValueFromFile(const char *key, int32_t mode);
/* Absolute path of name (result: 260 bytes); nonzero when it names a file, else -1. */
TAVRO_API int32_t TAVRO_GetFilePath(const char *name, char *result);
TAVRO_API int32_t TAVRO_IsWindowsPE(void);
/* Computer name, operating-system product and version, each cut to 63 characters. */
TAVRO_API int32_t TAVRO_GetHostInfo(char *computerName, char *productName, char *versionText,
                                    uint32_t length);

/* ---- Adapter list access ----------------------------------------------- */

/* Answers the adapter list header (never null). */
TAVRO_API AdapterList *TAVRO_GetAdapterList(void);
/* First entry with that WWPN (8 bytes), or null. */
TAVRO_API FibreAdapter *TAVRO_FindAdapterInAdapterListByWWN(const uint8_t *wwpn);
/* The physical port entry of a virtual port entry, or null. */
TAVRO_API FibreAdapter *
TAVRO_FindPhysicalAdapterEntryByVirtualPortInAdapterList(const FibreAdapter *adapter);

/* ---- Adapter information and aliases ---- */

#define TAVRO_ALIAS_ADAPTER 0
#define TAVRO_ALIAS_PORT 1

/* Device list: one header per adapter, one line per port (nothing in XML mode). */
TAVRO_API int32_t TAVRO_DisplayVantorDevices(void);
/* Host name and operating system, as text or a Host document. */
TAVRO_API int32_t TAVRO_DisplayHostInformation(void);
/* General information of every port, of one port by HBA instance and port
 * number (0: the instance's first port), or of one port by WWPN (8 bytes). */
TAVRO_API int32_t TAVRO_DisplayAllHBAGeneralInfo(void);
TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevNum(int32_t instance, int32_t port);
TAVRO_API int32_t TAVRO_DisplayHBAGeneralInfoByDevWWPN(const uint8_t *wwpn);
/* The summary report: time and date, then everything known of the port(s). */
TAVRO_API int32_t TAVRO_DisplayAllInformation(void);
TAVRO_API int32_t TAVRO_DisplayAllInformationByDevNum(int32_t instance, int32_t port);
TAVRO_API int32_t TAVRO_DisplayAllInformationByDevWWPN(const uint8_t *wwpn);
/* Port status text into a buffer of 32 bytes. */
TAVRO_API int32_t TAVRO_GetAdapterPortStatus(const FibreAdapter *adapter, char *buffer);
/* Connection mode code of the port (0 point to point, 1 loop, 2 unknown). */
TAVRO_API int32_t TAVRO_GetAdapterConnectionMode(const FibreAdapter *adapter);
/* Flash firmware version "%d.%02d.%02d" into a buffer of 32 bytes. */
TAVRO_API int32_t TAVRO_GetFlashFirmwareVersion(const FibreAdapter *adapter, char *buffer);
/* Adapter (TAVRO_ALIAS_ADAPTER) or port (TAVRO_ALIAS_PORT) alias. */
TAVRO_API int32_t TAVRO_GetAdapterAlias(const FibreAdapter *adapter, int32_t kind, char *buffer,
                                        uint32_t size);
TAVRO_API int32_t TAVRO_SetAdapterAlias(const FibreAdapter *adapter, int32_t kind,
                                        const char *alias);
TAVRO_API int32_t TAVRO_DisplayAdapterAlias(const FibreAdapter *adapter, int32_t kind);

/* Vital product data of one port, or of every port but the FCoE engine entries
 * (1000 ms apart; interactive runs wait for Enter after each). The all-ports
 * form answers the last failure other than 165 (no VPD on that adapter). The
 * XML forms write the same content as an XML document whatever the output
 * settings say. */
TAVRO_API int32_t TAVRO_GetHBAVPDData(const FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_GetAllHBAsVPDData(void);
TAVRO_API int32_t TAVRO_XML_EmitHbaVPDInfo(const FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_XML_EmitAllHBAsVPDData(void);

/* ---- Targets and LUNs ---- */

/* Targets every port sees, one line each (WWPN, WWNN, port ID, identity, LUN count). */
TAVRO_API int32_t TAVRO_DisplayAllHBATargetInfo(void);
/* The targets of one port, by HBA instance and port number or by WWPN (8 bytes). */
TAVRO_API int32_t TAVRO_DisplayHBATargetInfoByDevNum(int32_t instance, int32_t port);
TAVRO_API int32_t TAVRO_DisplayHBATargetInfoByDevWWPN(const uint8_t *wwpn);
/* One target of one port, by its WWPN (8 bytes) or port ID (3 bytes); 119 when the
   port does not see it. */
TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevNumAndTargetWWPN(
    int32_t instance, int32_t port, const uint8_t *targetWwpn);
TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevNumAndTargetPortID(
    int32_t instance, int32_t port, const uint8_t *targetPortId);
TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetWWPN(
    const uint8_t *wwpn, const uint8_t *targetWwpn);
TAVRO_API int32_t TAVRO_DisplaySingleTargetInformationByDevWWPNAndTargetPortID(
    const uint8_t *wwpn, const uint8_t *targetPortId);
/* The LUNs (number, type, capacity, readiness) of every target of one port. */
TAVRO_API int32_t TAVRO_DisplaySingleHBAAllLunsByDevNum(int32_t instance, int32_t port);
TAVRO_API int32_t TAVRO_DisplaySingleHBAAllLunsByWWPN(const uint8_t *wwpn);
/* The LUNs of one target of one port; 119 when the port does not see it. */
TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetWWPN(int32_t instance,
                                                                        int32_t port,
                                                                        const uint8_t *targetWwpn);
TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevNumAndTargetPortID(
    int32_t instance, int32_t port, const uint8_t *targetPortId);
TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetWWPN(const uint8_t *wwpn,
                                                                         const uint8_t *targetWwpn);
TAVRO_API int32_t TAVRO_DisplaySingleTargetAllLunsByDevWWPNAndTargetPortID(
    const uint8_t *wwpn, const uint8_t *targetPortId);
/* One LUN, of every target of the port or of one target; 119 when no such LUN. */
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNum(int32_t instance, int32_t port, int32_t lun);
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPN(const uint8_t *wwpn, int32_t lun);
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNumAndTargetWWPN(int32_t instance, int32_t port,
                                                              const uint8_t *targetWwpn,
                                                              int32_t lun);
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevNumAndTargetPortID(int32_t instance, int32_t port,
                                                                const uint8_t *targetPortId,
                                                                int32_t lun);
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPNAndTargetWWPN(const uint8_t *wwpn,
                                                               const uint8_t *targetWwpn,
                                                               int32_t lun);
TAVRO_API int32_t TAVRO_DisplaySingleLunByDevWWPNAndTargetPortID(const uint8_t *wwpn,
                                                                 const uint8_t *targetPortId,
                                                                 int32_t lun);
/* The target lines with the link speed of each target: every port (adapter null),
   or one port; targetWwpn (8 bytes) narrows it to one target, or null. */
TAVRO_API int32_t TAVRO_DisplayTargetLinkSpeeds(const FibreAdapter *adapter,
                                                const uint8_t *targetWwpn);
/* Sets the link speed the port uses with targets: speed in Gb/s (1, 2, 4, 8,
 * 16, 32, 64; 0 negotiates). Selected: count target WWPNs of 8 bytes each, one
 * after the other. All: every target of the port, or of every port when the
 * adapter is null. A speed the port cannot run or a target it does not see is
 * refused before anything changes. */
TAVRO_API int32_t TAVRO_SetFCTargetLinkSpeedSelectedTargets(FibreAdapter *adapter,
                                                            const uint8_t *targetWwpns,
                                                            uint32_t count, int32_t speed);
TAVRO_API int32_t TAVRO_SetFCTargetLinkSpeedAllTargets(FibreAdapter *adapter, int32_t speed);

/* ---- Display mode and exit codes ---- */

/* 1 sets quiet mode, any other value clears it. No result. */
TAVRO_API void TAVRO_SetDisplayMode(int32_t mode);
/* The quiet-mode setting, 0 or 1. */
TAVRO_API int32_t TAVRO_GetDisplayMode(void);
/* Lists the exit codes file; 1 when it cannot be opened, 115 when memory runs out. */
TAVRO_API int32_t TAVRO_DisplayAppExitCodes(void);

/* ---- Virtual ports ---- */

#define TAVRO_VPORT_SELECT_NONE 0
#define TAVRO_VPORT_SELECT_ALL 1  /* every virtual port of the HBA */
#define TAVRO_VPORT_SELECT_WWPN 2 /* the virtual port named by wwpn */
#define TAVRO_VPORT_SELECT_AUTO 3 /* create: a generated port name */
#define TAVRO_VPORT_SELECT_BYTE 4 /* create: the HBA's WWPN with byte 1 = secondByte */

/* The user's virtual port options. */
typedef struct TavroVportOptions {
    int32_t select; /* TAVRO_VPORT_SELECT_... */
    uint8_t wwpn[8];
    int32_t secondByte;
    int32_t vfId; /* bind and unbind: the virtual fabric */
} TavroVportOptions;

/* Each operation works on a physical port and prints its own messages. */
TAVRO_API int32_t TAVRO_CreateVirtualPortHBA(FibreAdapter *adapter,
                                             const TavroVportOptions *options);
TAVRO_API int32_t TAVRO_CmdLineDeleteVirtualPortHBA(FibreAdapter *adapter,
                                                    const TavroVportOptions *options);
TAVRO_API int32_t TAVRO_CmdLineListVirtualPortsHBA(FibreAdapter *adapter,
                                                   const TavroVportOptions *options);
TAVRO_API int32_t TAVRO_BindVportToVSAN(FibreAdapter *adapter, const TavroVportOptions *options);
TAVRO_API int32_t TAVRO_UnbindVportFromVSAN(FibreAdapter *adapter,
                                            const TavroVportOptions *options);
/* Virtual Fibre Channel use of guest systems: unsupported on this platform. */
TAVRO_API int32_t TAVRO_DisplayVFCInfo(const FibreAdapter *adapter);
/* ---- Persistent binding and selective LUNs ---- */

/* Changes are written to the driver's persistent store and take effect after a
   reboot. Results: 0, 8 (HBA not found), 110 (duplicate target ID), 111 (invalid
   or no free target ID), 114 (persistent data unreadable), 116 (nothing to
   configure / target not found or not bound), 117 (not unbound), 118 (invalid
   LUN), 119 (no devices), 200 (LUN save failed). */
TAVRO_API int32_t TAVRO_DisplayTargetPersistBinding(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_AutoConfigureTargetPersistentBinding(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_AutoConfigureTargetPersistentBindingAllHBAs(void);
/* Appends one request to the binding request list (110 for an ID already requested). */
TAVRO_API int32_t TAVRO_AddBindingRequest(const uint8_t wwnn[8], const uint8_t wwpn[8],
                                          const uint8_t portId[3], uint16_t targetId);
/* Merges the request list into the port's bindings and saves them; the list is
   freed. bindType is taken from the port's driver and may be 0. */
TAVRO_API int32_t TAVRO_UpdateBindingEntriesFromCmdLine(FibreAdapter *adapter, int32_t bindType);
TAVRO_API int32_t TAVRO_UnbindSingleTarget(FibreAdapter *adapter, const uint8_t targetWwn[8]);
TAVRO_API int32_t TAVRO_UnbindAllTargetsSpecificHBA(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_UnbindAllTargetsAllHBAs(void);
TAVRO_API int32_t TAVRO_GetPersistentDeviceList(void);
TAVRO_API int32_t TAVRO_PersistentDeviceListCount(void);
TAVRO_API void TAVRO_FreePersistentDeviceList(void);
TAVRO_API void TAVRO_FreeTargetItemList(void);
/* Appends (or updates) one LUN selection of the selection list. */
TAVRO_API int32_t TAVRO_AddLunSelection(const uint8_t wwnn[8], const uint8_t wwpn[8], int32_t lun,
                                        uint32_t enable);
TAVRO_API int32_t TAVRO_SaveLunDataSpecificTargetSpecificLun(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_SaveLunDataSpecificTarget(FibreAdapter *adapter, const uint8_t wwnn[8],
                                                  const uint8_t wwpn[8], int32_t enable);
TAVRO_API int32_t TAVRO_SaveLunDataAll(FibreAdapter *adapter, int32_t enable);
TAVRO_API void TAVRO_FreeLunItemList(void);

/* ---- Beacons ---- */

/* Host beacon codes 0 off, 1 on, 2 third state, 3 unsupported -> control value. */
TAVRO_API uint32_t TAVRO_GetOSBeaconDefine(int32_t code);
/* 0, or 8 for an adapter that cannot report it; value: a control value. */
TAVRO_API int32_t TAVRO_GetAdapterBeaconStatus(FibreAdapter *adapter, uint32_t *value);
/* 0, 8, 242 (refused by the adapter), 243 (unsupported). */
TAVRO_API int32_t TAVRO_UpdateAdapterBeacon(FibreAdapter *adapter, uint32_t requested);
/* Prints the beacon state of the port (0, 8 or 243). */
TAVRO_API int32_t TAVRO_DisplayAdapterBeacon(FibreAdapter *adapter);
/* Appends one target to the target beacon list with its request text. */
TAVRO_API int32_t TAVRO_AddBeaconTarget(const uint8_t targetWwpn[8], const char *request);
/* One target beacon parameter (FlashCount/FC, SetRate/SR, LogFile/LF). */
TAVRO_API int32_t TAVRO_SetTargetBeaconParam(const char *name, const char *value);
TAVRO_API int32_t TAVRO_UpdateTargetBeaconControlFlag(FibreAdapter *adapter);
/* Runs the target beacon passes on the calling thread. */
TAVRO_API int32_t TAVRO_CreateThreadForTargetBeacon(FibreAdapter *adapter);
TAVRO_API void TAVRO_FreeBeaconTargetList(void);

/* ---- Virtual port QoS ---- */

/* The user's QoS options; -1 (or a negative speed) leaves a setting as it is. */
typedef struct TavroQosOptions {
    int32_t type;                    /* 0 by priority, 1 by bandwidth */
    int32_t priority;                /* 1 low, 2 medium, 3 high */
    int32_t percent;                 /* bandwidth share 0-100 */
    double speedGbps;                /* bandwidth as a speed */
    int32_t lock;                    /* 0 unlock, 1 lock */
    int32_t enable;                  /* 0 disable, 1 enable */
    int32_t showPercent;             /* displays: bandwidth as a percentage */
    int32_t showSpeed;               /* displays: bandwidth as a speed */
    const TavroVportOptions *vports; /* the virtual ports (all or one WWPN each) */
    uint32_t vportCount;             /* 0: all of them */
    const int32_t *vfabrics;         /* virtual fabric numbers */
    uint32_t vfabricCount;
} TavroQosOptions;

/* Applies lock, enable, type and value to the chosen virtual ports of a physical port. */
TAVRO_API int32_t TAVRO_UpdateVirtualPorts(FibreAdapter *adapter, const TavroQosOptions *options);
/* The same for the virtual ports bound to the given virtual fabrics. */
TAVRO_API int32_t TAVRO_UpdateVirtualFabrics(FibreAdapter *adapter, const TavroQosOptions *options);
/* Shows the QoS of the chosen virtual ports, or of those bound to the virtual fabrics. */
TAVRO_API int32_t TAVRO_PrintVSANInfo(FibreAdapter *adapter, const TavroQosOptions *options);
/* Lists the user's virtual fabrics with the QoS value given for them ("VF (%d), QoS %d"). */
TAVRO_API int32_t TAVRO_ListAllvSANs(const TavroQosOptions *options);

/* ---- FCoE engine ---- */

/* Engine parameters in this order; TavroFcoeParams.values[i] = -1 leaves one as it is. */
#define TAVRO_FCOE_PORT_SELECTION 0      /* 0 or 1: the engine port */
#define TAVRO_FCOE_PORT_TYPE 1           /* 0 access, 1 trunk */
#define TAVRO_FCOE_PAUSE_TYPE 2          /* 1 standard pause, 2 priority flow control */
#define TAVRO_FCOE_COS 3                 /* 0-7 */
#define TAVRO_FCOE_RETRY_COUNT 4         /* 0-255 */
#define TAVRO_FCOE_FW_UPDATE_TIMEOUT 5   /* 0-65535, 100 ms units */
#define TAVRO_FCOE_TIMEOUT 6             /* 0-65535, 100 ms units */
#define TAVRO_FCOE_PRIORITY_PAUSE_MASK 7 /* 0-255, one bit per priority */
#define TAVRO_FCOE_CONFIG 8              /* 0 or 1 */
#define TAVRO_FCOE_CONFIG_MIN 9          /* reported by the engine */
#define TAVRO_FCOE_CONFIG_MAX 10         /* reported by the engine */
#define TAVRO_FCOE_CONFIG_ENABLE 11      /* 0 or 1 */
#define TAVRO_FCOE_FC_MAP 12             /* 1 when fcMap holds a new FC-MAP */
#define TAVRO_FCOE_PARAM_COUNT 13

typedef struct TavroFcoeParams {
    int32_t values[TAVRO_FCOE_PARAM_COUNT];
    uint8_t fcMap[3];
} TavroFcoeParams;

/* Each takes the adapter entry of an FC port that hosts the engine. */
TAVRO_API int32_t TAVRO_DisplayQuillGeneralInfo(const FibreAdapter *adapter);
/* port: 0 or 1, or -1 for both engine ports. */
TAVRO_API int32_t TAVRO_DisplayQuillParameters(const FibreAdapter *adapter, int32_t port);
TAVRO_API int32_t TAVRO_SetQuillParameters(const FibreAdapter *adapter,
                                           const TavroFcoeParams *params);
TAVRO_API int32_t TAVRO_ResetQuillChip(const FibreAdapter *adapter);
/* At most 393,216 bytes; written in segments of 65,536. */
TAVRO_API int32_t TAVRO_QuillFirmwareUpdate(const FibreAdapter *adapter, const char *file);
/* The engine's counters: of the chip, or per engine port (0 or 1, -1 both). */
TAVRO_API int32_t TAVRO_GetQuillStatisticsASIC(const FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_GetQuillStatisticsCPU(const FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_GetQuillStatisticsEthernet(const FibreAdapter *adapter, int32_t port);
TAVRO_API int32_t TAVRO_GetQuillStatisticsFC(const FibreAdapter *adapter, int32_t port);
TAVRO_API int32_t TAVRO_GetQuillStatisticsNSL(const FibreAdapter *adapter, int32_t port);
/* Engine memory: length bytes from address shown in rows of eight (at most
   32,768 bytes, within the engine's 64 KiB); a 32-bit word written little-endian. */
TAVRO_API int32_t TAVRO_QuillReadMemory(const FibreAdapter *adapter, uint32_t address,
                                        uint32_t length);
TAVRO_API int32_t TAVRO_QuillWriteMemoryCmdLine(const FibreAdapter *adapter, uint32_t address,
                                                uint32_t value);
/* The engine's logs: their layout, the entries of one log, the saved panic text. */
TAVRO_API int32_t TAVRO_ListQuillLogEntryLayOut(const FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_DisplayQuillLogDataPerLogID(const FibreAdapter *adapter, int32_t logId);
TAVRO_API int32_t TAVRO_GetQuillPanicLog(const FibreAdapter *adapter);
/* ---- Flash update ---- */

/* One key of the pending option-ROM request ("all", "fw", "boot", "region", "act",
   ...) and its value. 0, 1 (file cannot be opened), 13 (size unknown), 30 or 31
   (file too large for the region). */
TAVRO_API int32_t TAVRO_addUserOptionROMRequest(const char *key, const char *value);
/* Writes the image into the port's flash and its partner's; portsUpdated (may be
   null) gets the number of ports written. 0 or a result code. */
TAVRO_API int32_t TAVRO_UpdateOptionROMSingleHBA(const FibreAdapter *adapter, const char *image,
                                                 uint32_t *portsUpdated, int32_t disableReset);
/* Writes the image into every card; 34 when no port was written. */
TAVRO_API int32_t TAVRO_UpdateOptionROMAllHBAs(const char *image);
/* The flash wizard over a version list, in the mode of TAVRO_SetFlashUpdateMode. */
TAVRO_API int32_t TAVRO_UpdateFlashWizardSingleHBA(const FibreAdapter *adapter,
                                                   const char *versionList);
TAVRO_API int32_t TAVRO_UpdateFlashWizardAllHBAs(const char *versionList);
/* 0 standard, 1 force write, 2 force rewrite, 3 force downgrade. */
TAVRO_API void TAVRO_SetFlashUpdateMode(int32_t mode);
/* Saves the whole flash (operation 0) or the boot code (1) of a port to a file. */
TAVRO_API int32_t TAVRO_SaveFlashToFile(const FibreAdapter *adapter, const char *path,
                                        int32_t operation);
/* A multiboot version; all 0 when it is not known. */
typedef struct TavroMbiVersion {
    int32_t major;
    int32_t minor;
    int32_t subminor;
    int32_t known; /* 1 when the version was read */
} TavroMbiVersion;
/* Before an update: the MBI version in the port's flash (as its memo block
   records it) and the image file's. 0 or a result code; nothing is printed. */
TAVRO_API int32_t TAVRO_GetFlashImageVersionPreUpdateInfo(const FibreAdapter *adapter,
                                                          const char *image,
                                                          TavroMbiVersion *existing,
                                                          TavroMbiVersion *fresh);
/* Print the MBI version and every region's component version of an image file,
   or of the image as it lies in the port's flash. 0 or a result code. */
TAVRO_API int32_t TAVRO_RetrieveFirmwareMBImageVersionFromFile(const char *image);
TAVRO_API int32_t TAVRO_RetrieveFirmwareMBImageVersionFromAdapter(const FibreAdapter *adapter);

/* ---- Monitoring ---- */

/* The monitors sample one port (or, with a null adapter where allowed, every
   port) at the rate of the monitoring settings until their sample count, the
   abort key or the abort flag ends them; each answers the host status code. */
TAVRO_API int32_t TAVRO_CreateThreadForHBAStatistics(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_StartResetHBAStatistics(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateThreadForLinkStatus(FibreAdapter *adapter);
/* Resets the firmware's private counters (and with them the link error counters). */
TAVRO_API int32_t TAVRO_StartResetLinkStatus(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateThreadForAdapterTemperatureMonitoring(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateThreadForHostTemperatureMonitoring(void);
TAVRO_API int32_t TAVRO_CreateThreadForBBCreditStats(FibreAdapter *adapter);
/* Set a monitoring setting by name or alias: 0, or 602 after its message.
   The first knows AutoPoll, SetRate and LogToFile; the second also the alarms. */
TAVRO_API int32_t TAVRO_AddUserDataForHBAStatistics(const char *name, const char *value);
TAVRO_API int32_t TAVRO_AddUserInputForTemperatureMonitoring(const char *name, const char *value);
/* The value of a setting by alias or name, or null. */
TAVRO_API const char *TAVRO_GetStatisticsUserConfig(const char *alias);
TAVRO_API void TAVRO_ResetUserStatSettings(void);
TAVRO_API void TAVRO_DisplayUserStatSettings(void);
TAVRO_API void TAVRO_PrintUserDataForTemperatureMonitoring(void);
TAVRO_API void TAVRO_PrintUserDataForBBCredit(void);

/* ---- Command line ---- */

/* Parses a host argument vector (entry 0 the program) into the command record.
   0 when the command line was accepted, else the failure's code; its message has
   been reported. The caller resets the record before (TAVRO_FC_CommandLineProcessor
   does). */
TAVRO_API int32_t TAVRO_FC_CommandLineParser(int32_t argc, const char *const *argv);
/* One whole command-line run: parse, initialise, carry out, clean up. Answers the
   exit code of the host. */
TAVRO_API int32_t TAVRO_FC_CommandLineProcessor(int32_t argc, const char **argv);

/* ---- Long-running operations (diagnostics, monitors, beacons) ---- */

#define TAVRO_TEST_STATE_ABORT 1
#define TAVRO_TEST_STATE_RUNNING 2
#define TAVRO_TEST_STATE_DONE 3

/* The process-wide state word: 2 running, 1 abort requested, 3 done (0 before any). */
TAVRO_API int32_t TAVRO_GetTestState(void);
/* Writing 1 stops the running operation at its next check; 1 for a value outside 0-3. */
TAVRO_API int32_t TAVRO_SetTestState(int32_t state);
/* Waits for the completion event of the last operation: 0 signalled, 1 timed out
 * (timeout in milliseconds of the library clock; 0xFFFFFFFF waits forever). */
TAVRO_API int32_t TAVRO_WaitTestCompletion(uint32_t timeoutMs);

/* ---- Diagnostics ---- */

/* Diagnostic modes: 0 loopback, 1 read/write buffer, 2 FC ping, 3 CT ping,
 * 4 CT trace route, 5 bidirectional, 6 ELS echo. */
TAVRO_API void TAVRO_InitializeUserDiagnosticsTable(int32_t mode);
TAVRO_API void TAVRO_AddUserDiagnosticsData(const char *name, const char *value);
TAVRO_API void TAVRO_AddUserDiagnosticsElsEchoPingData(const char *name, const char *value);
/* Entry index 0-5, or -1. */
TAVRO_API int32_t TAVRO_ValidateDiagnosticsParamName(const char *name);
/* 0, 48 (out of range, message written) or 60 (unknown entry). */
TAVRO_API int32_t TAVRO_ValidateDiagnosticsParamValue(int32_t index, int32_t value, char *message,
                                                      uint32_t messageSize, int32_t mode);
TAVRO_API int32_t TAVRO_GetUserDiagParamValue(const char *alias);
/* The stored value text, or null. */
TAVRO_API const char *TAVRO_GetUserDiagParamValueStr(const char *alias);
TAVRO_API int32_t TAVRO_GetUserDiagEchoPingParamValue(const char *alias);
TAVRO_API const char *TAVRO_GetUserDiagEchoPingParamValueStr(const char *alias);
/* 0, or 2-4 with the message written. */
TAVRO_API int32_t TAVRO_ParseDataPattern(const char *text, char *message, uint32_t messageSize);
TAVRO_API int32_t TAVRO_DisplayDiagnosticSettings(FibreAdapter *adapter, int32_t mode);
TAVRO_API int32_t TAVRO_CreateLoopbackThreadTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateReadWriteBufferThreadTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateFCPThreadTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateCTPingThreadTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_CreateCTFabricTraceRouteThreadTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_RunEchoPingDiagnosticTest(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_RunDPortDiagnosticTest(FibreAdapter *adapter);
/* 0, 45 (every target excluded) or 46 (no target, or an excluded one missing). */
TAVRO_API int32_t TAVRO_CheckExDevicesToRunDiagnostics(FibreAdapter *adapter);
TAVRO_API void TAVRO_DeleteAllDeviceFromDisableDiagList(void);
/* kind 1: a port name; any other kind: the WWN's low three bytes are a port ID. */
TAVRO_API int32_t TAVRO_AddDiagnosticsElsEchoPingDestList(const uint8_t *wwn, int32_t kind);
/* selector 0 principal, 1 adjacent fabric port, 2 attached switch; 207 without adapter. */
TAVRO_API int32_t TAVRO_GetSwitchWWN(FibreAdapter *adapter, uint8_t *wwn, int32_t selector);

/* ---- Adapter parameters ---------------------------------------------------- */

/* Writes the pending parameter settings of this run to the port's NVRAM:
 * 0 or a result code; a null adapter is refused with 130. */
TAVRO_API int32_t TAVRO_SetAdapterNVRAM(FibreAdapter *adapter);

/* ---- Boot devices -------------------------------------------------------- */

/* A candidate boot device; bootType 0 primary, 1 to 3 the alternates. */
typedef struct TAVRO_BootDevice {
    uint8_t wwnn[8];
    uint8_t wwpn[8];
    uint32_t targetNumber;
    uint32_t lun;
    int32_t bootType;
    uint32_t option; /* carried through unchanged */
    struct TAVRO_BootDevice *next;
} TAVRO_BootDevice;

TAVRO_API int32_t TAVRO_ViewAllAdaptersAllBootDevices(void);
TAVRO_API int32_t TAVRO_ViewSingleAdapterBootDevices(FibreAdapter *adapter);
/* 0 or a result code; a target port name of zeros boots from the LUN on any target. */
TAVRO_API int32_t TAVRO_SetAdapterBootDevices(FibreAdapter *adapter, int32_t bootType,
                                              const uint8_t *wwpn, int32_t lun);
TAVRO_API int32_t TAVRO_SetAutoBootDevices(FibreAdapter *adapter);
TAVRO_API int32_t TAVRO_ClearBootDevices(FibreAdapter *adapter);
/* Appends an entry to *list; 0, or 115 when memory runs out. */
TAVRO_API int32_t TAVRO_AddBootDeviceToDeviceList(TAVRO_BootDevice **list, const uint8_t *wwnn,
                                                  const uint8_t *wwpn, uint32_t targetNumber,
                                                  uint32_t lun, int32_t bootType, uint32_t option);
TAVRO_API void TAVRO_FreeSDMBootDeviceList(TAVRO_BootDevice *list);
/* 1 when the adapter, or any port of its card, boots from SAN. */
TAVRO_API int32_t TAVRO_IsConfigureToBootFromSAN(FibreAdapter *adapter);

/* ---- Interactive menus ------------------------------------------------- */

/* What the host shows at the top of every menu: four version numbers, then
 * the title text at byte 16. */
typedef struct TAVRO_CoreMenuInfo {
    uint32_t major;
    uint32_t minor;
    uint32_t subMinor;
    uint32_t build;
    char title[256];
} TAVRO_CoreMenuInfo;

/* 0; -1 for a null pointer. */
TAVRO_API int32_t TAVRO_RegisterCoreMenuInfo(const TAVRO_CoreMenuInfo *info);
/* Computes the menu enable flags from the machine and the property files and
 * sets interactive mode; 0. */
TAVRO_API int32_t TAVRO_InitFCMenus(void);
/* The menu enable flags (1 enabled, 0 not). */
TAVRO_API int32_t TAVRO_IsHBAParametersMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsTargetPersistentBindingMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsBootDeviceMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsVirtualPortMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsTargetLinkSpeedMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsDriverParametersMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsSelectiveLUNsMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsPersistentNamesMenuEnabled(void);
TAVRO_API int32_t TAVRO_IsQoSMenuEnabled(void);
/* Runs the main menu until the user quits (or standard input ends); 0. */
TAVRO_API int32_t TAVRO_MainMenu(void);
/* The trees of the main menu's areas, each on its own: they return when the
 * user leaves them (-10 or -5), goes to the main menu (-4) or quits (-3). */
TAVRO_API int32_t TAVRO_ConfigurationMenu(void);
TAVRO_API int32_t TAVRO_TargetsMenu(void);
/* The selective LUN screens of the targets tree. */
TAVRO_API int32_t TAVRO_SelectiveLUNsMenu(void);
/* The menu trees of single areas, each run until the user leaves it: -10 or
 * -5 going back, -4 for the main menu, -3 to quit. */
TAVRO_API int32_t TAVRO_FlashMenu(void);
TAVRO_API int32_t TAVRO_DiagnosticsMenu(void);
TAVRO_API int32_t TAVRO_MonitoringMenu(void);
TAVRO_API int32_t TAVRO_VirtualPortsMenu(void);
TAVRO_API int32_t TAVRO_FcoeEngineMenu(void);

/* Console input. One line of standard input: 0 with the text; -1 when it is
 * longer than the buffer holds; -2 when nothing was entered (or input ended). */
TAVRO_API int32_t TUIX_GetStandardUserInput(char *buffer, int32_t size);
/* A number of at most maxLength digits: 0 with it (the default for a bare
 * Enter); -1 (value -1) for a non-digit or too long input; -2 at end of input. */
TAVRO_API int32_t TUIX_GetDefaultMenuUserInput(int32_t *value, int32_t defaultValue,
                                               int32_t maxLength);
/* Prompts "Enter a file name or Hit <Enter> to abort: " and reads the name
 * into buffer (512 bytes); as TUIX_GetStandardUserInput. */
TAVRO_API int32_t TUIX_GetFilename(char *buffer, int32_t size);

#ifdef __cplusplus
}
#endif

#endif /* TAVRO_API_H */
