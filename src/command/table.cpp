#include "command/table.h"

#include "base/status.h"
#include "render/output.h"

bool CommandRow::Spells(std::string_view arg) const
{
    if (OptionIs(arg, word))
        return true;
    for (std::string_view alias : aliases)
        if (!alias.empty() && OptionIs(arg, alias))
            return true;
    return false;
}

int OptionDisabled() { return ReportFailure(kStatusDisabled, "Option is currently disabled!"); }

int RunNotBuilt(const AdapterChoice &, const CommandInput &) { return OptionDisabled(); }
