#!/usr/bin/env bash
# Set-up, build, run and test in one place.
#   ./dev.sh run     install what is missing, build, start the client
#   ./dev.sh build   build only
#   ./dev.sh test    install what is missing, then run the three parts below, each in a
#                    build folder of its own; fails when any part fails
#     ./dev.sh test --plain      the format check, the build (warnings are errors) and every
#                                test (build/)
#     ./dev.sh test --sanitize   every test under AddressSanitizer and UndefinedBehaviorSanitizer
#                                (build-sanitize/)
#     ./dev.sh test --fuzz       each fuzz target for 30 s (build-fuzz/; KORVA_FUZZ_SECONDS)
#   ./dev.sh bench   build, then run the client benchmark against its aims (about 3 minutes)
#   ./dev.sh fuzz [SECONDS] [TARGET...]
#                    fuzz the targets (all by default) for SECONDS each (600 by default),
#                    keeping what they find in build-fuzz/fuzz/corpus/
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
build="${KORVA_BUILD_DIR:-$top/build}"
sanitize_build="$top/build-sanitize"
fuzz_build="$top/build-fuzz"
jobs=$(nproc)

# The test parts build with KORVA_WERROR: a warning in the project's own code fails them.
# A plain build (run, build, bench) keeps the folder's own setting, off by default.
build_all() {
  bash "$top/scripts/install-deps.sh" &&
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$build" -j "$jobs" &&
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

# --- Test parts ---------------------------------------------------------------------
# Each part prints what it runs and sets part_passed / part_failed (tests, or targets)
# for the summary; it returns non-zero when anything in it failed. The parts run in
# subshells without errexit, so every step checks its own result.

part_counts=/dev/null

# Runs ctest in the current folder, keeping its tallies for the summary.
run_ctest() {
  local log rc=0
  log=$(mktemp)
  ctest --output-on-failure -j "$jobs" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  rm -f "$log"
  if [ -n "$line" ]; then
    local failed total
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/')
    echo "$((total - failed)) $failed" >"$part_counts"
  else
    echo "0 1" >"$part_counts"
  fi
  return "$rc"
}

# The C++ files git tracks, checked against .clang-format without changing them. Prints
# the files that differ and how to fix them; returns non-zero when any does.
check_format() {
  local files=() report drifted
  mapfile -t files < <(git -C "$top" ls-files -- '*.cpp' '*.cc' '*.c' '*.h' '*.hpp')
  if [ ${#files[@]} -eq 0 ]; then
    echo "format: no tracked C++ files found (not a git checkout?)"
    return 1
  fi
  report=$(cd "$top" && clang-format --dry-run -Werror "${files[@]}" 2>&1) && {
    echo "format: ${#files[@]} files match .clang-format"
    return 0
  }
  drifted=$(echo "$report" | grep -oE '^[^:]+:[0-9]+:[0-9]+: error' | cut -d: -f1 | sort -u)
  if [ -z "$drifted" ]; then
    echo "$report"
    echo "format: clang-format failed"
    return 1
  fi
  echo "format: these files differ from .clang-format; run clang-format -i on them:"
  echo "$drifted" | sed 's/^/  /'
  return 1
}

# The format check first; the build and the tests run whatever it found, and the part fails
# when any of the three does.
part_plain() {
  echo "==== plain: format check, build and every test ($build) ===="
  local formatted=0
  bash "$top/scripts/install-deps.sh" && check_format || formatted=1
  build_all -DKORVA_WERROR=ON || { echo "0 $((1 + formatted))" >"$part_counts"; return 1; }
  local rc=0 p f
  cd "$build" && run_ctest || rc=$?
  read -r p f <"$part_counts"
  if [ "$formatted" -ne 0 ]; then
    echo "$p $((f + 1))" >"$part_counts"
    echo "The format check failed (see its list above)."
    return 1
  fi
  return "$rc"
}

# The sanitizer build: g++'s AddressSanitizer and UndefinedBehaviorSanitizer; every
# finding ends the program that made it. LeakSanitizer is on only with
# KORVA_SANITIZE_LEAKS=1: it still reports the store's SQLite connection that the GUI tests
# leave open at exit.
part_sanitize() {
  echo "==== sanitize: build and every test under AddressSanitizer and UndefinedBehaviorSanitizer ($sanitize_build) ===="
  bash "$top/scripts/install-deps.sh" || { echo "0 1" >"$part_counts"; return 1; }
  cmake -S "$top" -B "$sanitize_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_SANITIZE=ON -DKORVA_WERROR=ON \
    >/dev/null &&
    cmake --build "$sanitize_build" -j "$jobs" || { echo "0 1" >"$part_counts"; return 1; }
  cd "$sanitize_build" &&
    ASAN_OPTIONS="detect_leaks=${KORVA_SANITIZE_LEAKS:-0}:check_initialization_order=1:${ASAN_OPTIONS:-}" \
      UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}" run_ctest
}

fuzz_build_all() {
  bash "$top/scripts/install-deps.sh" fuzz &&
    CC=clang CXX=clang++ cmake -S "$top" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_FUZZ=ON \
      -DKORVA_WERROR=ON >/dev/null &&
    cmake --build "$fuzz_build" -j "$jobs" --target korva_fuzz
}

# Runs fuzz targets side by side for a fixed time each, from their seed corpus and what
# earlier runs of this build folder found. Each runs in a scratch folder with its own
# HOME and XDG folders; a crash leaves its input in build-fuzz/fuzz/artifacts/<target>/.
run_fuzz_targets() {
  local seconds=$1
  shift
  local wanted=" $* "
  local list="$fuzz_build/fuzz/targets.txt"
  local scratch="$fuzz_build/fuzz/run"
  rm -rf "$scratch"
  mkdir -p "$scratch"
  local symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
  [ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
  local names=() programs=() pids=()
  local name program seeds
  while read -r name program seeds; do
    [ -n "$name" ] || continue
    if [ "$wanted" != "  " ] && [[ "$wanted" != *" $name "* ]]; then
      continue
    fi
    local home="$scratch/$name" corpus="$fuzz_build/fuzz/corpus/$name" found="$fuzz_build/fuzz/artifacts/$name"
    mkdir -p "$home/work" "$home/home" "$home/config" "$home/xdg" "$home/tmp" "$home/run" "$corpus" "$found"
    chmod 700 "$home/run"
    (
      cd "$home/work" &&
        HOME="$home/home" XDG_CONFIG_HOME="$home/config" XDG_CONFIG_DIRS="$home/xdg" XDG_RUNTIME_DIR="$home/run" \
          TMPDIR="$home/tmp" QT_QPA_PLATFORM=offscreen \
          "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
          -artifact_prefix="$found/" "$corpus" "$seeds" >"$home/fuzz.log" 2>&1
    ) &
    names+=("$name")
    programs+=("$program")
    pids+=($!)
  done <"$list"
  if [ ${#names[@]} -eq 0 ]; then
    echo "No fuzz target named:$wanted(see $list)"
    echo "0 1" >"$part_counts"
    return 1
  fi
  echo "Fuzzing ${names[*]} for $seconds s each, side by side."
  local failed=0 i
  for i in "${!names[@]}"; do
    name=${names[$i]}
    local rc=0
    wait "${pids[$i]}" || rc=$?
    local log="$scratch/$name/fuzz.log"
    local runs
    runs=$(grep -E '^stat::number_of_executed_units:' "$log" | awk '{print $2}' || true)
    if [ "$rc" -eq 0 ]; then
      echo "fuzz $name: passed (${runs:-?} inputs in $seconds s)"
    else
      failed=$((failed + 1))
      echo "fuzz $name: FAILED (exit $rc). The end of its log, $log:"
      grep -v -E '^#[0-9]+' "$log" | tail -40
      local input
      input=$(grep -oE 'Test unit written to .*' "$log" | sed 's/Test unit written to //' | tail -1 || true)
      if [ -n "$input" ]; then
        echo "fuzz $name: the input is kept at $input; replay it with: ${programs[$i]} '$input'"
      fi
    fi
  done
  echo "$((${#names[@]} - failed)) $failed" >"$part_counts"
  [ "$failed" -eq 0 ]
}

part_fuzz() {
  local seconds=${KORVA_FUZZ_SECONDS:-30}
  echo "==== fuzz: each fuzz target for $seconds s ($fuzz_build) ===="
  fuzz_build_all || { echo "0 1" >"$part_counts"; return 1; }
  run_fuzz_targets "$seconds"
}

# Runs the chosen parts in order, whatever an earlier one gave, then a summary: which
# part ran, its result and time, and the tests that passed and failed in all.
run_parts() {
  local summary=() passed=0 failed=0 any_failed=0 part
  for part in "$@"; do
    part_counts=$(mktemp)
    echo "0 0" >"$part_counts"
    local start=$SECONDS rc=0
    ("part_$part") || rc=$?
    local took=$((SECONDS - start)) p f
    read -r p f <"$part_counts"
    rm -f "$part_counts"
    passed=$((passed + p))
    failed=$((failed + f))
    local result=passed
    if [ "$rc" -ne 0 ]; then
      result=FAILED
      any_failed=1
      [ "$f" -gt 0 ] || failed=$((failed + 1))
    fi
    summary+=("$(printf '%-9s %-7s %3dm%02ds  %s passed, %s failed' "$part" "$result" $((took / 60)) $((took % 60)) "$p" "$f")")
  done
  echo
  echo "==== summary of ./dev.sh test ===="
  printf '%s\n' "${summary[@]}"
  echo "total: $passed passed, $failed failed"
  return "$any_failed"
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
    case "${2:-}" in
      "") run_parts plain sanitize fuzz ;;
      --plain) run_parts plain ;;
      --sanitize) run_parts sanitize ;;
      --fuzz) run_parts fuzz ;;
      *)
        echo "usage: $0 test [--plain|--sanitize|--fuzz]" >&2
        exit 2
        ;;
    esac
    ;;
  fuzz)
    seconds=600
    if [[ "${2:-}" =~ ^[0-9]+$ ]]; then
      seconds=$2
      shift
    fi
    shift
    fuzz_build_all
    part_counts=/dev/null
    run_fuzz_targets "$seconds" "$@"
    ;;
  bench)
    build_all
    "$build/tools/bench_client/bench_client" --aims "${@:2}"
    ;;
  *)
    echo "usage: $0 run|build|test [--plain|--sanitize|--fuzz]|bench|fuzz [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
