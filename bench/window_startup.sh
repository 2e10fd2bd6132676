#!/usr/bin/env bash
# The window program beside a bare Qt 6 window of the same size, on Xvfb, in
# one run that alternates the programs (these machines are noisy: only ratios
# from one run mean anything):
#   - start to the window mapped (the X server's MapNotify, seen by a watcher
#     outside the program), start to the first paint (the program's own word:
#     its window's paint handler has begun, its children still to paint), and
#     start to the first frame drawn (the X server's DAMAGE report of the
#     first drawing into the mapped window: what a user sees), median of RUNS,
#     with the spread (lowest to highest, and the middle half)
#   - resident memory one second after the first paint, median of RUNS
#   - wake-ups of the shown, untouched window under openbox: voluntary and
#     involuntary context switches summed over all threads (/proc/PID/task)
#     during WAKE_SECONDS, per second
#   - clipboard routing: xclip takes the X clipboard -> the text is routed,
#     median over ROUTES changes in one run
# The yardstick is the bare window with one line of Chinese (bench/bare_window.cpp
# --label), which pays for the CJK font as the window does; the bare window
# without it is printed too.  Time stamps come from the monotonic clock on all
# sides (tessel reports its first paint on its "tessel.window" debug category,
# and the steps of its start before it, printed below the ratios).
#
#   bench/window_startup.sh [path/to/tessel]
#       RUNS=15 WAKE_SECONDS=20 ROUTES=41 by default; ROUTES=0 leaves the
#       clipboard out, WAKE_SECONDS=0 the wake-ups.
#
# Figures of the last measurement are kept in bench/results/window_startup.txt.
set -euo pipefail

. "$(dirname "$0")/common.bash"
tessel="$(built_program tessel "${1:-}" "build it or pass its path")"
need_tools Xvfb xclip python3 g++ pkg-config

work="$(mktemp -d "${TMPDIR:-/tmp}/tessel-window-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -fPIC "$here/bench/bare_window.cpp" -o "$work/bare_window" \
  $(pkg-config --cflags --libs Qt6Widgets)
g++ -std=c++20 -O2 "$here/bench/map_watch.cpp" -o "$work/map_watch" $(pkg-config --cflags --libs xcb xcb-damage)

RUNS="${RUNS:-15}" WAKE_SECONDS="${WAKE_SECONDS:-20}" ROUTES="${ROUTES:-41}" \
  python3 - "$tessel" "$work/bare_window" "$work/map_watch" "$work" <<'PY'
import glob, os, queue, shutil, statistics, subprocess, sys, threading, time

tessel, bare, map_watch, work = sys.argv[1:5]
runs, wake_seconds, routes = int(os.environ["RUNS"]), int(os.environ["WAKE_SECONDS"]), int(os.environ["ROUTES"])

read_end, write_end = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                         "-noreset", "-nolisten", "tcp"], pass_fds=(write_end,),
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(write_end)
display = os.read(read_end, 16).decode().strip()
env = dict(os.environ, DISPLAY=":" + display, QT_LOGGING_RULES="tessel.window.debug=true",
           QT_MESSAGE_PATTERN="%{message}")
env.pop("QT_QPA_PLATFORM", None)

def settings(clipboard):
    cfg = os.path.join(work, "config", "TESSEL")
    os.makedirs(cfg, exist_ok=True)
    with open(os.path.join(cfg, "TESSEL.ini"), "w") as f:
        f.write("[frmMain]\nfirstrun=1\nTop=1500\nLeft=1500\nClipboard=%d\n" % clipboard)
    runtime = os.path.join(work, "run")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    return dict(env, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=runtime)

maps, draws = queue.Queue(), queue.Queue()
watcher = subprocess.Popen([map_watch], env=env, stdout=subprocess.PIPE, text=True)
if watcher.stdout.readline().strip() != "ready":
    raise SystemExit("the map watcher did not start")
def read_maps():
    for line in watcher.stdout:
        if line.startswith("mapped "):
            maps.put(int(line.split(" at ")[1]))
        elif line.startswith("drawn "):
            draws.put(int(line.split(" at ")[1]))
threading.Thread(target=read_maps, daemon=True).start()

steps = {}  # tessel's own steps of the start ("start: <step> at <us>"): where the time goes

def wait_for(proc, word, t0=None):
    while True:
        line = proc.stderr.readline()
        if not line:
            raise RuntimeError("program ended before reporting " + word)
        if t0 is not None and line.startswith("start: ") and " at " in line:
            step, at = line[len("start: "):].split(" at ")
            steps.setdefault(step, []).append((int(at.split()[0]) - t0) / 1000)
        if word in line:
            return int(line.split(" at ")[1].split()[0])

