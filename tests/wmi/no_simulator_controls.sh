#!/bin/sh
# libtavro reaches the simulated machine only through the interfaces a real
# machine offers: it neither calls a simulator control nor compiles with their
# header on its include path.
set -eu
lib=$1
commands=$2
undefined=$(nm -D --undefined-only "$lib")
if printf '%s\n' "$undefined" | grep VNSim; then
    echo "FAIL: $lib calls the simulator controls above"
    exit 1
fi
if ! printf '%s\n' "$undefined" | grep -q VNWmiQueryVirtualPorts; then
    echo "FAIL: $lib does not reach the WMI stand-in"
    exit 1
fi
if grep 'tavro_objects\.dir' "$commands" | grep -E 'platform/vnsdm/(src|sim)'; then
    echo "FAIL: libtavro compiles with the simulator's own headers in reach"
    exit 1
fi
echo "libtavro uses no simulator control"
