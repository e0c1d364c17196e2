#!/usr/bin/env python3
"""Runs the benchmarks and the commands a user would compare them with, on
the same data in the same run, and writes the figures into BENCHMARKS.md.

    bench/run-benchmarks.py BUILD_DIR

The homes of tools/make-bench-home are generated once into
BUILD_DIR/bench-data (delete that folder to generate them anew)."""

import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

RUNS = 7  # timed runs of each comparison command, after one warm-up
REPETITIONS = 5  # repetitions of each benchmark
SOURCE = Path(__file__).resolve().parent.parent
BEGIN, END = "<!-- figures:begin -->", "<!-- figures:end -->"


def generate(build: Path) -> Path:
    data = build / "bench-data"
    if (data / "large" / "names.txt").exists() and (data / "small" / "names.txt").exists():
        return data
    partial = build / "bench-data.partial"
    shutil.rmtree(partial, ignore_errors=True)
    started = time.monotonic()
    subprocess.run([str(build / "tools" / "make-bench-home"), str(partial)], check=True)
    print(f"generated in {time.monotonic() - started:.0f} s")
    partial.rename(data)
    return data


def median_seconds(argv, stdout=subprocess.DEVNULL):
    """Median wall time of a command over RUNS runs, after one warm-up run."""
    subprocess.run(argv, stdout=stdout, stderr=subprocess.DEVNULL)
    times = []
    for _ in range(RUNS):
        started = time.perf_counter()
        subprocess.run(argv, stdout=stdout, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def output_of(argv):
    return subprocess.run(argv, capture_output=True, text=True).stdout


def run_benchmarks(build: Path, data: Path) -> dict:
    environment = dict(os.environ, MOSS_BENCH_DATA=str(data))
    completed = subprocess.run(
        [str(build / "bench" / "mossbench"), "--benchmark_format=json",
         f"--benchmark_repetitions={REPETITIONS}", "--benchmark_report_aggregates_only=true"],
        env=environment, capture_output=True, text=True, check=True)
    results = {}
    for entry in json.loads(completed.stdout)["benchmarks"]:
        name = entry["run_name"].removesuffix("/real_time")
        if entry.get("aggregate_name") == "median" or entry.get("error_occurred"):
            results[name] = entry
    return results


def write_inputs(build: Path, data: Path) -> Path:
    inputs = build / "bench-inputs"
    inputs.mkdir(exist_ok=True)
    environment = dict(os.environ, MOSS_BENCH_DATA=str(data))
    subprocess.run([str(build / "bench" / "mossbench"), f"--write-inputs={inputs}"],
                   env=environment, check=True)
    return inputs


def lines(path: Path):
    return [line for line in path.read_text().split("\n") if line]


def seconds(entry) -> float:
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]
    return entry["real_time"] * scale


def du_bytes(paths):
    total = 0
    for line in output_of(["du", "-s", "-B1", *paths]).splitlines():
        total += int(line.split("\t")[0])
    return total


