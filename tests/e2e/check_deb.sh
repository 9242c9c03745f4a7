#!/bin/sh
# check_deb.sh CPACK CONFIG: makes the .deb and checks what it asks apt for. Its libraries come
# from dpkg-shlibdeps, so they are run-time packages, never -dev ones; what the binaries load only
# at run time (the Mesa drivers, the font) must be named, or an installation renders nothing.
set -eu
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1" --config "$2" -G DEB -B "$out" > "$out/log" 2>&1 || { cat "$out/log"; exit 1; }
deb=$(find "$out" -name '*.deb')
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
names=$(printf '%s, %s\n' "$depends" "$recommends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g')
status=0
if printf '%s\n' "$names" | grep -e '-dev$'; then
    echo "FAILED: development packages among the dependencies" >&2
    status=1
fi
# libsdl2-2.0-0 and libc6 stand for what dpkg-shlibdeps finds.
for name in libegl1 libgl1-mesa-dri libglx-mesa0 libegl-mesa0 fonts-liberation2 libsdl2-2.0-0 libc6; do
    if ! printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g' | grep -qx -- "$name"; then
        echo "FAILED: Depends does not name $name" >&2
        status=1
    fi
done
[ "$recommends" = ffmpeg ] || { echo "FAILED: ffmpeg is not the recommendation" >&2; status=1; }
exit $status
