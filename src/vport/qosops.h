// The -qos operations on a physical port's virtual ports.
#pragma once

#include "tavro_api.h"
#include "vport/commands.h"

// Shows the QoS of the chosen virtual ports, or of those bound to the virtual fabrics.
int DisplayVportQos(FibreAdapter *adapter, const QosCommand &request);
// Applies lock, enable, type and value to the chosen virtual ports.
int UpdateVirtualPorts(FibreAdapter *adapter, const QosCommand &request);
// The same for the virtual ports bound to the request's virtual fabrics.
int UpdateVirtualFabrics(FibreAdapter *adapter, const QosCommand &request);
