/*
 * vnsdm.h - C interface of the Vantor device-management library.
 *
 * Every SD... and ISDFo... call answers a 32-bit status: SD_OK (0) or an
 * error in the 0x2000xxxx range. Records are plain structs with fixed-width
 * fields; text fields are NUL-terminated and cut to their width.
 *
 * Our build of this library simulates a whole machine (see README.md beside
 * this file): VNSDM_MACHINE names a machine description (JSON), VNSDM_STATE
 * the SQLite file that keeps every change the library is asked to make.
 */
#ifndef VNSDM_H
#define VNSDM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VNSDM_API __attribute__((visibility("default")))
#else
#define VNSDM_API
#endif

typedef uint32_t SD_STATUS;

/* ---- Status codes ------------------------------------------------------ */
#define SD_OK 0x00000000u
#define SDERR_INVALID_HANDLE 0x20000001u
#define SDERR_INVALID_PARAMETER 0x20000002u
#define SDERR_NO_MEMORY 0x20000003u
#define SDERR_NO_MACHINE 0x20000004u /* description unreadable */
#define SDERR_STATE_IO 0x20000005u   /* state file failed */
#define SDERR_CT_REJECT 0x2000001Cu  /* CT request rejected: retry with another command */
#define SDERR_SCSI_CHECK_CONDITION 0x20000040u
#define SDERR_SCSI_RESERVATION 0x20000041u
#define SDERR_SCSI_TARGET_NOT_FOUND 0x20000042u
#define SDERR_SCSI_LUN_NOT_FOUND 0x20000043u
#define SDERR_ELS_REJECT 0x20000050u
#define SDERR_FAILED 0x20000060u /* generic injected failure */
#define SDERR_NOT_SUPPORTED 0x20000066u
#define SDERR_DEVICE_BUSY 0x20000067u
#define SDERR_INVALID_INSTANCE 0x2000006Cu
#define SDERR_NO_MORE_DEVICES 0x2000006Du
#define SDERR_DEVICE_OPEN_FAILED 0x2000006Eu
#define SDERR_DEVICE_REMOVED 0x2000006Fu
#define SDERR_TIMEOUT 0x20000070u
#define SDERR_DEVICE_NOT_READY 0x20000071u
#define SDERR_BUFFER_TOO_SMALL 0x20000072u
#define SDERR_INVALID_REGION 0x20000073u
#define SDERR_FLASH_WRITE 0x20000074u
#define SDERR_STATE_UNDETERMINED 0x20000075u
#define SDERR_PERSIST_EMPTY 0x20000076u
#define SDERR_DATA_UNDERRUN 0x20000077u
#define SDERR_PERSIST_NOT_FOUND 0x20000078u
#define SDERR_CHECKSUM 0x20000079u
#define SDERR_VPORT_LIMIT 0x2000007Au  /* no free virtual port slot */
#define SDERR_VPORT_EXISTS 0x2000007Bu /* WWPN already in use */
#define SDERR_VPORT_NOT_FOUND 0x2000007Cu
#define SDERR_LINK_DOWN 0x2000007Du /* the port is not online */
/* Diagnostics share codes: SDRunDiagLoopback answers SDERR_DEVICE_BUSY to be
 * retried; SDRunDportDiagEx answers it while the switch is not ready and
 * SDERR_INVALID_REGION (0x20000073) when the switch has no D_Port support. */

/* ---- Enumerations ------------------------------------------------------ */
/* Port types */
#define SD_PORT_TYPE_PHYSICAL 1
#define SD_PORT_TYPE_VIRTUAL 3
#define SD_PORT_TYPE_FCOE_ENGINE 4

/* Port states */
#define SD_PORT_STATE_ONLINE 1
#define SD_PORT_STATE_OFFLINE 2
#define SD_PORT_STATE_LINKDOWN 3
#define SD_PORT_STATE_DIAG 4

/* Port speed codes, in the order the displays list them */
#define SD_SPEED_1G 0
#define SD_SPEED_2G 1
#define SD_SPEED_AUTO 2
#define SD_SPEED_4G 3
#define SD_SPEED_8G 4
#define SD_SPEED_10G 5
#define SD_SPEED_16G 6
#define SD_SPEED_20G 7
#define SD_SPEED_32G 8
#define SD_SPEED_64G 9
#define SD_SPEED_UNKNOWN 0xFFFF

/* Supported-speed mask bits: 1, 2, 4, 8, 10, 16, 32, 64 Gb */
#define SD_SUPPORTED_1G 0x01u
#define SD_SUPPORTED_2G 0x02u
#define SD_SUPPORTED_4G 0x04u
#define SD_SUPPORTED_8G 0x08u
#define SD_SUPPORTED_10G 0x10u
#define SD_SUPPORTED_16G 0x20u
#define SD_SUPPORTED_32G 0x40u
#define SD_SUPPORTED_64G 0x80u

/* Connection modes */
#define SD_CONNECTION_P2P 0
#define SD_CONNECTION_LOOP 1
#define SD_CONNECTION_UNKNOWN 2

/* Port topology types (the "PortType (Topology)" column) */
#define SD_TOPO_NPORT 0
#define SD_TOPO_NLPORT 1
#define SD_TOPO_FNLPORT 2
#define SD_TOPO_NXPORT 3
#define SD_TOPO_FPORT 4
#define SD_TOPO_FLPORT 5
#define SD_TOPO_LTPORT 6
#define SD_TOPO_EPORT 7
#define SD_TOPO_BPORT 8
#define SD_TOPO_UNIDENTIFIED 9

