#!/usr/bin/env bash
# Sets up and builds what the game needs (the program, its staged scripts and generated
# data; no tests or benchmarks), then starts it in its staged game folder.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo -- dorvale stage_local game_data
cd "$root/build/game"
exec ./dorvale
