// Adapter and port information: the device list, the general information of
// a port, port status texts and host information. Each display describes its
// content once; the current renderer writes it as text or XML.
#pragma once

#include <string>
#include <vector>

#include "device/device.h"
#include "render/renderer.h"
#include "tavro_api.h"

// Port status text (at most 31 characters).
std::string GetAdapterStatus(const DeviceRecord &rec);
// The negotiated data rate; "Unknown" while the link is down, whatever speed
// the port last had.
std::string ActualDataRateText(const DeviceRecord &rec);

// The general information record of one port (a GeneralInfo element in XML).
void DescribeGeneralInfo(Renderer &r, const FibreAdapter &a, DeviceRecord &rec);
// General information of the given ports, headed by the time and date for the
// summary report; the FCoE engine entries are left out (they share the
// identity of the port they were made from).
int32_t DisplayGeneralInfo(const std::vector<FibreAdapter *> &ports, bool withHeading);

// Host name and operating system (a Host element in XML). With closeDocument
// false the XML document stays open for the device list that follows (-g).
int32_t DisplayHostInformation(bool closeDocument);
// The device list, grouped by adapter; in XML inside the document already
// open, or a document of its own.
int32_t DisplayVantorDevices();
