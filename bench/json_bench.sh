#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# JSON Lines -> SQLite against CSV -> SQLite of the same records, both by
# rdrun (rdcopy from an rdjson or rdcsv link to an rdsqlite link, the same
# declared columns and table). The JSON Lines file is made from the
# generated CSV by rdrun as well. The two copies run interleaved, RUNS
# times each; prints the median of each and their ratio (target 1.2x).
#   ROWS              rows of the generated file (default 1000000)
#   RUNS              repetitions of each measurement (default 3)
#   BENCH_BUILD_DIR   the Release build (default build-rel)
#   BATCH             rdcopy's batch size (default 5000)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/timing.sh"
build=${BENCH_BUILD_DIR:-$top/build-rel}
rows=${ROWS:-1000000}
runs=${RUNS:-3}
batch=${BATCH:-5000}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" rdrun rdcsm rdcsv rdjson rdsqlite rdcopy >/dev/null

# A private home: its own pipe folder and registry, so that no other
# server manager on the machine is used or disturbed.
work=$(mktemp -d "${TMPDIR:-/tmp}/json_bench.XXXXXX")
export RD_PIPE_DIR=$work/pipes RD_REGISTRY=$work/registry LC_ALL=C.UTF-8
mkdir -m 700 "$RD_PIPE_DIR"
printf '[Configuration]\nDirectory=%s/\nKitType=2\n' "$work" >"$work/quarry.ini"
for connector in rdcsv rdjson rdsqlite rdcopy; do
  ln -s "$build/connectors/$connector/$connector.rdx" "$work/$connector.rdx"
done
ln -s "$build/rdcsm/rdcsm" "$work/rdcsm"
ln -s "$build/rdrun/rdrun" "$work/rdrun"
server=$("$work/rdcsm" serve --detach | sed -n 's/^rdcsm serving in process //p')
cleanup() {
  "$work/rdcsm" stop >/dev/null 2>&1 || true
  for _ in $(seq 50); do
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

columns='id:int,amount:numeric(12,2),ordered_at:datetime,customer:text'
table='CREATE TABLE orders(id INTEGER, amount NUMERIC(12,2), ordered_at DATETIME, customer TEXT);'
pragmas='PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;'
cat >"$work/bench.toml" <<EOF2
[link.orders_csv]
connector = "rdcsv"
Path = "$work/orders.csv"
Columns = "$columns"

[link.orders_json]
connector = "rdjson"
Path = "$work/orders.jsonl"
Columns = "$columns"
Create = 1

[link.csv_db]
connector = "rdsqlite"
Database = "$work/csv.db"
Setup = "$pragmas"

[link.json_db]
connector = "rdsqlite"
Database = "$work/json.db"
Setup = "$pragmas"

[activity.to_json]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "orders_json"
BatchSize = $batch
CreateTarget = 1

[activity.csv_import]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "csv_db"
TargetTable = "orders"
BatchSize = $batch

[activity.json_import]
connector = "rdcopy"
SourceLink = "orders_json"
TargetLink = "json_db"
TargetTable = "orders"
BatchSize = $batch
EOF2
"$work/rdcsm" define "$work/bench.toml" >/dev/null

echo "Generating $rows orders"
"$top/examples/orders/make-orders" "$rows" >"$work/orders.csv"
"$work/rdrun" --quiet --no-progress to_json >/dev/null

fresh_db() {
  rm -f "$1" "$1-wal" "$1-shm"
  sqlite3 "$1" "$table" >/dev/null
}
csv_import() { "$work/rdrun" --quiet --no-progress csv_import; }
json_import() { "$work/rdrun" --quiet --no-progress json_import; }

csv_times=() json_times=()
for ((run = 1; run <= runs; run++)); do
  fresh_db "$work/csv.db"
  csv_times+=("$(seconds csv_import)")
  fresh_db "$work/json.db"
  json_times+=("$(seconds json_import)")
done

median() { printf "%s\n" "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

# Both copies delivered the same records.
count='SELECT count(*), sum(id), sum(CAST(round(amount * 100) AS INTEGER)), max(ordered_at), max(customer) FROM orders'
ours=$(sqlite3 "$work/json.db" "$count")
theirs=$(sqlite3 "$work/csv.db" "$count")
if [ "$ours" != "$theirs" ]; then
  echo "json_bench: JSON Lines gave $ours, CSV $theirs" >&2
  exit 1
fi

csv=$(median "${csv_times[@]}")
json=$(median "${json_times[@]}")
printf 'JSON Lines -> SQLite against CSV -> SQLite, %d records (median of %d)\n' "$rows" "$runs"
printf '  %-12s %8.3f s %12.0f records/s\n' "JSON Lines" "$json" "$(echo "$rows / $json" | bc -l)"
printf '  %-12s %8.3f s %12.0f records/s\n' CSV "$csv" "$(echo "$rows / $csv" | bc -l)"
printf '  %-12s %8.2fx (target 1.2x)\n' ratio "$(echo "$json / $csv" | bc -l)"
