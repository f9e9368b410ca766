// Rows, operand parsers and run functions of the monitoring commands.
#include "monitor/commands.h"

#include "base/text.h"
#include "command/parse.h"
#include "monitor/bbcr.h"
#include "monitor/monitors.h"
#include "monitor/settings.h"

namespace {

#define HBA "<hba instance>|<hba wwpn>"
#define SETTINGS                                                                                   \
    "AutoPoll (AP)\tNumber of samples, 0-256, 0 = until stopped; default 10.\n"                    \
    "SetRate (SR)\tSeconds between samples, 5-300; default 5.\n"                                   \
    "LogToFile (LF)\tAlso write each sample to this file (CSV).\n"

constexpr const char *kOptionInvalid = "Invalid/unsupported option!";
constexpr const char *kValueInvalid = "Invalid/unsupported value!";

// Name/value pairs of the settings table; `names` rows are known.
int TakeSettings(Operands &ops, int names, MonitorRequest *req)
{
    while (ops.More()) {
        const std::string tok = ops.Next();
        if (req && (SameText(tok, "reset") || SubOptionWord(tok) == "reset")) {
            req->reset = true;
            continue;
        }
        const int index = FindStatParam(tok, names);
        if (index < 0)
            return SetParseError(kParseBadMonitorValue, "%s", kOptionInvalid);
        if (!ops.More())
            return MissingInput();
        const std::string value = ops.Next();
        if (index != kStatLogToFile) {
            long v = 0;
            if (!ReadDecimal(value, v))
                return SetParseError(kParseBadMonitorValue, "%s", kValueInvalid);
            const char *msg = nullptr;
            // The command line keeps its own wording for the rate.
            if (index == kStatSetRate && (v < 5 || v > 300))
                return SetParseError(kParseBadMonitorValue, "%s",
                                     "Polling Rate interval must be 5-30 (Seconds)!");
            if (ValidateStatSetting(index, value, &msg) != 0)
                return SetParseError(kParseBadMonitorValue, "%s", msg);
        }
        SetUserStatValue(index, value);
    }
    return 0;
}

int ParseStatistics(Operands &ops, AdapterSelector &adapter, MonitorRequest &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    return TakeSettings(ops, kStatNamesGeneral, &req);
}

int ParseTemperatureMonitor(Operands &ops, AdapterSelector &adapter, MonitorRequest &)
{
    if (int s = TakeAdapter(ops, AdapterOperand::RequiredOrAll, adapter))
        return s;
    return TakeSettings(ops, kStatTableSize, nullptr);
}

int ParseBoardTemperature(Operands &ops, AdapterSelector &adapter, MonitorRequest &)
{
    if (int s = TakeAdapter(ops, AdapterOperand::OptionalAll, adapter))
        return s;
    return NoMoreOperands(ops);
}

// -bbcr: --stats runs the credit-loss monitor with its settings; --enable may
// carry the BB_SC_N value (1 to 15) of credit recovery.
int ParseBbcr(Operands &ops, AdapterSelector &adapter, MonitorRequest &req)
{
    if (int s = TakeAdapter(ops, AdapterOperand::Required, adapter))
        return s;
    if (!ops.More())
        return MissingInput();
    while (ops.More()) {
        const std::string tok = ops.Next();
        const std::string w = SubOptionWord(tok);
        if (w == "stats") {
            req.creditStats = true;
            return TakeSettings(ops, kStatNamesGeneral, nullptr);
        }
        if (w != "info" && w != "show" && w != "enable" && w != "disable")
            return Unrecognized(tok);
        req.subOptions.push_back(w);
        long v = 0;
        if (w == "enable" && ops.More() && SubOptionWord(ops.Peek()).empty()) {
            if (!ReadDecimal(ops.Peek(), v) || v < 1 || v > 15)
                return SetParseError(kParseTooMany, "%s", kValueInvalid);
            ops.Next();
            req.bbScN = int(v);
        }
    }
    // One action a command: showing and changing do not mix.
    if (req.subOptions.size() > 1)
        return Unrecognized(std::string("--") + req.subOptions[1]);
    return 0;
}

int RunStatistics(const AdapterChoice &c, const MonitorRequest &req)
{
    if (req.reset) {
        int status = 0;
        for (FibreAdapter *a : MonitorPorts(c.adapter))
            if (int s = ResetHBAStatistics(*a))
                status = s;
        return status;
    }
    return MonitorHBAStatistics(MonitorPorts(c.adapter));
}

int RunLinkStatus(const AdapterChoice &c, const MonitorRequest &req)
{
    if (req.reset) {
        int status = 0;
        for (FibreAdapter *a : MonitorPorts(c.adapter))
            if (int s = ResetLinkStatus(*a))
                status = s;
        return status;
    }
    return MonitorLinkStatus(MonitorPorts(c.adapter));
}

int RunTemperatureMonitor(const AdapterChoice &c, const MonitorRequest &)
{
    return MonitorTemperature(MonitorPorts(c.adapter));
}

int RunBoardTemperature(const AdapterChoice &c, const MonitorRequest &)
{
    return DisplayBoardTemperature(MonitorPorts(c.adapter));
}

int RunBbcr(const AdapterChoice &c, const MonitorRequest &req)
{
    if (req.creditStats)
        return MonitorBBCredit(MonitorPorts(c.adapter));
    const std::string &w = req.subOptions.front();
    if (w == "enable" || w == "disable")
        return ConfigureBbcr(c.adapter, w == "enable", req.bbScN);
    return DisplayBbcrInfo(c.adapter);
}

constexpr HelpTopic kHelpStatistics = {
    "HBA Statistics",
    "Displays the I/O statistics of HBA ports.\n"
    "The counters are sampled at a fixed rate; R clears them, Enter stops.",
    "-gs " HBA "|all [<setting> <value> ...]\n"
    "-gs " HBA "|all reset",
    SETTINGS "reset\tReset the statistics counters."};

constexpr HelpTopic kHelpLinkStatus = {
    "Link Status",
    "Displays the link counters of ports and their targets.\n"
    "Sampled at a fixed rate; R resets, C and T show current or total values.",
    "-ls " HBA "|all [<setting> <value> ...]\n"
    "-ls " HBA "|all reset",
    SETTINGS "reset\tReset the firmware's link counters."};

constexpr HelpTopic kHelpBbcr = {
    "BB Credit Recovery",
    "Displays credit loss statistics or sets credit recovery.\n"
    "Buffer-to-buffer credit recovery is enabled with its BB_SC_N value.",
    "-bbcr " HBA " --stats [<setting> <value> ...]\n"
    "-bbcr " HBA " --info|--show|--disable\n"
    "-bbcr " HBA " --enable [<bb_sc_n>]",
    "--stats\tSample the transmitted and received credits lost.\n" SETTINGS
    "--info, --show\tDisplay the credit recovery setting and its state.\n"
    "--enable\tTurn credit recovery on.\n"
    "--disable\tTurn credit recovery off.\n"
    "<bb_sc_n>\tBB_SC_N value, 1-15; default: the configured one."};

constexpr HelpTopic kHelpTemperatureMonitor = {
    "Temperature Monitoring",
    "Monitors the board temperature of HBAs.\n"
    "Samples are taken at a fixed rate and checked against alarms.",
    "-tm " HBA "|all [<setting> <value> ...]",
    SETTINGS "LowAlarm (LO)\tLow alarm threshold, 0-5.\n"
             "HiAlarm (HI)\tHigh alarm threshold, 1-100."};

constexpr HelpTopic kHelpBoardTemperature = {"Board Temperature",
                                             "Displays the board temperature of HBAs.\n"
                                             "Without an HBA, or with all, every HBA is shown.",
                                             "-tr [all|" HBA "]", nullptr};

constexpr CommandRow kRows[] = {
    {"-gs",
     {},
     CommandCode::Statistics,
     ParseInto<MonitorRequest, ParseStatistics>,
     RunWith<MonitorRequest, RunStatistics>,
     &kHelpStatistics,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-ls",
     {},
     CommandCode::LinkStatus,
     ParseInto<MonitorRequest, ParseStatistics>,
     RunWith<MonitorRequest, RunLinkStatus>,
     &kHelpLinkStatus,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-bbcr",
     {},
     CommandCode::Bbcr,
     ParseInto<MonitorRequest, ParseBbcr>,
     RunWith<MonitorRequest, RunBbcr>,
     &kHelpBbcr,
     AdapterUse::One,
     kNeedsStartup,
     nullptr},
    {"-tm",
     {},
     CommandCode::TemperatureMonitor,
     ParseInto<MonitorRequest, ParseTemperatureMonitor>,
     RunWith<MonitorRequest, RunTemperatureMonitor>,
     &kHelpTemperatureMonitor,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
    {"-tr",
     {},
     CommandCode::BoardTemperature,
     ParseInto<MonitorRequest, ParseBoardTemperature>,
     RunWith<MonitorRequest, RunBoardTemperature>,
     &kHelpBoardTemperature,
     AdapterUse::OneOrAll,
     kNeedsStartup,
     nullptr},
};

} // namespace

std::span<const CommandRow> MonitorCommandRows() { return kRows; }
