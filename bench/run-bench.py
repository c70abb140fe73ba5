#!/usr/bin/env python3
"""Measures zarn against the tools people would use instead.

Generates the benchmark inventories into the build folder (once; the
generator is deterministic), checks that every tool makes the same event-log
selection, then times whole processes: zarn validate, zarn analyze with text
and with JSONL output to a file, a jq filter, a Python script, a simdjson
DOM parse and the JSON library's bare parse (the floor). Then times many
typical inventories analysed at once against a shell loop (fleet-bench.py).
Prints one table, judges every target, writes the figures as JSON and plots
time against size as SVG.
"""

import argparse
import importlib.util
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
FLEET_BENCH = os.path.join(HERE, "fleet-bench.py")
EVENT_LINE = "Found in system event log a message with event id"

EVENT_SIZES = (10000, 100000, 1000000)
# A failing controller floods the log: one record in five is a driver
# message the event-log check reports.
FLOODED = ("events-flooded-1000000", {"events": 1000000, "flood": 20}, 1000000)
# A big mixed server: thousands of disks, devices and services, hundreds of
# controllers and BIOS records, and a modest event log.
MIXED_SERVER = {"events": 20000, "disks": 4000, "controllers": 300, "bios": 300,
                "scsi-devices": 4000, "bad-stripes": 600, "pci-devices": 3000,
                "products": 2000, "services": 5000}
TOOLS = ("validate", "analyze", "analyze-jsonl", "simdjson", "floor", "jq", "python")
ANALYZE = {"text": "analyze", "jsonl": "analyze-jsonl"}


def log(message):
    print(message, file=sys.stderr, flush=True)


def generate(folder):
    """The inventories, generated when missing or older than the generator."""
    os.makedirs(folder, exist_ok=True)
    wanted = [("events-%d" % n, {"events": n}, n) for n in EVENT_SIZES]
    wanted.append(FLOODED)
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
            records = sum(value for knob, value in knobs.items() if knob != "flood")
        inventories.append({"name": name, "path": path, "bytes": os.path.getsize(path),
                            "records": records, "event_records": knobs["events"]})
    return inventories


def commands(tool, paths, inventory):
    return {
        "validate": [paths["zarn"], "validate", inventory],
        "analyze": [paths["zarn"], "analyze", inventory],
        "analyze-jsonl": [paths["zarn"], "analyze", "--format", "jsonl", inventory],
        "simdjson": [paths["simdjson"], inventory],
        "floor": [paths["floor"], inventory],
        "jq": [paths["jq"], "-r", "-f", JQ_FILTER, inventory],
        "python": [paths["python"], PY_SCRIPT, inventory],
    }[tool]


ACCEPTED_EXITS = {"analyze": (0, 1, 6), "analyze-jsonl": (0, 1, 6)}


def run_once(tool, command, output_path):
    """Wall seconds, CPU seconds and peak RSS (bytes) of one whole process,
    its output written to a file as a user would keep it."""
    with open(output_path, "wb") as output:
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
        # Read as it comes: a child starts with its parent's peak RSS, so this
        # process must stay small for the figures of the children it times.
        with subprocess.Popen(commands(tool, paths, inventory["path"]), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL) as process:
            counts[tool] = sum(EVENT_LINE.encode() in line for line in process.stdout)
    if len(set(counts.values())) != 1:
        sys.exit("the tools disagree on %s: %s" % (inventory["name"], counts))
    log("%s: every tool selects %d event-log lines" % (inventory["name"], counts["analyze"]))
    return counts["analyze"]


