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

#ifdef __cplusplus
}
#endif

#endif /* TAVRO_API_H */
