#!/usr/bin/env bash
# The fault table of the sweeps: per sweep the faults injected (runs) and the runs that
# failed or crashed, then what each power cut lost (consecutive cuts with the same loss
# share a line). scripts/fault_table.sh [host|emulated]  (default: host)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
engine=${1:-host}
"$root/scripts/setup.sh"
cmake --build "$root/build" --target fault_sweep_test >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
(cd "$root/build/tests/sweeps" && SIM_ENGINE=$engine ./fault_sweep_test) >"$out" 2>&1 || status=$?
python3 - "$out" "$engine" "$status" <<'EOF'
import re, sys
from collections import OrderedDict

text = open(sys.argv[1], errors="replace").read().splitlines()
engine, status = sys.argv[2], int(sys.argv[3])

suites = OrderedDict([("AllocationSweep", "allocation failure (n-th allocation fails)"),
                      ("DeadHardwareSweep", "dead hardware (scenario x device)"),
                      ("DeadFlashFlush", "dead flash under the tag store flush"),
                      ("PowerCutSweep", "power cuts, tag store erase path (per flash kind)"),
                      ("LogPowerCut", "power cuts, every \"PLOG\" write command")])
runs = {name: 0 for name in suites}
failed = {name: 0 for name in suites}
for line in text:
    match = re.match(r"\[\s+(OK|FAILED)\s+\] (?:\w+/)?(\w+)\.", line)
    if match and match.group(2) in runs and " ms)" in line:
        runs[match.group(2)] += 1
        failed[match.group(2)] += match.group(1) == "FAILED"
sanitizer = sum("ERROR: AddressSanitizer" in l or "runtime error:" in l for l in text)

cuts = sum(bool(re.match(r"\s+cut (after|during)\s+command", line)) for line in text)

print(f"Fault sweeps on the {engine} engine (exit status {status}, sanitizer reports {sanitizer})")
print()
print("| sweep | faults injected (runs) | failed or crashed |")
print("|---|---|---|")
for name, title in suites.items():
    injected = runs[name]
    if name == "PowerCutSweep":
        injected = f"{cuts} cuts in {runs[name]} runs"
    print(f"| {title} | {injected} | {failed[name]} |")
print()

# Power cuts: "power cuts on X flash" headers, "  cut after command N: B bytes lost in R",
# and the log's "Scenario / phase, cut after command N: B bytes lost[, the event not logged]".
print("| scenario | cut | records lost | bytes lost |")
print("|---|---|---|---|")
rows = []
flash = None
for line in text:
    header = re.match(r"power cuts on (\w+) flash: (\d+) commands", line)
    if header:
        flash = f"tag store flush on {header.group(1)} ({header.group(2)} commands)"
        continue
    cut = re.match(r"\s+cut (after|during)\s+command\s+(\d+): (\d+) bytes lost in (.*)", line)
    if cut and flash:
        rows.append((flash, cut.group(1), int(cut.group(2)), cut.group(4), int(cut.group(3))))
        continue
    log = re.match(r"(\w+) / (.+), cut (after|during) command (\d+): (\d+) bytes lost in ([^,]*(?:,[A-Z0-9_]{4})*)(.*)",
                   line)
    if log:
        lost = log.group(6) + (" (the event being written)" if "not logged" in log.group(7) else "")
        rows.append((f"{log.group(1)} / {log.group(2)}", log.group(3), int(log.group(4)), lost, int(log.group(5))))

# Cuts of one scenario and kind that lose the same records, next to each other in
# command order, share a line with the range of bytes lost (on a byte-programmed part the sweep samples the programs: a range there
# covers the sampled cuts within it).
merged = []
for scenario, when, command, records, lost in sorted(rows, key=lambda r: (r[0], r[1], r[2])):
    last = merged[-1] if merged else None
    if last and last[0] == scenario and last[1] == when and last[4] == records:
        last[3] = command
        last[5].append(lost)
    else:
        merged.append([scenario, when, command, command, records, [lost]])
for scenario, when, first, last, records, lost in merged:
    span = f"{first}" if first == last else f"{first}-{last}"
    size = f"{lost[0]}" if min(lost) == max(lost) else f"{max(lost)} down to {min(lost)}"
    print(f"| {scenario} | {when} command {span} | {records} | {size} |")
EOF
exit "$status"
