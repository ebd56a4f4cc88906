#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   ./dev.sh run    install what is missing, build, start the client
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh build  build only
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
build="${KORVA_BUILD_DIR:-$top/build}"
jobs=$(nproc)

build_all() {
  bash "$top/scripts/install-deps.sh"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$jobs"
}

case "${1:-}" in
  build)
    build_all
    ;;
  run)
    build_all
    cd "$build/korva"
    if [ -x "./korva-vpn" ]; then
      if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found: starting the client on a virtual display (xvfb-run)."
        exec xvfb-run -a ./korva-vpn "${@:2}"
      fi
      exec ./korva-vpn "${@:2}"
    fi
    # The client's window is not built yet: show what exists, the widget kit in both
    # colour modes, rendered to PNG files beside the bundle.
    shots="$build/korva/widget-screenshots"
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/tools/screenshots/korva_screenshots" "$shots"
    echo "The client's main window is not built yet. The widget kit is rendered in $shots;"
    echo "the libraries, the program bundle and the tests are in $build."
    ;;
  test)
    build_all
    cd "$build"
    ctest --output-on-failure -j "$jobs"
    ;;
  *)
    echo "usage: $0 run|test|build" >&2
    exit 2
    ;;
esac
