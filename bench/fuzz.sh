#!/usr/bin/env bash
# Fuzzes the checks of what comes in from outside (the web service's replies,
# the copy's name, the status text, the version reply, the stored save folder,
# the hot keys' text and the recent uploads' entries)
# with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#   bash bench/fuzz.sh [seconds]   each target for that long (default 60)
# Prints executions and findings per target; exits 1 when any target found
# something. Findings stay in build/fuzz/findings/<target>/ to be replayed with
#   build/fuzz/<target> build/fuzz/findings/<target>/crash-...
# and each becomes a case in tests/unit/reply_check_test.cpp.
set -uo pipefail

cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
case "$SECONDS_EACH" in ''|*[!0-9]*) echo "usage: bash bench/fuzz.sh [seconds]" >&2; exit 2 ;; esac
CXX=${CXX_FUZZ:-clang++}
OUT=build/fuzz
FLAGS=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I.
       '-DCORVANE_SERVICE_HOST=u"corvane.net"')
SOURCES=(net/reply_check.cpp settings/stored_folder.cpp net/service_address.cpp settings/hotkey_text.cpp
         settings/recent_entry.cpp)
mkdir -p "$OUT"

if ! command -v "$CXX" >/dev/null; then
  echo "no $CXX: libFuzzer needs clang" >&2
  exit 2
fi

found_any=0
# The checks every target links are compiled once, two at a time, and each
# target then adds only its own file: most of this layer's time was compiling.
mkdir -p "$OUT/obj"
build_object() {
  rm -f "$2"
  "$CXX" "${FLAGS[@]}" -c "$1" -o "$2" 2>"$2.log" || { cat "$2.log" >&2; return 1; }
}
OBJECTS=() pids=() broken=0
for source in "${SOURCES[@]}"; do
  object="$OUT/obj/$(echo "$source" | tr / _).o"
  OBJECTS+=("$object")
  build_object "$source" "$object" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || broken=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || broken=1; done
if [ "$broken" -ne 0 ]; then
  echo "the checks the targets share do not build" >&2
  exit 1
fi
printf '%-20s %12s %9s %s\n' target executions findings seconds
for source in tests/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  if ! "$CXX" "${FLAGS[@]}" "$source" "${OBJECTS[@]}" -o "$OUT/$target" 2>"$OUT/$target.build.log"; then
    cat "$OUT/$target.build.log" >&2
    printf '%-20s %12s %9s\n' "$target" "-" "build failed"
    found_any=1
    continue
  fi
  corpus="$OUT/corpus/$target" findings="$OUT/findings/$target"
  mkdir -p "$corpus" "$findings"
  # A few seeds so that the first seconds already reach past the prefix checks.
  printf 'http://corvane.net/abc\r\n' >"$corpus/seed-link"
  printf 'N' >"$corpus/seed-n"
  printf '2\0000\0000\0' >"$corpus/seed-status"
  start=$(date +%s)
  "$OUT/$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$OUT/$target.log" 2>&1
  code=$?
  runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$OUT/$target.log" | grep -oE '[0-9]+$' | tail -1)
  count=$(find "$findings" -type f | wc -l)
  if [ "$code" -ne 0 ] && [ "$count" -eq 0 ]; then count=1; fi  # it stopped on something it did not save
  [ "$count" -gt 0 ] && found_any=1
  printf '%-20s %12s %9s %s\n' "$target" "${runs:-?}" "$count" "$(( $(date +%s) - start ))"
  if [ "$count" -gt 0 ]; then grep -E 'ERROR|SUMMARY|==[0-9]+==' "$OUT/$target.log" | head -5; fi
done
exit "$found_any"
