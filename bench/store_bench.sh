#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# CSMgrLog through rdcsm with its state in a PostgreSQL database against the
# same with a SQLite file (WAL, synchronous=NORMAL): rdcsm_bench's
# RdcsmLog100 once per store. The PostgreSQL server is a temporary cluster
# of this script on a Unix socket (without fsync and with asynchronous
# commits, as the SQLite store does not sync each commit either). Prints
# both rates and the ratio.
#   BENCH_BUILD_DIR a Release build with RDX_BUILD_BENCH=ON (default build-rel)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$top/build-rel}
rows=1
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdpg rdcsm_bench >/dev/null
. "$top/bench/pg_home.sh" rdstorebench
psql -c "CREATE DATABASE rdcsm ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
rate() { # the requests per second of RdcsmLog100
  "$build/bench/rdcsm_bench" --benchmark_filter='^RdcsmLog100' --benchmark_min_time=2 \
    --benchmark_format=csv 2>/dev/null | awk -F, '/RdcsmLog100/ { printf "%.0f\n", 1e9 / $3 }'
}
sqlite=$(rate)
pg=$(RDX_BENCH_STORE="host=$work port=$port user=postgres dbname=rdcsm" rate)
echo "CSMgrLog via SQLite store:     $sqlite requests/s"
echo "CSMgrLog via PostgreSQL store: $pg requests/s"
awk -v s="$sqlite" -v p="$pg" 'BEGIN { printf "SQLite/PostgreSQL ratio: %.2f\n", s / p }'
