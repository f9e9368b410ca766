// Adapter and port information: the device list, general information of a
// port in text and XML, port status texts and host information.
#pragma once

#include <string>

#include "device/device.h"
#include "tavro_api.h"

// Port status text (at most 31 characters).
std::string GetAdapterStatus(const DeviceRecord &rec);
// Lines of the general information block of one port (text mode).
void PrintHBAGenInfos(const FibreAdapter &a, DeviceRecord &rec);
// The GeneralInfo element of one port (XML mode), without the frame.
void EmitHBAGenInfoXml(const FibreAdapter &a, DeviceRecord &rec);
// Host section opening lines (XML) or the host lines (text).
void PrintHostInformation();
void EmitHostXmlOpen(bool withOs);
void EmitHostXmlClose();
