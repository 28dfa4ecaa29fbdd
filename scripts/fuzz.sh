#!/usr/bin/env bash
# A long fuzzing campaign: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is print, tag_store, flash_selection, profile, flash_image, form_rewrite,
# identify_text or smm_attack (SIM_ENGINE=emulated runs smm_attack on the shipped
# PowerEventLogSmm.efi instead of its host image). New inputs collect in build/fuzz/TARGET; the seeds in the repository
# (TARGET's corpus/ folder next to its source) are read, never written.
# Findings (crash-*, timeout-*) land in build/fuzz/findings/TARGET.
# For a campaign of a fixed size pass -runs=N and a SECONDS large enough.
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
folder=tests/fuzz
[ -x "$root/build/$folder/${target}_fuzz" ] || folder=tests/disk_info/fuzz
work="$root/build/fuzz/$target"
findings="$root/build/fuzz/findings/$target"
mkdir -p "$work" "$findings"
seeds=()
[ -d "$root/$folder/corpus/$target" ] && seeds+=("$root/$folder/corpus/$target")
exec "$root/build/$folder/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$findings/" "$@" "$work" "${seeds[@]}"