/* Second link state: why the link is down */
#define SD_LINK2_NONE 0
#define SD_LINK2_SFP_MISSING 1
#define SD_LINK2_LOSS_OF_SYNC 2
#define SD_LINK2_LOSS_OF_LIGHT 3
#define SD_LINK2_SFP_INVALID 6
#define SD_LINK2_OFFLINE 7
/* Third link state bits */
#define SD_LINK3_FEC_ACTIVE 0x0001u

/* Driver types */
#define SD_DRIVER_SCSI_MINIPORT 1
#define SD_DRIVER_STOR_MINIPORT 2

/* Firmware attribute bits */
#define SD_FW_ATTR_FEC_SUPPORTED 0x0001u
#define SD_FW_ATTR_NPIV 0x0002u
#define SD_FW_ATTR_DPORT 0x0004u /* firmware runs D_Port tests */
#define SD_FW_ATTR_BBCR 0x0008u  /* firmware recovers lost buffer credits */

/* NVRAM regions of SDGetNVRam / SDUpdateNVRam */
#define SD_NVRAM_REGION_PARAMETERS 1
#define SD_NVRAM_REGION_SECOND 2
#define SD_NVRAM_REGION_UPDATE 3

/* NVRAM variable numbers of SDGetVariableValue / SDSetVariableValue.
 * 0..29 are the user parameters (DataRate ... EnableMinSpeed, in the order of
 * the parameter table) except 18 and 19, whose parameters are 32 and 33;
 * README.md has the whole table with offsets. */
#define SD_NVVAR_DATA_RATE 0
#define SD_NVVAR_CONNECTION_OPTION 1
#define SD_NVVAR_BOOT_UPDATE 18    /* set to 1 by a boot-settings write */
#define SD_NVVAR_MAX_FRAME_SIZE 19 /* the same field as variable 6 */
#define SD_NVVAR_OPERATION_MODE 32
#define SD_NVVAR_INTERRUPT_DELAY_TIMER 33
#define SD_NVVAR_ENABLE_BIOS 20
#define SD_NVVAR_ENABLE_SELECTABLE_BOOT 24
#define SD_NVVAR_LAST_USER 29
#define SD_NVVAR_DISABLE_BIOS 58    /* the inverse of variable 20 */
#define SD_NVVAR_SELECTABLE_BOOT 60 /* the same bit as variable 24 */
#define SD_NVVAR_BOOT_PORT_NAME 72  /* 72..79, one byte each */
#define SD_NVVAR_BOOT_LUN 80
#define SD_NVVAR_EFI_BOOT_PORT_NAME 84 /* 84..91 */
#define SD_NVVAR_SELECTIVE_LOGIN 92
#define SD_NVVAR_UEFI_RESERVED 93
#define SD_NVVAR_BOOT_ORDER_LIST 94
#define SD_NVVAR_SELECTIVE_LUN 95
#define SD_NVVAR_FORCE_WORLD_LOGIN 96
#define SD_NVVAR_ALT1_PORT_NAME 98  /* 98..105, LUN 106 */
#define SD_NVVAR_ALT2_PORT_NAME 107 /* 107..114, LUN 115 */
#define SD_NVVAR_ALT3_PORT_NAME 116 /* 116..123, LUN 124 */
#define SD_NVVAR_SSVID 127
#define SD_NVVAR_SSDID 128
#define SD_NVVAR_VERSION 129
#define SD_NVVAR_FABRIC_ASSIGN_BOOT_LUN 131 /* the same bit as variable 26 */
#define SD_NVVAR_PORT_NAME 140              /* 140..147 */
#define SD_NVVAR_NODE_NAME 148              /* 148..155 */
#define SD_NVVAR_LAST 155

/* Port database modes (views) */
#define SD_PORTDB_KNOWN 7
#define SD_PORTDB_FABRIC 8
#define SD_PORTDB_LOOP 16
#define SD_PORTDB_ENTRY_SIZE 290
#define SD_PORTDB_HEADER_SIZE 8

/* Adapter event types of SDGetAen */
#define SD_AEN_LIP_OCCURRED 1
#define SD_AEN_LINK_UP 2
#define SD_AEN_LINK_DOWN 3
#define SD_AEN_LIP_RESET 4
#define SD_AEN_SCR_UPDATE 5
#define SD_AEN_DEVICE_UPDATE 6
#define SD_AEN_FEC_ACTIVE 8
#define SD_AEN_TYPE9 9
#define SD_AEN_BUFFER_SIZE 1024

/* Beacon control values */
#define SD_BEACON_OFF 0x01ED00FFu
#define SD_BEACON_ON 0x01ED0017u
#define SD_BEACON_THIRD 0x01ED0000u

/* ---- Records ----------------------------------------------------------- */
typedef struct SD_CHIP_PROPERTY {
    uint16_t VendorId;
    uint16_t DeviceId;
    uint16_t SubVendorId; /* SSVID */
    uint16_t SubSystemId; /* SSDID */
    uint16_t PciBusNumber;
    uint16_t PciDevFunc; /* device in bits 0-3, function in bits 5-7 */
    uint16_t ChipType;
    uint16_t ChipRevision;
    uint16_t PortNumber; /* port number as the library reports it, 1-based */
    uint16_t IspRevision;
    uint16_t PcieMaxWidth; /* lanes; 0 for a non-PCIe chip */
    uint16_t PcieNegWidth;
    uint16_t PcieMaxSpeed; /* transfer rate in 100 MT/s units (25 = 2.5 GT/s) */
    uint16_t PcieNegSpeed;
    uint16_t Reserved[8];
} SD_CHIP_PROPERTY;

