#!/usr/bin/env bash
# Builds corvane.exe and runs every test layer: unit (native, sanitizers), fuzz
# (libFuzzer, a few seconds per target), win32
# (the real adapter under Wine) and e2e (the real program under Wine on Xvfb).
# Installs what the machine lacks first. Ends with "N passed, N failed".
# The e2e layer mostly waits on the program under Wine: it starts as soon as
# corvane.exe is built, in two sessions side by side, and runs beside the other
# layers (CORVANE_TEST_SERIAL=1 waits for it before the others start).
set -uo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
PY=/usr/bin/python3
JOBS=2

# shellcheck source=scripts/deps.sh
. scripts/deps.sh

WORK=$(mktemp -d /tmp/corvane-test.XXXXXX)
XVFB_PID=""
SERVICE_PID=""
E2E_PIDS=()
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
  local code=$?
  trap - EXIT INT TERM
  local pid
  for pid in "${E2E_PIDS[@]}"; do stop_pid "$pid"; done
  if [ -n "$SERVICE_PID" ]; then stop_pid "$SERVICE_PID"; fi
  if [ -d "$WINEPREFIX" ] && command -v wineserver >/dev/null; then
    timeout 30 wineserver -k >/dev/null 2>&1
    timeout 30 wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$XVFB_PID" ]; then stop_pid "$XVFB_PID"; fi
  rm -rf "$WORK"
  exit "$code"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

PASSED=0 FAILED=0 SKIPPED=0
SUMMARY=()

now() { date +%s; }
note() { printf '== %s\n' "$*"; }
# layer NAME SECONDS PASSED FAILED SKIPPED [remark]
layer() {
  PASSED=$((PASSED + $3)); FAILED=$((FAILED + $4)); SKIPPED=$((SKIPPED + $5))
  local line
  line=$(printf '%-7s %3d passed, %d failed, %d skipped  (%ss)%s' "$1:" "$3" "$4" "$5" "$2" "${6:+  $6}")
  SUMMARY+=("$line")
  note "$line"
}

# ---- what the machine lacks ------------------------------------------------
corvane_install_deps || exit 1

