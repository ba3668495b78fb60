#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The kill loops at full size: a copy of ROWS generated orders from a CSV
# file into SQLite and into PostgreSQL (one COPY per batch), rdrun killed
# with SIGKILL at KILLS random moments and started again with --resume each
# time; the target must end equal to the source, row for row. The test suite
# runs the same loops small; this runs them as large as a nightly load.
#   ROWS        rows of the generated file (default 1000000)
#   KILLS       kills per loop (default 20)
#   BUILD_DIR   the build with the tests (default build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
ninja -C "$build" rdrun_tests rdrun rdcsm rdcsv rdsqlite rdpg rdcopy >/dev/null
RDX_KILL_LOOP_ROWS=${ROWS:-1000000} RDX_KILL_LOOP_KILLS=${KILLS:-20} \
  "$build/tests/rdrun_tests" --gtest_filter='*KillLoop*'
RDX_INCREMENTAL_ROWS=${STEP:-200000} RDX_INCREMENTAL_KILLS=${KILLS:-20} \
  "$build/tests/rdrun_tests" --gtest_filter='*Incremental*Kill*'