def measure(paths, inventory, runs, output_path):
    """Every tool's figures on one inventory. The tools take turns, one run
    each a round, so that what else the machine runs meanwhile weighs on
    all of them alike and their ratios compare like with like."""
    tools = {tool: commands(tool, paths, inventory["path"]) for tool in TOOLS}
    for tool, command in tools.items():
        run_once(tool, command, output_path)  # warms the page cache and the binaries
    samples = {tool: [] for tool in TOOLS}
    for round_number in range(runs):
        log("timing round %d of %d on %s" % (round_number + 1, runs, inventory["name"]))
        for tool, command in tools.items():
            samples[tool].append(run_once(tool, command, output_path))
    figures = {}
    for tool in TOOLS:
        walls, cpus, peaks = zip(*samples[tool])
        figures[tool] = {"wall_s": statistics.median(walls), "cpu_s": statistics.median(cpus),
                         "peak_rss_bytes": int(statistics.median(peaks)),
                         "walls_s": list(walls), "cpus_s": list(cpus)}
    return figures


def ratios(figures):
    def wall(tool):
        return figures[tool]["wall_s"]
    result = {}
    for output, analyze in ANALYZE.items():
        result["%s/simdjson" % output] = wall(analyze) / wall("simdjson")
        result["jq/%s" % output] = wall("jq") / wall(analyze)
        result["python/%s" % output] = wall("python") / wall(analyze)
    result["validate/floor"] = wall("validate") / wall("floor")
    return result


def targets(results, baseline):
    """The targets, judged on each million-record inventory: analyze, with
    either output, no slower than parsing the file with the fastest parser
    there is, well ahead of the scripts one would write instead, and within
    three tenths of the file's size again in memory; validate within half
    again the JSON library's bare parse, and no slower than in an earlier
    run (its results.json) when one is given."""
    rows = []
    for entry in results:
        if entry["records"] != 1000000 or not entry["name"].startswith("events"):
            continue
        name, r = entry["name"], entry["ratios"]
        for output, analyze in ANALYZE.items():
            rss = entry["tools"][analyze]["peak_rss_bytes"] / entry["bytes"]
            rows += [
                ("%s: %s <= simdjson parse" % (name, analyze), r["%s/simdjson" % output] <= 1.0,
                 "%.2f x" % r["%s/simdjson" % output]),
                ("%s: %s >= 8 x faster than jq" % (name, analyze), r["jq/%s" % output] >= 8,
                 "%.1f x" % r["jq/%s" % output]),
                ("%s: %s >= 3 x faster than Python" % (name, analyze),
                 r["python/%s" % output] >= 3, "%.1f x" % r["python/%s" % output]),
                ("%s: %s peak RSS <= 1.3 x file" % (name, analyze), rss <= 1.3, "%.2f x" % rss)]
        rows.append(("%s: validate <= 1.5 x the bare parse" % name, r["validate/floor"] <= 1.5,
                     "%.2f x" % r["validate/floor"]))
        if name in baseline:
            ratio = entry["tools"]["validate"]["wall_s"] / baseline[name]
            rows.append(("%s: validate <= the earlier run" % name, ratio <= 1.0,
                         "%.2f x" % ratio))
    return rows


def baseline_validate(path):
    """Validate's wall time per inventory in an earlier run's results."""
    if not path:
        return {}
    with open(path, encoding="utf-8") as results:
        report = json.load(results)
    return {entry["name"]: entry["tools"]["validate"]["wall_s"]
            for entry in report["inventories"]}


def load_fleet_bench():
    found = importlib.util.spec_from_file_location("fleet_bench", FLEET_BENCH)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def megabytes(count):
    return count / 1e6


