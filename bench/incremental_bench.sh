#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# An incremental run over a large table against the fixed cost of a run:
#   incremental  rdrun of an rdcopy upsert by IncrementalKey "updated_at"
#                (KeyColumn "id") from a SQLite table of ROWS rows, indexed
#                on (updated_at, id), into a SQLite target, after a first run
#                copied everything and 1,000 rows were then moved to a later
#                updated_at: the whole rdrun process, which reads and writes
#                only those rows;
#   baseline     the same rdrun and activity copying a 1,000-row table whole.
# Prints the best of RUNS times of each, the ratio, and whether the
# incremental run took under a second; checks that each run wrote what it
# should.
#   $1 or BENCH_BUILD_DIR   the Release build (default build-rel)
#   ROWS                    rows of the source table (default 10000000)
#   RUNS                    repetitions of each measurement (default 3)
#   BATCH                   rdcopy's batch size (default 10000)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/timing.sh"
build=${1:-${BENCH_BUILD_DIR:-$top/build-rel}}
rows=${ROWS:-10000000}
runs=${RUNS:-3}
batch=${BATCH:-10000}
changed=1000
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdsqlite >/dev/null

work=$(mktemp -d /tmp/rdincbench.XXXXXX)
home=$work/home
mkdir -p "$home"
cleanup() {
  "$home/rdcsm" stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

printf '[Configuration]\nDirectory=%s/\nKitType=2\n' "$home" > "$home/quarry.ini"
for c in rdsqlite rdcopy; do ln -sf "$build/connectors/$c/$c.rdx" "$home/$c.rdx"; done
ln -sf "$build/rdcsm/rdcsm" "$home/rdcsm"
ln -sf "$build/rdrun/rdrun" "$home/rdrun"

# A source table of n rows, one second of updated_at apart.
make_source() {
  local start
  start=$(date +%s.%N)
  sqlite3 "$1" >/dev/null <<SQL
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
CREATE TABLE src (id INTEGER PRIMARY KEY, v TEXT, updated_at DATETIME);
INSERT INTO src SELECT value, 'row ' || value,
  strftime('%Y-%m-%d %H:%M:%S', '2026-01-01', '+' || value || ' seconds')
  FROM generate_series(1, $2);
CREATE INDEX src_updated ON src (updated_at, id);
SQL
  printf 'made %s rows in %.1f s\n' "$2" "$(echo "$(date +%s.%N) - $start" | bc -l)"
}
make_source "$work/big.db" "$rows"
make_source "$work/small.db" "$changed"

activity() { # name, source database, target database
  cat <<TOML
[link.$1_from]
connector = "rdsqlite"
Database = "$2"
[link.$1_to]
connector = "rdsqlite"
Database = "$3"
Create = 1
[activity.$1]
connector = "rdcopy"
SourceLink = "$1_from"
TargetLink = "$1_to"
SourceSelect = "SELECT id, v, updated_at FROM src"
TargetTable = "dst"
BatchSize = $batch
Mode = "upsert"
Key = "id"
IncrementalKey = "updated_at"
KeyColumn = "id"
TOML
}
{
  activity inc "$work/big.db" "$work/big_dst.db"
  activity base "$work/small.db" "$work/small_dst.db"
} > "$home/bench.toml"
"$home/rdcsm" serve --detach
"$home/rdcsm" define "$home/bench.toml" >/dev/null
rdrun() { "$home/rdrun" --no-progress "$@"; }
count() { sqlite3 "$1" "$2"; }

first=$(seconds rdrun inc)
[ "$(count "$work/big_dst.db" "SELECT count(*) FROM dst")" = "$rows" ] ||
  echo "bench: the first run did not copy $rows rows" >&2
printf 'first run, every row: %.1f s\n' "$first"

inc=0 base=0
for run in $(seq "$runs"); do
  # Another 1,000 rows, spread over the table, moved past the bookmark.
  count "$work/big.db" "UPDATE src SET v = 'changed $run',
    updated_at = strftime('%Y-%m-%d %H:%M:%S', '2030-01-01', '+$run days')
    WHERE id % ($rows / $changed) = $run % ($rows / $changed)"
  inc=$(best "$inc" "$(seconds rdrun inc)")
  moved=$(count "$work/big_dst.db" "SELECT count(*) FROM dst WHERE v = 'changed $run'")
  [ "$moved" = "$changed" ] || echo "bench: run $run upserted $moved rows, not $changed" >&2
  rm -f "$work/small_dst.db"
  base=$(best "$base" "$(seconds rdrun base)")
  [ "$(count "$work/small_dst.db" "SELECT count(*) FROM dst")" = "$changed" ] ||
    echo "bench: the baseline did not copy $changed rows" >&2
done
[ "$(count "$work/big_dst.db" "SELECT count(*) FROM dst")" = "$rows" ] ||
  echo "bench: the target no longer holds $rows rows" >&2

printf 'SQLite -> SQLite, %s rows, %s changed: incremental run %.3f s   ' "$rows" "$changed" "$inc"
printf 'baseline (%s-row table) %.3f s   ratio %.2f\n' "$changed" "$base" \
  "$(echo "$inc / $base" | bc -l)"
if (($(echo "$inc < 1" | bc -l))); then
  echo "incremental run under 1 s: yes"
else
  echo "incremental run under 1 s: no"
fi
