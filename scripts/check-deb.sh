#!/usr/bin/env bash
# Checks a built volk package in a scratch root (dpkg --root, maintainer
# scripts run chrootless with DPKG_ROOT): its contents and dependencies, the
# install (kept files copied, the SNIA vendor line listed, volk runs, the man
# page renders), and that purge leaves hba.conf exactly as it was before.
# It never installs anything on this machine's own root.
#   bash scripts/check-deb.sh build/volk_<version>_amd64.deb
set -euo pipefail
deb=$(realpath "$1")
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "== $*"; }

step "dpkg-deb -I"
dpkg-deb -I "$deb" | tee "$root/info.txt"
grep -q "Depends:.*libhbaapi2" "$root/info.txt" || fail "no dependency on libhbaapi2"
for s in postinst postrm conffiles; do grep -qw "$s" "$root/info.txt" || fail "no $s"; done

step "dpkg-deb -c"
dpkg-deb -c "$deb" | awk '{print $6}' | tee "$root/contents.txt"
for p in ./usr/bin/volk ./usr/lib/volk/libtavro.so ./usr/lib/volk/libvnhbaapi.so \
    ./etc/volk/adapters.properties ./etc/volk/fcvolk-exitcodes.txt \
    ./usr/share/man/man1/volk.1 ./usr/share/bash-completion/completions/volk \
    ./usr/share/volk/defaults/agent.properties; do
    grep -qx "$p" "$root/contents.txt" || fail "package lacks $p"
done
# The user's files are postinst's to create, never the package's.
! grep -qx ./etc/volk/agent.properties "$root/contents.txt" || fail "package holds agent.properties"

mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log" "$root/etc"
touch "$root/var/lib/dpkg/status"
# Another vendor's line without a line end: the hardest file to give back as it was.
printf '# SNIA HBA API vendor libraries\nexample.other\t/opt/other/libother.so' >"$root/etc/hba.conf"
cp "$root/etc/hba.conf" "$root/hba.conf.before"
dpkg_root() { dpkg --root="$root" --log="$root/var/log/dpkg.log" --force-script-chrootless \
    --force-depends "$@"; }

step "dpkg -i"
dpkg_root -i "$deb"
grep -qP '^com\.vantor\.corvane\t/usr/lib/volk/libvnhbaapi\.so$' "$root/etc/hba.conf" ||
    fail "postinst did not list the vendor library: $(cat "$root/etc/hba.conf")"
grep -qx 'example.other	/opt/other/libother.so' "$root/etc/hba.conf" || fail "other vendor line changed"
for f in brask.properties menu.properties agent.properties flashcfg.properties; do
    [[ -f $root/etc/volk/$f ]] || fail "postinst did not install $f"
done

step "volk -g, volk -i all --json, man volk (from the scratch root)"
state=$(mktemp -d)
VNSDM_STATE=$state/state.db TAVRO_HBA_CONF=$state/hba.conf "$root/usr/bin/volk" -g >"$state/g.txt"
head -20 "$state/g.txt"
VNSDM_STATE=$state/state.db TAVRO_HBA_CONF=$state/hba.conf "$root/usr/bin/volk" -i all --json |
    python3 -m json.tool >/dev/null
rm -rf "$state"
MANPAGER=cat MANWIDTH=80 man -l "$root/usr/share/man/man1/volk.1" >"$root/man.txt"
head -12 "$root/man.txt"
grep -q "EXIT STATUS" "$root/man.txt" || fail "man volk shows no page"

step "aliases survive a reinstall (upgrade)"
echo "host.test.hba.alias=kept" >>"$root/etc/volk/agent.properties"
cp "$root/etc/volk/agent.properties" "$root/agent.before"
dpkg_root -i "$deb"
cmp -s "$root/agent.before" "$root/etc/volk/agent.properties" || fail "reinstall replaced aliases"
[[ $(grep -c corvane "$root/etc/hba.conf") == 1 ]] || fail "reinstall listed the library twice"

step "dpkg --purge"
dpkg_root --purge volk
cmp "$root/hba.conf.before" "$root/etc/hba.conf" || fail "purge left hba.conf changed"
[[ ! -e $root/etc/volk/agent.properties ]] || fail "purge left the user's files"
echo "OK: $deb"
