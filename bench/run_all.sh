#!/usr/bin/env bash
# Times the main cases of helmert2d in one run and prints their ratios:
#   10^4 common + 10^6 further points, --no-window and --plot p.png
#   10^5 common points, --no-window and --plot p.png
#   10^6 common points, report only and with --json r.json --csv r.csv
#   10^6 common points, --json r.json with the default model, with --model affine (when
#   the program has --model) and with --compare-models
#   the numpy peer (../shared/bench/numpy_peer.py beside the project, when present, run
#   with the system's python3 and its numpy) on the same 10^6-common-point job
#   an older build of the program (BASE=/path/to/helmert2d) on two of the cases
# Every time is the best of REPS runs (default 3), each writing fresh output files after
# the disk has caught up with the runs before; the runs of two cases that make a ratio
# are taken in turn.
# Usage: [BASE=old/helmert2d] [REPS=3] bench/run_all.sh [BUILD_DIR]
# Needs GNU time (apt-get install time).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
reps="${REPS:-3}"
base="${BASE:-}"
peer="$root/../shared/bench/numpy_peer.py"
cmake --build "$build" -j"$(nproc)" --target helmert2d_program generate_survey >/dev/null
prog="$build/bin/helmert2d"
gen="$build/bench/generate_survey"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

declare -A secs peak
# once COMMAND...: runs it once on fresh output files, leaving its time and peak memory
# in $t and $m.
once() {
  rm -f "$work"/report.txt "$work"/p.png "$work"/r.json "$work"/r.csv
  # Earlier runs' files still being written back to disk would slow this one down.
  sync
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" </dev/null >/dev/null
  read -r t m <"$work/time.txt"
}
# keep LABEL: records $t and $m for LABEL when $t is its fastest time so far.
keep() {
  if [ -z "${secs[$1]:-}" ] || awk "BEGIN{exit !($t < ${secs[$1]})}"; then
    secs[$1]="$t" peak[$1]="$m"
  fi
}
show() {
  printf '%-44s %8s %10.1f\n' "$1" "${secs[$1]}" "$(awk "BEGIN{print ${peak[$1]}/1024}")"
}
# best LABEL COMMAND...: the fastest of $reps runs, with its peak memory.
best() {
  local label="$1"
  shift
  for _ in $(seq "$reps"); do
    once "$@"
    keep "$label"
  done
  show "$label"
}
# best_pair LABEL_A LABEL_B COMMAND_A... -- COMMAND_B...: as best for both, with the runs
# of A and B taken in turn, so that a slow spell of the machine falls on both alike.
best_pair() {
  local la="$1" lb="$2" a=() b=()
  shift 2
  while [ "$1" != "--" ]; do
    a+=("$1")
    shift
  done
  shift
  b=("$@")
  for _ in $(seq "$reps"); do
    once "${a[@]}"
    keep "$la"
    once "${b[@]}"
    keep "$lb"
  done
  show "$la"
  show "$lb"
}
ratio() {  # ratio LABEL A B: time of A / time of B
  printf '%-44s %8.2f\n' "$1" "$(awk "BEGIN{print ${secs[$2]}/${secs[$3]}}")"
}

"$gen" 10000 1000000 "$work/f1.txt" "$work/f2.txt"
"$gen" 100000 0 "$work/h1.txt" "$work/h2.txt"
"$gen" 1000000 0 "$work/c1.txt" "$work/c2.txt"
rep="$work/report.txt"
f=("$work/f1.txt" "$work/f2.txt" "$rep")
h=("$work/h1.txt" "$work/h2.txt" "$rep")
c=("$work/c1.txt" "$work/c2.txt" "$rep")

printf '%-44s %8s %10s\n' "case" "time (s)" "peak (MB)"
best_pair "10^4 + 10^6 further, --no-window" "10^4 + 10^6 further, --plot p.png" \
  "$prog" --no-pause --no-window "${f[@]}" -- \
  "$prog" --no-pause --no-window --plot "$work/p.png" "${f[@]}"
