#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The core's tests (and the programs they drive) built with the address and
# undefined-behaviour sanitizers, then run. Fails on any test failure or
# sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD:-build-asan}
cmake -S . -B "$build" -DVELTRAVOR_SANITIZE=ON -DVELTRAVOR_BENCH=OFF -DVELTRAVOR_WERROR=ON >/dev/null
targets=$(cmake --build "$build" --target help | grep -o 'core_[a-z]*_tests' | sort -u)
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets
ctest --test-dir "$build" -L core --output-on-failure -j2
