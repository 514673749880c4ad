#!/usr/bin/env python3
"""Runs every benchmark program and prints one table of ours-vs-peer ratios.

Naming convention inside the programs: a case is registered as "<case>/ours"
and, where a peer exists, "<case>/peer". The ours side may carry a label
"target=<ratio>" with the minimum ratio that the case must reach. The ratio is
ours/peer throughput: bytes per second, else items per second, else the
inverse of the time per iteration. Every case runs REPETITIONS times, the
cases of a program interleaved in random order, and the fastest repetition of
each side is reported: on a shared machine other work only ever slows a run
down, so the fastest one is the closest to what the code can do.

A program that registers a "memcpy" case gives every other byte-rate case of
that program a "vs memcpy" column: its throughput over memcpy's in the same
run, the physical limit of a codec that reads and writes the data once.
With --strict the exit status is 1 when a case misses its target.
"""
import json
import pathlib
import subprocess
import sys

REPETITIONS = 7


def throughput(run):
    for key in ("bytes_per_second", "items_per_second"):
        if key in run:
            return run[key], key
    return 1e9 / run["real_time"] if run.get("real_time") else 0.0, "iter_per_second"


def human(value, unit):
    suffix = {"bytes_per_second": "B/s", "items_per_second": "items/s",
              "iter_per_second": "it/s"}[unit]
    for scale, prefix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if value >= scale:
            return f"{value / scale:.2f} {prefix}{suffix}"
    return f"{value:.2f} {suffix}"


STANDARD_KEYS = {
    "name", "family_index", "per_family_instance_index", "run_name", "run_type",
    "repetitions", "repetition_index", "threads", "iterations", "real_time", "cpu_time",
    "time_unit", "bytes_per_second", "items_per_second", "label", "error_occurred",
    "error_message", "aggregate_name", "aggregate_unit",
}


def notes(run):
    """The run's own counters and any label other than the target."""
    parts = [f"{key}={run[key]:.4g}" for key in sorted(run)
             if key not in STANDARD_KEYS and isinstance(run[key], (int, float))]
    label = run.get("label", "")
    if label and not label.startswith("target="):
        parts.append(label)
    return " ".join(parts)


def collect(binary, extra):
    """The runs of one program, each tagged with the program's name."""
    options = ["--benchmark_format=json", f"--benchmark_repetitions={REPETITIONS}",
               "--benchmark_enable_random_interleaving=true"]
    out = subprocess.run([str(binary)] + options + extra,
                         capture_output=True, text=True).stdout
    # A program none of whose cases match a --benchmark_filter prints nothing.
    runs = json.loads(out)["benchmarks"] if out.strip() else []
    for run in runs:
        run["program"] = binary.name
    return runs


def main():
    arguments = sys.argv[1:]
    strict = "--strict" in arguments
    arguments = [a for a in arguments if a != "--strict"]
    build = pathlib.Path(arguments[0] if arguments else "build/bench") / "bench"
    extra = arguments[1:]
    binaries = sorted(p for p in build.glob("*_bench") if p.is_file())
    if not binaries:
        print(f"no benchmark programs under {build}")
        return 1
    cases = {}
    order = []
    for binary in binaries:
        for run in collect(binary, extra):
            if run.get("run_type") == "aggregate":
                continue
            name = run["name"]
            case, _, side = name.rpartition("/")
            if side not in ("ours", "peer"):
                case, side = name, "ours"
            if case not in cases:
                cases[case] = {}
                order.append((run["program"], run.get("family_index", 0), case))
            cases[case].setdefault(side, []).append(run)
    for sides in cases.values():
        for side, runs in sides.items():
            sides[side] = max(runs, key=lambda run: throughput(run)[0])
    limits = {}
    for case, sides in cases.items():
        if case == "memcpy" and "ours" in sides:
            limits[sides["ours"]["program"]] = throughput(sides["ours"])[0]
    rows = [("benchmark", "ours", "peer", "ratio", "target", "", "vs memcpy", "notes")]
    failed = 0
    for _, _, case in sorted(order):
        ours, peer = cases[case].get("ours"), cases[case].get("peer")
        target = ""
        if ours and ours.get("label", "").startswith("target="):
            target = ours["label"].split("=", 1)[1]
        ours_v, unit = throughput(ours) if ours else (0.0, "iter_per_second")
        ours_text = human(ours_v, unit) if ours else "-"
        if ours and unit == "iter_per_second":
            ours_text += f" ({ours['real_time']:.3g} {ours['time_unit']}/it)"
        peer_text, ratio_text, verdict = "-", "-", ""
        if ours and peer:
            peer_v, _ = throughput(peer)
            peer_text = human(peer_v, unit)
            ratio = ours_v / peer_v if peer_v else float("inf")
            ratio_text = f"{ratio:.2f}"
            if target:
                ok = ratio >= float(target)
                verdict = "ok" if ok else "BELOW"
                failed += 0 if ok else 1
        limit = limits.get(ours["program"]) if ours else None
        limit_text = f"{ours_v / limit:.3f}" if limit and unit == "bytes_per_second" else ""
        rows.append((case, ours_text, peer_text, ratio_text, target, verdict, limit_text,
                     notes(ours) if ours else ""))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for i, row in enumerate(rows):
        print("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))
    print(f"\n{failed} case(s) below target")
    return 1 if strict and failed else 0


if __name__ == "__main__":
    sys.exit(main())
