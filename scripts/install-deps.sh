#!/usr/bin/env bash
# Installs the Debian packages Tessel needs.  Only what is missing is
# installed; nothing is asked.
#
#   install-deps.sh --build   what compiling and packaging need (make package)
#   install-deps.sh --run     that, and what the program needs at run time (make run)
#   install-deps.sh [--all]   that, and the test desktop, benchmarks and checks (make test)
set -euo pipefail

BUILD=(
  g++ cmake ninja-build pkg-config make ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  # our pictures are read by libpng, and fontconfig is warmed up at start
  libpng-dev libfontconfig-dev
  libcurl4-openssl-dev libssl-dev nlohmann-json3-dev zlib1g-dev
  # aria2's notifications over its WebSocket; desktop notifications use QtDBus (in qt6-base)
  qt6-websockets-dev
  # the package's library dependencies (dpkg-shlibdeps)
  dpkg-dev
)
RUN=(
  # a Chinese face, Qt's own texts in Chinese, the video engine
  fonts-wqy-microhei qt6-translations-l10n yt-dlp
)
TEST=(
  googletest libgtest-dev libgmock-dev libcpp-httplib-dev
  xvfb xauth xclip xdotool x11-utils imagemagick aria2 trayer openbox python3
  # a private session bus with a real notification daemon, and a recording
  # notification service of the tests' own (Python D-Bus on a GLib loop)
  dbus dunst python3-dbus python3-gi
  # the browser extension in a real Chromium and Firefox ESR; the question's
  # text read over the accessibility bus
  chromium chromium-driver python3-selenium firefox-esr at-spi2-core gir1.2-atspi-2.0
  # desktop integration and packaging checks
  xdg-utils desktop-file-utils appstream lintian
  # benchmarks (the window's first frame is seen through the X server's
  # DAMAGE extension), fuzzing and the format check
  libbenchmark-dev libxcb-damage0-dev rhash clang libclang-rt-dev clang-format
)

case "${1:---all}" in
  --build) PACKAGES=("${BUILD[@]}") ;;
  --run) PACKAGES=("${BUILD[@]}" "${RUN[@]}") ;;
  --all) PACKAGES=("${BUILD[@]}" "${RUN[@]}" "${TEST[@]}") ;;
  *)
    echo "usage: $0 [--build | --run | --all]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
