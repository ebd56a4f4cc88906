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
# One find reads every process's working folder (a fork per process cost seconds on a busy
# machine); processes that end meanwhile are skipped quietly. The folder's name is escaped
# for -lname, which takes a pattern.
left=0
pattern=$(printf '%s' "$root" | sed 's/[][*?\\]/\\&/g')
while IFS= read -r cwd_link; do
  pid=${cwd_link#/proc/}
  pid=${pid%/cwd}
  kill -KILL "$pid" 2>/dev/null && left=$((left + 1))
done < <(find /proc/[0-9]*/cwd -maxdepth 0 \( -lname "$pattern" -o -lname "$pattern/*" \) \
  -print 2>/dev/null)
[ "$left" -eq 0 ] || echo "sandbox: ended $left program(s) left running in $root" >&2
if [ "$rc" -eq 0 ] && [ -z "${KORVA_KEEP_TEST_DIRS:-}" ]; then
  rm -rf "$root"
else
  echo "sandbox kept at $root (exit $rc)" >&2
fi
exit "$rc"
