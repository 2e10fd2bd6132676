#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures the fuzz build (clang), builds the targets and runs each one in
# turn on its seeds for SECONDS (default 60).
#
#   fuzz/run.sh [SECONDS] [TARGET...]      TARGET: text links web_replies handoff aria2_reply
#                                          ytdlp_reply settings forward_message browser_message
#
# Each input gets TIMEOUT seconds (default 2): every reader is linear in its
# input, so one that takes longer is a finding.  MAX_LEN (default 8192)
# bounds the inputs.
#
# New inputs the fuzzer finds go to $BUILD/corpus/<target>/, so the seeds in
# fuzz/corpus/ stay as they are; a crash, a hang or a sanitizer report stops
# that target and leaves its input in $BUILD/crashes/<target>/.  The exit
# status is non-zero when any target failed.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-fuzz}
JOBS=${JOBS:-2}
SECONDS_EACH=${1:-60}
TIMEOUT=${TIMEOUT:-2}
MAX_LEN=${MAX_LEN:-8192}
[ $# -gt 0 ] && shift
# The settings target writes a file per input: in memory it runs five times
# as many inputs.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=/dev/shm
  export TMPDIR
fi
TARGETS=${*:-text links web_replies handoff aria2_reply ytdlp_reply settings forward_message browser_message}

if [ ! -f "$BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
    -DTESSEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
set --
for t in $TARGETS; do set -- "$@" "${t}_fuzz"; done
cmake --build "$BUILD" -j "$JOBS" --target "$@"

failed=""
for t in $TARGETS; do
  mkdir -p "$BUILD/corpus/$t" "$BUILD/crashes/$t"
  dict=""
  [ -f "$ROOT/fuzz/$t.dict" ] && dict="-dict=$ROOT/fuzz/$t.dict"
  echo "== $t: ${SECONDS_EACH}s"
  # shellcheck disable=SC2086  # $dict is one word or none
  if ! "$BUILD/fuzz/${t}_fuzz" $dict \
      -max_total_time="$SECONDS_EACH" -timeout="$TIMEOUT" -rss_limit_mb=2048 -max_len="$MAX_LEN" \
      -print_final_stats=1 -artifact_prefix="$BUILD/crashes/$t/" \
      "$BUILD/corpus/$t" "$ROOT/fuzz/corpus/$t" 2>"$BUILD/$t.log"; then
    failed="$failed $t"
    tail -n 40 "$BUILD/$t.log"
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' "$BUILD/$t.log" || true
  fi
done

if [ -n "$failed" ]; then
  echo "failed:$failed (inputs in $BUILD/crashes/)"
  exit 1
fi
echo "no failures"
