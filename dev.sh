#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   ./dev.sh run    install what is missing, build, start the client
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh build  build only
#   ./dev.sh bench  build, then run the client benchmark against its aims (about 3 minutes)
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
build="${KORVA_BUILD_DIR:-$top/build}"
jobs=$(nproc)

build_all() {
  bash "$top/scripts/install-deps.sh"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$jobs"
  install_polkit_action
}

# The client runs as root; started by another user it runs itself again through pkexec,
# which needs this build's polkit action (it keeps the user's display).
install_polkit_action() {
  local actions=/usr/share/polkit-1/actions
  if [ "$(id -u)" -ne 0 ]; then
    echo "Not root: the polkit action in $build/korva/polkit/ is not installed into $actions." >&2
    return 0
  fi
  mkdir -p "$actions"
  for policy in "$build"/korva/polkit/*.policy; do
    [ -e "$policy" ] && install -m 0644 "$policy" "$actions/"
  done
  return 0
}

# Runs the client on a virtual display of its own. Xvfb runs in a session of its own, so
# that a Ctrl-C reaches only the client, which closes itself as on a close from the
# system; the display ends after it.
run_on_virtual_display() {
  local n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): starting the client on the virtual display :$n (Xvfb). Ctrl-C stops it."
  setsid Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  local rc=0
  DISPLAY=":$n" ./korva-vpn "$@" || rc=$?
  echo "The client has stopped (exit code $rc)."
  return "$rc"
}

case "${1:-}" in
  build)
    build_all
    ;;
  run)
    build_all
    # The client's working folder holds the program bundle it drives.
    cd "$build/korva"
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      run_on_virtual_display "${@:2}"
    else
      exec ./korva-vpn "${@:2}"
    fi
    ;;
  test)
    build_all
    cd "$build"
    ctest --output-on-failure -j "$jobs"
    ;;
  bench)
    build_all
    "$build/tools/bench_client/bench_client" --aims "${@:2}"
    ;;
  *)
    echo "usage: $0 run|test|build|bench" >&2
    exit 2
    ;;
esac
