#!/usr/bin/env python3
"""Times zarn analyze over an archive of many inventories.

Generates an archive of typical servers' inventories into the build folder
(once; the generator is deterministic), in folders of a hundred as a support
engineer keeps them, then times three ways of analysing all of it: zarn
analyze on the archive's folder, a shell loop of one zarn analyze per
inventory, and GNU parallel running one zarn analyze per inventory. Every
way must write the same number of lines. Alongside, times the floor of the
first way: a process made and ended for each inventory, with nothing done in
it (process-floor). Prints inventories per second and writes the figures as
JSON.
"""

import argparse
import importlib.util
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "generate-inventory.py")

# A typical server: a couple of adapters with their disks, a modest event
# log, and the software and services of a working machine (about 50 KB).
TYPICAL_SERVER = {"events": 200, "disks": 8, "controllers": 2, "bios": 2, "scsi_devices": 8,
                  "bad_stripes": 4, "pci_devices": 30, "products": 60, "rpms": 0,
                  "services": 100, "os_type": 18, "flood": 0}
PER_FOLDER = 100
LINE_KEY = '"level": '


def log(message):
    print(message, file=sys.stderr, flush=True)


def load_generator():
    found = importlib.util.spec_from_file_location("generate_inventory", GENERATOR)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def generate(folder, count):
    """The archive, generated again when missing, of another size or older
    than the generator; gives the inventories' paths in the archive's order."""
    # Beside the archive, not in it: zarn analyze on the folder would take
    # it for an inventory that does not load.
    stamp = folder + ".stamp.json"
    wanted = {"count": count, "server": TYPICAL_SERVER, "per_folder": PER_FOLDER}
    paths = [os.path.join(folder, "customer-%03d" % (index // PER_FOLDER),
                          "server-%05d.json" % index) for index in range(count)]
    if os.path.exists(stamp) and os.path.getmtime(stamp) > os.path.getmtime(GENERATOR):
        with open(stamp, encoding="utf-8") as existing:
            if json.load(existing) == wanted:
                return paths
    log("generating %d inventories into %s" % (count, folder))
    shutil.rmtree(folder, ignore_errors=True)
    generator = load_generator()
    for index, path in enumerate(paths):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        args = argparse.Namespace(seed=index + 1, **TYPICAL_SERVER)
        with open(path, "w", encoding="utf-8", newline="\n") as out:
            generator.write_inventory(out, args)
    with open(stamp, "w", encoding="utf-8") as out:
        json.dump(wanted, out)
    return paths


def timed(command, output_path):
    """Wall seconds of one run, the lines at a level it wrote, and its exit status."""
    with open(output_path, "wb") as output:
        start = time.perf_counter()
        status = subprocess.run(command, stdout=output, stderr=subprocess.DEVNULL,
                                check=False).returncode
        seconds = time.perf_counter() - start
    with open(output_path, encoding="utf-8", errors="replace") as written:
        lines = sum(LINE_KEY in line for line in written)
    return {"seconds": seconds, "lines": lines, "status": status}


def run(build, count, runs=1):
    """Times the three ways over an archive of count inventories, taking
    turns for runs rounds; the median of each, with the goals judged."""
    zarn = os.path.join(build, "bin", "zarn")
    floor = os.path.join(build, "bin", "process-floor")
    parallel = shutil.which("parallel")
    if not os.path.exists(zarn) or not os.path.exists(floor) or not parallel:
        sys.exit("missing: zarn, process-floor or GNU parallel (run 'make bench')")
    folder = os.path.join(build, "bench", "fleet")
    archive = os.path.join(folder, "archive")
    paths = generate(archive, count)
    listing = os.path.join(folder, "inventories.txt")
    with open(listing, "w", encoding="utf-8") as out:
        out.write("".join(path + "\n" for path in paths))
    for path in paths:  # into the page cache, for every way alike
        with open(path, "rb") as inventory:
            inventory.read()

    cores = os.cpu_count()
    load_before = os.getloadavg()[0]
    commands = {
        "zarn analyze DIR": ([zarn, "analyze", archive, "--format", "jsonl"], "dir.jsonl"),
        "shell loop": (["sh", "-c", 'while read -r f; do "$0" analyze "$f" --format jsonl; '
                        'done < "$1"', zarn, listing], "loop.jsonl"),
        "GNU parallel": ([parallel, "-j", str(cores), zarn, "analyze", "{}", "--format",
                          "jsonl", "::::", listing], "parallel.jsonl"),
    }
    # The libraries zarn's parent holds when it makes its children.
    floor_command = [floor, str(count), str(cores), os.path.join(build, "bin", "libzarncore.so"),
                     os.path.join(build, "bin", "tvxanal.pi")]
    samples = {name: [] for name in commands}
    floor_seconds = []
    for round_number in range(runs):
        log("timing the archive's three ways, round %d of %d" % (round_number + 1, runs))
        for name, (command, output) in commands.items():
            samples[name].append(timed(command, os.path.join(folder, output)))
        floor_run = timed(floor_command, os.devnull)
        if floor_run["status"] != 0:
            sys.exit("process-floor failed (exit status %d): %s" % (
                floor_run["status"], " ".join(floor_command)))
        floor_seconds.append(floor_run["seconds"])
    ways = {name: {"seconds": statistics.median(sample["seconds"] for sample in taken),
                   "runs_s": [sample["seconds"] for sample in taken],
                   "lines": taken[0]["lines"]}
            for name, taken in samples.items()}
    lines = {sample["lines"] for taken in samples.values() for sample in taken}
    load_after = os.getloadavg()[0]
    if len(lines) != 1:
        sys.exit("the ways disagree on the lines written: %s" % samples)

    for way in ways.values():
        way["inventories_per_s"] = count / way["seconds"]
    ours = ways["zarn analyze DIR"]["inventories_per_s"]
    loop = ways["shell loop"]["inventories_per_s"]
    rival = ways["GNU parallel"]["inventories_per_s"]
    goals = [("%d inventories: analyze DIR >= GNU parallel" % count, ours >= rival,
              "%.2f x" % (ours / rival)),
             ("%d inventories: analyze DIR >= 6 x the shell loop" % count, ours >= 6 * loop,
              "%.2f x" % (ours / loop))]
    report = {"inventories": count, "bytes_each": os.path.getsize(paths[0]), "cpus": cores,
              "load_average_before": load_before, "load_average_after": load_after,
              "ways": ways,
              "process_floor": {"seconds": statistics.median(floor_seconds),
                                "runs_s": floor_seconds},
              "goals": [{"goal": goal, "met": met, "figure": figure}
                        for goal, met, figure in goals]}
    with open(os.path.join(folder, "results.json"), "w", encoding="utf-8") as out:
        json.dump(report, out, indent=2)
    return report


def print_report(report):
    print("\n%d typical inventories (%.0f KB each), %d lines; %d CPUs, load average"
          " %.2f before, %.2f after.\n" % (
              report["inventories"], report["bytes_each"] / 1000,
              report["ways"]["shell loop"]["lines"], report["cpus"],
              report["load_average_before"], report["load_average_after"]))
    print("%-18s %10s %16s" % ("way", "seconds", "inventories/s"))
    for name, way in report["ways"].items():
        print("%-18s %10.2f %16.0f" % (name, way["seconds"], way["inventories_per_s"]))
    floor = report["process_floor"]["seconds"]
    print("\nFloor of analyze DIR, a process made and ended for each inventory with nothing"
          "\ndone in it: %.2f s (the shell loop takes %.0f times as long)." % (
              floor, report["ways"]["shell loop"]["seconds"] / floor))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the Release build folder")
    parser.add_argument("--inventories", type=int, default=2000,
                        help="the archive's size (default 2000)")
    parser.add_argument("--runs", type=int, default=1, help="rounds of the three ways (default 1)")
    args = parser.parse_args()
    report = run(os.path.abspath(args.build), args.inventories, args.runs)
    print_report(report)
    print("\nGoals:")
    for goal in report["goals"]:
        print("  %-62s %-8s %s" % (goal["goal"], "met" if goal["met"] else "NOT MET",
                                   goal["figure"]))


if __name__ == "__main__":
    main()