def seen_after(events, t0):
    while True:
        t = events.get(timeout=30)
        if t >= t0:
            return t

def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])

def one_start(program, program_env, args=()):
    for events in (maps, draws):
        while not events.empty():
            events.get_nowait()
    t0 = time.monotonic_ns() // 1000
    p = subprocess.Popen([program, *args], env=program_env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    paint = (wait_for(p, "first paint", t0) - t0) / 1000
    mapped = (seen_after(maps, t0) - t0) / 1000
    drawn = (seen_after(draws, t0) - t0) / 1000
    time.sleep(1)
    memory = rss_kib(p.pid) / 1024
    p.terminate(); p.wait()
    return mapped, paint, drawn, memory

def spread(values, unit, digits=1):
    q = statistics.quantiles(values, n=4) if len(values) > 1 else [values[0]] * 3
    return (f"median {statistics.median(values):.{digits}f} {unit} (middle half {q[0]:.{digits}f}–"
            f"{q[2]:.{digits}f}, all {min(values):.{digits}f}–{max(values):.{digits}f})")

def switches(pid):
    total = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass
    return total

def wakeups(program, program_env, args=()):
    p = subprocess.Popen([program, *args], env=program_env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    wait_for(p, "first paint")
    time.sleep(2)  # start-up done
    before = switches(p.pid)
    time.sleep(wake_seconds)
    count = switches(p.pid) - before
    p.terminate(); p.wait()
    return count

programs = [("tessel", tessel, lambda: settings(0), ()),
            ("label", bare, lambda: env, ("--label",)),
            ("bare", bare, lambda: env, ())]
try:
    results = {name: ([], [], [], []) for name, *_ in programs}
    for i in range(runs):
        # Each round starts one program further along, so that a drift of
        # the machine's load weighs on every program alike and no program
        # ever follows itself: a program started right after its own end
        # starts 1.5-2 ms slower (measured for both the window and the bare
        # one), which the earlier back-and-forth order gave the window and
        # the bare window in half their starts and the labelled one never.
        for name, program, program_env, args in programs[i % 3:] + programs[:i % 3]:
            for column, value in zip(results[name], one_start(program, program_env(), args)):
                column.append(value)
    names = {"tessel": "tessel", "label": "bare window with a Chinese label", "bare": "bare Qt window"}
    for index, (what, unit) in enumerate([("start to the window mapped", "ms"),
                                          ("start to the first paint", "ms"),
                                          ("start to the first frame drawn", "ms"),
                                          ("resident memory 1 s after the first paint", "MiB")]):
        print(f"{what} ({runs} alternating runs):")
        for name in ("tessel", "label", "bare"):
            print(f"  {names[name]:34} {spread(results[name][index], unit)}")
        ratio = statistics.median(results["tessel"][index]) / statistics.median(results["label"][index])
        print(f"  tessel / bare window with a Chinese label: {ratio:.2f}")
    print(f"tessel's steps to the first frame, from the start ({runs} runs, median ms; the step "
          "ends at the time shown):")
    paint = statistics.median(results["tessel"][1])
    drawn = statistics.median(results["tessel"][2])
    timeline = sorted([(statistics.median(times), step) for step, times in steps.items()
                       if statistics.median(times) < paint] +
                      [(paint, "first paint"), (drawn, "first frame drawn")])
    previous = 0.0
    for at, step in timeline:
        print(f"  {step:34} {at:6.1f}  (+{at - previous:.1f})")
        previous = at

    if wake_seconds > 0:
        home = os.path.join(work, "openbox")
        os.makedirs(home, exist_ok=True)
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=dict(env, HOME=home, XDG_CONFIG_HOME=home),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        try:
            ours = wakeups(tessel, settings(0))
            label = wakeups(bare, env, ("--label",))
        finally:
            wm.terminate(); wm.wait()
        print(f"wake-ups of the shown, untouched window under openbox over {wake_seconds} s "
              f"(voluntary + involuntary, all threads): tessel {ours} ({ours / wake_seconds:.2f}/s), "
              f"bare window with a Chinese label {label} ({label / wake_seconds:.2f}/s)")

    if routes > 0:
        p = subprocess.Popen([tessel], env=settings(1), stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        wait_for(p, "first paint")
        time.sleep(0.5)
        delays, owner = [], None
        for i in range(routes):
            t0 = time.monotonic_ns() // 1000
            owner = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
            owner.stdin.write(f"http://bench.example/{i}".encode()); owner.stdin.close()
            delays.append((wait_for(p, "routed") - t0) / 1000)
        p.terminate(); p.wait()
        owner.terminate()
        print(f"xclip change to routed text ({routes} changes): {spread(delays, 'ms')}")
finally:
    watcher.terminate()
    xvfb.terminate(); xvfb.wait()
PY