typedef struct SD_DRIVER_PROPERTY {
    char Version[32];
    char Name[32];
    uint16_t DriverType;    /* SD_DRIVER_... */
    uint16_t LunsPerTarget; /* 0 means the default */
    uint16_t MaxTargets;
    uint16_t BindType; /* persistent binding type; 0xFFFF unknown */
    uint32_t Attributes;
    uint32_t Reserved[4];
} SD_DRIVER_PROPERTY;

typedef struct SD_NODE_PROPERTY {
    uint8_t WWNN[8];
    char Model[32];
    char ModelDescription[80];
    char FirmwareVersion[32]; /* running firmware */
    uint8_t SerialNum[4];     /* bytes b0, b1, b2 of the serial number */
    uint16_t FlashFwMajor;
    uint16_t FlashFwMinor;
    uint16_t FlashFwSub;
    uint16_t BiosMajor; /* running boot code */
    uint16_t BiosMinor;
    uint16_t BiosIsEfi;
    uint32_t Reserved[4];
} SD_NODE_PROPERTY;

typedef struct SD_FIRMWARE_PROPERTY {
    char Version[32];
    uint16_t Major;
    uint16_t Minor;
    uint16_t Sub;
    uint16_t Reserved0;
    uint32_t Attributes;   /* SD_FW_ATTR_... */
    uint8_t MpiVersion[4]; /* major, minor, sub, build; 255.255 not running */
    uint8_t PepVersion[4];
    uint32_t Reserved[4];
} SD_FIRMWARE_PROPERTY;

typedef struct SD_PORT_PROPERTY {
    uint8_t WWNN[8];
    uint8_t WWPN[8];
    uint8_t PortId[3];
    uint8_t Reserved0;
    uint16_t PortType; /* SD_PORT_TYPE_... */
    uint16_t VportId;
    uint16_t PortSpeed; /* SD_SPEED_... */
    uint16_t PortState; /* SD_PORT_STATE_... */
    uint16_t LinkState1;
    uint16_t LinkState2;     /* SD_LINK2_... */
    uint16_t LinkState3;     /* SD_LINK3_... bits */
    uint16_t ConnectionMode; /* SD_CONNECTION_... */
    uint16_t Topology;       /* SD_TOPO_... */
    uint16_t DiscoveredTargets;
    uint32_t SupportedSpeeds; /* SD_SUPPORTED_... bits; 0 when unknown */
    uint8_t ENodeMac[6];
    uint16_t Reserved1;
    uint32_t VpIndexSupported;
    uint32_t MaxVports;
    uint32_t EngineState; /* SD_ENGINE_STATE_... bits; 0 on ports without an FCoE engine */
    uint32_t Reserved[3];
} SD_PORT_PROPERTY;

typedef struct SD_STATISTICS {
    uint64_t IoCount;
    uint64_t ByteCount; /* bytes transferred */
    uint64_t ReadRequests;
    uint64_t WriteRequests;
    uint64_t ControlRequests;
    uint32_t PortErrors; /* link level errors */
    uint32_t DeviceErrors;
    uint32_t ResetCount;
    uint32_t LinkFailureCount;
    uint32_t LossOfSyncCount;
    uint32_t LossOfSignalCount;
    uint32_t PrimitiveSeqProtocolErrorCount;
    uint32_t InvalidTransmissionWordCount;
    uint32_t InvalidCrcCount;
    uint32_t SecondsSinceReset;
    uint32_t Reserved[6];
} SD_STATISTICS;

typedef struct SD_BOARD_TEMP {
    int32_t Temperature; /* degrees Celsius */
    int32_t HighAlarm;
    int32_t LowAlarm;
    int32_t BoardThreshold;
} SD_BOARD_TEMP;

/* Firmware-private counters of a port (SDGetPrivStatsEx) */
typedef struct SD_PRIV_STATS {
    uint64_t TxBufferCreditLost;
    uint64_t RxBufferCreditLost;
    uint64_t FecCorrected;
    uint64_t FecUncorrected;
    uint32_t Reserved[8];
} SD_PRIV_STATS;
#define SD_PRIV_STATS_READ 0u
#define SD_PRIV_STATS_RESET 1u /* clears them, and the port's link error counters */

/* One adapter event as SDGetAen returns it; SD_AEN_BUFFER_SIZE bytes hold 64 */
typedef struct SD_AEN_EVENT {
    uint32_t EventType; /* SD_AEN_... */
    uint32_t EventData[3];
} SD_AEN_EVENT;

/* Discovered target as SDGetDiscTargetProperty answers it */
typedef struct SD_DISC_TARGET {
    uint8_t WWNN[8];
    uint8_t WWPN[8];
    uint8_t PortId[3];
    uint8_t Reserved0;
    uint16_t TargetId;
    uint16_t LunCount;
    uint32_t Flags;
} SD_DISC_TARGET;

/* SD_DISC_TARGET.Flags */
#define SD_DISC_FLAG_CONFIGURED 0x0001u /* configured by the driver (port database view 7) */
#define SD_DISC_FLAG_BOOT 0x0002u       /* marked as a boot target */
#define SD_DISC_FLAG_TAPE 0x0004u       /* FC tape (sequence-level recovery) */