# ---- build -------------------------------------------------------------------
# build PRESET [TARGET...]: all of the preset, or only the targets named.
build() {
  local preset=$1 start
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  start=$(now)
  if cmake --preset "$preset" >"$WORK/configure-$preset.log" 2>&1 &&
     cmake --build --preset "$preset" -j"$JOBS" "${targets[@]}" >"$WORK/build-$preset.log" 2>&1; then
    note "build $preset: ok ($(( $(now) - start ))s)"
    return 0
  fi
  # A build folder configured before a toolchain change keeps the old compilers: start it afresh once.
  note "build $preset failed; configuring it afresh"
  if cmake --preset "$preset" --fresh >"$WORK/configure-$preset.log" 2>&1 &&
     cmake --build --preset "$preset" -j"$JOBS" "${targets[@]}" >"$WORK/build-$preset.log" 2>&1; then
    note "build $preset: ok ($(( $(now) - start ))s)"
    return 0
  fi
  tail -n 40 "$WORK/configure-$preset.log" "$WORK/build-$preset.log"
  layer "build" $(( $(now) - start )) 0 1 0 "the $preset preset does not build"
  return 1
}
NATIVE_OK=0; WINDOWS_OK=0
# The native benchmarks compile every logic source again, optimised: here only
# their own files are compiled, so that a change that breaks them still shows.
NATIVE_BENCH_OBJECTS=()
for source in bench/*_native.cpp; do
  [ -f "$source" ] || continue
  NATIVE_BENCH_OBJECTS+=("CMakeFiles/$(basename "$source" .cpp).dir/$source.o")
done
build windows && WINDOWS_OK=1

# ---- e2e, started now, counted at the end ------------------------------------------
# Two sessions, each with its own display, prefix and service: the files whose
# tests mostly wait on the service (held, failing or silent uploads, the service
# itself) run in the second, beside the rest.
E2E_BESIDE=(tests/e2e/test_service_replies.py tests/e2e/test_busy_and_shell.py tests/e2e/test_failed_upload.py
            tests/e2e/test_own_service.py tests/e2e/test_service_double.py service/test_webservice.py)
E2E_LOGS=() E2E_START=0
# start_pytest NAME ARGS...: runs pytest in the background into $WORK/NAME.log.
start_pytest() {
  local name=$1
  shift
  # The harness bounds each of its waits; this bounds the whole run besides.
  timeout -k 30 1800 "$PY" -m pytest -q -p no:cacheprovider -rfEs "$@" >"$WORK/$name.log" 2>&1 &
  E2E_PIDS+=($!) E2E_LOGS+=("$name")
}
# finish_pytest: waits for the runs start_pytest began and counts them as one layer.
finish_pytest() {
  local i name code p f s e tp=0 tf=0 ts=0 last
  count() { echo "$last" | grep -oE "[0-9]+ $1" | head -1 | grep -oE '^[0-9]+' || echo 0; }
  for i in "${!E2E_PIDS[@]}"; do
    name=${E2E_LOGS[$i]}
    wait "${E2E_PIDS[$i]}"
    code=$?
    [ "$code" -eq 124 ] && echo "pytest did not end within 30 minutes: $name"
    last=$(grep -E '^(=+ )?[0-9]+ (passed|failed|skipped|error|errors|deselected|xfailed|xpassed)' \
             "$WORK/$name.log" | tail -1)
    p=$(count passed); f=$(count failed); s=$(count skipped); e=$(count 'errors?')
    f=$((f + e))
    case "$code" in
      0) ;;
      5) f=$((f + 1)); echo "pytest collected no tests ($name)" ;;  # test files exist: none ran is a fault
      1) tail -n 80 "$WORK/$name.log" ;;
      *) [ "$f" -gt 0 ] || f=1; tail -n 40 "$WORK/$name.log" ;;
    esac
    note "$name: $p passed, $f failed ($(grep -oE ' in [0-9.]+s' "$WORK/$name.log" | tail -1 | sed 's/^ in //'))"
    tp=$((tp + p)) tf=$((tf + f)) ts=$((ts + s))
  done
  E2E_PIDS=()
  layer e2e $(( $(now) - E2E_START )) "$tp" "$tf" "$ts"
}
if [ "$WINDOWS_OK" = 1 ]; then
  if [ -n "$(find tests/e2e -name 'test_*.py' 2>/dev/null)" ]; then
    E2E_START=$(now)
    ignored=() beside=()
    for file in "${E2E_BESIDE[@]}"; do
      [ -f "$file" ] || continue
      beside+=("$file")
      case "$file" in tests/e2e/*) ignored+=(--ignore="$file") ;; esac
    done
    # The harness makes its own display and prefix, one per session.
    start_pytest e2e tests/e2e "${ignored[@]}"
    [ ${#beside[@]} -gt 0 ] && start_pytest e2e-beside "${beside[@]}"
    [ "${CORVANE_TEST_SERIAL:-0}" = 1 ] && finish_pytest
  else
    layer e2e 0 0 0 0 "no test files"
  fi
fi

build native corvane_unit_tests "${NATIVE_BENCH_OBJECTS[@]}" && NATIVE_OK=1

# A second compiler over the product alone (its preset builds only the exe): a
# build that fails counts as a failed layer; its warnings are shown either way.
clang_build() {
  local start
  start=$(now)
  # The msvc preset is configured on Windows only (its condition hides it here); the file must parse.
  if ! cmake --list-presets=all >"$WORK/presets.log" 2>&1; then
    cat "$WORK/presets.log"
    layer presets 0 0 1 0 "CMakePresets.json does not parse"
  fi
  if build windows-clang; then
    layer clang $(( $(now) - start )) 1 0 0
  fi
  grep -E 'warning:' "$WORK/build-windows-clang.log" | sort -u | sed 's/^/  clang: /'
}
clang_build

# GoogleTest's own summary lines: "[  PASSED  ] N tests", "[  FAILED  ] N tests, listed below".
gtest_count() {
  local word=$1 log=$2
  grep -oE "\[  $word  ?\] [0-9]+ tests?[,.]" "$log" | tail -n 1 | sed -E 's/^[^]]*\] ([0-9]+).*/\1/'
}
# ctest runs the binary; its verbose output carries GoogleTest's counts. The timeout
# ends a test binary that hangs (a Wine hang) and counts it failed.
run_ctest() {
  local name=$1 preset=$2 start code p f s
  start=$(now)
  ctest --preset "$preset" -V --timeout 300 >"$WORK/$name.log" 2>&1
  code=$?
  p=$(gtest_count PASSED "$WORK/$name.log"); f=$(gtest_count FAILED "$WORK/$name.log")
  s=$(gtest_count SKIPPED "$WORK/$name.log")
  p=${p:-0}; f=${f:-0}; s=${s:-0}
  if [ "$code" -ne 0 ] && [ "$f" -eq 0 ]; then
    f=1  # the binary crashed or did not run: no GoogleTest summary to count
    tail -n 30 "$WORK/$name.log"
  elif [ "$f" -gt 0 ]; then
    grep -E '^\[  FAILED  \]|Failure|error:' "$WORK/$name.log" | head -40
  fi
  layer "$name" $(( $(now) - start )) "$p" "$f" "$s"
}

