#!/usr/bin/env python3
"""Prints the performance table from the results scripts/bench.sh gathered.

Rows that depend on the engine carry the engine's name; a new engine adds its
rows by appearing in the results directory, with no change here.

Results directory:
  print.json                     Google Benchmark JSON of print_bench (repetitions)
  instructions.<engine>.<op>     one integer: instructions of one call of <op>
  boots.<engine>                 "boots <n> seconds <t>"
"""
import json
import math
import os
import statistics
import sys

PRINT_GOAL_OVERALL = 0.8
PRINT_GOAL_EACH = 1.5
OPERATIONS = [
    ("entry", "PlatformConfigDxe boot entry"),
    ("update", "UpdateSetupPolicy"),
    ("load", "LoadPlatformConfig"),
    ("append", "PowerEventLogSmm AppendEvent (in an SMI)"),
]


def print_times(path):
    """Median CPU time per iteration of each benchmark, in ns, in registration order."""
    with open(path) as handle:
        data = json.load(handle)
    runs = {}
    order = {}
    for run in data["benchmarks"]:
        if run.get("run_type") != "iteration":
            continue
        runs.setdefault(run["run_name"], []).append(run["cpu_time"] * unit_scale(run["time_unit"]))
        order[run["run_name"]] = run["family_index"]
    # Registration order, whatever order the interleaved runs came in.
    return {name: statistics.median(runs[name]) for name in sorted(runs, key=order.get)}


def unit_scale(unit):
    return {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]


def engines_with(results, prefix):
    names = set()
    for entry in os.listdir(results):
        if entry.startswith(prefix + "."):
            names.add(entry.split(".")[1])
    # The host engine first, the others in name order.
    return sorted(names, key=lambda name: (name != "host", name))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: table.py RESULTS_DIR IMAGE_DIR")
    results, images = sys.argv[1], sys.argv[2]
    rows = []

    times = print_times(os.path.join(results, "print.json"))
    cases = [name.split("/", 1)[1] for name in times if name.startswith("engine/")]
    ratios = []
    for case in cases:
        engine, c = times["engine/" + case], times["snprintf/" + case]
        ratio = engine / c
        ratios.append(ratio)
        verdict = "ok" if ratio <= PRINT_GOAL_EACH else "over goal"
        rows.append(("print engine / snprintf", case, "-", f"{ratio:.2f}x",
                     f"{engine:.1f} ns / {c:.1f} ns; goal <= {PRINT_GOAL_EACH}x: {verdict}"))
    total_engine = sum(times["engine/" + case] for case in cases)
    total_c = sum(times["snprintf/" + case] for case in cases)
    overall = total_engine / total_c
    verdict = "ok" if overall <= PRINT_GOAL_OVERALL else "over goal"
    rows.append(("print engine / snprintf", "overall (whole mix, one call of each)", "-", f"{overall:.2f}x",
                 f"{total_engine:.1f} ns / {total_c:.1f} ns; goal <= {PRINT_GOAL_OVERALL}x: {verdict}"))
    geomean = math.exp(sum(math.log(r) for r in ratios) / len(ratios))
    rows.append(("print engine / snprintf", "geometric mean of the formats", "-", f"{geomean:.2f}x", ""))

    for name in sorted(os.listdir(images)) if os.path.isdir(images) else []:
        if name.endswith(".efi"):
            size = os.path.getsize(os.path.join(images, name))
            rows.append(("image size", name, "-", f"{size} bytes", ""))

    for engine in engines_with(results, "instructions"):
        for op, label in OPERATIONS:
            path = os.path.join(results, f"instructions.{engine}.{op}")
            if os.path.exists(path):
                with open(path) as handle:
                    count = int(handle.read().strip())
                rows.append(("instructions per operation", label, engine, f"{count:,}", ""))

    for engine in engines_with(results, "boots"):
        with open(os.path.join(results, f"boots.{engine}")) as handle:
            fields = handle.read().split()
        boots, seconds = int(fields[1]), float(fields[3])
        rows.append(("default-platform boots per second", "one platform rebooted, driver at steady state", engine,
                     f"{boots / seconds:.1f}", f"{boots} boots in {seconds:.2f} s"))
    story = {}
    for engine in engines_with(results, "story"):
        with open(os.path.join(results, f"story.{engine}")) as handle:
            fields = handle.read().split()
        count, seconds = int(fields[1]), float(fields[3])
        story[engine] = seconds / count
        rows.append(("default story wall time", "the main job's story on a new platform", engine,
                     f"{1000 * seconds / count:.2f} ms", f"{count} runs in {seconds:.2f} s"))
    if "host" in story and "emulated" in story:
        ratio = story["emulated"] / story["host"]
        rows.append(("engine wall time", "emulated / host, default story", "-", f"{ratio:.2f}x",
                     "goal <= 3x: " + ("ok" if ratio <= 3 else "missed")))

    header = ("Measure", "Item", "Engine", "Value", "Detail")
    widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]

    def line(cells):
        return "| " + " | ".join(str(cell).ljust(width) for cell, width in zip(cells, widths)) + " |"

    print(line(header))
    print("|" + "|".join("-" * (width + 2) for width in widths) + "|")
    for row in rows:
        print(line(row))


if __name__ == "__main__":
    main()
