#!/usr/bin/env bash
# A long fuzzing campaign: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is print, tag_store or flash_selection. New inputs collect in
# build/fuzz/TARGET; the seeds in tests/fuzz/corpus/TARGET are read, never written.
# Findings (crash-*, timeout-*) land in build/fuzz/findings/TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
"$root/scripts/setup.sh"
cmake --build "$root/build" --target "${target}_fuzz"
work="$root/build/fuzz/$target"
findings="$root/build/fuzz/findings/$target"
mkdir -p "$work" "$findings"
exec "$root/build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$findings/" "$@" "$work" "$root/tests/fuzz/corpus/$target"
