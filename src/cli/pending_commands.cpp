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

constexpr HelpTopic kHelpTargetInfo = {
    "Target Information",
    "Displays the targets that HBA ports see.\n"
    "Without an HBA, or with all, the targets of every port are shown.",
    "-t [all]\n"
    "-t " HBA " [" TGT "]",
    "<target wwpn>\tOnly the target with this port name.\n"
    "<target port id>\tOnly the target with this port ID."};

constexpr HelpTopic kHelpLunInfo = {"LUN Information",
                                    "Displays the LUNs of the targets that an HBA port sees.\n"
                                    "A target, and a LUN, narrow the listing.",
                                    "-l " HBA " [" TGT "] [<lun id>]",
                                    "<target wwpn>\tOnly the target with this port name.\n"
                                    "<target port id>\tOnly the target with this port ID.\n"
                                    "<lun id>\tOnly this LUN, 0-65534."};

constexpr HelpTopic kHelpPersistentBinding = {
    "Persistent Binding",
    "Displays or changes persistent target bindings.\n"
    "Changes are saved to persistent storage and take effect after a reboot.",
    "-p " HBA "|all view|info\n"
    "-p " HBA " <target wwnn> <target wwpn> <target port id> <target id> [...]\n"
    "-p " HBA "|all bind all\n"
    "-p " HBA "|all remove|unbind all|<target wwnn>",
    "view, info\tDisplay the bindings.\n"
    "<target id>\tSCSI target ID for the target, 0-255; one group per target.\n"
    "bind all\tBind every discovered target to the lowest free target IDs.\n"
    "remove, unbind\tRemove the binding of one target or of all targets."};

constexpr HelpTopic kHelpSelectiveLun = {
    "Selective LUNs",
    "Displays or changes the selective LUN configuration.\n"
    "It decides which LUNs of the bound targets the host sees.\n"
    "Changes take effect after a reboot.",
    "-m " HBA " view|info\n"
    "-m " HBA " <target wwnn> <target wwpn> <lun id> 0|1 [...]\n"
    "-m " HBA " select|enable all|<target wwnn> <target wwpn>\n"
    "-m " HBA " unselect|disable all|<target wwnn> <target wwpn>",
    "view, info\tDisplay the LUN selection.\n"
    "0|1\tHide (0) or present (1) the LUN; one group per LUN.\n"
    "select, enable\tPresent every LUN of one target, or of all targets.\n"
    "unselect, disable\tHide every LUN of one target, or of all targets."};

constexpr HelpTopic kHelpTargetLinkSpeed = {
    "Target Link Speed",
    "Displays or sets the link speed used with targets.\n"
    "Without a speed the current link speeds are displayed.",
    "-q " HBA "|all [-t|-targets] [<speed>]\n"
    "-q " HBA "|all <target wwpn> [<speed>]\n"
    "-targets " HBA "|all [<speed>]",
    "-t, -targets\tAll targets of the HBA.\n"
    "<target wwpn>\tOne target.\n"
    "<speed>\tauto, 1, 2, 4, 8, 16, 32, 64 or 128 (Gb/s)."};

constexpr HelpTopic kHelpBootDevices = {
    "Boot Devices",
    "Displays or configures the SAN boot devices of HBA ports:\n"
    "a primary device and up to three alternates.",
    "-e " HBA "|all view|info\n"
    "-e " HBA " <target wwnn> <target wwpn> <lun id> [prim|alt1|alt2|alt3] [...]\n"
    "-e " HBA " 0 0 0\n"
    "-e " HBA "|all enable\n"
    "-e " HBA "|all disable [prim|alt1|alt2|alt3|all]",
    "view, info\tDisplay the boot devices.\n"
    "prim, alt1-alt3\tThe boot slot of the device; without one the groups fill\n"
    "\tthe primary slot, then the alternates.\n"
    "0 0 0\tBoot from the first device found.\n"
    "enable\tEnable the boot devices.\n"
    "disable\tDisable the boot devices, one slot or all of them."};

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

