#!/usr/bin/env python3
"""Frames per second of korvo's sample show, section by section, and the time from its start to
its first frame.

The show (the sample content in build/content/korvo, or FOLDER) plays headless at its own
640 x 480 with the fixed clock, so every run draws the same frames, through bench-korvo-frames,
which times every presented frame. For each section of the demo-flow script: the slowest, the
median and the fastest frame, as frames per second, over every run; and the frame in which the
section's scene was loaded. Then the time from the process start to the first frame presented
(the script's first scenes loaded) and to the first frame that shows a picture (korvo presents
what it drew the frame before), the median of the runs.

  bench-korvo-show [--korvo FOLDER] [--runs N]
"""
import argparse
import os
import statistics
import tempfile
from pathlib import Path

from show_runs import BIN, FPS, korvo_sections, run_show


def play(show, runs):
    """Each run's frame durations (seconds), the show played in a folder of its own with the
    show's files linked in, as korvo writes its log and scene dump where it runs."""
    results = []
    for _ in range(runs):
        with tempfile.TemporaryDirectory() as folder:
            for entry in Path(show).iterdir():
                os.symlink(entry.resolve(), Path(folder) / entry.name)
            results.append(run_show(BIN / "bench-korvo-frames", folder, None, 1, 0, timeout=600))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--korvo", default=str(BIN.parent / "content" / "korvo"))
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    show = Path(args.korvo)
    if not (show / "demoflow.txt").exists():
        raise SystemExit(f"bench-korvo-show: no demoflow.txt in {show}")

    print(f"bench-korvo-show: {show}, {args.runs} runs, headless at 640x480, fixed clock at {FPS} frames "
          f"a second; {os.cpu_count()} processors, load average {os.getloadavg()[0]:.2f} at the start")
    runs = play(show, args.runs)
    sections, end = korvo_sections(show, 600.0)

    print("\n| section | frames | slowest (fps) | median (fps) | fastest (fps) | frame loading its scene (ms) |")
    print("|---|---|---|---|---|---|")
    for name, first, last in sections:
        rates = sorted(1.0 / run[f] for run in runs for f in range(first, last + 1) if run.get(f, 0) > 0)
        loading = statistics.median(run.get(first - 1, float("nan")) for run in runs) * 1000.0
        scenes = ", ".join(part.split()[1] for part in name.split(": ", 1)[1].split(", ") if part.startswith("PlayScene"))
        label = f"{name.split(':')[0]}: {scenes or 'continued'}"
        print(f"| {label} | {len(rates) // len(runs)} | {rates[0]:.0f} | {statistics.median(rates):.0f} | "
              f"{rates[-1]:.0f} | {loading:.1f} |")

    first = statistics.median(run[0] for run in runs)
    picture = statistics.median(run[0] + run[1] for run in runs)
    print(f"\nstart to the first frame: {first * 1000:.0f} ms (goal: under 300 ms); to the first picture: "
          f"{picture * 1000:.0f} ms")
    print(f"load average at the end: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