# ---- unit ----------------------------------------------------------------------
if [ "$NATIVE_OK" = 1 ]; then run_ctest unit native; fi

# ---- fuzz: each target a few seconds (bench/fuzz.sh 60 for a real run) ----------
if [ -f bench/fuzz.sh ]; then
  start=$(now)
  bash bench/fuzz.sh 5 >"$WORK/fuzz.log" 2>&1
  code=$?
  # One line per target: name, executions, findings, seconds.
  p=$(awk 'NR > 1 && $1 ~ /^fuzz_/ && $3 == "0"' "$WORK/fuzz.log" | wc -l)
  f=$(awk 'NR > 1 && $1 ~ /^fuzz_/ && $3 != "0"' "$WORK/fuzz.log" | wc -l)
  if [ "$code" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  [ "$f" -gt 0 ] && cat "$WORK/fuzz.log"
  layer fuzz $(( $(now) - start )) "$p" "$f" 0
fi

# ---- a display, a Wine prefix and the web service for the Windows layers --------
start_display() {
  local fd_file="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  [ -s "$fd_file" ] || return 1
  export DISPLAY=":$(tr -d '\n' <"$fd_file")"
}
start_service() {
  # The service's test double, which takes scripted answers over /_control/*. The
  # built-in host in the links, as the program expects them when no address is set.
  "$PY" tests/e2e/service_double.py --port 0 --port-file "$WORK/service.port" --store "$WORK/store" \
    --public-base http://corvane.net >"$WORK/service.log" 2>&1 &
  SERVICE_PID=$!
  for _ in $(seq 100); do [ -s "$WORK/service.port" ] && break; sleep 0.1; done
  [ -s "$WORK/service.port" ] || { cat "$WORK/service.log"; return 1; }
  export CORVANE_SERVICE_PORT
  CORVANE_SERVICE_PORT=$(cat "$WORK/service.port")
  export http_proxy="http://127.0.0.1:$CORVANE_SERVICE_PORT"
}

# ---- win32 ---------------------------------------------------------------------
if [ "$WINDOWS_OK" = 1 ]; then
  if [ -f build/windows/corvane_win32_tests.exe ]; then
    start=$(now)
    if start_display && { wineserver -p >/dev/null 2>&1; timeout 180 wineboot -i >/dev/null 2>&1; } && start_service; then
      note "wine prefix ready ($(( $(now) - start ))s)"
      run_ctest win32 windows
    else
      layer win32 $(( $(now) - start )) 0 1 0 "no display, prefix or service"
    fi
    unset http_proxy
    timeout 30 wineserver -k >/dev/null 2>&1
  else
    layer win32 0 0 0 0 "no tests/win32 sources yet"
  fi
fi

# ---- e2e: the run started after the windows build ------------------------------
if [ ${#E2E_PIDS[@]} -gt 0 ]; then finish_pytest; fi

echo
for line in "${SUMMARY[@]}"; do echo "$line"; done
if [ "$SKIPPED" -gt 0 ]; then
  echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
else
  echo "$PASSED passed, $FAILED failed"
fi
[ "$FAILED" -eq 0 ] && [ "$PASSED" -gt 0 ]