/* Persistent target / LUN data kept by the driver. Each port keeps two copies
 * of each, addressed by a selector (SD_PERSIST_COPY_...), and exchanges them as
 * whole buffers: a 32-byte header whose 16-bit word (LE) at byte 2 is the entry
 * count, then up to 256 entries.
 *
 * Target data entry (32 bytes): 0xFFFF at 0 for a used entry; bytes 2-7 the
 * driver's; multipath control at 8; 9 reserved; bound target ID (LE) at 10;
 * port ID at 12-14; WWNN at 16-23; WWPN at 24-31.
 * LUN data entry (2080 bytes): WWNN at 0, WWPN at 8, 16 bytes of the driver's,
 * then one byte per LUN 0-2047 (0x80 presented, 0x00 hidden). */
#define SD_PERSIST_HEADER_SIZE 32u
#define SD_PERSIST_MAX_ENTRIES 256u
#define SD_TARGET_DATA_ENTRY_SIZE 32u
#define SD_TARGET_DATA_SIZE                                                                        \
    (SD_PERSIST_HEADER_SIZE + SD_PERSIST_MAX_ENTRIES * SD_TARGET_DATA_ENTRY_SIZE)
#define SD_LUN_DATA_LUNS 2048u
#define SD_LUN_DATA_ENTRY_SIZE (32u + SD_LUN_DATA_LUNS)
#define SD_LUN_DATA_SIZE (SD_PERSIST_HEADER_SIZE + SD_PERSIST_MAX_ENTRIES * SD_LUN_DATA_ENTRY_SIZE)
#define SD_PERSIST_COPY_0 0u
#define SD_PERSIST_COPY_1 1u
#define SD_PERSIST_ENTRY_LIST_SIZE (256u * 8u) /* ISDFoGetPersistentTargetEntryList */

/* Driver features of SDGetHbaSupportedFeatureList: a 32-bit count (LE), then
 * 88-byte entries: feature number (LE 32), value (LE 32), name (80, terminated). */
#define SD_FEATURE_ENTRY_SIZE 88u
#define SD_FEATURE_BIND_TYPE 4u /* value: 0 bind by port name, 1 by port ID */

/* Flash region codes the simulator lays out (others may come from a description) */
#define SD_FLASH_REGION_WHOLE 0x00u         /* every region at its offset */
#define SD_FLASH_REGION_FW 0x01u            /* FC firmware, RISC header first */
#define SD_FLASH_REGION_BOOT 0x07u          /* boot code: PCI expansion ROM chain */
#define SD_FLASH_REGION_NVRAM_DEFAULT 0x15u /* default NVRAM images (parameters, second) */
#define SD_FLASH_REGION_IMAGE_STATUS 0x95u  /* active image status word */

/* Flash layout: one entry per region */
#define SD_FLASH_MAX_REGIONS 32
typedef struct SD_FLASH_REGION {
    uint32_t Code;   /* region code */
    uint32_t Offset; /* byte offset in flash */
    uint32_t Size;   /* bytes */
    uint32_t Attributes;
} SD_FLASH_REGION;

typedef struct SD_FLASH_LAYOUT {
    uint32_t Count;
    uint32_t TotalSize;
    SD_FLASH_REGION Regions[SD_FLASH_MAX_REGIONS];
} SD_FLASH_LAYOUT;

/* Target address for SCSI requests */
typedef struct SD_SCSI_ADDRESS {
    uint8_t WWNN[8];
    uint8_t WWPN[8];
    uint8_t PortId[3];
    uint8_t Reserved;
} SD_SCSI_ADDRESS;

#define SD_SENSE_SIZE 80

/* Direction of SDSendScsiPassThruFC */
#define SD_DIR_NONE 0
#define SD_DIR_IN 1
#define SD_DIR_OUT 2

/* Loopback test status record (SDRunDiagLoopback) */
#define SD_LOOPBACK_SUCCESS 1
#define SD_LOOPBACK_PARAM_ERROR 2
#define SD_LOOPBACK_LOOP_DOWN 3
#define SD_LOOPBACK_ERRORS 4
typedef struct SD_LOOPBACK_STATUS {
    uint32_t Result; /* SD_LOOPBACK_... */
    uint32_t CrcErrors;
    uint32_t DisparityErrors;
    uint32_t FrameLengthErrors;
    uint32_t Iterations; /* frames looped back */
} SD_LOOPBACK_STATUS;

/* D_Port test result (SDRunDportDiagEx fills SD_DPORT_RESULT_SIZE bytes):
 * one side's results for the adapter and for the switch. Test result codes:
 * 0 not started, 1 passed, 2 skipped, 3 failed, 4 running, 5 remote port,
 * 6 stopped, 56 unexpected reject, 57 unexpected phase, 58 retries exceeded,
 * 59 timeout. */
#define SD_DPORT_RESULT_SIZE 64
typedef struct SD_DPORT_SIDE {
    uint8_t Capabilities;
    uint8_t ElectricalType, ElectricalResult;
    uint8_t OpticalType, OpticalResult;
    uint8_t TrafficType, TrafficResult;
    uint8_t OverallResult;
    uint16_t RoundTripLatency; /* ns */
    uint16_t LinkDistance;     /* m */
    uint16_t ErrorCount;
    uint16_t Reserved;
} SD_DPORT_SIDE;
typedef struct SD_DPORT_RESULT {
    uint32_t Mbx0, Mbx1, Mbx2;   /* Mbx1: the code behind a failure */
    uint32_t StartTime, EndTime; /* seconds since the epoch */
    SD_DPORT_SIDE Hba;
    SD_DPORT_SIDE Switch;
    uint8_t Reserved[12];
} SD_DPORT_RESULT;