def measure(build: Path, data: Path) -> list:
    inputs = write_inputs(build, data)
    library = str(data / "large" / "home" / "Library")
    folders = [f for f in lines(inputs / "folders.txt") if os.path.isdir(f)]
    admitted = lines(inputs / "admitted.txt")
    names = data / "large" / "names.txt"
    patterns = inputs / "patterns.txt"
    name_count = len(lines(names))

    ours = run_benchmarks(build, data)
    rows = []

    entry = ours["allocatedSize"]
    du = median_seconds(["du", "-s", "-B1", library])
    rows.append(dict(
        what="Sizes: one large folder (home/Library, one thread each)",
        ours=f"{seconds(entry) * 1e3:.1f} ms", theirs=f"{du * 1e3:.1f} ms (`du -s -B1`)",
        ratio=seconds(entry) / du, target=1.0,
        check=f"bytes: {int(entry['bytes'])} vs du {du_bytes([library])} (du adds the folder's own entry)"))

    without = ours["relatedFiles/sizes:0"]
    sizes = ours["sizeAdmitted"]
    du_items = median_seconds(["du", "-s", "-B1", *admitted])
    rows.append(dict(
        what=f"Sizes in a scan: the {len(admitted)} admitted items (both cores)",
        ours=f"{seconds(sizes) * 1e3:.1f} ms", theirs=f"{du_items * 1e3:.1f} ms (`du -s -B1` items)",
        ratio=seconds(sizes) / du_items, target=1.0,
        check=f"the size pass alone (`Scanner::fillSizes`); bytes: {int(sizes['bytes'])} "
              f"vs du {du_bytes(admitted)}"))

    find = median_seconds(["find", *folders, "-maxdepth", "1"])
    rows.append(dict(
        what=f"Listing and judging a scan, sizes excluded ({int(without['competitors'])} competitors)",
        ours=f"{seconds(without) * 1e3:.1f} ms",
        theirs=f"{find * 1e3:.1f} ms (`find -maxdepth 1`, {len(folders)} folders)",
        ratio=seconds(without) / find, target=1.5,
        check=f"{int(without['found'])} items found"))

    judge = ours["judgeNames"]
    grep = median_seconds(["grep", "-E", "-i", "-c", "-f", str(patterns), str(names)])
    grep_count = output_of(["grep", "-E", "-i", "-c", "-f", str(patterns), str(names)]).strip()
    ours_rate = judge["items_per_second"]
    grep_rate = name_count / grep
    rows.append(dict(
        what=f"Matching {name_count} names with one matcher",
        ours=f"{ours_rate / 1e6:.2f} M names/s",
        theirs=f"{grep_rate / 1e6:.2f} M names/s (`grep -E -i -c -f`)",
        ratio=grep_rate / ours_rate, target=1.0,
        check=f"matched: {int(judge['matched'])} vs grep {grep_count} (ratio = grep's rate / ours)"))

    scan = ours.get("scanProcess")
    if scan and not scan.get("error_occurred"):
        rows.append(dict(
            what="`mossbin --scan` of the demo application, small home, whole process",
            ours=f"{seconds(scan) * 1e3:.1f} ms", theirs="target 150 ms",
            ratio=seconds(scan) / 0.150, target=1.0, check="wall time, median"))
    else:
        message = scan.get("error_message", "not run") if scan else "not run"
        rows.append(dict(what="`mossbin --scan` of the demo application, whole process",
                         ours=f"not measured: {message}", theirs="target 150 ms",
                         ratio=None, target=1.0, check=""))
    whole = ours["relatedFiles/sizes:1"]
    rows.append(dict(what="`relatedFiles` with sizes, the whole search (500 competitors)",
                     ours=f"{seconds(whole) * 1e3:.1f} ms", theirs="(no comparison)",
                     ratio=None, target=None, check=""))
    for home in ("large", "small"):
        live = ours.get(f"liveSearch/{home}")
        if not live or live.get("error_occurred"):
            continue
        where = f"{home} home, {int(live['competitors'])} competitors"
        rows.append(dict(what=f"Live search as a session runs it ({where}): time to the first leftover",
                         ours=f"{live['firstItemMs']:.1f} ms", theirs="(no comparison)",
                         ratio=None, target=None, check=""))
        rows.append(dict(what=f"Live search as a session runs it ({where}): time to the end "
                              "(installers and sizes included)",
                         ours=f"{seconds(live) * 1e3:.1f} ms", theirs="(no comparison)",
                         ratio=None, target=None,
                         check=f"{int(live['found'])} items found, each told as it is admitted"))
    extra = [(name, entry) for name, entry in ours.items() if name == "catalogSections"]
    for name, entry in extra:
        rows.append(dict(what=f"`Catalog::sections` on {int(entry['bundles'])} bundles",
                         ours=f"{seconds(entry) * 1e3:.1f} ms", theirs="(no comparison)",
                         ratio=None, target=None, check=""))
    return rows + measure_linux(ours, inputs)


