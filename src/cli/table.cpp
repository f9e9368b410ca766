#include "cli/table.h"

#include <algorithm>
#include <vector>

#include "beacon/commands.h"
#include "binding/commands.h"
#include "cli/pending_commands.h"
#include "diag/commands.h"
#include "fcoe/commands.h"
#include "flash/commands.h"
#include "info/commands.h"
#include "monitor/commands.h"
#include "nvram/commands.h"
#include "targets/commands.h"
#include "vport/commands.h"

namespace {

std::vector<CommandRow> AssembleTable()
{
    std::vector<CommandRow> rows;
    for (std::span<const CommandRow> area :
         {InfoCommandRows(), NvramCommandRows(), VportCommandRows(), FlashCommandRows(),
          TargetCommandRows(), BindingCommandRows(), BeaconCommandRows(), FcoeCommandRows(),
          DiagCommandRows(), MonitorCommandRows(), CliCommandRows(), PendingCommandRows()})
        rows.insert(rows.end(), area.begin(), area.end());
    // Within a code the area's own order holds (a second word follows its first).
    std::stable_sort(rows.begin(), rows.end(), [](const CommandRow &a, const CommandRow &b) {
        return int(a.code) < int(b.code);
    });
    return rows;
}

} // namespace

std::span<const CommandRow> CommandTable()
{
    static const std::vector<CommandRow> table = AssembleTable();
    return table;
}

const CommandRow *FindCommandRow(std::string_view arg)
{
    for (const CommandRow &row : CommandTable())
        if (row.Spells(arg))
            return &row;
    return nullptr;
}

const CommandRow *FindCommandRow(CommandCode code)
{
    for (const CommandRow &row : CommandTable())
        if (row.code == code)
            return &row;
    return nullptr;
}

const char *CommandWordOf(CommandCode code)
{
    const CommandRow *row = FindCommandRow(code);
    return row ? row->word.data() : "";
}
