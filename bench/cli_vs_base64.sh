#!/usr/bin/env bash
# Times `tessel-cli decode` over one million generated thunder links with
# Chinese addresses against coreutils `base64 -d` over the same Base64
# payloads, and `tessel-cli thunder` over the addresses against `base64`
# over the same payload bytes, and prints both ratios.  The results are
# checked against the generated addresses before any time counts.  Every
# command runs once to warm the caches, then the best of RUNS timed runs
# counts, as wall-clock and as CPU time.
#
#   bench/cli_vs_base64.sh [path/to/tessel-cli]      (RUNS=3, LINKS=1000000 by default)
set -euo pipefail

. "$(dirname "$0")/common.bash"
cli="$(built_program tessel-cli "${1:-}" "run 'make bench' or pass its path")"
need_tools base64 python3 cmp
runs="${RUNS:-3}"
links="${LINKS:-1000000}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tessel-b64.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Addresses as a download site writes them: ASCII host and folders, Chinese
# file names of GB2312 characters (encoded as GBK by the link, as the
# managers do), a few ASCII letters and digits mixed in.
python3 - "$work" "$links" <<'PY'
import base64, random, sys
work, n = sys.argv[1], int(sys.argv[2])
rng = random.Random(10)
hanzi = []
for lead in range(0xB0, 0xF8):
    for trail in range(0xA1, 0xFF):
        try:
            hanzi.append(bytes([lead, trail]).decode("gbk"))
        except UnicodeDecodeError:
            pass
ascii_part = "abcdefghijklmnopqrstuvwxyz0123456789_-"
with open(f"{work}/addresses.txt", "w", encoding="utf-8") as addresses, \
     open(f"{work}/links.txt", "w") as link_file, \
     open(f"{work}/payloads.b64", "w") as payloads, \
     open(f"{work}/payloads.bin", "wb") as raw:
    for i in range(n):
        name = "".join(rng.choice(hanzi) if rng.random() < 0.8 else rng.choice(ascii_part)
                       for _ in range(rng.randint(4, 16)))
        address = f"http://dl{i % 97}.example.cn/files/{rng.randint(1, 9999)}/{name}.{rng.choice(['mp4', 'rar', 'zip', 'mkv'])}"
        payload = b"AA" + address.encode("gbk") + b"ZZ"
        b64 = base64.b64encode(payload).decode("ascii")
        addresses.write(address + "\n")
        link_file.write(f"thunder://{b64}/\n")
        payloads.write(b64 + "\n")
        raw.write(payload)
PY

# The results must be right before their times mean anything.
"$cli" decode < "$work/links.txt" > "$work/decoded.txt"
cmp -s "$work/decoded.txt" "$work/addresses.txt" || { echo "cli_vs_base64.sh: decode gave other addresses" >&2; exit 1; }
"$cli" thunder < "$work/addresses.txt" > "$work/encoded.txt"
cmp -s "$work/encoded.txt" "$work/links.txt" || { echo "cli_vs_base64.sh: thunder gave other links" >&2; exit 1; }

# Best wall-clock and best CPU (user + system) seconds of $runs runs: stdin
# from $1, the rest is the command.  CPU time is the steadier figure on a
# busy machine.
best() {
  python3 - "$runs" "$@" <<'PY'
import os, subprocess, sys, time
runs = int(sys.argv[1]); source = sys.argv[2]; cmd = sys.argv[3:]
def once():
    with open(source, "rb") as f, open(os.devnull, "wb") as null:
        t = time.perf_counter()
        p = subprocess.Popen(cmd, stdin=f, stdout=null)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t
        if status != 0:
            sys.exit(f"cli_vs_base64.sh: {cmd[0]} failed")
        return wall, usage.ru_utime + usage.ru_stime
once()
times = [once() for _ in range(runs)]
print(f"{min(w for w, _ in times):.3f} {min(c for _, c in times):.3f}")
PY
}

read -r w_decode c_decode < <(best "$work/links.txt" "$cli" decode)
read -r w_b64d c_b64d < <(best "$work/payloads.b64" base64 -d)
read -r w_encode c_encode < <(best "$work/addresses.txt" "$cli" thunder)
read -r w_b64 c_b64 < <(best "$work/payloads.bin" base64)

python3 - "$links" "$runs" "$w_decode" "$c_decode" "$w_b64d" "$c_b64d" "$w_encode" "$c_encode" "$w_b64" "$c_b64" <<'PY'
import os, sys
n, runs = int(sys.argv[1]), int(sys.argv[2])
wd, cd, wbd, cbd, we, ce, wb, cb = map(float, sys.argv[3:])
print(f"{n} thunder links with Chinese addresses, best of {runs} runs (load average {os.getloadavg()[0]:.1f})")
print(f"  tessel-cli decode   {wd:6.3f} s wall {cd:6.3f} s CPU   base64 -d  {wbd:6.3f} s wall {cbd:6.3f} s CPU"
      f"   ratio {wd / wbd:5.2f} wall {cd / cbd:5.2f} CPU   (target <= 2)")
print(f"  tessel-cli thunder  {we:6.3f} s wall {ce:6.3f} s CPU   base64     {wb:6.3f} s wall {cb:6.3f} s CPU"
      f"   ratio {we / wb:5.2f} wall {ce / cb:5.2f} CPU   (target <= 2)")
PY
