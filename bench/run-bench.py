#!/usr/bin/env python3
"""Measures zarn against the tools people would use instead.

Generates the benchmark inventories into the build folder (once; the
generator is deterministic), checks that every tool makes the same event-log
selection, then times whole processes: zarn validate, zarn analyze, a jq
filter, a Python script and a simdjson DOM parse. Prints a table, writes
the figures as JSON and plots time against size as SVG.
"""

import argparse
import json
import math
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "generate-inventory.py")
JQ_FILTER = os.path.join(HERE, "eventlog-selection.jq")
PY_SCRIPT = os.path.join(HERE, "eventlog-selection.py")
EVENT_LINE = "Found in system event log a message with event id"

EVENT_SIZES = (10000, 100000, 1000000)
# A big mixed server: thousands of disks, devices and services, hundreds of
# controllers and BIOS records, and a modest event log.
MIXED_SERVER = {"events": 20000, "disks": 4000, "controllers": 300, "bios": 300,
                "scsi-devices": 4000, "bad-stripes": 600, "pci-devices": 3000,
                "products": 2000, "services": 5000}
TOOLS = ("validate", "analyze", "simdjson", "jq", "python")


def log(message):
    print(message, file=sys.stderr, flush=True)


def generate(folder):
    """The inventories, generated when missing or older than the generator."""
    os.makedirs(folder, exist_ok=True)
    wanted = [("events-%d" % n, {"events": n}, n) for n in EVENT_SIZES]
    wanted.append(("mixed-server", MIXED_SERVER, None))
    inventories = []
    for name, knobs, records in wanted:
        path = os.path.join(folder, name + ".json")
        if not os.path.exists(path) or os.path.getmtime(path) < os.path.getmtime(GENERATOR):
            log("generating %s" % path)
            arguments = [sys.executable, GENERATOR, path + ".tmp"]
            for knob, value in knobs.items():
                arguments += ["--" + knob, str(value)]
            subprocess.run(arguments, check=True)
            os.replace(path + ".tmp", path)
        if records is None:
            records = sum(knobs.values())
        inventories.append({"name": name, "path": path, "bytes": os.path.getsize(path),
                            "records": records, "event_records": knobs["events"]})
    return inventories


def commands(tool, paths, inventory):
    return {
        "validate": [paths["zarn"], "validate", inventory],
        "analyze": [paths["zarn"], "analyze", "--format", "jsonl", inventory],
        "simdjson": [paths["simdjson"], inventory],
        "jq": [paths["jq"], "-r", "-f", JQ_FILTER, inventory],
        "python": [paths["python"], PY_SCRIPT, inventory],
    }[tool]


ACCEPTED_EXITS = {"analyze": (0, 1, 6)}


