#!/usr/bin/env python3
"""Frames per second of each show's sections at render scales 1, 2 and 3, headless, with and
without multisampling, and the speed of capturing glintdemo as a 1080p video.

Each show runs with the fixed clock (so every run draws the same frames) and a frame timer
linked in (bench-glintdemo-frames, bench-korvo-frames), which writes how long each frame took.
glintdemo is moved from section to section with its own keys (Enter: 5 s ahead, Up: 1 s) and
measured for a number of frames in the middle of each; korvo plays its demo-flow script from the
start and every frame is counted in the section it falls in.

The capture is measured the same way, through demo-capture --size 1920x1080 (the scale that
fills the frame, the H.264 encoder and the sound included): each section's frames a second, and
from them the time a capture of the whole show takes. --capture-whole captures the whole show
instead, as a user would, and times it.

  bench-render-scale [--glintdemo FOLDER] [--korvo FOLDER] [--scales 1,2,3] [--msaa 0,4]
                     [--frames N] [--korvo-seconds S] [--no-capture] [--capture-whole]

FOLDER is the working directory a show reads its data from (default: the sample content in
build/content/<show>); a show whose folder lacks its data is left out, and says so.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from show_runs import BIN, FPS, korvo_sections, load_average, run_show, show_environment, timed_run, working_folder

# glintdemo's sections: the windows of its timeline where the set of effects stays the same.
GLINT_SECTIONS = [
    ("opening: env objects, billboards, tubes, dot titles, banner", 0.0, 56.0),
    ("scenes, flat mesh, world 2", 56.0, 82.0),
    ("scenes, flat mesh, env objects, billboards", 82.0, 122.0),
    ("scene, flat mesh, env objects, tubes", 122.0, 132.0),
    ("scene, flat mesh, env objects, world 4", 132.0, 136.0),
    ("scene 6, flat mesh, world 4", 136.0, 156.0),
    ("run scene 1", 157.0, 182.0),
    ("flat mesh, world 3, run scene 3", 182.0, 233.0),
    ("flat mesh, billboards, tubes 1", 233.0, 258.0),
]


def configurations(scales, samples):
    return [(scale, msaa) for msaa in samples for scale in scales]


def label(scale, msaa):
    return f"x{scale}" + (f" msaa{msaa}" if msaa else "")


def glint_plan(frames, settle=5):
    """The key script that takes glintdemo to the middle of each section, and the frames measured
    there: (keys, [(section, first, last)])."""
    keys, windows = [], []
    frame, offset = 1, 0.0
    for name, start, end in GLINT_SECTIONS:
        target = max(start + 1.0, (start + end) / 2 - (frames + settle) / FPS / 2)
        delta = target - (frame / FPS + offset)
        fives = max(0, int(delta // 5))
        if fives:
            keys.append(f"{frame}:RETURN*{fives}")
            frame += fives
            offset += 5 * fives
        ones = max(0, int(round(target - (frame / FPS + offset))))
        if ones:
            keys.append(f"{frame}:UP*{ones}")
            frame += ones
            offset += ones
        first = frame + settle
        last = first + min(frames, int((end - target) * FPS) - settle) - 1
        windows.append((name, first, last))
        frame = last + 1
    keys.append(f"{frame}:ESCAPE")
    return ",".join(keys), windows


def fps(durations, first, last):
    chosen = [durations[f] for f in range(first, last + 1) if f in durations]
    return len(chosen) / sum(chosen) if chosen and sum(chosen) > 0 else float("nan")


def table(title, sections, results, configs):
    base = configs[0]
    print(f"\n{title}: frames per second (and the ratio to {label(*base)})\n")
    print("| section | " + " | ".join(label(*c) for c in configs) + " |")
    print("|---|" + "---|" * len(configs))
    for name, first, last in sections:
        cells = []
        for c in configs:
            value = fps(results[c], first, last)
            ratio = value / fps(results[base], first, last)
            cells.append(f"{value:.1f}" if c == base else f"{value:.1f} ({ratio:.2f})")
        print(f"| {name} | " + " | ".join(cells) + " |")


def capture_sections(bin_dir, folder, frames, msaa):
    """Captures glintdemo (with the frame timer) through demo-capture at 1920x1080, moved from
    section to section as glint_plan says; returns the frames measured in each section and the
    seconds each captured frame took."""
    keys, windows = glint_plan(frames)
    with tempfile.TemporaryDirectory() as scratch:
        command = [str(bin_dir / "demo-capture"), "--size", "1920x1080", "--msaa", str(msaa),
                   "-o", os.path.join(scratch, "sections.mp4"), "--", str(bin_dir / "bench-glintdemo-frames")]
        return windows, timed_run(f"capture msaa {msaa}", command, folder, show_environment(keys), timeout=3 * 3600)


def capture_whole(bin_dir, folder, msaa):
    """Captures the whole glintdemo show through demo-capture at 1920x1080; returns its wall
    seconds."""
    with tempfile.TemporaryDirectory() as scratch:
        command = [str(bin_dir / "demo-capture"), "--size", "1920x1080", "--msaa", str(msaa),
                   "-o", os.path.join(scratch, "show.mp4"), "--", str(bin_dir / "glintdemo")]
        began = time.monotonic()
        done = subprocess.run(command, cwd=working_folder(folder, scratch), env=show_environment(None),
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            sys.exit(f"bench-render-scale: demo-capture ended with {done.returncode}: {done.stderr.strip()}")
        wall = time.monotonic() - began
        print(f"  whole capture msaa {msaa}: load average after it {load_average()}", flush=True)
        return wall


def capture_report(bin_dir, glint, frames, samples, whole):
    print("\nglintdemo captured by demo-capture --size 1920x1080 (scale 3, H.264, with sound)", flush=True)
    results = {msaa: capture_sections(bin_dir, glint, frames, msaa) for msaa in samples}
    print("\n| section | seconds of show | " + " | ".join(f"fps msaa {m}" for m in samples) + " |")
    print("|---|---|" + "---|" * len(samples))
    sections = [(name, end - start) for name, start, end in GLINT_SECTIONS]
    estimate = {msaa: 0.0 for msaa in samples}
    for i, (name, length) in enumerate(sections):
        cells = []
        for msaa in samples:
            windows, durations = results[msaa]
            value = fps(durations, windows[i][1], windows[i][2])
            estimate[msaa] += length * FPS / value
            cells.append(f"{value:.2f}")
        print(f"| {name} | {length:g} | " + " | ".join(cells) + " |")
    shown = sum(length for _, length in sections)
    for msaa in samples:
        wall = estimate[msaa]
        print(f"\nwhole show (msaa {msaa}), from the sections: {shown:g} s of show, {shown * FPS:.0f} frames in "
              f"about {wall / 60:.0f} min, {shown * FPS / wall:.2f} frames a second, {shown / wall:.3f} x real time")
    if whole:
        for msaa in samples:
            wall = capture_whole(bin_dir, glint, msaa)
            print(f"\nwhole show captured (msaa {msaa}): {wall / 60:.1f} min, {258 * FPS / wall:.2f} frames a second")


def main():
    build = BIN.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--glintdemo", default=str(build / "content" / "glintdemo"))
    parser.add_argument("--korvo", default=str(build / "content" / "korvo"))
    parser.add_argument("--scales", default="1,2,3")
    parser.add_argument("--msaa", default="0,4")
    parser.add_argument("--frames", type=int, default=60, help="glintdemo frames measured per section")
    parser.add_argument("--korvo-seconds", type=float, default=600.0, help="korvo show time played at most")
    parser.add_argument("--no-capture", action="store_true")
    parser.add_argument("--capture-whole", action="store_true", help="also capture the whole show and time it")
    args = parser.parse_args()
    configs = configurations([int(s) for s in args.scales.split(",")], [int(s) for s in args.msaa.split(",")])
    print(f"bench-render-scale on {os.cpu_count()} processors; fixed clock at {FPS} frames a second, headless",
          flush=True)

    glint = Path(args.glintdemo)
    if (glint / "demo.dat").exists():
        keys, windows = glint_plan(args.frames)
        results = {c: run_show(BIN / "bench-glintdemo-frames", glint, keys, *c, timeout=3600) for c in configs}
        table(f"glintdemo ({glint})", windows, results, configs)
    else:
        print(f"\nglintdemo: no demo.dat in {glint}; left out")

    korvo = Path(args.korvo)
    if (korvo / "demoflow.txt").exists():
        sections, end = korvo_sections(korvo, args.korvo_seconds)
        keys = f"{int(end * FPS) + 1}:ESCAPE"
        results = {c: run_show(BIN / "bench-korvo-frames", korvo, keys, *c, timeout=3600) for c in configs}
        table(f"korvo ({korvo}, {end:g} s)", sections, results, configs)
    else:
        print(f"\nkorvo: no demoflow.txt in {korvo}; left out")

    if not args.no_capture and (glint / "demo.dat").exists():
        samples = sorted({0, max(int(s) for s in args.msaa.split(","))})
        capture_report(BIN, glint, args.frames, samples, args.capture_whole)


if __name__ == "__main__":
    main()
