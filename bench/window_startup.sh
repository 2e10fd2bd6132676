#!/usr/bin/env bash
# The window program beside a bare Qt 6 window of the same size, on Xvfb:
#   - start to first paint (process spawned -> first paintEvent), median of RUNS
#   - resident memory one second after the first paint, median of RUNS
#   - clipboard routing: xclip takes the X clipboard -> the text is routed,
#     median over ROUTES changes in one run
# Time stamps come from the monotonic clock on both sides (tessel reports them
# on its "tessel.window" debug category).
#
#   bench/window_startup.sh [path/to/tessel]      (RUNS=9 ROUTES=41 by default)
set -euo pipefail

. "$(dirname "$0")/common.bash"
tessel="$(built_program tessel "${1:-}" "build it or pass its path")"
need_tools Xvfb xclip python3 g++ pkg-config

work="$(mktemp -d "${TMPDIR:-/tmp}/tessel-window-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -fPIC "$here/bench/bare_window.cpp" -o "$work/bare_window" \
  $(pkg-config --cflags --libs Qt6Widgets)

RUNS="${RUNS:-9}" ROUTES="${ROUTES:-41}" python3 - "$tessel" "$work/bare_window" "$work" <<'PY'
import os, statistics, subprocess, sys, time

tessel, bare, work = sys.argv[1:4]
runs, routes = int(os.environ["RUNS"]), int(os.environ["ROUTES"])

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

def wait_for(proc, word):
    while True:
        line = proc.stderr.readline()
        if not line:
            raise RuntimeError("program ended before reporting " + word)
        if word in line:
            return int(line.split(" at ")[1].split()[0])

def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])

def startup(program, program_env, args=()):
    paints, memory = [], []
    for _ in range(runs):
        t0 = time.monotonic_ns() // 1000
        p = subprocess.Popen([program, *args], env=program_env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        paints.append((wait_for(p, "first paint") - t0) / 1000)
        time.sleep(1)
        memory.append(rss_kib(p.pid) / 1024)
        p.terminate(); p.wait()
    return statistics.median(paints), statistics.median(memory)

try:
    bare_ms, bare_mib = startup(bare, env)
    label_ms, label_mib = startup(bare, env, ["--label"])
    ours_ms, ours_mib = startup(tessel, settings(0))
    print(f"start to first paint: tessel {ours_ms:.1f} ms, bare Qt window {bare_ms:.1f} ms "
          f"({ours_ms / bare_ms:.2f}x), bare window with a Chinese label {label_ms:.1f} ms "
          f"({ours_ms / label_ms:.2f}x)")
    print(f"resident memory:      tessel {ours_mib:.1f} MiB, bare Qt window {bare_mib:.1f} MiB "
          f"({ours_mib / bare_mib:.2f}x), bare window with a Chinese label {label_mib:.1f} MiB "
          f"({ours_mib / label_mib:.2f}x)")

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
    print(f"xclip change to routed text: median {statistics.median(delays):.1f} ms "
          f"(min {min(delays):.1f}, max {max(delays):.1f}, {routes} changes)")
finally:
    xvfb.terminate(); xvfb.wait()
PY
