#!/usr/bin/env bash
# Runs one test binary in a fresh temporary working directory with its own HOME,
# XDG folders, TMPDIR and run folder (the client's lock, socket and records), so that no
# test sees the user's files or another test's.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/korva-test.XXXXXX")
mkdir -p "$root/work" "$root/home" "$root/config" "$root/xdg" "$root/tmp" "$root/run"
chmod 700 "$root/run"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_CONFIG_DIRS="$root/xdg" \
  XDG_RUNTIME_DIR="$root/run" TMPDIR="$root/tmp" QT_QPA_PLATFORM=offscreen \
  KORVA_RUN_DIR="$root/run" KORVA_TEST_ROOT="$root"
cd "$root/work"
"$@"
rc=$?
cd /
# A test that fails half-way can leave a program it started (a tunnel program's double that
# loops) running on, taking the processor from the tests after it: whatever still works in
# this sandbox's folder is ended, and said.
left=0
for proc in /proc/[0-9]*; do
  cwd=$(readlink "$proc/cwd" 2>/dev/null) || continue
  case "$cwd/" in
    "$root"/*) kill -KILL "${proc#/proc/}" 2>/dev/null && left=$((left + 1)) ;;
  esac
done
[ "$left" -eq 0 ] || echo "sandbox: ended $left program(s) left running in $root" >&2
if [ "$rc" -eq 0 ] && [ -z "${KORVA_KEEP_TEST_DIRS:-}" ]; then
  rm -rf "$root"
else
  echo "sandbox kept at $root (exit $rc)" >&2
fi
exit "$rc"
