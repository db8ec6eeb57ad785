#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt, and any named on the command line,
# that are missing. Runs apt-get directly as root, through sudo otherwise; without either it says
# which packages are missing and fails.
#   scripts/install-packages.sh [package ...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t pkgs < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
pkgs+=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "Missing Debian packages (${missing[*]}) can only be installed by root: run 'apt-get install ${missing[*]}' as root, then run this command again." >&2
    exit 1
  fi
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