best_pair "10^5 common, --no-window" "10^5 common, --plot p.png" \
  "$prog" --no-pause --no-window "${h[@]}" -- \
  "$prog" --no-pause --no-window --plot "$work/p.png" "${h[@]}"
best_pair "10^6 common, report only" "10^6 common, --json --csv" \
  "$prog" --no-pause --no-window "${c[@]}" -- \
  "$prog" --no-pause --no-window --json "$work/r.json" --csv "$work/r.csv" "${c[@]}"
# The affine model against the default one, and the three models compared, each with
# the JSON (the --json case keeps its best time over both pairs). A program without
# --model says why it refuses it, and that case is skipped.
if refused="$("$prog" --model affine --version 2>&1 >/dev/null)"; then
  best_pair "10^6 common, --json" "10^6 common, --model affine --json" \
    "$prog" --no-pause --no-window --json "$work/r.json" "${c[@]}" -- \
    "$prog" --no-pause --no-window --model affine --json "$work/r.json" "${c[@]}"
else
  echo "skipped: 10^6 common, --model affine --json: $refused"
fi
best_pair "10^6 common, --json" "10^6 common, --compare-models --json" \
  "$prog" --no-pause --no-window --json "$work/r.json" "${c[@]}" -- \
  "$prog" --no-pause --no-window --compare-models --json "$work/r.json" "${c[@]}"
# The plot window on a private X server (Xvfb), closed by the end of the run.
if command -v Xvfb >/dev/null; then
  Xvfb :97 -noreset -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  best "10^4 + 10^6 further, window on Xvfb" env DISPLAY=:97 GSETTINGS_BACKEND=memory \
    NO_AT_BRIDGE=1 "$prog" --no-pause "${f[@]}"
  kill "$xvfb_pid"
fi
if [ -f "$peer" ] && /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
  best "10^6 common, numpy peer" /usr/bin/python3 "$peer" "${c[@]}"
fi
if [ -n "$base" ]; then
  best "BASE: 10^4 + 10^6 further, --no-window" "$base" --no-pause --no-window "${f[@]}"
  best "BASE: 10^6 common, report only" "$base" --no-pause --no-window "${c[@]}"
fi

echo
printf '%-44s %8s\n' "ratio" "value"
ratio "plot / no-window, 10^4 + 10^6 further" "10^4 + 10^6 further, --plot p.png" \
  "10^4 + 10^6 further, --no-window"
if [ -n "${secs["10^4 + 10^6 further, window on Xvfb"]:-}" ]; then
  ratio "window / no-window, 10^4 + 10^6 further" "10^4 + 10^6 further, window on Xvfb" \
    "10^4 + 10^6 further, --no-window"
fi
ratio "plot / no-window, 10^5 common" "10^5 common, --plot p.png" "10^5 common, --no-window"
ratio "json+csv / report only, 10^6 common" "10^6 common, --json --csv" \
  "10^6 common, report only"
if [ -n "${secs["10^6 common, --model affine --json"]:-}" ]; then
  ratio "affine / similarity, --json, 10^6 common" "10^6 common, --model affine --json" \
    "10^6 common, --json"
fi
ratio "compare-models / --json, 10^6 common" "10^6 common, --compare-models --json" \
  "10^6 common, --json"
if [ -n "${secs["10^6 common, numpy peer"]:-}" ]; then
  ratio "numpy peer / ours, 10^6 common" "10^6 common, numpy peer" "10^6 common, report only"
fi
if [ -n "$base" ]; then
  ratio "ours / BASE, 10^4 + 10^6 further" "10^4 + 10^6 further, --no-window" \
    "BASE: 10^4 + 10^6 further, --no-window"
  ratio "ours / BASE, 10^6 common" "10^6 common, report only" "BASE: 10^6 common, report only"
fi
