#!/usr/bin/env bash
# cmake --install into a DESTDIR stage: every path of the README's installed
# layout is there, the staged volk finds its libraries and its installation
# directory, and a second install keeps the user's property files.
set -euo pipefail
cmake=$1 build=$2 prefix=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR=$stage "$cmake" --install "$build" >"$stage/install1.log"
root=$stage$prefix
# /usr keeps its configuration in /etc; any other prefix in <prefix>/etc.
if [[ $prefix == /usr ]]; then sysconf=$stage/etc; else sysconf=$root/etc; fi

# The README's layout block: one path a line, <prefix> and <sysconfdir> in front.
mapfile -t paths < <(awk '/^```layout$/ {on = 1; next} /^```$/ {on = 0} on && NF {print $1}' \
    "$source_dir/README.md")
((${#paths[@]} >= 10)) || fail "README has no installed layout block"
for p in "${paths[@]}"; do
    p=${p//<prefix>/$root}
    p=${p//<sysconfdir>/$sysconf}
    [[ -e $p ]] || fail "missing after install: $p"
done

# The staged program runs from anywhere, on a private machine state.
export VNSDM_STATE=$stage/state.db TAVRO_HBA_CONF=$stage/hba.conf TAVRO_CLOCK_SCALE=1000
cd /
"$root/bin/volk" -g >"$stage/g.txt" || fail "volk -g: $(cat "$stage/g.txt")"
grep -q "CV-" "$stage/g.txt" || fail "volk -g lists no adapter: $(cat "$stage/g.txt")"
# The exit codes file is found in the installation directory.
# (Through a file: grep -q would close the pipe before volk is done writing.)
"$root/bin/volk" -ei >"$stage/ei.txt" || fail "volk -ei failed"
grep -q VPORT_WWPN_RESERVED "$stage/ei.txt" || fail "volk -ei does not read its exit codes"
[[ ! -e $stage/hba.conf ]] || fail "the SNIA configuration file was left changed"

# The user's files survive a second install; a missing one comes back.
"$root/bin/volk" -ha 0 staged-alias >/dev/null || fail "volk -ha"
grep -q staged-alias "$sysconf/volk/agent.properties" || fail "alias not in the installation directory"
cp "$sysconf/volk/agent.properties" "$stage/agent.before"
echo "node.app.core.aen.enable=0" >>"$sysconf/volk/brask.properties"
cp "$sysconf/volk/brask.properties" "$stage/brask.before"
rm "$sysconf/volk/menu.properties"
DESTDIR=$stage "$cmake" --install "$build" >"$stage/install2.log"
cmp -s "$stage/agent.before" "$sysconf/volk/agent.properties" || fail "install replaced agent.properties"
cmp -s "$stage/brask.before" "$sysconf/volk/brask.properties" || fail "install replaced brask.properties"
[[ -f $sysconf/volk/menu.properties ]] || fail "install did not restore menu.properties"
"$root/bin/volk" -ha 0 view >"$stage/view.txt" || fail "volk -ha 0 view failed"
grep -q staged-alias "$stage/view.txt" || fail "alias lost after the second install"
echo ok
