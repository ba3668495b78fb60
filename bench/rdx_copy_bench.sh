#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# What the one-command copy costs over the job it writes, in one run on the
# same generated file of orders (CSV -> SQLite, a new table):
#   rdx copy   from nothing: a new home made with rdcsm init, a private
#              server manager started, the job checked and defined, run;
#   rdrun      the same job (saved by rdx copy --save) defined beforehand
#              in a home whose server manager already runs.
# Prints the best of RUNS times of each and the difference (target: at most
# 0.2 s).
#   ROWS              rows of the generated file (default 1000000)
#   RUNS              repetitions of each measurement (default 3)
#   BENCH_BUILD_DIR   the Release build (default build-rel)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/timing.sh"
build=${BENCH_BUILD_DIR:-$top/build-rel}
rows=${ROWS:-1000000}
runs=${RUNS:-3}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" rdx rdrun rdcsm rdcsv rdsqlite rdcopy >/dev/null
rdx=$build/rdx/rdx
rdcsm=$build/rdcsm/rdcsm
rdrun=$build/rdrun/rdrun

work=$(mktemp -d "${TMPDIR:-/tmp}/rdx_copy_bench.XXXXXX")
export HOME=$work XDG_STATE_HOME=$work/state LC_ALL=C.UTF-8
homes=("$XDG_STATE_HOME/rdx/copy")
# Every server manager started here is asked to end.
cleanup() {
  local home
  for home in "${homes[@]}"; do "$rdcsm" -c "$home" stop >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT

columns='id:int,amount:numeric(12,2),ordered_at:datetime,customer:text'
echo "Generating $rows orders"
"$top/examples/orders/make-orders" "$rows" >"$work/orders.csv"

# The job rdx copy runs, defined once in a home of its own.
job_home=$work/job-home
homes+=("$job_home")
"$rdcsm" init "$job_home" >/dev/null
"$rdx" copy "$work/orders.csv" "sqlite:$work/job.db#orders" --columns "$columns" \
  --name orders --save "$work/job.toml" >/dev/null
"$rdcsm" -c "$job_home" define "$work/job.toml" >/dev/null
"$rdcsm" -c "$job_home" serve --detach >/dev/null

through_rdrun() { "$rdrun" -c "$job_home" --quiet --no-progress orders >/dev/null; }
through_rdx() {
  "$rdx" copy "$work/orders.csv" "sqlite:$work/rdx.db#orders" --columns "$columns" \
    --name orders --home "$1" >/dev/null 2>&1
}

best_rdrun=0 best_rdx=0
for ((run = 1; run <= runs; run++)); do
  rm -f "$work"/job.db*
  best_rdrun=$(best "$best_rdrun" "$(seconds through_rdrun)")
  rm -f "$work"/rdx.db*
  home=$work/rdx-home-$run
  homes+=("$home")
  best_rdx=$(best "$best_rdx" "$(seconds through_rdx "$home")")
done

count='SELECT count(*), sum(id) FROM orders'
ours=$(sqlite3 "$work/rdx.db" "$count")
theirs=$(sqlite3 "$work/job.db" "$count")
if [ "$ours" != "$theirs" ] || [ "${ours%%|*}" != "$rows" ]; then
  echo "rdx_copy_bench: rdx copy gave $ours, rdrun $theirs" >&2
  exit 1
fi

printf 'CSV -> SQLite, a new table, %d records (best of %d)\n' "$rows" "$runs"
printf '  %-40s %8.3f s\n' "rdx copy (new home, server, define)" "$best_rdx"
printf '  %-40s %8.3f s\n' "rdrun of the same job" "$best_rdrun"
printf '  %-40s %8.3f s (target at most 0.200 s)\n' difference \
  "$(echo "$best_rdx - $best_rdrun" | bc -l)"
