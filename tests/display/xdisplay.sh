#!/usr/bin/env bash
# Runs one test program on an X server of its own: Xvfb on a display number it picks
# itself (so that runs side by side never meet), Qt's xcb platform, and with --wm a window
# manager (openbox) on that display, ready before the program starts. Both end with the
# program, by their own process ids. With --compositor also a compositing manager
# (xcompmgr), ready (owning the screen's _NET_WM_CM_S0 selection) before the program starts.
# --screen WxH gives the screen that size (a laptop's, say) instead of the large one the
# lane uses by default; --dpi N sets the desktop's dpi as HiDPI X desktops do (the X
# server's and the `Xft.dpi` resource, which Qt takes as the screen's logical dpi).
#   xdisplay.sh [--wm] [--compositor] [--screen WxH] [--dpi N] PROGRAM [ARGS...]
# Exits with the program's code; with 77 (a skip) and the reason only where Xvfb cannot
# start.
set -u
wm=0
compositor=0
# Large enough for the profile editor's pages grown to their whole height.
screen=1920x2000
dpi=
while :; do
  case "${1:-}" in
  --wm) wm=1 ;;
  --compositor) compositor=1 ;;
  --screen)
    screen=$2
    shift
    ;;
  --dpi)
    dpi=$2
    shift
    ;;
  *) break ;;
  esac
  shift
done
case "$screen" in
[0-9]*x[0-9]*) ;;
*)
  echo "xdisplay.sh: --screen takes WIDTHxHEIGHT, not '$screen'" >&2
  exit 2
  ;;
esac
case "$dpi" in
'' | [0-9] | [0-9][0-9] | [0-9][0-9][0-9]) ;;
*)
  echo "xdisplay.sh: --dpi takes a number, not '$dpi'" >&2
  exit 2
  ;;
esac

skip() {
  echo "real-display test not run: $*" >&2
  exit 77
}

command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed (scripts/install-deps.sh installs it)"
needed=()
[ "$wm" -eq 1 ] && needed+=(openbox xprop)
[ "$compositor" -eq 1 ] && needed+=(xcompmgr python3)
if [ ${#needed[@]} -gt 0 ]; then
  for program in "${needed[@]}"; do
    if ! command -v "$program" >/dev/null 2>&1; then
      echo "$program is not installed (scripts/install-deps.sh installs it)" >&2
      exit 1
    fi
  done
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/xdisplay.XXXXXX")
xvfb_pid=
wm_pid=
cm_pid=
finish() {
  if [ -n "$cm_pid" ]; then
    kill "$cm_pid" 2>/dev/null
    wait "$cm_pid" 2>/dev/null
  fi
  if [ -n "$wm_pid" ]; then
    kill "$wm_pid" 2>/dev/null
    wait "$wm_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$scratch"
}
trap finish EXIT

# Xvfb writes its display number once it accepts connections. Each start is waited for up
# to a minute: a busy machine takes seconds.
Xvfb -displayfd 3 -screen 0 "${screen}x24" ${dpi:+-dpi "$dpi"} -nolisten tcp -noreset 3>"$scratch/display" \
  >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
deadline=$((SECONDS + 60))
while [ "$SECONDS" -lt "$deadline" ]; do
  grep -q '^[0-9]' "$scratch/display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
number=$(head -1 "$scratch/display" 2>/dev/null | tr -dc '0-9')
if [ -z "$number" ]; then
  reason=$(tail -3 "$scratch/xvfb.log" 2>/dev/null | tr '\n' ' ')
  skip "Xvfb did not start: ${reason:-no display number within 60 s}"
fi
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb KORVA_TEST_DISPLAY="$([ "$wm" -eq 1 ] && echo openbox || echo bare)"
export KORVA_TEST_COMPOSITOR="$([ "$compositor" -eq 1 ] && echo xcompmgr || echo none)"

# The desktop's dpi as its session sets it (xrdb): the resource database on the root window,
# with the tab that Qt looks for after the name.
if [ -n "$dpi" ]; then
  command -v xprop >/dev/null 2>&1 || {
    echo "xprop is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
  }
  if ! xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER $'Xft.dpi:\t'"$dpi"$'\n'; then
    echo "could not set Xft.dpi on $DISPLAY" >&2
    exit 1
  fi
fi

if [ "$wm" -eq 1 ]; then
  openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
  wm_pid=$!
  # The window manager is ready once it announces itself on the root window.
  ready=0
  deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      ready=1
      break
    fi
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ "$ready" -ne 1 ]; then
    echo "openbox did not start on $DISPLAY:" >&2
    cat "$scratch/openbox.log" >&2
    exit 1
  fi
fi

# True once a compositing manager owns the selection of screen 0.
compositor_ready() {
  python3 - <<'PYTHON'
import ctypes
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XGetSelectionOwner.restype = ctypes.c_ulong
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
owner = x11.XGetSelectionOwner(display, x11.XInternAtom(display, b"_NET_WM_CM_S0", 0)) if display else 0
if display:
    x11.XCloseDisplay(display)
raise SystemExit(0 if owner else 1)
PYTHON
}

if [ "$compositor" -eq 1 ]; then
  xcompmgr >"$scratch/xcompmgr.log" 2>&1 &
  cm_pid=$!
  ready=0
  deadline=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$deadline" ]; do
    if compositor_ready; then
      ready=1
      break
    fi
    kill -0 "$cm_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ "$ready" -ne 1 ]; then
    echo "xcompmgr did not start on $DISPLAY:" >&2
    cat "$scratch/xcompmgr.log" >&2
    exit 1
  fi
fi

rc=0
"$@" || rc=$?
finish
trap - EXIT
exit "$rc"
