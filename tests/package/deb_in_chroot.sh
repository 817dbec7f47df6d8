#!/usr/bin/env bash
# The Debian package in a fresh Debian 12 made by debootstrap (Debian's own
# packages only): apt installs it with the dependencies it declares, the
# program runs, the manual page and the completion are where Debian keeps
# them, and the README's library example builds against the installed
# package and prints its sentence. Skipped (exit 77) with a line where
# debootstrap cannot run: not root, no debootstrap, no Debian mirror.
# Usage: deb_in_chroot.sh BUILD_DIR CONSUMER_SOURCE WORK
set -euo pipefail
build="$1" consumer="$2" work="$3"
skip() { echo "skipped: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "debootstrap needs root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (apt-get install debootstrap)"
command -v dpkg-shlibdeps >/dev/null || skip "dpkg-shlibdeps is not installed (apt-get install dpkg-dev)"

rm -rf "$work"
mkdir -p "$work"
(cd "$build" && timeout 300 cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || {
  tail -n 30 "$work/cpack.log"
  echo "cpack failed"
  exit 1
}
deb=$(ls "$work"/package/kovra-nmea_*.deb)

root="$work/root"
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}
if ! timeout 600 debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
  tail -n 5 "$work/debootstrap.log"
  skip "debootstrap could not make a Debian 12 root from $mirror"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/kovra-nmea.deb"
cp -r "$consumer" "$root/tmp/consumer"
# With /proc, as every Debian system has it (the loader finds $ORIGIN there),
# mounted in a mount namespace of the command's own, gone with it.
in_root() {
  timeout 900 unshare --mount --mount-proc="$root/proc" \
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"
}
in_root true 2>/dev/null || skip "a mount namespace with /proc cannot be made here (unshare)"

in_root apt-get update -qq >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; echo "apt-get update failed"; exit 1; }
if ! DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq --no-install-recommends \
    /tmp/kovra-nmea.deb >>"$work/apt.log" 2>&1; then
  tail -n 20 "$work/apt.log"
  echo "the package did not install with the dependencies it declares"
  exit 1
fi

failed=0
fail() { echo "FAILED: $*"; failed=1; }
out=$(in_root kovra-nmea --count 1 --time 2026-12-08T12:00:00Z --sentences RMC 2>&1) || fail "kovra-nmea: $out"
[[ $out == '$GNRMC,120000.00,A,'* ]] || fail "kovra-nmea printed: $out"
for file in /usr/share/man/man1/kovra-nmea.1 /usr/share/bash-completion/completions/kovra-nmea \
            /usr/lib/cmake/KovraNMEA/KovraNMEAConfig.cmake /usr/include/kovra/generator/KovraNMEAGenerator.h; do
  [ -f "$root$file" ] || fail "$file is not installed"
done

# The README's library example, built as another project builds it.
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq --no-install-recommends cmake g++ make \
    >>"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; echo "cmake and g++ did not install"; exit 1; }
if in_root cmake -S /tmp/consumer -B /tmp/out -DKOVRA_GENERATION=newest >"$work/consumer.log" 2>&1 &&
   in_root cmake --build /tmp/out >>"$work/consumer.log" 2>&1; then
  out=$(in_root /tmp/out/consumer | tr -d '\r')
  [ "$out" = '1.62 $GPZDA,201530.123,04,07,2002,00,00*50' ] || fail "the example printed: $out"
  updates=$(in_root /tmp/out/engine-consumer | grep -c '^\$GPRMC,201530\.[123]23,A,' || true)
  [ "$updates" -eq 3 ] || fail "the engine example printed $updates updates"
else
  tail -n 30 "$work/consumer.log"
  fail "the README's example did not build against the installed package"
fi
[ "$failed" -eq 0 ] || exit 1
rm -rf "$root"
echo "the package installs in a fresh Debian 12, runs, and builds the README's example"
