// The commands whose areas are not built yet: their rows, with the parsers
// that stay in cli until each area takes its own over, and their help topics.
// Each run answers "Option is currently disabled!"; building a command is
// writing its area's run function and putting it in the row (see
// docs/adding-a-command.md).
#include "cli/pending_commands.h"

#include "cli/parser_internal.h"

namespace {

// Operand spellings shared by the syntax lines.
#define HBA "<hba instance>|<hba wwpn>"
#define TGT "<target wwpn>|<target port id>"

// ---- Help -----------------------------------------------------------------------

constexpr HelpTopic kHelpDriverSettingsGet = {"Driver Settings",
                                              "Displays the driver settings of an HBA port.",
                                              "-fg " HBA " view|info", nullptr};

constexpr HelpTopic kHelpDriverSettingsSet = {
    "Change Driver Settings", "Changes driver settings of an HBA port.",
    "-fs " HBA " <setting> <value> [<setting> <value> ...]\n"
    "-fs " HBA " view|info",
    "<setting>\tA driver setting name, as -fg lists it.\n"
    "<value>\tDecimal, or hexadecimal with 0x."};

constexpr HelpTopic kHelpDriverUpdate = {
    "Driver Update", "Updates the HBA driver from a driver file.", "-d <driver file>", nullptr};

constexpr HelpTopic kHelpTransceiverDiag = {"Transceiver Diagnostics",
                                            "Displays the diagnostic data of transceivers (SFP).",
                                            "-dm " HBA "|all general|gen|details|det",
                                            "general, gen\tGeneral transceiver data.\n"
                                            "details, det\tDetailed diagnostic data."};

constexpr HelpTopic kHelpFirmwarePreloadTable = {
    "Firmware Preload Table", "Updates or saves the firmware preload table of an HBA.",
    "-u " HBA " <table file>\n"
    "-u " HBA " save <file>\n"
    "-u " HBA " /version",
    "save\tSave the table to a file.\n"
    "/version\tDisplay the version of the table in flash."};

constexpr HelpTopic kHelpSerdesTable = {"Serdes Table",
                                        "Updates or saves the PCIe serdes table of an HBA.",
                                        "-sp " HBA " <table file>\n"
                                        "-sp " HBA " save <file>\n"
                                        "-sp " HBA " /version",
                                        "save\tSave the table to a file.\n"
                                        "/version\tDisplay the version of the table in flash."};

constexpr HelpTopic kHelpFirmwareDump = {
    "Firmware Dump", "Retrieves a firmware dump of an HBA port into a file.",
    "-fwdump " HBA " <file> [--raw] [--trigger]\n"
    "-fwdump " HBA " --info",
    "--raw\tRaw format; without it, text.\n"
    "--trigger\tForce a new dump first.\n"
    "--info\tDisplay the dump information that the HBA holds."};

constexpr HelpTopic kHelpRdp = {"Read Diagnostic Parameters",
                                "Reads the diagnostic parameters (RDP) of a remote port.",
                                "-rdp " HBA " " TGT, nullptr};

constexpr HelpTopic kHelpLinkCableBeacon = {
    "Link Cable Beacon",
    "Makes the beacons at both ends of a link blink.\n"
    "The link is the one between the HBA port and the remote port.",
    "-lcb " HBA " <target wwpn> [--BeaconCmd on|off|preset]",
    "--BeaconCmd\ton (or 1), off (or 0), preset (or 2)."};

constexpr HelpTopic kHelpFirmwareTrace = {
    "Firmware Trace", "Displays, controls or saves the firmware trace.",
    "-trace " HBA " --info|--show|--enable|--disable|--clear\n"
    "-trace " HBA " [--raw|--log] --save <file>",
    "--info, --show\tDisplay the trace state.\n"
    "--enable, --disable\tStart or stop tracing.\n"
    "--clear\tClear the trace.\n"
    "--save\tSave the trace to a file.\n"
    "--raw, --log\tSave raw data, or the log text."};

constexpr HelpTopic kHelpFcoeEngineTrace = {
    "FCoE Engine Trace", "Displays, controls or saves the FCoE engine trace.",
    "-fcetrace " HBA " --info|--show|--enable|--disable|--clear\n"
    "-fcetrace " HBA " [--raw|--log] --save <file>",
    "--info, --show\tDisplay the trace state.\n"
    "--enable, --disable\tStart or stop tracing.\n"
    "--clear\tClear the trace.\n"
    "--save\tSave the trace to a file.\n"
    "--raw, --log\tSave raw data, or the log text."};

constexpr HelpTopic kHelpFec = {"Forward Error Correction",
                                "Displays or changes forward error correction (FEC).",
                                "-fec " HBA " --info|--show|--enable|--disable", nullptr};

constexpr HelpTopic kHelpLunQos = {"LUN QoS", "Displays or changes the QoS of targets and LUNs.",
                                   "-lunqos " HBA " --info|--show [<target wwpn> [<lun id>]]\n"
                                   "-lunqos " HBA
                                   " --enable|--disable|--set|--clear [<target wwpn> [<lun id>]]",
                                   "--info, --show\tDisplay the settings.\n"
                                   "--enable, --disable\tTurn LUN QoS on or off.\n"
                                   "--set, --clear\tSet or clear the QoS of the target or LUN."};

constexpr HelpTopic kHelpTransceiverEqualizer = {
    "Transceiver Equalizer",
    "Displays, loads or saves transceiver equalizer settings.\n"
    "The settings are those of the equalizer chip (EDC) of the transceiver.",
    "-sfp " HBA " [--devaddr A0|A2] --info version|status|config\n"
    "-sfp " HBA " [--devaddr A0|A2] --load <file>\n"
    "-sfp " HBA " [--devaddr A0|A2] --save [<file>]",
    "--devaddr\tTransceiver device address, A0 or A2 (or 0xA0, 0xA2).\n"
    "--info\tDisplay the version, status or configuration.\n"
    "--load\tLoad a configuration file.\n"
    "--save\tSave the configuration, to a file when one is named."};

constexpr HelpTopic kHelpImageVersions = {"Image Versions",
                                          "Displays the component versions of a multiboot image.",
                                          "-mbiv <image file>", nullptr};

constexpr HelpTopic kHelpCnaInfo = {
    "CNA Information",
    "Displays and configures converged adapter functions.\n"
    "They are general information, DCBX, FCF, statistics and manufacturing data.",
    "-cna " HBA " [--port<n>|--lif<n>] --<word> [--<word> ...]\n"
    "-cna " HBA " [--port<n>] --set <parameter> <value> [<parameter> <value> ...]\n"
    "-cna " HBA " --<manufacturing word> [<file>]",
    "Views\t--info --geninfo --vpd --pci --dcb --dce --tlv\n"
    "\t--fcf --stats --detail --raw --show --mon --type\n"
    "\t--vfc --sc\n"
    "Actions\t--configure --set --enable --disable --clear --reset\n"
    "Selection\t--port --port0 --port1 --port2 --port3\n"
    "\t--lif --lif0 --lif1\n"
    "DCBX parameters:\t\n"
    "  PortAccessNo\t0-1\n"
    "  DCBXEnable\t0-1\n"
    "  SANPriorityCoS\t0-7\n"
    "  FCPriorityCoS\t0-7\n"
    "  PortPauseType\t0 no pause, 1 standard pause, 2 per-priority pause\n"
    "  PriorityTxtMode\t0-1\n"
    "  SANBandwidthPerc\t0-100\n"
    "  SANUnusedBwToLAN\t0-1\n"
    "  LANUnusedBwToSAN\t0-1\n"
    "FCF VLAN parameters:\t\n"
    "  SelectionEnable\t0-1 (VLAN discovery)\n"
    "  VlanID\t1-4094\n"
    "Manufacturing\t--updatecfg --savecfg --updatebrdcfg --savebrdcfg\n"
    "\t--updateiscsipara --verifyiscsipara\n"
    "\t--updateiscsifd --verifyiscsifd\n"
    "\t--crbinit --mbi --ffv --rec --dup --chk --rpt"};

constexpr HelpTopic kHelpFeatureConfig = {
    "Feature Configuration", "Displays or changes the optional features of an HBA port.",
    "-pc " HBA " view|info\n"
    "-pc " HBA " <feature> enable|disable [...]\n"
    "-pc " HBA " <feature>=enable|disable [...]",
    "view, info\tDisplay the features and their state."};

constexpr HelpTopic kHelpSerdesParams = {
    "Serdes Parameters", "Displays or changes the serdes parameters of an HBA port.",
    "-sd " HBA " view|info\n"
    "-sd " HBA " <parameter> <value> [<parameter> <value> ...]",
    "<value>\tDecimal, or hexadecimal with 0x."};

constexpr HelpTopic kHelpSmartSan = {
    "SmartSAN", "Displays or changes the SmartSAN settings of an HBA port.",
    "-ss " HBA " --info|--show|--enable|--disable|--configure", nullptr};

constexpr HelpTopic kHelpFlashRegions = {
    "Flash Regions", "Displays the flash regions of an HBA, or one region.",
    "-rg " HBA " [all|<region>]", "<region>\tRegion code, decimal or 0x hex."};

constexpr HelpTopic kHelpFirmwareActivate = {"Firmware Activation",
                                             "Activates the firmware that a flash update wrote.",
                                             "-act " HBA, nullptr};

// ---- Rows -------------------------------------------------------------------------

// ELS echo and CT ping run only where the host property file enables them.

constexpr CommandRow kRows[] = {
    {"-fg",
     {},
     CommandCode::DriverSettingsGet,
     ParsePending<ParseDriverSettings>,
     RunNotBuilt,
     &kHelpDriverSettingsGet,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fs",
     {},
     CommandCode::DriverSettingsSet,
     ParsePending<ParseDriverSettings>,
     RunNotBuilt,
     &kHelpDriverSettingsSet,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-d",
     {},
     CommandCode::DriverUpdate,
     ParsePending<ParseFileOnly>,
     RunNotBuilt,
     &kHelpDriverUpdate,
     AdapterUse::None,
     kNeedsStartup,
     nullptr},
    {"-dm",
     {},
     CommandCode::TransceiverDiag,
     ParsePending<ParseTransceiverDiag>,
     RunNotBuilt,
     &kHelpTransceiverDiag,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-u",
     {},
     CommandCode::FirmwarePreloadTable,
     ParsePending<ParseFlashTable>,
     RunNotBuilt,
     &kHelpFirmwarePreloadTable,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-sp",
     {},
     CommandCode::SerdesTable,
     ParsePending<ParseFlashTable>,
     RunNotBuilt,
     &kHelpSerdesTable,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fwdump",
     {},
     CommandCode::FirmwareDump,
     ParsePending<ParseFirmwareDump>,
     RunNotBuilt,
     &kHelpFirmwareDump,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-rdp",
     {},
     CommandCode::Rdp,
     ParsePending<ParseRdp>,
     RunNotBuilt,
     &kHelpRdp,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-lcb",
     {},
     CommandCode::LinkCableBeacon,
     ParsePending<ParseLinkCableBeacon>,
     RunNotBuilt,
     &kHelpLinkCableBeacon,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-trace",
     {},
     CommandCode::FirmwareTrace,
     ParsePending<ParseFirmwareTrace>,
     RunNotBuilt,
     &kHelpFirmwareTrace,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fcetrace",
     {},
     CommandCode::FcoeEngineTrace,
     ParsePending<ParseFirmwareTrace>,
     RunNotBuilt,
     &kHelpFcoeEngineTrace,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-fec",
     {},
     CommandCode::Fec,
     ParsePending<ParseFec>,
     RunNotBuilt,
     &kHelpFec,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-lunqos",
     {},
     CommandCode::LunQos,
     ParsePending<ParseLunQos>,
     RunNotBuilt,
     &kHelpLunQos,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-sfp",
     {},
     CommandCode::TransceiverEqualizer,
     ParsePending<ParseEdc>,
     RunNotBuilt,
     &kHelpTransceiverEqualizer,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-mbiv",
     {},
     CommandCode::ImageVersions,
     ParsePending<ParseFileOnly>,
     RunNotBuilt,
     &kHelpImageVersions,
     AdapterUse::None,
     kNeedsStartup,
     nullptr},
    {"-cna",
     {},
     CommandCode::CnaInfo,
     ParsePending<ParseCna>,
     RunNotBuilt,
     &kHelpCnaInfo,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-pc",
     {},
     CommandCode::FeatureConfig,
     ParsePending<ParseFeatureConfig>,
     RunNotBuilt,
     &kHelpFeatureConfig,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-sd",
     {},
     CommandCode::SerdesParams,
     ParsePending<ParseSerdesParams>,
     RunNotBuilt,
     &kHelpSerdesParams,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-ss",
     {},
     CommandCode::SmartSan,
     ParsePending<ParseSmartSan>,
     RunNotBuilt,
     &kHelpSmartSan,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-rg",
     {},
     CommandCode::FlashRegions,
     ParsePending<ParseFlashRegions>,
     RunNotBuilt,
     &kHelpFlashRegions,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-act",
     {},
     CommandCode::FirmwareActivate,
     ParsePending<ParseOneAdapter>,
     RunNotBuilt,
     &kHelpFirmwareActivate,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> PendingCommandRows() { return kRows; }
