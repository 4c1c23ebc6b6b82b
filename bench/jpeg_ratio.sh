#!/bin/sh
# SaveBitmapAsJpeg of a 1920x1080 bitmap under Wine against `cjpeg -quality 95`
# on the same pixels, in one run. Needs build/windows (cmake --preset windows),
# wine and cjpeg (Debian: wine, libjpeg-turbo-progs).
#   bench/jpeg_ratio.sh [encodings]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10}
exe="$root/build/windows/jpeg_encode_win32.exe"
cmake --build "$root/build/windows" --target jpeg_encode_win32 -j2 >/dev/null

work=$(mktemp -d)
own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/wine"
  own_prefix=1
fi
export WINEDEBUG=-all
cleanup() {
  [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
if [ -n "$own_prefix" ]; then
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1
  wineboot -i >/dev/null 2>&1
fi

ppm="$work/pixels.ppm"
status=0
wine "$exe" "$(winepath -w "$ppm")" "$runs" >"$work/gdiplus.out" 2>"$work/gdiplus.err" || status=$?
gdiplus=$(tr -d '\r' <"$work/gdiplus.out")
gdiplus_ms=$(echo "$gdiplus" | sed -n 's/.*ms_per_encoding=\([0-9.]*\).*/\1/p')
gdiplus_bytes=$(echo "$gdiplus" | sed -n 's/.*bytes=\([0-9]*\).*/\1/p')
if [ "$status" -ne 0 ] || [ -z "$gdiplus_ms" ] || [ -z "$gdiplus_bytes" ]; then
  echo "jpeg_encode_win32.exe failed (exit code $status), no figures to compare:" >&2
  cat "$work/gdiplus.out" "$work/gdiplus.err" >&2
  exit 1
fi

# Mean milliseconds of one cjpeg run at quality $1, after one untimed run.
time_cjpeg() {
  cjpeg -quality "$1" -outfile "$work/ref.jpg" "$ppm"
  start=$(date +%s%N)
  i=0
  while [ "$i" -lt "$runs" ]; do
    cjpeg -quality "$1" -outfile "$work/ref.jpg" "$ppm"
    i=$((i + 1))
  done
  end=$(date +%s%N)
  awk -v n="$((end - start))" -v r="$runs" 'BEGIN { printf "%.2f", n / 1e6 / r }'
}
cjpeg_ms=$(time_cjpeg 95)
cjpeg_bytes=$(stat -c %s "$work/ref.jpg")
# Wine's encoder does not apply the quality parameter and writes quality 75
# tables; the same encoder at 75 shows how much of the gap that explains.
cjpeg75_ms=$(time_cjpeg 75)
cjpeg75_bytes=$(stat -c %s "$work/ref.jpg")

echo "1920x1080, $runs encodings each"
echo "SaveBitmapAsJpeg (Wine GDI+): ${gdiplus_ms} ms per picture, ${gdiplus_bytes} bytes"
echo "cjpeg -quality 95:            ${cjpeg_ms} ms per picture, ${cjpeg_bytes} bytes"
echo "cjpeg -quality 75:            ${cjpeg75_ms} ms per picture, ${cjpeg75_bytes} bytes"
awk -v a="$gdiplus_ms" -v b="$cjpeg_ms" 'BEGIN { printf "ratio SaveBitmapAsJpeg / cjpeg -quality 95: %.2f\n", a / b }'
