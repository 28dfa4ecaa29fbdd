#!/usr/bin/env bash
# Builds everything (host side under ASan and UBSan, firmware images) and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake --build "$root/build"
cd "$root/build"
ctest --output-on-failure -j "$(nproc)"
