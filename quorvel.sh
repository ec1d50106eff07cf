#!/usr/bin/env bash
# Quorvel's two commands on Debian 12:
#   ./quorvel.sh run    install what is missing, build, make an empty database
#                       if there is none, and start Quorvel
#   ./quorvel.sh test   install what is missing, build with AddressSanitizer and
#                       UndefinedBehaviorSanitizer, and run every test headless
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-translations-l10n
  libsqlcipher-dev
  # Qt TextToSpeech; its headers need QtQmlIntegration from qt6-declarative-dev
  qt6-speech-dev qt6-declarative-dev qt6-speech-speechd-plugin speech-dispatcher espeak-ng
  fonts-noto-cjk
)

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
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
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
