#!/usr/bin/env bash
# Sets up and builds the game, then starts it in its staged game folder.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$root/build/game"
exec ./dorvale
