#!/usr/bin/env bash
# Quorvel's two commands on Debian 12:
#   ./quorvel.sh run    install what is missing, build, make an empty database
#                       if there is none, and start Quorvel
#   ./quorvel.sh test   install what is missing, build with AddressSanitizer and
#                       UndefinedBehaviorSanitizer, and run every test headless
#   ./quorvel.sh package  (optional) build the Debian package quorvel_*.deb in
#                       build-package/ and check it with lintian
#   ./quorvel.sh screenshots  (optional) a picture of every window on the example
#                       roster, under Xvfb, into docs/screenshots/
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-translations-l10n
  qt6-charts-dev
  libsqlcipher-dev
  libxlsxwriter-dev
  libfreexl-dev python3-xlwt
  libzip-dev libxml2-dev
  # Qt TextToSpeech; its headers need QtQmlIntegration from qt6-declarative-dev;
  # speech-dispatcher speaks Chinese through its espeak-ng module
  qt6-speech-dev qt6-declarative-dev qt6-speech-speechd-plugin speech-dispatcher
  speech-dispatcher-espeak-ng espeak-ng
  # bench_window_map watches the X server for the main window
  libx11-dev
  fonts-noto-cjk
  desktop-file-utils appstream
  python3-openpyxl
  # the command tests run on a private session bus (dbus-run-session)
  dbus
)

install_missing() {  # install_missing [extra packages...]
  local missing=() p
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j"$(nproc)"
}

case "${1:-}" in
  run)
    install_missing
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    exec ./build/bin/quorvel
    ;;
  test)
    install_missing
    build build-test -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cd build-test
    ctest --output-on-failure --timeout 600
    ;;
  package)
    install_missing lintian
    cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
    cmake --build build-package --target package_contents -j"$(nproc)"
    (cd build-package && cpack -G DEB)
    lintian --fail-on error build-package/quorvel_*.deb
    ls build-package/quorvel_*.deb
    ;;
  screenshots)
    install_missing xvfb xauth
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    xvfb-run -a -s "-screen 0 1920x1080x24" ./build/bin/quorvel-screenshots docs/screenshots
    ;;
  *)
    echo "usage: $0 run|test|package|screenshots" >&2
    exit 2
    ;;
esac
