// The virtual-port layer: NPIV slot tables and virtual fabrics of the ports.
#pragma once

// Reads the virtual ports of every physical port of the core device list.
int VNWmiGetVPortInfo();
// Reads the virtual fabric binding of those virtual ports.
int VNWmiGetVSANInfo();
