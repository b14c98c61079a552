#!/usr/bin/env bash
# Times whole runs of helmert2d on generated survey files, report written to disk.
# Usage: bench/Ha_xy_vb/run_bench.sh [BUILD_DIR]   (needs GNU time: apt-get install time)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" -j"$(nproc)" --target helmert2d_program generate_survey >/dev/null
prog="$build/bin/helmert2d"
gen="$build/bench/generate_survey"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

printf '%-34s %10s %12s %14s\n' "case" "time (s)" "peak (MB)" "report (MB)"
run_case() {
  local label="$1" common="$2" further="$3"
  shift 3
  "$gen" "$common" "$further" "$work/local.txt" "$work/national.txt"
  local best=""
  local peak=""
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$work/time.txt" \
      "$prog" --no-pause "$@" "$work/local.txt" "$work/national.txt" "$work/report.txt" \
      </dev/null >/dev/null
    read -r t m < "$work/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best="$t"; peak="$m"; fi
  done
  local size
  size=$(stat -c %s "$work/report.txt")
  printf '%-34s %10s %12.1f %14.1f\n' "$label" "$best" "$(awk "BEGIN{print $peak/1024}")" \
    "$(awk "BEGIN{print $size/1048576}")"
}
run_case "10^5 common" 100000 0 --no-window
run_case "5*10^5 common" 500000 0 --no-window
run_case "10^6 common" 1000000 0 --no-window
run_case "2*10^6 common" 2000000 0 --no-window
run_case "10^4 common + 10^6 further" 10000 1000000 --no-window
run_case "10^4 common + 2*10^6 further" 10000 2000000 --no-window
# The plot saved as a picture without a window: names and circles of every point.
run_case "10^4 common + 10^6 further, --plot" 10000 1000000 --no-window --plot "$work/plot.png"
# The plot drawn in a window on a private Xvfb server.
if command -v Xvfb >/dev/null; then
  Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
  sleep 1
  DISPLAY=:97 GSETTINGS_BACKEND=memory run_case "10^4 common + 10^5 further, window" 10000 100000
fi
