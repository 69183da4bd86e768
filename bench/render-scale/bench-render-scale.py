#!/usr/bin/env python3
"""Frames per second of each show's sections at render scales 1, 2 and 3, headless, with and
without multisampling, and the speed of capturing glintdemo as a 1080p video.

Each show runs with the fixed clock (so every run draws the same frames) and a frame timer
linked in (bench-glintdemo-frames, bench-korvo-frames), which writes how long each frame took.
glintdemo is moved from section to section with its own keys (Enter: 5 s ahead, Up: 1 s) and
measured for a number of frames a second into each; korvo plays its demo-flow script from the
start and every frame is counted in the section it falls in.

  bench-render-scale [--glintdemo FOLDER] [--korvo FOLDER] [--scales 1,2,3] [--msaa 0,4]
                     [--frames N] [--korvo-seconds S] [--capture-seconds S] [--no-capture]

FOLDER is the working directory a show reads its data from (default: the sample content in
build/content/<show>); a show whose folder lacks its data is left out, and says so.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

from show_runs import BIN, FPS, korvo_sections, run_show

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
    """The key script that takes glintdemo to a second into each section, and the frames measured
    there: (keys, [(section, first, last)])."""
    keys, windows = [], []
    frame, offset = 1, 0.0
    for name, start, end in GLINT_SECTIONS:
        target = start + 1.0
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


def capture_speed(program, folder, seconds, msaa):
    """Captures glintdemo as a 1080p YUV stream (drained and dropped) at the scale that fills
    the frame; returns (frames, wall seconds)."""
    with tempfile.TemporaryDirectory() as scratch:
        fifo = os.path.join(scratch, "show.y4m")
        os.mkfifo(fifo)
        env = {k: v for k, v in os.environ.items() if not k.startswith("DEMO_")}
        env.update({"DEMO_VIDEO": "headless", "DEMO_CLOCK": f"fixed:{FPS}", "DEMO_AUDIO": "none",
                    "DEMO_SIZE": "1920x1080", "DEMO_RENDER_SCALE": "auto", "DEMO_MSAA": str(msaa),
                    "DEMO_CAPTURE": fifo})
        if seconds:
            env["DEMO_KEYS"] = f"{int(seconds * FPS)}:ESCAPE"
        drained = [0]

        def drain():
            with open(fifo, "rb") as stream:
                while chunk := stream.read(1 << 20):
                    drained[0] += len(chunk)

        reader = threading.Thread(target=drain)
        reader.start()
        began = time.monotonic()
        done = subprocess.run([str(program)], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        wall = time.monotonic() - began
        reader.join()
        if done.returncode != 0:
            sys.exit(f"bench-render-scale: capture ended with {done.returncode}: {done.stderr.strip()}")
        frame_bytes = 1920 * 1080 * 3 // 2 + len("FRAME\n")
        return drained[0] // frame_bytes, wall


def main():
    build = BIN.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--glintdemo", default=str(build / "content" / "glintdemo"))
    parser.add_argument("--korvo", default=str(build / "content" / "korvo"))
    parser.add_argument("--scales", default="1,2,3")
    parser.add_argument("--msaa", default="0,4")
    parser.add_argument("--frames", type=int, default=60, help="glintdemo frames measured per section")
    parser.add_argument("--korvo-seconds", type=float, default=600.0, help="korvo show time played at most")
    parser.add_argument("--capture-seconds", type=float, default=0.0, help="show time captured (0: the whole show)")
    parser.add_argument("--no-capture", action="store_true")
    args = parser.parse_args()
    configs = configurations([int(s) for s in args.scales.split(",")], [int(s) for s in args.msaa.split(",")])
    print(f"bench-render-scale on {os.cpu_count()} processors; fixed clock at {FPS} frames a second, headless")

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
        for msaa in sorted({0, max(int(s) for s in args.msaa.split(","))}):
            frames, wall = capture_speed(BIN / "glintdemo", glint, args.capture_seconds, msaa)
            print(f"\nglintdemo captured at 1920x1080 (auto scale{', msaa ' + str(msaa) if msaa else ''}): "
                  f"{frames} frames in {wall:.1f} s, {frames / wall:.1f} frames a second, "
                  f"{frames / wall / FPS:.2f} x real time")


if __name__ == "__main__":
    main()
