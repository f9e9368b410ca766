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

#define TAVRO_PORT_TYPE_PHYSICAL    1
#define TAVRO_PORT_TYPE_VIRTUAL     3
#define TAVRO_PORT_TYPE_FCOE_ENGINE 4

#define TAVRO_VPORT_WWPN_SLOTS 256

/* One port as the host sees it. */
typedef struct FibreAdapter {
    int32_t  instance;         /* device-library instance (HBA number) */
    int32_t  portNumber;       /* 1-based physical port number on the adapter */
    uint32_t handle;           /* device-library handle */
    uint8_t  pciLocation[4];   /* 0, device, bus (low byte), function */
    uint32_t beaconControl;
    int32_t  enabled;          /* 1 when the adapter is supported */
    int32_t  portClass;        /* 2 for family codes above 7, else 1 */
    uint16_t vPortId;
    uint16_t ssvid;
    uint16_t ssdid;
    uint16_t deviceId;
    uint16_t chipType;
    uint8_t  wwnn[8];
    uint8_t  wwpn[8];
    uint8_t  enodeMac[6];
    char     model[32];
    char     serialNumber[32];
    char     wwpnText[24];     /* 16 lower-case hex digits */
    char     wwnnText[24];
    char     description[128];
    uint8_t  portId[3];
    uint16_t portType;         /* TAVRO_PORT_TYPE_... */
    int16_t  parent;           /* -1 */
    int16_t  qosType;
    int16_t  vPortLock;
    int16_t  vPortEnable;
    int32_t  qosValue;
    int32_t  portSpeed;        /* virtual ports: decimal Gb/s */
    uint8_t (*vPortWwpns)[8];  /* TAVRO_VPORT_WWPN_SLOTS slots, or null */
    uint32_t vpIndexSupported;
    uint32_t maxVPorts;
    char     flashFirmwareVersion[32];
    uint32_t vpType;
    struct FibreAdapter *next;
    struct FibreAdapter *previous;
} FibreAdapter;

/* The ordered list of ports; valid until the next rebuild. */
typedef struct AdapterList {
    uint32_t      count;
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
TAVRO_API FibreAdapter *TAVRO_FindPhysicalAdapterEntryByVirtualPortInAdapterList(
    const FibreAdapter *adapter);

#ifdef __cplusplus
}
#endif

#endif /* TAVRO_API_H */
