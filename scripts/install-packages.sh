#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mapfile -t pkgs < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi
