# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the comparison scripts: where the built programs are, and the
# tools a comparison needs.  Anything missing ends the script with status 2.

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
script="$(basename "$0")"

# Prints the path of program NAME: GIVEN when set, else the benchmark
# build's or the ordinary build's.  HINT ends the complaint when none is there.
built_program() {
  local name="$1" given="$2" hint="$3" c
  if [ -z "$given" ]; then
    for c in "$here/build-bench/bin/$name" "$here/build/bin/$name"; do
      if [ -x "$c" ]; then given="$c"; break; fi
    done
  fi
  if [ -z "$given" ] || [ ! -x "$given" ]; then
    echo "$script: $name not found; $hint" >&2
    exit 2
  fi
  printf '%s\n' "$given"
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$script: $tool is missing" >&2; exit 2; }
  done
}