def run_once(tool, command, output=subprocess.DEVNULL):
    """Wall seconds, CPU seconds and peak RSS (bytes) of one whole process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=output, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    stderr = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode not in ACCEPTED_EXITS.get(tool, (0,)):
        sys.exit("%s failed with status %d: %s\n%s" % (tool, process.returncode,
                                                       " ".join(command), stderr))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024


def check_selections(paths, inventory):
    """Every tool finds the same event-log lines, or the race is unfair."""
    counts = {}
    for tool in ("analyze", "jq", "python"):
        result = subprocess.run(commands(tool, paths, inventory["path"]), capture_output=True,
                                text=True)
        counts[tool] = sum(EVENT_LINE in line for line in result.stdout.splitlines())
    if len(set(counts.values())) != 1:
        sys.exit("the tools disagree on %s: %s" % (inventory["name"], counts))
    log("%s: every tool selects %d event-log lines" % (inventory["name"], counts["analyze"]))
    return counts["analyze"]


def measure(tool, command, runs):
    run_once(tool, command)  # warms the page cache and the binaries
    samples = [run_once(tool, command) for _ in range(runs)]
    walls, cpus, peaks = zip(*samples)
    return {"wall_s": statistics.median(walls), "cpu_s": statistics.median(cpus),
            "peak_rss_bytes": int(statistics.median(peaks)), "walls_s": list(walls),
            "cpus_s": list(cpus)}


def ratios(figures):
    def wall(tool):
        return figures[tool]["wall_s"]
    return {"analyze/validate": wall("analyze") / wall("validate"),
            "analyze/simdjson": wall("analyze") / wall("simdjson"),
            "jq/analyze": wall("jq") / wall("analyze"),
            "python/analyze": wall("python") / wall("analyze")}


def goals(results):
    """The issue's goals, judged on the million-record inventory."""
    by_name = {entry["name"]: entry for entry in results}
    big, mid = by_name["events-1000000"], by_name["events-100000"]
    r = big["ratios"]
    per_record = big["analyze_us_per_record"] / mid["analyze_us_per_record"]
    rss = big["tools"]["analyze"]["peak_rss_bytes"] / big["bytes"]
    return [
        ("analyze <= 1.25 x validate", r["analyze/validate"] <= 1.25,
         "%.2f x" % r["analyze/validate"]),
        ("analyze <= simdjson DOM parse", r["analyze/simdjson"] <= 1.0,
         "%.2f x" % r["analyze/simdjson"]),
        (">= 8 x faster than jq", r["jq/analyze"] >= 8, "%.1f x" % r["jq/analyze"]),
        (">= 3 x faster than Python", r["python/analyze"] >= 3, "%.1f x" % r["python/analyze"]),
        ("peak RSS <= 1.5 x file size", rss <= 1.5, "%.2f x" % rss),
        ("time per record at 1M <= 1.25 x at 100k", per_record <= 1.25, "%.2f x" % per_record),
    ]


def megabytes(count):
    return count / 1e6


def print_table(results, goal_rows, load):
    print("\nWhole-process figures, median of %d runs each (wall seconds; CPU seconds in"
          " brackets)." % results[0]["runs"])
    print("Load average before/after: %.2f / %.2f on %d CPUs.\n" % (load[0], load[1],
                                                                   os.cpu_count()))
    header = "%-16s %8s %9s" % ("inventory", "MB", "records")
    for tool in TOOLS:
        header += " %17s" % tool
    print(header)
    for entry in results:
        line = "%-16s %8.1f %9d" % (entry["name"], megabytes(entry["bytes"]), entry["records"])
        for tool in TOOLS:
            figures = entry["tools"][tool]
            line += " %8.3f (%6.3f)" % (figures["wall_s"], figures["cpu_s"])
        print(line)
    print("\n%-16s" % "throughput MB/s" + "".join(" %17s" % tool for tool in TOOLS))
    for entry in results:
        print("%-16s" % entry["name"] + "".join(
            " %17.0f" % (megabytes(entry["bytes"]) / entry["tools"][tool]["wall_s"])
            for tool in TOOLS))
    print("\n%-16s" % "peak RSS MB" + "".join(" %17s" % tool for tool in TOOLS)
          + "  analyze/file")
    for entry in results:
        print("%-16s" % entry["name"] + "".join(
            " %17.1f" % megabytes(entry["tools"][tool]["peak_rss_bytes"]) for tool in TOOLS)
            + "  %11.2f" % (entry["tools"]["analyze"]["peak_rss_bytes"] / entry["bytes"]))
    names = list(results[0]["ratios"])
    print("\n%-16s" % "ratios" + "".join(" %17s" % name for name in names)
          + "  analyze us/record")
    for entry in results:
        print("%-16s" % entry["name"] + "".join(
            " %17.2f" % entry["ratios"][name] for name in names)
            + "  %17.3f" % entry["analyze_us_per_record"])
    print("\nGoals, on the million-record inventory:")
    for goal, met, figure in goal_rows:
        print("  %-42s %-8s %s" % (goal, "met" if met else "NOT MET", figure))


