// Rows of the commands whose areas are not built yet.
#pragma once

#include <span>

#include "command/table.h"

std::span<const CommandRow> PendingCommandRows();