def measure_linux(ours: dict, inputs: Path) -> list:
    """The Linux rows: the search on the home with 50 000 entries in its XDG
    folders against `find` over the folders it lists, and the catalogue."""
    folders = [f for f in lines(inputs / "linux-folders.txt") if os.path.isdir(f)]
    listed = len(output_of(["find", *folders, "-maxdepth", "1", "-mindepth", "1"]).splitlines())
    without = ours["linuxSearch/sizes:0"]
    find = median_seconds(["find", *folders, "-maxdepth", "1"])
    whole = ours["linuxSearch/sizes:1"]
    catalogue = ours["linuxCatalogue"]
    owners = ours["debianOwners"]
    removed = ours["removedApplications"]
    return [
        dict(what=f"Linux search, sizes excluded ({int(without['competitors'])} competitors, "
                  f"{listed} entries)",
             ours=f"{seconds(without) * 1e3:.1f} ms",
             theirs=f"{find * 1e3:.1f} ms (`find -maxdepth 1`, {len(folders)} folders)",
             ratio=seconds(without) / find, target=1.5,
             check=f"{int(without['found'])} items found; `find` lists {listed} entries"),
        dict(what=f"Linux search with sizes ({int(whole['competitors'])} competitors)",
             ours=f"{seconds(whole) * 1e3:.1f} ms", theirs="(no comparison)",
             ratio=None, target=None, check=""),
        dict(what=f"`LinuxApps::catalogue` on 2000 desktop entries ({int(catalogue['apps'])} "
                  f"applications)",
             ours=f"{seconds(catalogue) * 1e3:.1f} ms", theirs="(no comparison)",
             ratio=None, target=None, check=""),
        dict(what=f"Owners of 1600 entries among 3000 Debian packages ({int(owners['owned'])} owned)",
             ours=f"{seconds(owners) * 1e3:.1f} ms", theirs="(no comparison)",
             ratio=None, target=None, check=""),
        dict(what="`RemovedApps::applications` after that catalogue (memory of 1600 entries, "
                  "3000 packages)",
             ours=f"{seconds(removed) * 1e3:.1f} ms", theirs="(no comparison)",
             ratio=None, target=None, check=""),
    ]


def machine() -> str:
    model = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory = int(Path("/proc/meminfo").read_text().split()[1]) // (1024 * 1024)
    filesystem = output_of(["df", "-T", str(SOURCE)]).splitlines()[-1].split()[1]
    return (f"{model}, {os.cpu_count()} cores, {memory} GiB, Linux {platform.release()}, "
            f"{filesystem} file system; warm page cache")


def table(rows) -> str:
    out = ["| measured | Mossbin | compared with | ratio | target | met |",
           "|---|---|---|---|---|---|"]
    for row in rows:
        ratio = "—" if row["ratio"] is None else f"{row['ratio']:.2f}"
        target = "—" if row["target"] is None else f"≤ {row['target']}"
        met = "—" if row["ratio"] is None or row["target"] is None else (
            "yes" if row["ratio"] <= row["target"] else "**no**")
        out.append(f"| {row['what']} | {row['ours']} | {row['theirs']} | {ratio} | {target} | {met} |")
    out.append("")
    out.extend(f"- {row['what']}: {row['check']}" for row in rows if row["check"])
    return "\n".join(out)


def write_report(rows):
    stamp = time.strftime("%Y-%m-%d %H:%M")
    figures = "\n".join([
        BEGIN,
        f"Run of {stamp} on: {machine()}.",
        "",
        f"Mossbin figures are medians of {REPETITIONS} Google Benchmark repetitions; each "
        f"comparison command is the median of {RUNS} runs after a warm-up, as a whole process.",
        "",
        table(rows),
        END,
    ])
    report = SOURCE / "BENCHMARKS.md"
    text = report.read_text() if report.exists() else f"# Benchmarks\n\n{BEGIN}\n{END}\n"
    text = re.sub(re.escape(BEGIN) + ".*?" + re.escape(END), lambda _: figures, text, flags=re.S)
    report.write_text(text)
    print(figures)


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else "build-release").resolve()
    data = generate(build)
    write_report(measure(build, data))


if __name__ == "__main__":
    main()
