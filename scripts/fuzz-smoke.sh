#!/usr/bin/env bash
# Short libFuzzer smoke of the project-file reader (clang, address and
# undefined-behaviour sanitizers): RUNS inputs (default 20000) mutated from the
# fixtures in tests/data/measurement. Fails on any crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-20000}
build=${FUZZ_BUILD:-build-fuzz}
cmake -S tests/core/measurement/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 >/dev/null
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
"$build/project_file_fuzz" -runs="$runs" -max_len=4096 -seed=1 "$corpus" tests/data/measurement 2>&1 |
  tail -n 3