constexpr HelpTopic kHelpPortBeacon = {"Port Beacon",
                                       "Displays or changes the beacon of an HBA port.\n"
                                       "The beacon makes the LEDs of the port blink.",
                                       "-a " HBA " [view|info]\n"
                                       "-a " HBA " --BeaconCmd on|off|preset",
                                       "view, info\tDisplay the beacon state.\n"
                                       "--BeaconCmd\ton (or 1), off (or 0), preset (or 2)."};

constexpr HelpTopic kHelpTargetBeacon = {
    "Target Beacon",
    "Makes the port lights of targets blink.\n"
    "The targets receive commands in passes, which light their LEDs.",
    "-tb " HBA " <target wwpn> [<target wwpn> ...] <mode> [LogFile <file>]",
    "<mode>\ton or 0: until Enter is pressed; preset or 1: 12 passes;\n"
    "\tany other word (up to 7 characters): 6 passes.\n"
    "--BeaconCmd <mode>\tThe mode given as an option.\n"
    "LogFile (LF)\tLog file; N/A for none."};

constexpr HelpTopic kHelpLoopbackTest = {
    "Loopback Test", "Runs the loopback test on an HBA port.",
    "-kl " HBA " [<parameter> <value> ...]",
    "DataPattern (DP)\trandom (default), CRPAT, CJTPAT, CSPAT, RPAT,\n"
    "\t00, 55, 5A, A5, AA, FF, or 8 hex bytes (16 digits,\n"
    "\tor pairs separated by '-').\n"
    "DataSize (DS)\t8-2048 bytes, a power of two; default 512.\n"
    "TestCount (TC)\t0-65535, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-65535; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "LoopbackType (LT)\t0-4."};

constexpr HelpTopic kHelpReadWriteBufferTest = {
    "Read/Write Buffer Test",
    "Runs the SCSI read/write buffer test against targets.\n"
    "Every target that the HBA port sees is tested, unless excluded.",
    "-kr " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "DataPattern (DP)\trandom (default), CRPAT, CJTPAT, CSPAT, RPAT,\n"
    "\t00, 55, 5A, A5, AA, FF, or 8 hex bytes (16 digits,\n"
    "\tor pairs separated by '-').\n"
    "DataSize (DS)\t8, 16, 32, 64 or 128 bytes; default 8.\n"
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "LoopbackType (LT)\t0-4.\n"
    "-ex, -exclude\tLeave this target out of the test; may be repeated."};

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

constexpr HelpTopic kHelpElsEcho = {
    "ELS Echo",
    "Runs the ELS echo test to one destination.\n"
    "ELS ECHO frames go to the destination; the replies are timed.\n"
    "Available when the host property node.hba.diagnostics.fcping.enable is 1.",
    "-fcping|-fcp " HBA " -wwn <wwpn> [<parameter> <value> ...]\n"
    "-fcping|-fcp " HBA " -fcid <port id> [<parameter> <value> ...]",
    "-wwn, --PortName\tDestination port name.\n"
    "-fcid, --FCId\tDestination port ID.\n"
    "--PayloadPattern (-P)\tData pattern, as DataPattern of -kl; default RPAT.\n"
    "--PayloadSize (-L)\t8-2048 bytes, a power of two; default 8.\n"
    "--Count (-C)\tNumber of frames, 0-1000; default 1.\n"
    "--Interval (-I)\tSeconds between frames, 0-60; default 1.\n"
    "--Error (-E)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "--Echo (-T)\tEcho type."};

constexpr HelpTopic kHelpCtPing = {
    "CT Ping",
    "Runs the CT ping test to every target.\n"
    "CT requests go to the management service of the fabric for each target.\n"
    "Available when the host property node.hba.diagnostics.fcping.enable is 1.",
    "-ctping|-ctp " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr HelpTopic kHelpFabricTraceRoute = {
    "Fabric Trace Route",
    "Traces the fabric route to every target.\n"
    "The route is found with CT requests to the management service of the fabric.",
    "-ftraceroute|-ftr " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

constexpr HelpTopic kHelpDPort = {
    "D-Port Diagnostics",
    "Runs or manages the D_Port diagnostics.\n"
    "The test runs between the HBA port and the switch port it is attached to.",
    "-dport " HBA " --info|--show|--enable|--disable|--configure\n"
    "-dport " HBA " --trigger|--stats|--detail|--clear",
    "--info, --show\tDisplay the D_Port option and state.\n"
    "--enable, --disable\tTurn the D_Port option on or off.\n"
    "--configure\tChange the D_Port configuration.\n"
    "--trigger\tStart the test.\n"
    "--stats, --detail\tDisplay the results of both ends, in brief or in detail.\n"
    "--clear\tClear the results."};

constexpr HelpTopic kHelpRdp = {"Read Diagnostic Parameters",
                                "Reads the diagnostic parameters (RDP) of a remote port.",
                                "-rdp " HBA " " TGT, nullptr};

constexpr HelpTopic kHelpLinkCableBeacon = {
    "Link Cable Beacon",
    "Makes the beacons at both ends of a link blink.\n"
    "The link is the one between the HBA port and the remote port.",
    "-lcb " HBA " <target wwpn> [--BeaconCmd on|off|preset]",
    "--BeaconCmd\ton (or 1), off (or 0), preset (or 2)."};

constexpr HelpTopic kHelpFcPing = {
    "FC Ping",
    "Runs the FC ping test to every target.\n"
    "SCSI INQUIRY commands go to each target; the replies are timed.",
    "-fcep " HBA " [<parameter> <value> ...] [-ex <target wwpn> ...]",
    "TestCount (TC)\t0-10000, 0 = until stopped; default 10.\n"
    "TestIncrement (TI)\t1-10000; default 1.\n"
    "OnError (OE)\t0 ignore, 1 stop, 2 loop; default 0.\n"
    "-ex, -exclude\tLeave this target out; may be repeated."};

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

constexpr HelpTopic kHelpFcoeEngine = {
    "FCoE Engine",
    "Manages the FCoE engine of a converged HBA.\n"
    "It covers parameters, firmware, information, statistics, logs and memory.",
    "-fcoe " HBA " [--port0|--port1] --getparam|--info|--geninfo|--reset\n"
    "-fcoe " HBA " [--port0|--port1] --setparam <parameter> <value> [...]\n"
    "-fcoe " HBA " --loadfw <firmware file>\n"
    "-fcoe " HBA " --stats|--asic|--cpu|--eth|--fc|--nsl|--log|--list|--panic|--diag\n"
    "-fcoe " HBA " --read|--write|--modwrite|--id <value>",
    "--port0, --port1\tThe engine port.\n"
    "--getparam, --setparam\tDisplay or change the engine parameters.\n"
    "--info, --geninfo\tEngine general information.\n"
    "--reset\tReset the engine.\n"
    "--loadfw\tUpdate the engine firmware from a file.\n"
    "--stats ... --diag\tEngine statistics, logs and state; --clear, --show\n"
    "\tclear or show them.\n"
    "--read ... --id\tEngine memory access; value decimal or 0x hex.\n"
    "Parameters:\t\n"
    "  PortSelection (PS)\t0-1\n"
    "  PortType (AT)\t0 access, 1 trunk\n"
    "  PauseType (PT)\t1 standard pause, 2 priority flow control\n"
    "  COS (CS)\t0-7\n"
    "  RetryCount (RC)\t0-255\n"
    "  FwUpdateTimeOut (UT)\t0-65535\n"
    "  QuillTimeOut (MT)\t0-65535\n"
    "  PriorityPauseMask (PM)\t0-255\n"
    "  FCoEConfig (FC)\t0-1\n"
    "  FCoEConfigMin (FI)\t0-255, not above FCoEConfigMax\n"
    "  FCoEConfigMax (FA)\t0-255\n"
    "  FCoEConfigEnable (FE)\t0-1\n"
    "  FCMap (FM)\t3 hex bytes (6 digits, or pairs with '-' or ':')"};

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
constexpr const char *kFcPingEnable = "node.hba.diagnostics.fcping.enable";

constexpr CommandRow kRows[] = {
    {"-t",
     {},
     CommandCode::TargetInfo,
     ParsePending<ParseTargetInfo>,
     RunNotBuilt,
     &kHelpTargetInfo,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-l",
     {},
     CommandCode::LunInfo,
     ParsePending<ParseLunInfo>,
     RunNotBuilt,
     &kHelpLunInfo,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-p",
     {},
     CommandCode::PersistentBinding,
     ParsePending<ParsePersistentBinding>,
     RunNotBuilt,
     &kHelpPersistentBinding,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-m",
     {},
     CommandCode::SelectiveLun,
     ParsePending<ParseSelectiveLun>,
     RunNotBuilt,
     &kHelpSelectiveLun,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-q",
     {},
     CommandCode::TargetLinkSpeed,
     ParsePending<ParseTargetLinkSpeed>,
     RunNotBuilt,
     &kHelpTargetLinkSpeed,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-e",
     {},
     CommandCode::BootDevices,
     ParsePending<ParseBootDevices>,
     RunNotBuilt,
     &kHelpBootDevices,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
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
    {"-a",
     {},
     CommandCode::PortBeacon,
     ParsePending<ParsePortBeacon>,
     RunNotBuilt,
     &kHelpPortBeacon,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-tb",
     {},
     CommandCode::TargetBeacon,
     ParsePending<ParseTargetBeacon>,
     RunNotBuilt,
     &kHelpTargetBeacon,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-kl",
     {},
     CommandCode::LoopbackTest,
     ParsePending<ParseLoopback>,
     RunNotBuilt,
     &kHelpLoopbackTest,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-kr",
     {},
     CommandCode::ReadWriteBufferTest,
     ParsePending<ParseReadWriteBuffer>,
     RunNotBuilt,
     &kHelpReadWriteBufferTest,
     AdapterUse::One,
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
    {"-fcping",
     {"-fcp"},
     CommandCode::ElsEcho,
     ParsePending<ParseElsEcho>,
     RunNotBuilt,
     &kHelpElsEcho,
     AdapterUse::One,
     kNeedsStartup,
     kFcPingEnable},
    {"-ctping",
     {"-ctp"},
     CommandCode::CtPing,
     ParsePending<ParseCtPing>,
     RunNotBuilt,
     &kHelpCtPing,
     AdapterUse::One,
     kNeedsStartup,
     kFcPingEnable},
    {"-ftraceroute",
     {"-ftr"},
     CommandCode::FabricTraceRoute,
     ParsePending<ParseTraceRoute>,
     RunNotBuilt,
     &kHelpFabricTraceRoute,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-dport",
     {},
     CommandCode::DPort,
     ParsePending<ParseDPort>,
     RunNotBuilt,
     &kHelpDPort,
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
    {"-fcep",
     {},
     CommandCode::FcPing,
     ParsePending<ParseFcPing>,
     RunNotBuilt,
     &kHelpFcPing,
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
    {"-fcoe",
     {},
     CommandCode::FcoeEngine,
     ParsePending<ParseFcoeEngine>,
     RunNotBuilt,
     &kHelpFcoeEngine,
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
    {"-targets",
     {},
     CommandCode::TargetLinkSpeed,
     ParsePending<ParseTargetsWord>,
     RunNotBuilt,
     &kHelpTargetLinkSpeed,
     AdapterUse::OneOrAll,
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
