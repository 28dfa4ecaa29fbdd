#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers in build-bench/ and prints
# the performance table: print engine against snprintf, image sizes, instructions
# per driver operation (callgrind) and default-platform boots per second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench="$root/build-bench"
# Engines the driver measurements run on; an engine that driver_ops knows joins
# the table by being named here.
engines=(host emulated)

"$root/scripts/setup.sh"
if ! command -v valgrind >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends valgrind
  else
    echo "missing package: valgrind (run as root to install it)" >&2
    exit 1
  fi
fi

if [ ! -f "$bench/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSIM_SANITIZE=OFF >/dev/null
fi
cmake --build "$bench" --target print_bench driver_ops firmware_images >/dev/null

results="$bench/results"
rm -rf "$results"
mkdir -p "$results"

# Engine and snprintf pairs, interleaved in random order and repeated, so that
# both sides of a ratio see the same machine load.
"$bench/bench/print_bench" --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.05 --benchmark_out="$results/print.json" --benchmark_out_format=json >/dev/null 2>"$results/print.log"

# Instructions of one call of each operation. The host engine is counted by
# callgrind: collection is on only inside the image entry point, or between
# the client requests around a protocol call.
callgrind_total() {
  sed -n 's/^summary: *\([0-9]*\).*/\1/p' "$1"
}
for engine in "${engines[@]}"; do
  for op in entry update load append; do
    if [ "$engine" = host ]; then
      if [ "$op" = entry ]; then
        collect=(--toggle-collect=ImageEntryPoint)
      else
        collect=()
      fi
      out="$results/callgrind.$op.out"
      valgrind --tool=callgrind --collect-atstart=no "${collect[@]}" --callgrind-out-file="$out" \
        "$bench/bench/driver_ops" --engine host --count "$op" 2>"$results/callgrind.$op.log" >/dev/null
      callgrind_total "$out" >"$results/instructions.host.$op"
    else
      "$bench/bench/driver_ops" --engine "$engine" --count "$op" |
        sed -n 's/^instructions \([0-9]*\)$/\1/p' >"$results/instructions.$engine.$op"
    fi
  done
  "$bench/bench/driver_ops" --engine "$engine" --boots 3 >"$results/boots.$engine"
  "$bench/bench/driver_ops" --engine "$engine" --story 3 >"$results/story.$engine"
done

python3 "$root/bench/table.py" "$results" "$bench/images"