/* Buffer-to-buffer credit recovery of a port (SDGetBbcrConfig, SDSetBbcrConfig).
 * BbScN (1-15) is the configured BB_SC_N; ActiveBbScN is what the port agreed
 * with the switch at its last login (0 while recovery is off or the link down). */
typedef struct SD_BBCR_CONFIG {
    uint8_t Enabled;
    uint8_t BbScN;
    uint8_t ActiveBbScN;
    uint8_t State; /* SD_BBCR_STATE_... */
    uint32_t Reserved[3];
} SD_BBCR_CONFIG;
#define SD_BBCR_STATE_OFF 0
#define SD_BBCR_STATE_ONLINE 1
#define SD_BBCR_STATE_OFFLINE 2 /* enabled, but not in use: the link is down */
#define SD_BBCR_MAX_BB_SC_N 15

/* ---- Functions --------------------------------------------------------- */
VNSDM_API SD_STATUS SDGetVersion(char *text, uint32_t size);
VNSDM_API const char *SDGetErrorString(SD_STATUS status);

VNSDM_API SD_STATUS SDOpenDevice(uint32_t instance, uint32_t *handle);
VNSDM_API SD_STATUS SDCloseDevice(uint32_t handle);

VNSDM_API SD_STATUS SDGetHbaDeviceChipProperty(uint32_t handle, SD_CHIP_PROPERTY *prop);
VNSDM_API SD_STATUS SDGetHbaDeviceDriverProperty(uint32_t handle, SD_DRIVER_PROPERTY *prop);
VNSDM_API SD_STATUS SDGetHbaDeviceNodeProperty(uint32_t handle, SD_NODE_PROPERTY *prop);
VNSDM_API SD_STATUS SDGetHbaDeviceFirmwareProperty(uint32_t handle, SD_FIRMWARE_PROPERTY *prop);
/* port 0 is the physical port; 1..n are its virtual ports in slot order */
VNSDM_API SD_STATUS SDGetHbaDevicePortProperty(uint32_t handle, uint32_t port,
                                               SD_PORT_PROPERTY *prop);

VNSDM_API SD_STATUS SDGetStatistics(uint32_t handle, uint32_t port, SD_STATISTICS *stats);
VNSDM_API SD_STATUS SDResetStatistics(uint32_t handle, uint32_t port);
VNSDM_API SD_STATUS SDGetBoardTemp(uint32_t handle, uint32_t port, SD_BOARD_TEMP *temp);
/* options SD_PRIV_STATS_READ or SD_PRIV_STATS_RESET; stats may be null with the reset */
VNSDM_API SD_STATUS SDGetPrivStatsEx(uint32_t handle, uint32_t port, uint32_t options,
                                     SD_PRIV_STATS *stats);
/* Link counters (the link fields of SD_STATISTICS) of a target port the HBA
 * port sees: SDERR_SCSI_TARGET_NOT_FOUND when it does not see it (any more). */
VNSDM_API SD_STATUS SDGetPortStatisticsFC(uint32_t handle, uint32_t port,
                                          const uint8_t targetWwpn[8], SD_STATISTICS *stats);

/* Sets the link speed (SD_SPEED_...) the port uses with a target it sees; the
 * port database reports it from then on, SD_SPEED_AUTO negotiates again. Kept
 * with the port's settings. SDERR_SCSI_TARGET_NOT_FOUND when the port does not
 * see the target, SDERR_NOT_SUPPORTED for a speed outside the port's supported
 * speeds, SDERR_INVALID_PARAMETER for a code that is no speed. */
VNSDM_API SD_STATUS SDSetTargetLinkSpeed(uint32_t handle, uint32_t port,
                                         const uint8_t targetWwpn[8], uint16_t speed);

/* NVRAM: region SD_NVRAM_REGION_...; size 256 or 512 (the image size of the chip) */
VNSDM_API SD_STATUS SDGetNVRam(uint32_t handle, uint32_t port, uint32_t region, uint8_t *buffer,
                               uint32_t size);
VNSDM_API SD_STATUS SDUpdateNVRam(uint32_t handle, uint32_t port, uint32_t region,
                                  const uint8_t *buffer, uint32_t size);
/* One NVRAM field of an image by number (see the variable table in README.md) */
VNSDM_API SD_STATUS SDGetVariableValue(uint32_t handle, const uint8_t *image, uint32_t field,
                                       uint32_t *value);
VNSDM_API SD_STATUS SDSetVariableValue(uint32_t handle, uint8_t *image, uint32_t field,
                                       uint32_t value);

/* Flash */
VNSDM_API SD_STATUS SDGetOptionRomLayout(uint32_t handle, uint32_t port, SD_FLASH_LAYOUT *layout);
VNSDM_API SD_STATUS SDGetOptionRomOffset(uint32_t handle, uint32_t port, uint32_t region,
                                         uint32_t *offset, uint32_t *size);
VNSDM_API SD_STATUS SDGetOptionRomEx(uint32_t handle, uint32_t port, uint32_t region,
                                     uint8_t *buffer, uint32_t size);
VNSDM_API SD_STATUS SDUpdateOptionRomEx2(uint32_t handle, uint32_t port, uint32_t region,
                                         const uint8_t *buffer, uint32_t size, uint32_t options);
/* options of SDUpdateOptionRomEx2: write without resetting the adapter. The
 * flash holds the new image at once, but the adapter goes on running (and
 * reporting) what it ran until it is reset; a write without this option
 * resets it. */
