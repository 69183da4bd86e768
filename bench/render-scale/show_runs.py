"""Running the shows for the benchmark scripts: headless with the fixed clock and a frame timer
linked in (bench-glintdemo-frames, bench-korvo-frames), and the sections of korvo's demo-flow
script."""
import os
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BIN = Path(__file__).resolve().parent
FPS = 30   # the fixed clock's rate: frame n shows n/30 s of show time


def load_average():
    return " ".join(f"{value:.2f}" for value in os.getloadavg())


def show_environment(keys, **settings):
    """The environment of a headless run under the fixed clock, without sound, with `settings`
    (DEMO_* names) and the key script `keys`."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("DEMO_")}
    env.update({"DEMO_VIDEO": "headless", "DEMO_CLOCK": f"fixed:{FPS}", "DEMO_AUDIO": "none"})
    env.update({k: str(v) for k, v in settings.items()})
    if keys:
        env["DEMO_KEYS"] = keys
    return env


# What korvo writes where it runs.
WRITTEN = {"debug.log", "scenedump.txt"}


def working_folder(folder, scratch):
    """A folder of the run's own with the show's files linked in, so that what a program writes
    where it runs stays out of the show's folder (and out of the tests that link its files)."""
    work = os.path.join(scratch, "show")
    os.mkdir(work)
    for entry in Path(folder).iterdir():
        if entry.name not in WRITTEN:
            os.symlink(entry.resolve(), os.path.join(work, entry.name))
    return work


def timed_run(what, command, folder, env, timeout):
    """Runs a command whose program has the frame timer linked in, in a working folder of its own
    with the files of `folder`; returns the seconds each presented frame took. Says how long the
    run took and the machine's load average after it (other work on the machine slows the
    figures down)."""
    with tempfile.TemporaryDirectory() as scratch:
        times = os.path.join(scratch, "frames.txt")
        work = working_folder(folder, scratch)
        began = time.monotonic()
        done = subprocess.run(command, cwd=work, env=dict(env, BENCH_FRAME_TIMES=times), timeout=timeout,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        print(f"  {what}: {time.monotonic() - began:.0f} s, load average after it {load_average()}", flush=True)
        if done.returncode != 0:
            sys.exit(f"{Path(sys.argv[0]).name}: {Path(command[0]).name} ended with {done.returncode}: "
                     f"{done.stderr.strip()}")
        durations = {}
        for line in Path(times).read_text().splitlines():
            frame, seconds = line.split()
            durations[int(frame)] = float(seconds)
        return durations


def run_show(program, folder, keys, scale, msaa, timeout):
    """Runs a show headless; returns the seconds each presented frame took."""
    env = show_environment(keys, DEMO_RENDER_SCALE=scale, DEMO_MSAA=msaa)
    return timed_run(f"{program.name} x{scale} msaa {msaa}", [str(program)], folder, env, timeout)


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
