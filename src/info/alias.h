// Adapter and port aliases, kept in the alias property files.
#pragma once

#include <string>

#include "tavro_api.h"

// Keys: "host.<serial>.hba.alias" and
// "adapter.wwnn.<WWNN>.wwpn.<WWPN>.name".
std::string AdapterAliasKey(const FibreAdapter &a);
std::string PortAliasKey(const FibreAdapter &a);
// The alias, empty when none.
std::string GetAdapterAlias(const FibreAdapter &a, int kind);
// 0 on success, else the failure of the property writer.
int SetAdapterAlias(const FibreAdapter &a, int kind, const std::string &alias);