def plot(results, path):
    """Wall time against file size, both on log scales, one line per tool."""
    width, height, margin = 720, 460, 70
    colours = {"validate": "#1f77b4", "analyze": "#d62728", "simdjson": "#2ca02c",
               "jq": "#9467bd", "python": "#ff7f0e"}
    points = sorted(results, key=lambda entry: entry["bytes"])
    sizes = [megabytes(entry["bytes"]) for entry in points]
    times = [entry["tools"][tool]["wall_s"] for entry in points for tool in TOOLS]
    x_low, x_high = math.floor(math.log10(min(sizes))), math.ceil(math.log10(max(sizes)))
    y_low, y_high = math.floor(math.log10(min(times))), math.ceil(math.log10(max(times)))

    def x(size):
        return margin + (math.log10(size) - x_low) / (x_high - x_low) * (width - 2 * margin)

    def y(seconds):
        return height - margin - (math.log10(seconds) - y_low) / (y_high - y_low) * (
            height - 2 * margin)

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'font-family="sans-serif" font-size="12">' % (width, height),
             '<rect width="100%" height="100%" fill="white"/>',
             '<text x="%d" y="24" font-size="15">Whole-process wall time against inventory '
             'size</text>' % margin]
    for power in range(x_low, x_high + 1):
        parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>'
                     % (x(10 ** power), margin, x(10 ** power), height - margin))
        parts.append('<text x="%.1f" y="%d" text-anchor="middle">%g MB</text>'
                     % (x(10 ** power), height - margin + 18, 10 ** power))
    for power in range(y_low, y_high + 1):
        parts.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>'
                     % (margin, y(10 ** power), width - margin, y(10 ** power)))
        parts.append('<text x="%d" y="%.1f" text-anchor="end">%g s</text>'
                     % (margin - 6, y(10 ** power) + 4, 10 ** power))
    for index, tool in enumerate(TOOLS):
        coordinates = [(x(megabytes(entry["bytes"])), y(entry["tools"][tool]["wall_s"]))
                       for entry in points]
        parts.append('<polyline fill="none" stroke="%s" stroke-width="2" points="%s"/>' % (
            colours[tool], " ".join("%.1f,%.1f" % point for point in coordinates)))
        for cx, cy in coordinates:
            parts.append('<circle cx="%.1f" cy="%.1f" r="3" fill="%s"/>' % (cx, cy,
                                                                          colours[tool]))
        parts.append('<text x="%d" y="%d" fill="%s">%s</text>' % (
            margin + 10, margin + 16 * index + 12, colours[tool], tool))
    parts.append("</svg>")
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(parts) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the Release build folder")
    parser.add_argument("--runs", type=int, default=3, help="timed runs per figure (default 3)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    paths = {"zarn": os.path.join(build, "bin", "zarn"),
             "simdjson": os.path.join(build, "bin", "simdjson-parse"),
             "jq": shutil.which("jq"), "python": sys.executable}
    missing = [name for name, path in paths.items() if not path or not os.path.exists(path)]
    if missing:
        sys.exit("missing: %s (run 'make bench')" % ", ".join(missing))
    folder = os.path.join(build, "bench")
    inventories = generate(os.path.join(folder, "inventories"))
    for inventory in (inventories[0], inventories[-1]):
        inventory["selected_lines"] = check_selections(paths, inventory)

    load_before = os.getloadavg()[0]
    results = []
    for inventory in inventories:
        entry = dict(inventory, runs=args.runs, tools={})
        for tool in TOOLS:
            log("timing %s on %s" % (tool, inventory["name"]))
            entry["tools"][tool] = measure(tool, commands(tool, paths, inventory["path"]),
                                           args.runs)
        entry["ratios"] = ratios(entry["tools"])
        entry["analyze_us_per_record"] = (entry["tools"]["analyze"]["wall_s"] * 1e6
                                          / entry["records"])
        results.append(entry)
    load = (load_before, os.getloadavg()[0])
    goal_rows = goals(results)
    print_table(results, goal_rows, load)

    report = {"machine": {"cpus": os.cpu_count(), "platform": platform.platform(),
                          "load_average_before": load[0], "load_average_after": load[1]},
              "runs": args.runs, "inventories": results,
              "goals": [{"goal": goal, "met": met, "figure": figure}
                        for goal, met, figure in goal_rows]}
    with open(os.path.join(folder, "results.json"), "w", encoding="utf-8") as out:
        json.dump(report, out, indent=2)
    plot(results, os.path.join(folder, "time-vs-size.svg"))
    print("\nFigures: %s\nPlot:    %s" % (os.path.join(folder, "results.json"),
                                         os.path.join(folder, "time-vs-size.svg")))


if __name__ == "__main__":
    main()
