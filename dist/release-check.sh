#!/bin/sh
# release-check.sh BUILD: the .deb of build folder BUILD (cmake --build BUILD --target package),
# installed the way a user installs it, on a Debian 12 that has nothing else.
#
# It makes a fresh minimal Debian 12 root with debootstrap from this machine's Debian mirror, gives
# it this machine's apt sources, installs the package there with apt (which pulls in what the
# package asks for, recommendations included, as for a user), runs the installed capture tool in
# the root for a few seconds of show (SDL's offscreen driver: no X server) and checks that its frame
# equals the build tree's. It prints the package's size, the installed size (the package's own and
# with all it pulled in), the number of packages pulled in and the time each step took.
#
# Run as root, with debootstrap installed and the mirror reachable; a few minutes. The root lives
# under /var/tmp and is removed at the end (KEEP=1 keeps it).
set -eu

[ $# -eq 1 ] || { echo "usage: $0 BUILD-FOLDER" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "$0: run as root (debootstrap and chroot need it)" >&2; exit 1; }
build=$(readlink -f -- "$1")
deb=$(find "$build/packages" -maxdepth 1 -name 'ostravel_*.deb' | sort | tail -n 1)
[ -n "$deb" ] || { echo "no .deb in $build/packages: cmake --build $1 --target package" >&2; exit 1; }
at=3  # seconds of show: the frame compared
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
         awk '$2 == "bookworm" { print $1; exit }')
[ -n "$mirror" ] || { echo "$0: no bookworm mirror among this machine's apt sources" >&2; exit 1; }

work=$(mktemp -d /var/tmp/ostravel-release-XXXXXX)
root=$work/root
cleanup() {
    umount "$root/proc" 2>/dev/null || true
    [ "${KEEP:-0}" = 1 ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
now() { date +%s; }
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
used_kib() { du -sk -x "$root" | cut -f1; }

started=$(now)
echo "debootstrap --variant=minbase bookworm from $mirror ..."
debootstrap --variant=minbase bookworm "$root" "$mirror" > "$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"  # the capture tool finds its data through /proc/self/exe
# The same sources as this machine (updates and security too), so that the root gets the same
# Mesa, whose rendering the frame comparison relies on.
rm -f "$root/etc/apt/sources.list"
cp -L /etc/apt/sources.list "$root/etc/apt/" 2>/dev/null || true
cp -L /etc/apt/sources.list.d/* "$root/etc/apt/sources.list.d/" 2>/dev/null || true
in_root apt-get update -q > "$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; exit 1; }
in_root apt-get clean
bootstrapped=$(now)

packages_before=$(in_root dpkg-query -W | wc -l)
used_before=$(used_kib)
cp "$deb" "$root/tmp/"
echo "apt-get install ./$(basename "$deb") ..."
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" >> "$work/apt.log" 2>&1 ||
    { tail -n 30 "$work/apt.log"; exit 1; }
in_root apt-get clean
rm -f "$root/tmp/$(basename "$deb")"
packages_after=$(in_root dpkg-query -W | wc -l)
used_after=$(used_kib)
installed=$(now)

echo "ostravel-capture --at $at in the root ..."
mkdir "$root/tmp/frames"
in_root sh -c "cd /tmp/frames && ostravel-capture --at $at" > "$work/capture.log" 2>&1 ||
    { cat "$work/capture.log"; exit 1; }
captured=$(now)
mkdir "$work/built"
frame=$(printf 'frame-%07.2f.png' "$at")
"$build/tools/capture/ostravel-capture" --at "$at" --show "$build/show" --out "$work/built" > /dev/null
if cmp -s "$root/tmp/frames/$frame" "$work/built/$frame"; then
    verdict="equal to the build tree's"
else
    verdict="DIFFERS from the build tree's"
fi

kib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
echo
echo "package        $(basename "$deb"): $(kib $(($(stat -c %s "$deb") / 1024)))"
echo "installed size the package $(kib "$(in_root dpkg-query -W -f '${Installed-Size}' ostravel)"),"\
     "with what it pulled in $(kib $((used_after - used_before)))"
echo "pulled in      $((packages_after - packages_before - 1)) packages besides ostravel"\
     "(the minimal root had $packages_before)"
echo "frame at $at s  $verdict"
echo "time           debootstrap and apt update $((bootstrapped - started)) s,"\
     "apt-get install $((installed - bootstrapped)) s, capture $((captured - installed)) s,"\
     "in all $(($(now) - started)) s"
[ "$verdict" = "equal to the build tree's" ]
