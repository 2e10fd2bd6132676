#!/usr/bin/env bash
# Times `tessel-cli fingerprint` against `rhash --crc32 --md5` and `md5sum`
# on a generated 500 MiB file (the largest size that still gets both check
# values) and prints the ratios.  The file lives in a temporary folder that
# is removed afterwards.  Every tool reads the file once to warm the page
# cache, then the best of RUNS timed runs counts.
#
#   bench/compare.sh [path/to/tessel-cli]      (RUNS=5 by default)
set -euo pipefail

. "$(dirname "$0")/common.bash"
cli="$(built_program tessel-cli "${1:-}" "run 'make bench' or pass its path")"
need_tools rhash md5sum python3
runs="${RUNS:-5}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tessel-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT
file="$work/500MiB.bin"
head -c 524288000 /dev/urandom > "$file"

# Best wall-clock seconds of $runs runs of the given command.
best() {
  python3 - "$runs" "$@" <<'PY'
import subprocess, sys, time
runs = int(sys.argv[1]); cmd = sys.argv[2:]
subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)  # warm the cache
best = float("inf")
for _ in range(runs):
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    best = min(best, time.perf_counter() - t)
print(f"{best:.3f}")
PY
}

# The three tools must agree before their times mean anything.
ours="$("$cli" fingerprint "$file")"
theirs="$(rhash --printf '%C %M' --crc32 --md5 "$file")"
crc="$(sed -n 's/^CRC32://p' <<<"$ours")"
md5="$(sed -n 's/^MD5://p' <<<"$ours")"
if [ "$crc $md5" != "${theirs^^}" ]; then
  echo "compare.sh: results differ: tessel-cli '$crc $md5', rhash '${theirs^^}'" >&2
  exit 1
fi

t_cli="$(best "$cli" fingerprint "$file")"
t_rhash="$(best rhash --crc32 --md5 "$file")"
t_md5sum="$(best md5sum "$file")"

python3 - "$t_cli" "$t_rhash" "$t_md5sum" <<'PY'
import sys
cli, rhash, md5sum = map(float, sys.argv[1:])
mib = 500
print(f"500 MiB, best of runs, page cache warm")
print(f"  tessel-cli fingerprint  {cli:6.3f} s  {mib / cli:7.1f} MiB/s")
print(f"  rhash --crc32 --md5     {rhash:6.3f} s  {mib / rhash:7.1f} MiB/s")
print(f"  md5sum                  {md5sum:6.3f} s  {mib / md5sum:7.1f} MiB/s")
print(f"  tessel-cli / md5sum     {cli / md5sum:6.3f}   (target <= 1.10)")
print(f"  tessel-cli / rhash      {cli / rhash:6.3f}   (target <  1.00)")
PY
