#!/usr/bin/env bash
# volk -i all --json, read by python's JSON parser: ports with WWPNs, and the
# whole status of a failure that the shell sees cut to 8 bits.
set -euo pipefail
volk=$1 python=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export VNSDM_STATE=$dir/state.db TAVRO_HBA_CONF=$dir/hba.conf TAVRO_CLOCK_SCALE=1000

"$volk" -i all --json >"$dir/all.json"
"$python" -m json.tool "$dir/all.json" >/dev/null
"$python" - "$dir/all.json" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
assert doc["status"] == 0, doc
assert doc["AppName"], doc
assert "ErrorMsg" not in doc, doc
text = json.dumps(doc)
assert text.count("WWPN") >= 2, "no ports with WWPNs"
PY

set +e
"$volk" -i 50 --json >"$dir/fail.json"
code=$?
set -e
[[ $code == 8 ]] || { echo "exit code $code, expected 8"; exit 1; }
"$python" -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["status"] == 8 and d["ErrorMsg"], d' "$dir/fail.json"
echo ok
