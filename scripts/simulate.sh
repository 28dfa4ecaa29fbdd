#!/usr/bin/env bash
# The main job: boot the default platform, load the drivers, print what they did.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake --build "$root/build" --target platform_sim_cli
exec "$root/build/tools/platform_sim_cli" "$@"
