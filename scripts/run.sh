#!/usr/bin/env bash
# Builds volk and runs it on the default simulated machine; arguments go to volk.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
# Without arguments show the host and its adapters.
if [ $# -eq 0 ]; then set -- -g; fi
exec build/bin/volk "$@"
