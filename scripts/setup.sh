#!/usr/bin/env bash
# Installs the Debian packages the build needs (those missing only), then configures and
# builds one configuration.
# Usage: scripts/setup.sh BUILD_DIR [cmake options...] [-- targets...]
# With targets after "--" only those (and what they need) are built; without, everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
shift || true

options=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then
        shift
        targets=("$@")
        break
    fi
    options+=("$1")
    shift
done

missing=()
while read -r pkg; do
    [ -z "$pkg" ] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done < "$root/scripts/packages.txt"
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

jobs=$(nproc)
cmake -S "$root" -B "$root/$build" "${options[@]}"
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$root/$build" -j "$jobs" --target "${targets[@]}"
else
    cmake --build "$root/$build" -j "$jobs"
fi