def print_table(results, target_rows, load):
    print("\nWhole-process figures, median of %d runs each (wall seconds; CPU seconds in"
          " brackets)." % results[0]["runs"])
    print("Load average before/after: %.2f / %.2f on %d CPUs.\n" % (load[0], load[1],
                                                                   os.cpu_count()))
    print("%-22s %6s %8s" % ("inventory", "MB", "records")
          + "".join(" %17s" % tool for tool in TOOLS))
    for entry in results:
        line = "%-22s %6.1f %8d" % (entry["name"], megabytes(entry["bytes"]), entry["records"])
        for tool in TOOLS:
            figures = entry["tools"][tool]
            line += " %8.3f (%6.3f)" % (figures["wall_s"], figures["cpu_s"])
        print(line)
    print("\n%-38s" % "throughput MB/s" + "".join(" %17s" % tool for tool in TOOLS))
    for entry in results:
        print("%-38s" % entry["name"] + "".join(
            " %17.0f" % (megabytes(entry["bytes"]) / entry["tools"][tool]["wall_s"])
            for tool in TOOLS))
    print("\n%-38s" % "peak RSS MB" + "".join(" %17s" % tool for tool in TOOLS))
    for entry in results:
        print("%-38s" % entry["name"] + "".join(
            " %17.1f" % megabytes(entry["tools"][tool]["peak_rss_bytes"]) for tool in TOOLS))
    names = list(results[0]["ratios"])
    print("\n%-22s" % "ratios" + "".join(" %15s" % name for name in names)
          + "  analyze us/record")
    for entry in results:
        print("%-22s" % entry["name"] + "".join(
            " %15.2f" % entry["ratios"][name] for name in names)
            + "  %17.3f" % entry["analyze_us_per_record"])
    print("\nTargets, on the million-record inventories and the archive:")
    for target, met, figure in target_rows:
        print("  %-62s %-8s %s" % (target, "met" if met else "NOT MET", figure))


def plot(results, path):
    """Wall time against file size, both on log scales, one line per tool."""
    width, height, margin = 720, 460, 70
    colours = {"validate": "#1f77b4", "analyze": "#d62728", "analyze-jsonl": "#8c564b",
               "simdjson": "#2ca02c", "floor": "#7f7f7f",
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
    parser.add_argument("--baseline", help="an earlier run's results.json, to judge validate by")
    parser.add_argument("--fleet", type=int, default=2000,
                        help="typical inventories analysed at once (default 2000)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    paths = {"zarn": os.path.join(build, "bin", "zarn"),
             "simdjson": os.path.join(build, "bin", "simdjson-parse"),
             "floor": os.path.join(build, "bin", "json-floor"),
             "jq": shutil.which("jq"), "python": sys.executable}
    missing = [name for name, path in paths.items() if not path or not os.path.exists(path)]
    if missing:
        sys.exit("missing: %s (run 'make bench')" % ", ".join(missing))
    folder = os.path.join(build, "bench")
    inventories = generate(os.path.join(folder, "inventories"))
    for inventory in (inventories[0], inventories[3], inventories[-1]):
        inventory["selected_lines"] = check_selections(paths, inventory)

    output_path = os.path.join(folder, "output")
    load_before = os.getloadavg()[0]
    results = []
    for inventory in inventories:
        entry = dict(inventory, runs=args.runs,
                     tools=measure(paths, inventory, args.runs, output_path))
        entry["ratios"] = ratios(entry["tools"])
        entry["analyze_us_per_record"] = (entry["tools"]["analyze"]["wall_s"] * 1e6
                                          / entry["records"])
        results.append(entry)
    os.remove(output_path)
    fleet_bench = load_fleet_bench()
    fleet = fleet_bench.run(build, args.fleet, args.runs)
    load = (load_before, os.getloadavg()[0])
    target_rows = targets(results, baseline_validate(args.baseline))
    target_rows += [(goal["goal"], goal["met"], goal["figure"]) for goal in fleet["goals"]]
    print_table(results, target_rows, load)
    fleet_bench.print_report(fleet)

    report = {"machine": {"cpus": os.cpu_count(), "platform": platform.platform(),
                          "load_average_before": load[0], "load_average_after": load[1]},
              "runs": args.runs, "inventories": results, "fleet": fleet,
              "targets": [{"target": target, "met": met, "figure": figure}
                          for target, met, figure in target_rows]}
    with open(os.path.join(folder, "results.json"), "w", encoding="utf-8") as out:
        json.dump(report, out, indent=2)
    plot(results, os.path.join(folder, "time-vs-size.svg"))
    print("\nFigures: %s\nPlot:    %s" % (os.path.join(folder, "results.json"),
                                         os.path.join(folder, "time-vs-size.svg")))


if __name__ == "__main__":
    main()
