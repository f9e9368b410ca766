// The FCoE engine command.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "command/table.h"
#include "tavro_api.h"

enum class FcoeAction {
    None,
    GeneralInfo,
    GetParams,
    SetParams,
    Reset,
    LoadFirmware,
    Statistics, // view in FcoeCommand::stats
    ReadMemory,
    WriteMemory,
    LogLayout,
    LogData,
    PanicLog,
    Other, // words this command does not offer
};

enum class FcoeStats {
    None,
    Asic,
    Cpu,
    Ethernet,
    Fc,
    Nsl
};

// One engine parameter as the user names it, with its range and refusal.
struct FcoeParamSpec {
    const char *name;
    const char *alias;
    long min;
    long max;
    const char *message; // null: the engine judges the value
};
// In TAVRO_FCOE_... order.
std::span<const FcoeParamSpec> FcoeEngineParamTable();

// -fcoe: what to do, on which engine port, with which values.
struct FcoeCommand {
    FcoeAction action = FcoeAction::None;
    int port = -1; // --port0, --port1 or PortSelection; -1 both
    TavroFcoeParams params{};
    std::string fileName; // --loadfw
    FcoeStats stats = FcoeStats::None;
    uint32_t address = 0; // --read, --write
    uint32_t length = 0;  // --read
    uint32_t value = 0;   // --write
    int logId = -1;       // --id
    std::vector<std::string> words;

    FcoeCommand()
    {
        for (int32_t &v : params.values)
            v = -1;
    }
};

std::span<const CommandRow> FcoeCommandRows();
