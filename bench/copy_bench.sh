#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The copy benchmark, in one run on the same generated file of orders:
#   CSV -> SQLite   rdrun (rdcopy from an rdcsv link to an rdsqlite link)
#                   against the sqlite3 shell's .import --csv into the same
#                   table definition, with the same journal settings;
#   SQLite -> CSV   rdrun (rdsqlite to rdcsv) against sqlite3 -csv -header.
# Prints the best of RUNS times of each, records per second and the ratios
# (rdrun's time over the shell's; the import's target is 1.2x).
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
ninja -C "$build" rdrun rdcsm rdcsv rdsqlite rdcopy >/dev/null

# A private home: its own pipe folder and registry, so that no other
# server manager on the machine is used or disturbed.
work=$(mktemp -d "${TMPDIR:-/tmp}/copy_bench.XXXXXX")
export RD_PIPE_DIR=$work/pipes RD_REGISTRY=$work/registry LC_ALL=C.UTF-8
mkdir -m 700 "$RD_PIPE_DIR"
printf '[Configuration]\nDirectory=%s/\nKitType=2\n' "$work" >"$work/quarry.ini"
for connector in rdcsv rdsqlite rdcopy; do
  ln -s "$build/connectors/$connector/$connector.rdx" "$work/$connector.rdx"
done
ln -s "$build/rdcsm/rdcsm" "$work/rdcsm"
ln -s "$build/rdrun/rdrun" "$work/rdrun"
server=$("$work/rdcsm" serve --detach | sed -n 's/^rdcsm serving in process //p')
# The server manager is asked to end, and ended when it has not after 5 s.
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

table='CREATE TABLE orders(id INTEGER, amount NUMERIC(12,2), ordered_at DATETIME, customer TEXT);'
pragmas='PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;'
select='SELECT id, amount, ordered_at, customer FROM orders'
cat >"$work/bench.toml" <<EOF
[link.orders_csv]
connector = "rdcsv"
Path = "$work/orders.csv"
Columns = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"

[link.ours_db]
connector = "rdsqlite"
Database = "$work/ours.db"
Setup = "$pragmas"

[link.source_db]
connector = "rdsqlite"
Database = "$work/source.db"

[link.out_csv]
connector = "rdcsv"
Path = "$work/ours.csv"
Create = 1

[activity.import]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "ours_db"
TargetTable = "orders"
BatchSize = $batch

[activity.export]
connector = "rdcopy"
SourceLink = "source_db"
TargetLink = "out_csv"
SourceSelect = "$select"
BatchSize = $batch
CreateTarget = 1
EOF
"$work/rdcsm" define "$work/bench.toml" >/dev/null

echo "Generating $rows orders"
"$top/examples/orders/make-orders" "$rows" >"$work/orders.csv"


fresh_db() {
  rm -f "$1" "$1-wal" "$1-shm"
  sqlite3 "$1" "$table" >/dev/null
}
ours_import() { "$work/rdrun" --quiet --no-progress import; }
shell_import() {
  sqlite3 "$work/shell.db" "$pragmas" ".import --csv --skip 1 $work/orders.csv orders" >/dev/null
}
ours_export() { rm -f "$work/ours.csv"; "$work/rdrun" --quiet --no-progress export; }
shell_export() { sqlite3 -csv -header "$work/source.db" "$select" >"$work/shell.csv"; }

best_import_ours=0 best_import_shell=0 best_export_ours=0 best_export_shell=0
for ((run = 1; run <= runs; run++)); do
  fresh_db "$work/ours.db"
  best_import_ours=$(best "$best_import_ours" "$(seconds ours_import)")
  fresh_db "$work/shell.db"
  best_import_shell=$(best "$best_import_shell" "$(seconds shell_import)")
  if [ "$run" = 1 ]; then
    cp "$work/shell.db" "$work/source.db"
    sqlite3 "$work/source.db" 'PRAGMA journal_mode=DELETE' >/dev/null
  fi
  best_export_ours=$(best "$best_export_ours" "$(seconds ours_export)")
  best_export_shell=$(best "$best_export_shell" "$(seconds shell_export)")
done

# Both sides delivered every record.
check() {
  if [ "$2" != "$3" ]; then
    echo "copy_bench: $1: $2 against $3" >&2
    exit 1
  fi
}
count='SELECT count(*), sum(id) FROM orders'
check "rows imported" "$(sqlite3 "$work/ours.db" "$count")" "$(sqlite3 "$work/shell.db" "$count")"
check "lines exported" "$(wc -l <"$work/ours.csv")" "$(wc -l <"$work/shell.csv")"

report() {
  local title=$1 ours=$2 shell=$3 baseline=$4 target=$5
  printf '%s, %d records (best of %d)\n' "$title" "$rows" "$runs"
  printf '  %-22s %8.3f s %12.0f records/s\n' rdrun "$ours" "$(echo "$rows / $ours" | bc -l)"
  printf '  %-22s %8.3f s %12.0f records/s\n' "$baseline" "$shell" \
    "$(echo "$rows / $shell" | bc -l)"
  printf '  %-22s %8.2fx%s\n' ratio "$(echo "$ours / $shell" | bc -l)" "$target"
}
report "CSV -> SQLite" "$best_import_ours" "$best_import_shell" "sqlite3 .import --csv" \
  " (target 1.2x)"
report "SQLite -> CSV" "$best_export_ours" "$best_export_shell" "sqlite3 -csv" ""