#define SD_FLASH_OPT_NO_RESET 0x1u
/* Flash update capabilities: 0, or the online (secured) update kinds below */
#define SD_FLASH_CAP_ONLINE 0x2u
#define SD_FLASH_CAP_SECURED 0x4u
#define SD_FLASH_CAP_SECURED_V2 0x8u
VNSDM_API SD_STATUS SDGetFlashUpdateCapabilities(uint32_t handle, uint32_t *capabilities);
/* Online update: count regions written as one; the adapter keeps its old image
 * unless every region is written (a failing or torn write changes nothing). */
VNSDM_API SD_STATUS SDUpdateOptionRomOnline(uint32_t handle, uint32_t port, const uint32_t *regions,
                                            const uint8_t *const *buffers, const uint32_t *sizes,
                                            uint32_t count);

/* VPD */
VNSDM_API SD_STATUS SDGetVpd(uint32_t handle, uint32_t port, uint8_t *buffer, uint32_t *size);
VNSDM_API SD_STATUS SDUpdateVpd(uint32_t handle, uint32_t port, const uint8_t *buffer,
                                uint32_t size);

/* Beacon */
VNSDM_API SD_STATUS SDGetBeaconControl(uint32_t handle, uint32_t port, uint32_t *value);
VNSDM_API SD_STATUS SDUpdateBeaconControl(uint32_t handle, uint32_t port, uint32_t value);

/* Targets: header of two 32-bit words (entries of the port, entries returned)
 * followed by SD_PORTDB_ENTRY_SIZE-byte entries. */
VNSDM_API SD_STATUS SDGetPortDatabase(uint32_t handle, uint32_t mode, uint8_t *buffer,
                                      uint32_t size);
VNSDM_API SD_STATUS SDGetDiscTargetProperty(uint32_t handle, uint32_t port, uint32_t index,
                                            SD_DISC_TARGET *target);
/* SCSI; sense buffers are SD_SENSE_SIZE bytes. On SDERR_SCSI_CHECK_CONDITION the
 * sense data holds key, ASC and ASCQ in fixed format. */
VNSDM_API SD_STATUS SDSendScsiInquiryCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                           uint16_t lun, uint8_t *data, uint32_t *length,
                                           uint8_t *sense, uint32_t senseLength);
VNSDM_API SD_STATUS SDSendScsiReportLunsCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                              uint8_t *data, uint32_t *length, uint8_t *sense,
                                              uint32_t senseLength);
VNSDM_API SD_STATUS SDSendScsiReadCapacityCmdFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                                uint16_t lun, uint8_t *data, uint32_t *length,
                                                uint8_t *sense, uint32_t senseLength);
VNSDM_API SD_STATUS SDSendScsiPassThruFC(uint32_t handle, const SD_SCSI_ADDRESS *target,
                                         uint16_t lun, const uint8_t *cdb, uint32_t cdbLength,
                                         uint32_t direction, uint8_t *data, uint32_t *length,
                                         uint8_t *sense, uint32_t senseLength);

/* Fibre Channel pass-through */
VNSDM_API SD_STATUS SDSendCTPassThru(uint32_t handle, const uint8_t *request, uint32_t reqLength,
                                     uint8_t *response, uint32_t *respLength);
VNSDM_API SD_STATUS SDSendElsPassThru(uint32_t handle, const uint8_t destPortId[3],
                                      const uint8_t *request, uint32_t reqLength, uint8_t *response,
                                      uint32_t *respLength);

/* Diagnostics. option: loopback kind word; the receive buffer gets what came
 * back. Answers the status record; the call fails only when it could not run. */
VNSDM_API SD_STATUS SDRunDiagLoopback(uint32_t handle, uint32_t port, uint32_t option,
                                      const uint8_t *tx, uint32_t txLength, uint8_t *rx,
                                      uint32_t rxLength, uint32_t iterations,
                                      SD_LOOPBACK_STATUS *status);
/* Runs a D_Port test with the attached switch; result is SD_DPORT_RESULT_SIZE bytes. */
VNSDM_API SD_STATUS SDRunDportDiagEx(uint32_t handle, uint32_t port, uint8_t *result,
                                     uint32_t size);
/* The result of the port's last D_Port test, which the firmware keeps until it
 * is cleared: SDERR_PERSIST_EMPTY when no test ran since. */
VNSDM_API SD_STATUS SDGetDportResult(uint32_t handle, uint32_t port, uint8_t *result,
                                     uint32_t size);
VNSDM_API SD_STATUS SDClearDportResult(uint32_t handle, uint32_t port);
/* Credit recovery: a set takes Enabled and BbScN (1-15 when enabled) and
 * answers SDERR_NOT_SUPPORTED on firmware without it. */
VNSDM_API SD_STATUS SDGetBbcrConfig(uint32_t handle, uint32_t port, SD_BBCR_CONFIG *config);
VNSDM_API SD_STATUS SDSetBbcrConfig(uint32_t handle, uint32_t port, const SD_BBCR_CONFIG *config);

/* Persistent target / LUN data: instance is the device-library instance of the
 * handle; buffers are whole (SD_TARGET_DATA_SIZE, SD_LUN_DATA_SIZE bytes, or more).
 * A get answers SDERR_PERSIST_EMPTY when the copy was never written and
 * SDERR_CHECKSUM when the stored copy is damaged. A set of copy 1 is the
 * driver's staging copy and is committed to copy 0 once it is whole; a set of
 * copy 0 writes that copy only. */
VNSDM_API SD_STATUS ISDFoGetTargetData(uint32_t handle, uint32_t instance, uint32_t selector,
                                       uint8_t *buffer, uint32_t size);
VNSDM_API SD_STATUS ISDFoSetTargetData(uint32_t handle, uint32_t instance, uint32_t selector,
                                       const uint8_t *buffer, uint32_t size);
