#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Short libFuzzer smoke of every reader of outside input (clang, address and
# undefined-behaviour sanitizers): RUNS inputs per target (default 20000),
# mutated from the stored corpus of each target. Fails on any crash, leak,
# hang or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-20000}
build=${FUZZ_BUILD:-build-fuzz}
cmake -S tests/core/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in project_file pulse_report settings dictionary filter_table interval_text \
  simulator_files run_journal; do
  [ -x "$build/${target}_fuzz" ] || continue
  seeds=tests/core/fuzz/corpus/$target
  case $target in project_file | pulse_report) seeds=tests/data/measurement ;; esac
  mkdir -p "$work/$target"
  # A finding leaves its input here as crash-*, leak-* or timeout-*.
  if ! "$build/${target}_fuzz" -runs="$runs" -max_len=4096 -seed=1 -timeout=10 \
    "$work/$target" "$seeds" >"$work/$target.log" 2>&1; then
    tail -n 40 "$work/$target.log"
    echo "fuzz smoke: $target failed" >&2
    exit 1
  fi
  echo "$target: $(tail -n 1 "$work/$target.log")"
done
