/*
 * vnsdm_sim.h - controls of the simulated machine behind libvnsdm.
 *
 * Not part of the device-management interface: the WMI stand-in uses the
 * virtual-port calls, tests and tools use the rest to reload the machine and
 * to drive events, link changes, temperatures and counters. Ports are named
 * by the WWPN of their physical port, which is also the key of the state file.
 */
#ifndef VNSDM_SIM_H
#define VNSDM_SIM_H

#include "vnsdm.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Machine ------------------------------------------------------------ */

/* Re-reads VNSDM_MACHINE and VNSDM_STATE, forgets every handle, the per-process
 * fault counters and event queues. SDERR_NO_MACHINE when the description was
 * refused (the machine then has no devices). */
VNSDM_API SD_STATUS VNSimReloadMachine(void);

/* Number of physical instances; the file the machine came from
 * ("<embedded>" for the default machine, "" when refused). */
VNSDM_API uint32_t VNSimGetInstanceCount(void);
VNSDM_API SD_STATUS VNSimGetMachineSource(char *text, uint32_t size);

/* The host's firmware as the description's "host" section gives it:
 * VNSIM_HOST_FIRMWARE_UNSET when it says nothing (the real host's counts). */
#define VNSIM_HOST_FIRMWARE_UNSET 0u
#define VNSIM_HOST_FIRMWARE_BIOS 1u
#define VNSIM_HOST_FIRMWARE_EFI 2u
VNSDM_API uint32_t VNSimGetHostFirmware(void);

/* WWPN of a physical instance; SDERR_INVALID_INSTANCE past the last. */
VNSDM_API SD_STATUS VNSimGetInstanceWwpn(uint32_t instance, uint8_t wwpn[8]);
/* First physical instance with that WWPN; SDERR_INVALID_INSTANCE when none. */
VNSDM_API SD_STATUS VNSimFindInstance(const uint8_t wwpn[8], uint32_t *instance);

/* Opens a physical instance as SDOpenDevice does, but past the injected open
 * faults: the SNIA vendor library reaches the ports by its own path. */
VNSDM_API SD_STATUS VNSimOpenInstance(uint32_t instance, uint32_t *handle);

/* Deletes everything the state file keeps (all ports). */
VNSDM_API SD_STATUS VNSimClearState(void);

/* ---- Events and link ---------------------------------------------------- */

/* Queues an adapter event for the port (kept in the state file, so another
 * process running SDGetAen sees it). */
VNSDM_API SD_STATUS VNSimPostEvent(const uint8_t wwpn[8], uint32_t type, uint32_t data0,
                                   uint32_t data1, uint32_t data2);

/* Sets the port state (SD_PORT_STATE_...) and the reason code of a down link
 * (SD_LINK2_...); persisted. Going online posts SD_AEN_LINK_UP, leaving
 * online posts SD_AEN_LINK_DOWN, when postEvent is nonzero. */
VNSDM_API SD_STATUS VNSimSetPortState(const uint8_t wwpn[8], uint16_t state, uint16_t linkState2,
                                      int postEvent);
/* Forgets a state set above: the description's state holds again. */
VNSDM_API SD_STATUS VNSimClearPortState(const uint8_t wwpn[8]);

/* Resets the port's adapter, as a host reboot does: after a flash write made
 * without a reset (SD_FLASH_OPT_NO_RESET) it runs, and reports, the new image. */
VNSDM_API SD_STATUS VNSimResetAdapter(const uint8_t wwpn[8]);

/* Board temperature in degrees Celsius; persisted. */
VNSDM_API SD_STATUS VNSimSetTemperature(const uint8_t wwpn[8], int32_t celsius);

/* Adds to the port's counters (persisted), as traffic and errors would. */
VNSDM_API SD_STATUS VNSimAddStatistics(const uint8_t wwpn[8], const SD_STATISTICS *delta);

/* In-process fault: the nth call (1-based, counted from now) of the named SD
 * function on the instance answers status; torn nonzero makes a write call
 * store the first half of its data first. */
VNSDM_API SD_STATUS VNSimSetCallFault(uint32_t instance, const char *call, uint32_t nth,
                                      SD_STATUS status, int torn);

/* ---- Virtual ports ------------------------------------------------------ */

typedef struct VNSIM_VPORT {
    uint8_t WWNN[8];
    uint8_t WWPN[8];
    uint8_t PortId[3]; /* assigned by the fabric while the port is online */
    uint8_t Reserved0;
    uint32_t Slot; /* VP index: 1..MaxVports (0 stands for the physical port) */
    uint32_t QosType;
    uint32_t QosValue;
    uint32_t VfId; /* bound virtual fabric; 0 none */
    uint32_t Flags;
    uint32_t SanPriority;
    uint8_t FabricWWN[8];
    uint8_t Tag[16];
    char VirtualName[64];
} VNSIM_VPORT;

/* Limits of the physical port: SDERR_NOT_SUPPORTED when its firmware has no NPIV. */
VNSDM_API SD_STATUS VNSimGetVportLimits(const uint8_t physWwpn[8], uint32_t *maxVports,
                                        uint32_t *vpIndexSupported);
/* Virtual ports of the port in slot order; count is the number the port has and
 * may exceed capacity (then SDERR_BUFFER_TOO_SMALL, and capacity entries filled). */
VNSDM_API SD_STATUS VNSimListVports(const uint8_t physWwpn[8], VNSIM_VPORT *vports,
                                    uint32_t capacity, uint32_t *count);
/* Lowest free slot (1..MaxVports); SDERR_VPORT_LIMIT when all are used. */
VNSDM_API SD_STATUS VNSimFindFreeVportSlot(const uint8_t physWwpn[8], uint32_t *slot);
/* Creates a virtual port. Slot 0 takes the lowest free slot; the slot used is
 * written back. SDERR_VPORT_EXISTS when the WWPN is taken anywhere in the
 * machine, SDERR_VPORT_LIMIT when the slot is taken or out of range. */
VNSDM_API SD_STATUS VNSimCreateVport(const uint8_t physWwpn[8], VNSIM_VPORT *vport);
/* Changes QoS, VF, flags, priority, tag and name of the virtual port with vport->WWPN. */
VNSDM_API SD_STATUS VNSimModifyVport(const uint8_t physWwpn[8], const VNSIM_VPORT *vport);
VNSDM_API SD_STATUS VNSimDeleteVport(const uint8_t physWwpn[8], const uint8_t vportWwpn[8]);

#ifdef __cplusplus
}
#endif

#endif /* VNSDM_SIM_H */
