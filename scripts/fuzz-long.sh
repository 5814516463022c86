#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A long libFuzzer run of one reader: scripts/fuzz-long.sh TARGET [RUNS]
# (TARGET one of project_file pulse_report settings dictionary filter_table
# interval_text simulator_files run_journal; RUNS default 1000000; MAX_SECONDS, when set,
# ends the run after that many seconds). Prints libFuzzer's last
# lines and the figures; a finding leaves its input as crash-*/leak-*/timeout-*
# in the current folder: fix it and add the input to the target's corpus
# (tests/core/fuzz/corpus/TARGET, tests/data/measurement for the project file
# and the pulse report).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz-long.sh TARGET [RUNS]}
runs=${2:-1000000}
build=${FUZZ_BUILD:-build-fuzz}
cmake -S tests/core/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 --target "${target}_fuzz" >/dev/null
seeds=tests/core/fuzz/corpus/$target
case $target in project_file | pulse_report) seeds=tests/data/measurement ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
start=$(date +%s)
status=0
"$build/${target}_fuzz" -runs="$runs" -max_total_time="${MAX_SECONDS:-0}" -max_len=4096 \
  -timeout=10 -print_final_stats=1 \
  "$work" "$seeds" >"$work/log" 2>&1 || status=$?
tail -n 14 "$work/log"
executed=$(grep -o 'number_of_executed_units: [0-9]*' "$work/log" | grep -o '[0-9]*$' || true)
echo "$target: ${executed:-?} runs in $(( $(date +%s) - start )) s, exit status $status"
exit $status
