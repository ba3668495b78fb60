#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Several hosts on one PostgreSQL store, at length.
# 1. The multi-host tests at full size: rdrun_tests' HostsTest.* with 300
#    queued copies and 12 hard kills of hosts, ROUNDS times, pass or fail
#    per round.
# 2. How long a take-over takes: three hosts (lease 2000 ms, two workers
#    each) on a temporary cluster of this script copy COPIES delimited files
#    of ROWS orders into SQLite files; the process group of the first host
#    seen copying is killed with SIGKILL and kept down. For each run it held,
#    the delays from the kill until another host logged "Run N lost its host
#    NAME (its lease ran out) ..." and until the run was claimed again; then
#    every run must end well and every target hold each order once.
#   ROUNDS          rounds of the tests (default 1; 0 skips them)
#   TESTS_BUILD_DIR the build with rdrun_tests, not rebuilt (default build)
#   BENCH_BUILD_DIR the build of the programs for the take-over (default
#                   build-rel)
#   COPIES, ROWS    queued copies and rows per copy (default 30, 200000)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rounds=${ROUNDS:-1}
tests=${TESTS_BUILD_DIR:-$top/build}/tests/rdrun_tests
build=${BENCH_BUILD_DIR:-$top/build-rel}
copies=${COPIES:-30}
rows=${ROWS:-200000}
lease=2000
failed=0

# Part 1: the tests, each round's output kept in a temporary file shown
# when it fails.
if [ "$rounds" -gt 0 ]; then
  out=$(mktemp /tmp/rdhostsbench.XXXXXX.txt)
  for ((round = 1; round <= rounds; round++)); do
    start=$(date +%s)
    if RDX_HOSTS_RUNS=300 RDX_HOSTS_KILLS=12 "$tests" --gtest_filter='HostsTest.*' >"$out" 2>&1; then
      echo "round $round: pass ($(($(date +%s) - start)) s): $(grep -c '^\[       OK' "$out") tests"
    else
      echo "round $round: FAIL ($(($(date +%s) - start)) s)"
      grep -E '^\[  FAILED|Failure|Expected|Which is|actual' "$out" | head -n 40
      failed=1
    fi
  done
  rm -f "$out"
fi

# Part 2: the take-over delays.
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdsqlite >/dev/null
. "$top/bench/pg_home.sh" rdtakeoverbench
. "$top/bench/hosts_env.sh"
for h in h1 h2 h3; do add_host "$h"; done
psql -c "CREATE DATABASE takeover ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
store="host=$work port=$port user=postgres dbname=takeover"
store_sql() { command psql -X -q -A -t -h "$work" -p "$port" -U postgres -d takeover "$@"; }

{
  printf '[link.src]\nconnector = "rdcsv"\nPath = "%s"\n' "$home/orders.csv"
  printf 'Columns = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"\n'
  for ((i = 0; i < copies; i++)); do
    printf '[link.t%d]\nconnector = "rdsqlite"\nDatabase = "%s/t%d.db"\nCreate = 1\n' "$i" "$work" "$i"
    printf '[activity.copy%d]\nconnector = "rdcopy"\nSourceLink = "src"\nTargetLink = "t%d"\n' "$i" "$i"
    printf 'TargetTable = "orders"\nCreateTarget = 1\n'
  done
} > "$work/job.toml"
host_tool h1 define "$work/job.toml" >/dev/null
store_sql -c "INSERT INTO runs(activity, queued_ms)
  SELECT handle, (extract(epoch FROM clock_timestamp()) * 1000)::bigint
  FROM objects WHERE kind = 1 ORDER BY handle"
for h in "${hosts[@]}"; do start_host "$h" "$lease" "exec ./rdrun --serve --workers 2"; done

# Waits (up to 5 minutes) until the query prints "t".
wait_until() {
  for _ in $(seq 3000); do
    [ "$(store_sql -c "$1")" = t ] && return 0
    sleep 0.1
  done
  echo "timed out waiting for: $1" >&2
  return 1
}

# Kills the host of the oldest run that has copied for 300 ms at least, at
# once; the runs it holds then are the ones to be taken over. A host whose
# copies ended in between is started again and another chosen.
kill_a_host() {
  for _ in $(seq 3000); do
    victim=$(store_sql -c "SELECT host FROM runs WHERE state = 1 AND started_ms <
      (extract(epoch FROM clock_timestamp()) * 1000)::bigint - 300 ORDER BY started_ms LIMIT 1")
    [ -n "$victim" ] && break
    sleep 0.05
  done
  killed=$(now_ms)
  signal_host "$victim" KILL
  # Read at once: the group may take seconds to be reaped, and its runs are
  # taken over a lease after the kill.
  sleep 0.1
  lost=$(store_sql -c "SELECT string_agg(id::text, ',') FROM runs WHERE state = 1 AND host = '$victim'")
  signal_host "$victim" KILL wait
}
for _ in 1 2 3; do
  kill_a_host
  [ -n "$lost" ] && break
  echo "take-over: $victim held no run when it was killed; started again. The store's log:" >&2
  store_sql -c "SELECT run, time_ms - $killed, text FROM log ORDER BY id DESC LIMIT 8" >&2
  start_host "$victim" "$lease" "exec ./rdrun --serve --workers 2"
done
[ -n "$lost" ] || exit 1
echo "take-over: $victim killed while it ran runs $lost (lease $lease ms); kept down"
wait_until "SELECT bool_and(claims > 1 AND host <> '$victim') FROM runs WHERE id IN ($lost)"
store_sql -F ' ' -c "SELECT r.id, r.host,
    (SELECT min(l.time_ms) FROM log l WHERE l.run = r.id
       AND l.text LIKE 'Run ' || r.id || ' lost its host $victim (its lease ran out)%') - $killed,
    r.started_ms - $killed
  FROM runs r WHERE r.id IN ($lost) ORDER BY r.id" |
  while read -r id host logged claimed; do
    echo "take-over: run $id: logged as lost after ${logged:-?} ms, claimed again by $host after $claimed ms"
  done

# Every run ends well, and every target holds each order once.
wait_until "SELECT bool_and(state >= 2) FROM runs"
bad=$(store_sql -c "SELECT count(*) FROM runs WHERE state <> 2 OR end_code <> 0")
whole=0
for ((i = 0; i < copies; i++)); do
  [ "$(sqlite3 "$work/t$i.db" 'SELECT count(*) = count(DISTINCT id) AND count(*) = '"$rows"' FROM orders')" = 1 ] &&
    whole=$((whole + 1))
done
echo "take-over: $((copies - bad)) of $copies runs ended well; $whole of $copies targets hold every order once"
[ "$bad" = 0 ] && [ "$whole" = "$copies" ] || failed=1
exit "$failed"
