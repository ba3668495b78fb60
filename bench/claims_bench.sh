#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Claims per second of three hosts (one rdcsm each, two workers each) that
# share one PostgreSQL store, on a temporary cluster of this script (Unix
# socket, no fsync, asynchronous commits). RUNS runs are queued at once with
# one INSERT, then the hosts are started and timed until every run ended.
# Two passes, each on a fresh database:
#   full    `rdrun --serve --workers 2` per host runs each run: an rdcopy of
#           a delimited file with a header and no rows into a delimited
#           file, one activity (and target file) per run, as a run of one
#           copy refuses a second run into its target on the same machine;
#   claims  the claim path alone: claims_client, two per host, claims each
#           run and ends it at once (CSMgrNextActivity, CSMgrDoneActivity).
# Each pass checks that every run ended once, well (state 2, end code 0,
# claimed once) and prints the rate over the wall time from the hosts' start
# and over the store's own span (first start to last end).
#   RUNS            runs queued per pass (default 10000)
#   BENCH_BUILD_DIR a Release build with RDX_BUILD_BENCH=ON (default build-rel)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$top/build-rel}
runs=${RUNS:-10000}
rows=0
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdsqlite claims_client >/dev/null
. "$top/bench/pg_home.sh" rdclaimsbench
. "$top/bench/hosts_env.sh"
for h in h1 h2 h3; do add_host "$h"; done
ln -sf "$build/bench/claims_client" "$work/claims_client"

store_sql() { command psql -X -q -A -t -h "$work" -p "$port" -U postgres -d "$db" "$@"; }

# A fresh database for a pass, its tables made by a first rdcsm.
new_store() {
  db=$1
  psql -c "CREATE DATABASE $db ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
  store="host=$work port=$port user=postgres dbname=$db"
}

# Defines the copies empty0..empty(N-1), each into its own file.
define_copies() {
  local count=$1 job=$work/job.toml
  {
    printf '[link.src]\nconnector = "rdcsv"\nPath = "%s"\n' "$home/orders.csv"
    printf 'Columns = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"\n'
    for ((i = 0; i < count; i++)); do
      printf '[link.t%d]\nconnector = "rdcsv"\nPath = "%s/out/t%d.csv"\nCreate = 1\n' \
        "$i" "$work" "$i"
      printf '[activity.empty%d]\nconnector = "rdcopy"\nSourceLink = "src"\nTargetLink = "t%d"\n' \
        "$i" "$i"
    done
  } > "$job"
  mkdir -p "$work/out"
  host_tool h1 define "$job" >/dev/null
}

# One run of each activity, queued in one statement, oldest first; with a
# single activity, RUNS runs of it.
queue_runs() {
  store_sql -c "INSERT INTO runs(activity, queued_ms)
    SELECT a.handle, (extract(epoch FROM clock_timestamp()) * 1000)::bigint
    FROM (SELECT handle FROM objects WHERE kind = 1 ORDER BY handle) a,
         generate_series(1, $1) ORDER BY 1"
}

# Waits until every run ended (or 10 minutes), polling the store (each
# psql costs a process start: seldom enough not to slow the hosts).
wait_ended() {
  for _ in $(seq 1200); do
    [ "$(store_sql -c 'SELECT count(*) FROM runs WHERE state < 2')" = 0 ] && return 0
    sleep 0.5
  done
  echo "runs left unended:" >&2
  store_sql -c 'SELECT state, host, count(*) FROM runs WHERE state < 2 GROUP BY 1, 2' >&2
  return 1
}

# Prints the pass's figures and fails when a run did not end exactly once.
report() {
  local pass=$1 wall_ms=$2 bad span
  bad=$(store_sql -c "SELECT count(*) FROM runs WHERE state <> 2 OR end_code <> 0 OR claims <> 1")
  span=$(store_sql -c "SELECT max(ended_ms) - min(started_ms) FROM runs")
  echo "$pass: $(store_sql -c 'SELECT count(*) FROM runs') runs;" \
    "per host: $(store_sql -c "SELECT string_agg(host || ' ' || n, ', ' ORDER BY host)
      FROM (SELECT host, count(*) n FROM runs GROUP BY host) h")"
  awk -v n="$runs" -v w="$wall_ms" -v s="$span" -v p="$pass" 'BEGIN {
    printf "%s: %.0f claims/s over %.2f s from the hosts'"'"' start; %.0f claims/s over the store'"'"'s span of %.2f s\n",
      p, n * 1000 / w, w / 1000, n * 1000 / s, s / 1000 }'
  if [ "$bad" != 0 ]; then
    echo "$pass: FAILED: $bad runs did not end exactly once with end code 0:" >&2
    store_sql -c "SELECT id, state, end_code, host, claims FROM runs
      WHERE state <> 2 OR end_code <> 0 OR claims <> 1 ORDER BY id LIMIT 10" >&2
    tail -n 5 "$work"/h?/host.txt >&2
    return 1
  fi
  echo "$pass: every run ended once (state 2, end code 0, claims 1);" \
    "log records per run: $(store_sql -c "SELECT round(count(*)::numeric / $runs, 1) FROM log")"
}

run_pass() {
  local pass=$1 command=$2 start
  start=$(now_ms)
  for h in "${hosts[@]}"; do start_host "$h" 15000 "$command"; done
  wait_ended
  local wall=$(($(now_ms) - start))
  stop_hosts
  report "$pass" "$wall"
}

# The whole run: a copy through rdrun per run.
new_store claims_full
host_tool h1 list >/dev/null # makes the tables
define_copies "$runs"
queue_runs 1
run_pass full "exec ./rdrun --serve --workers 2"

# The claim path alone.
new_store claims_path
host_tool h1 list >/dev/null
define_copies 1
queue_runs "$runs"
run_pass claims "../claims_client . & ../claims_client . & wait"
grep -h '^[0-9]' "$work"/h?/host.txt | awk '{ s += $1 } END { print "claims: the clients counted", s, "claims" }'