VNSDM_API SD_STATUS ISDFoGetLunData(uint32_t handle, uint32_t instance, uint32_t selector,
                                    uint8_t *buffer, uint32_t size);
VNSDM_API SD_STATUS ISDFoSetLunData(uint32_t handle, uint32_t instance, uint32_t selector,
                                    const uint8_t *buffer, uint32_t size);
/* Removes both copies of the target and LUN data of the port named by wwpn
 * (the handle's port); SDERR_PERSIST_NOT_FOUND when it has none. */
VNSDM_API SD_STATUS ISDFoDeletePersistentDeviceEntry(uint32_t handle, uint32_t instance,
                                                     const uint8_t wwpn[8]);
/* Host-wide: one 8-byte target port name per slot for every target that has
 * persistent data on any port; unused slots are zero. size is in bytes. */
VNSDM_API SD_STATUS ISDFoGetPersistentTargetEntryList(uint32_t handle, uint8_t *slots,
                                                      uint32_t size);
/* Driver features; SDERR_BUFFER_TOO_SMALL with the count at byte 0 when they do not fit. */
VNSDM_API SD_STATUS SDGetHbaSupportedFeatureList(uint32_t handle, uint8_t *buffer, uint32_t size);

/* Adapter events */
VNSDM_API SD_STATUS SDEnableAen(uint32_t handle);
VNSDM_API SD_STATUS SDDisableAen(uint32_t handle);
/* buffer of SD_AEN_BUFFER_SIZE bytes filled with SD_AEN_EVENT records; count out.
 * The count is the number of events pending and may exceed what fits. */
VNSDM_API SD_STATUS SDGetAen(uint32_t handle, uint8_t *buffer, uint32_t size, uint32_t *count);

/* ---- FCoE engine ----------------------------------------------------------
 * The engine chip of some converged adapters, reached through the FC port that
 * hosts it (either port of the card). One call carries every request: a
 * command and a 28-byte request record.
 *
 *  SD_ENGINE_CMD_RESET    Operation = reset flag (0 a normal reset). The engine
 *                         logs out and logs in again a few port queries later.
 *  SD_ENGINE_CMD_VERSION  the running version comes back in bytes 0-3 of the
 *                         record: major bits 16-23, minor 8-15, sub-minor 0-7.
 *  SD_ENGINE_CMD_UPDATE   Operation 2; bytes 4-7 the image size, bytes 8-15 the
 *                         image address. At most SD_ENGINE_MAX_IMAGE bytes; the
 *                         image must pass the engine's own check (see README.md).
 *  SD_ENGINE_CMD_MANAGE   Operation SD_ENGINE_OP_...:
 *    READ_MEMORY / WRITE_MEMORY  Param1 start address, ByteCount, Data.
 *    CONFIG      Param1 the item (bits 0-7) and the engine port (bits 8-15),
 *                Param2 and Param3 as SD_ENGINE_ITEM_... says.
 *    GET_INFO    Param1 information type, Param2 context; Data of ByteCount
 *                bytes; ByteCount comes back as the length returned and
 *                Param3 as the engine's state bits.
 */
#define SD_ENGINE_CMD_RESET 1
#define SD_ENGINE_CMD_VERSION 2
#define SD_ENGINE_CMD_UPDATE 3
#define SD_ENGINE_CMD_MANAGE 4

#define SD_ENGINE_OP_UPDATE_FIRMWARE 2 /* with SD_ENGINE_CMD_UPDATE */
#define SD_ENGINE_OP_READ_MEMORY 0
#define SD_ENGINE_OP_WRITE_MEMORY 1
#define SD_ENGINE_OP_CONFIG 2
#define SD_ENGINE_OP_GET_INFO 3

#define SD_ENGINE_INFO_PARAMS 6 /* SD_ENGINE_PARAMS_... block of both engine ports */
/* Statistics: little-endian counter records. The Ethernet, FC and NSL views are
 * per engine port (Param2 the port, 0 or 1); ASIC and CPU are the chip's. */
#define SD_ENGINE_INFO_STATS_ASIC 1     /* SD_ENGINE_ASIC_STATS_SIZE bytes */
#define SD_ENGINE_INFO_STATS_CPU 2      /* SD_ENGINE_CPU_STATS_SIZE bytes */
#define SD_ENGINE_INFO_STATS_ETHERNET 3 /* SD_ENGINE_ETH_STATS_SIZE bytes */
#define SD_ENGINE_INFO_STATS_FC 4       /* SD_ENGINE_FC_STATS_SIZE bytes */
#define SD_ENGINE_INFO_STATS_NSL 5      /* SD_ENGINE_NSL_STATS_SIZE bytes */
/* Logs: the layout of every log, one log's entries (Param2 the log ID), and
 * the text the engine saved at its last panic (empty when it never panicked). */
#define SD_ENGINE_INFO_LOG_LAYOUT 7
#define SD_ENGINE_INFO_LOG_DATA 8
#define SD_ENGINE_INFO_PANIC_LOG 9

/* ASIC: u32 uptime seconds, resets, temperature (Celsius), ECC corrected,
 * ECC uncorrected, parity errors, watchdog expiries, firmware loads. */
#define SD_ENGINE_ASIC_STATS_SIZE 32
/* CPU: u32 load (percent), idle (percent), interrupts, context switches,
 * tasks, heap used (KiB), heap free (KiB), exceptions. */
