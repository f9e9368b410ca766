/*
 * vnwmi.h - the WMI stand-in: the NPIV classes and methods of the Fibre
 * Channel ports, answered from the machine the device library sees.
 *
 * A physical port is named by its WWPN, the key of its instance of the NPIV
 * classes. Every call answers a VNWMI_STATUS; for the methods it is also the
 * method's Status out-parameter (VNWMI_OK is success).
 */
#ifndef VNWMI_H
#define VNWMI_H

#include <stdint.h>

#if defined(__GNUC__)
#define VNWMI_API __attribute__((visibility("default")))
#else
#define VNWMI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t VNWMI_STATUS;

#define VNWMI_OK 0x00000000u
#define VNWMI_E_INVALID_PARAMETER 0x57490001u /* a null pointer, zero WWPN, VF ID over 4095 */
#define VNWMI_E_NOT_FOUND 0x57490002u         /* no physical port with that WWPN */
#define VNWMI_E_NOT_SUPPORTED 0x57490003u     /* the port's firmware has no NPIV */
#define VNWMI_E_LIMIT 0x57490004u             /* every slot is used: capacity reached */
#define VNWMI_E_EXISTS 0x57490005u            /* the WWPN is already a port of the machine */
#define VNWMI_E_VPORT_NOT_FOUND 0x57490006u   /* no virtual port with that WWPN on the port */
#define VNWMI_E_BUFFER_TOO_SMALL 0x57490007u  /* count says how many entries there are */
#define VNWMI_E_PROVIDER 0x57490008u          /* the machine or its state cannot be read */

#define VNWMI_NAME_SIZE 65         /* VirtualName: 64 characters and the terminator */
#define VNWMI_VFID_BITMAP_SIZE 512 /* one bit per VF ID 0..4095 */

/* One slot of the slot table (VN_FibrePortNPIVAttributes and ...V2). */
typedef struct VNWMI_NPIV_SLOT {
    char WWPN[17];   /* 16 upper-case hex digits; a free slot reads "0000000000000000" */
    uint8_t FCId[3]; /* assigned by the fabric while the port is online */
    uint8_t WWNN[8];
    uint8_t FabricWWN[8];
    uint8_t Tag[16];
    uint32_t VpIndex; /* the slot number; 0 stands for the physical port */
    uint32_t Flags;
    uint32_t VFID; /* bound virtual fabric, 0 for none */
    uint32_t SanPriority;
    uint32_t QosType;
    uint32_t QosValue;
    char VirtualName[VNWMI_NAME_SIZE];
} VNWMI_NPIV_SLOT;

/* MSFC_FibrePortNPIVAttributes of a physical port. */
typedef struct VNWMI_NPIV_ATTRIBUTES {
    char InstanceName[64];
    uint8_t WWPN[8];
    uint8_t WWNN[8];
    uint32_t NumberVirtualPorts; /* the most virtual ports the port takes */
    uint32_t VirtualPortCount;   /* the virtual ports it has now */
    uint32_t VpIndexSupported;
} VNWMI_NPIV_ATTRIBUTES;

VNWMI_API VNWMI_STATUS VNWmiQueryNPIVAttributes(const uint8_t physWwpn[8],
                                                VNWMI_NPIV_ATTRIBUTES *attributes);

/* The slot table. Version 1 (VN_FibrePortNPIVAttributes): NumberVirtualPorts
 * slots, entry i is VP index i + 1. Version 2 (VN_FibrePortNPIVAttributesV2):
 * one slot more, entry i is VP index i and entry 0 the physical port. count is
 * the table's size and may exceed capacity (then VNWMI_E_BUFFER_TOO_SMALL and
 * capacity entries filled). */
VNWMI_API VNWMI_STATUS VNWmiQuerySlotTable(const uint8_t physWwpn[8], uint32_t version,
                                           VNWMI_NPIV_SLOT *slots, uint32_t capacity,
                                           uint32_t *count);

/* The used slots only, in VP index order: the port's virtual ports. */
VNWMI_API VNWMI_STATUS VNWmiQueryVirtualPorts(const uint8_t physWwpn[8], VNWMI_NPIV_SLOT *slots,
                                              uint32_t capacity, uint32_t *count);

/* In-parameters of MSFC_FibrePortNPIVMethods.CreateVirtualPort. */
typedef struct VNWMI_CREATE_VP_IN {
    uint8_t WWPN[8];
    uint8_t WWNN[8]; /* zero: the same as WWPN */
    uint8_t Tag[16];
    char VirtualName[VNWMI_NAME_SIZE]; /* empty: "VantorVirtualPort-<VP index>" */
} VNWMI_CREATE_VP_IN;

/* Creates a virtual port in the lowest free slot; vpIndex (may be NULL) gets it. */
VNWMI_API VNWMI_STATUS VNWmiExecCreateVirtualPort(const uint8_t physWwpn[8],
                                                  const VNWMI_CREATE_VP_IN *in, uint32_t *vpIndex);

/* MSFC_FibrePortNPIVMethods.RemoveVirtualPort. */
VNWMI_API VNWMI_STATUS VNWmiExecRemoveVirtualPort(const uint8_t physWwpn[8],
                                                  const uint8_t vportWwpn[8]);

/* What VNModifyVirtualPort changes. */
#define VNWMI_MODIFY_QOS 0x01u /* QosType and QosValue */
#define VNWMI_MODIFY_VFID 0x02u
#define VNWMI_MODIFY_SAN_PRIORITY 0x04u
#define VNWMI_MODIFY_FLAGS 0x08u
#define VNWMI_MODIFY_TAG 0x10u
#define VNWMI_MODIFY_NAME 0x20u

/* In-parameters of VN_FibrePortNPIVMethods.VNModifyVirtualPort. */
typedef struct VNWMI_MODIFY_VP_IN {
    uint8_t WWPN[8]; /* the virtual port */
    uint32_t Fields; /* VNWMI_MODIFY_... */
    uint32_t QosType;
    uint32_t QosValue;
    uint32_t VFID; /* 0 unbinds */
    uint32_t SanPriority;
    uint32_t Flags;
    uint8_t Tag[16];
    char VirtualName[VNWMI_NAME_SIZE];
} VNWMI_MODIFY_VP_IN;

VNWMI_API VNWMI_STATUS VNWmiExecModifyVirtualPort(const uint8_t physWwpn[8],
                                                  const VNWMI_MODIFY_VP_IN *in);

/* VN_FibrePortNPIVMethods.VNGetVFIDBitMap: bit n (byte n / 8, bit n % 8) is set
 * when virtual fabric n is bound to a virtual port of the port. */
VNWMI_API VNWMI_STATUS VNWmiExecGetVFIDBitMap(const uint8_t physWwpn[8],
                                              uint8_t bitmap[VNWMI_VFID_BITMAP_SIZE]);

/* The firmware the host booted with (GetFirmwareType): VNWMI_FIRMWARE_BIOS or
 * VNWMI_FIRMWARE_UEFI as the simulated machine's description says, or
 * VNWMI_E_NOT_FOUND when it says nothing and the caller asks the host itself. */
#define VNWMI_FIRMWARE_BIOS 1u
#define VNWMI_FIRMWARE_UEFI 2u
VNWMI_API VNWMI_STATUS VNWmiQueryFirmwareType(uint32_t *type);

/* A short text for a status, for traces. */
VNWMI_API const char *VNWmiStatusText(VNWMI_STATUS status);

#ifdef __cplusplus
}
#endif

#endif /* VNWMI_H */
