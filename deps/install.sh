#!/usr/bin/env bash
# Installs every Debian package the project needs: the union of deps/debian-*.txt
# (one package a line, '#' starts a comment). Needs root (or sudo).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t pkgs < <(cat "$here"/debian-*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${pkgs[@]}"