#define SD_ENGINE_CPU_STATS_SIZE 32
/* Ethernet: u64 frames received, frames sent, bytes received, bytes sent;
 * u32 pause frames received, pause frames sent, PFC frames received, PFC
 * frames sent, CRC errors, oversize frames. */
#define SD_ENGINE_ETH_STATS_SIZE 56
/* FC: u64 frames received, frames sent, words received, words sent; u32 link
 * failures, loss of sync, loss of signal, invalid CRC, FLOGI, FDISC. */
#define SD_ENGINE_FC_STATS_SIZE 56
/* NSL (name-server logins through the engine): u32 FIP solicitations sent,
 * advertisements received, FLOGI sent, FLOGI accepted, FLOGI rejected,
 * keep-alives sent, clear virtual links received, VLAN requests sent,
 * name-server logins, RSCNs received. */
#define SD_ENGINE_NSL_STATS_SIZE 40

/* Log layout (SD_ENGINE_INFO_LOG_LAYOUT): u16 number of logs, u16 0, then per
 * log SD_ENGINE_LOG_LAYOUT_SIZE bytes: u16 log ID, u16 entry size, u32 entries
 * held, 32 characters of name (NUL padded). */
#define SD_ENGINE_LOG_HEADER_SIZE 4
#define SD_ENGINE_LOG_LAYOUT_SIZE 40
#define SD_ENGINE_LOG_NAME_SIZE 32
/* Log data (SD_ENGINE_INFO_LOG_DATA): u32 entries, u32 entry size, then the
 * entries, oldest first: u32 engine time (seconds), u16 event code, u8
 * severity (0 info, 1 warning, 2 error), u8 0, 56 characters of text. An
 * unknown log ID answers SDERR_INVALID_PARAMETER. */
#define SD_ENGINE_LOG_DATA_HEADER_SIZE 8
#define SD_ENGINE_LOG_ENTRY_SIZE 64
#define SD_ENGINE_LOG_TEXT_SIZE 56

/* Configuration items (SD_ENGINE_OP_CONFIG) */
#define SD_ENGINE_ITEM_PORT_TYPE 2   /* Param2 port type (0 access, 1 trunk) */
#define SD_ENGINE_ITEM_COS 3         /* Param3 class of service 0-7 */
#define SD_ENGINE_ITEM_PAUSE_TYPE 4  /* Param3 pause mask << 8 | pause type (1 or 2) */
#define SD_ENGINE_ITEM_TIMEOUTS 5    /* Param2 retry count; Param3 update timeout << 16 | timeout */
#define SD_ENGINE_ITEM_FCOE_CONFIG 6 /* Param2 FC-MAP bytes in bits 31-8 | FCoE configuration */

#define SD_ENGINE_MAX_DATA 32768u
#define SD_ENGINE_MAX_IMAGE 0x60000u
#define SD_ENGINE_MEMORY_SIZE 0x10000u

/* SD_PORT_PROPERTY.EngineState */
#define SD_ENGINE_STATE_LOGGED_IN 0x04u
#define SD_ENGINE_STATE_GOLDEN 0x08u /* running its fallback image */

/* Parameter block (SD_ENGINE_INFO_PARAMS): a header, then one record per engine
 * port. Engines without the FCoE configuration item have 64-byte port records,
 * so their block is shorter than SD_ENGINE_PARAMS_FULL_SIZE. */
#define SD_ENGINE_PARAMS_HEADER_SIZE 8 /* u16 version, u16 ports, u16 record size, u16 0 */
#define SD_ENGINE_PARAMS_RECORD_SIZE 80
#define SD_ENGINE_PARAMS_SHORT_RECORD_SIZE 64
#define SD_ENGINE_PARAMS_FULL_SIZE 168
/* Offsets in a port record */
#define SD_ENGINE_PARAM_PORT_TYPE 0    /* u8 */
#define SD_ENGINE_PARAM_PAUSE_TYPE 1   /* u8 */
#define SD_ENGINE_PARAM_COS 2          /* u8 */
#define SD_ENGINE_PARAM_RETRY_COUNT 3  /* u8 */
#define SD_ENGINE_PARAM_FW_TIMEOUT 4   /* u16 LE, 100 ms units */
#define SD_ENGINE_PARAM_TIMEOUT 6      /* u16 LE, 100 ms units */
#define SD_ENGINE_PARAM_PAUSE_MASK 8   /* u8, one bit per priority */
#define SD_ENGINE_PARAM_FC_MAP 9       /* 3 bytes */
#define SD_ENGINE_PARAM_FCOE_CONFIG 64 /* u8; then min, max, enable (u8 each) */

/* Engine firmware image, little-endian: a 32-byte header, then the code.
 *   0  "CVEF"              4  u16 FC chip device ID    6  u16 header size (32)
 *   8  u32 version (major bits 16-23, minor 8-15, sub-minor 0-7)
 *  12  u32 length of the whole image   16  u32 sum of the code bytes   20  zero */
#define SD_ENGINE_IMAGE_SIGNATURE "CVEF"
#define SD_ENGINE_IMAGE_HEADER_SIZE 32u

#pragma pack(push, 4)
typedef struct SD_ENGINE_REQUEST {
    uint16_t Operation;
    uint16_t Reserved;
    uint32_t Param1;
    uint32_t Param2;
    uint32_t Param3;
    uint32_t ByteCount;
    uint8_t *Data;
} SD_ENGINE_REQUEST;
#pragma pack(pop)

VNSDM_API SD_STATUS SDQuillMgt(uint32_t handle, uint16_t command, SD_ENGINE_REQUEST *request);

#ifdef __cplusplus
}
#endif

#endif /* VNSDM_H */
