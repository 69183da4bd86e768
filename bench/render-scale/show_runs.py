"""Running the shows for the benchmark scripts: headless with the fixed clock and a frame timer
linked in (bench-glintdemo-frames, bench-korvo-frames), and the sections of korvo's demo-flow
script."""
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

BIN = Path(__file__).resolve().parent
FPS = 30   # the fixed clock's rate: frame n shows n/30 s of show time


def run_show(program, folder, keys, scale, msaa, timeout):
    """Runs a show headless; returns the seconds each presented frame took."""
    with tempfile.TemporaryDirectory() as scratch:
        times = os.path.join(scratch, "frames.txt")
        env = {k: v for k, v in os.environ.items() if not k.startswith("DEMO_")}
        env.update({
            "DEMO_VIDEO": "headless",
            "DEMO_CLOCK": f"fixed:{FPS}",
            "DEMO_AUDIO": "none",
            "DEMO_RENDER_SCALE": str(scale),
            "DEMO_MSAA": str(msaa),
            "BENCH_FRAME_TIMES": times,
        })
        if keys:
            env["DEMO_KEYS"] = keys
        done = subprocess.run([str(program)], cwd=folder, env=env, timeout=timeout,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            sys.exit(f"{Path(sys.argv[0]).name}: {program.name} ended with {done.returncode}: {done.stderr.strip()}")
        durations = {}
        for line in Path(times).read_text().splitlines():
            frame, seconds = line.split()
            durations[int(frame)] = float(seconds)
        return durations


def korvo_sections(folder, seconds):
    """Sections of korvo's demo-flow script: between events that start, stop or restart scenes."""
    script = (Path(folder) / "demoflow.txt").read_text(errors="replace").splitlines()
    events, end = [], seconds
    for line in script[1:]:
        fields = line.split()
        if len(fields) < 2 or not re.fullmatch(r"[0-9.]+", fields[0]):
            continue
        at, command = float(fields[0]), fields[1]
        if command == "Quit":
            end = min(end, at)
        elif command in ("PlayScene", "DelScene", "ResetTimer") and at < end:
            events.append((at, f"{command} {fields[2] if len(fields) > 2 else ''}".strip()))
    bounds = sorted({0.0, *(at for at, _ in events)})
    sections = []
    for i, start in enumerate(bounds):
        stop = bounds[i + 1] if i + 1 < len(bounds) else end
        if stop <= start:
            continue
        what = ", ".join(text for at, text in events if at == start) or "start"
        sections.append((f"{start:g} s: {what}", int(start * FPS) + 1, int(stop * FPS)))
    return sections, end
