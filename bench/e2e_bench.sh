#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Whole-process copies of one generated file of orders (bench/make-orders7,
# seven columns) by the engine -- rdrun running rdcopy between two
# connectors, as a user runs it -- against the databases' own shells doing
# the same copy on the same machine, in the same run:
#   sqlite_import      CSV -> SQLite, default journal: rdcsv -> rdsqlite
#                      against sqlite3 .import --csv, into the same table
#   sqlite_import_wal  the same with both in WAL mode
#   sqlite_export      SQLite -> CSV against sqlite3 -csv -header
#   pg_load_one        CSV -> PostgreSQL in one COPY (rdpg Transaction =
#                      "connection") against psql \copy ... FROM
#   pg_load            the same with one COPY per batch (rdpg's default)
#   pg_unload          PostgreSQL -> CSV against psql \copy (SELECT ...) TO
#   json_sqlite        JSON Lines -> SQLite: rdjson -> rdsqlite against the
#                      engine's own CSV -> SQLite of the same records
#   maria_load         CSV -> MariaDB: rdcsv -> rdmysql against the mariadb
#                      client's LOAD DATA LOCAL INFILE, into the same table
#   maria_load_data    the same with rdmysql's LoadData (LOAD DATA LOCAL INFILE
#                      from a stream the connector writes)
#   maria_unload       MariaDB -> CSV against mariadb -e "SELECT ..." > file
#                      (the MariaDB rows need mariadbd; left out without it)
# Runs alternate (engine, shell, engine, ...). Each row prints the median
# wall time of both sides, their ratio, the target (bench/e2e_targets.txt)
# and the verdict, then the median CPU seconds of the client (user + sys of
# rdrun or the shell and all it waited for) and, for PostgreSQL, of the
# server (every process of the cluster). After every run the target is
# checked against the generated file: a failed copy or a wrong value fails
# the script (status 1); a missed target does not.
#   ROWS              rows of the generated file (default 1000000)
#   RUNS              runs of each side per row (default 3)
#   BENCH_BUILD_DIR   the Release build (default build-rel)
#   BATCH             rdcopy's batch size (default 5000)
#   ONLY              row keys to run, separated by spaces (default: all)
#   ENGINE_WRAP       a command the engine's runs go through, for profiling
#                     (e.g. "valgrind --tool=callgrind")
#   --smoke           ROWS=2000 RUNS=1 unless set; verdict "ran"
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
smoke=0
if [ "${1:-}" = "--smoke" ]; then
  smoke=1
  rows=${ROWS:-2000} runs=${RUNS:-1}
else
  rows=${ROWS:-1000000} runs=${RUNS:-3}
fi
build=${BENCH_BUILD_DIR:-$top/build-rel}
batch=${BATCH:-5000}
for number in "$rows" "$runs" "$batch"; do
  if ! [[ $number =~ ^[1-9][0-9]*$ ]]; then
    echo "e2e_bench: ROWS, RUNS and BATCH are positive integers" >&2
    exit 2
  fi
done
export LC_ALL=C.UTF-8

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(rdrun rdcsm rdcsv rdsqlite rdpg rdcopy make-orders7)
[ -d "$top/connectors/rdjson" ] && targets+=(rdjson)
[ -d "$top/connectors/rdmysql" ] && targets+=(rdmysql)
if ! output=$(ninja -C "$build" "${targets[@]}" 2>&1); then
  echo "$output" >&2
  exit 1
fi
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"

# The temporary cluster and home of pg_home.sh, given a pipe folder and a
# registry of their own so that no other server manager is used or
# disturbed. Its four-column orders are not used: it makes them empty.
wanted=$rows
rows=0
# shellcheck source=bench/pg_home.sh
. "$top/bench/pg_home.sh" rdx_e2e
rows=$wanted
export RD_PIPE_DIR=$work/pipes RD_REGISTRY=$work/registry
mkdir -m 700 "$RD_PIPE_DIR"
ln -sf "$build/connectors/rdsqlite/rdsqlite.rdx" "$home/rdsqlite.rdx"
json=0
if [ -f "$build/connectors/rdjson/rdjson.rdx" ]; then
  ln -sf "$build/connectors/rdjson/rdjson.rdx" "$home/rdjson.rdx"
  json=1
fi
server=
# The server manager is asked to end, and ended when it has not after 5 s;
# then the cluster stops and everything is removed.
cleanup() {
  if [ -n "$server" ]; then
    "$home/rdcsm" stop >/dev/null 2>&1 || true
    for _ in $(seq 50); do
      kill -0 "$server" 2>/dev/null || break
      sleep 0.1
    done
    kill "$server" 2>/dev/null || true
  fi
  as_server "$bin/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  maria_stop 2>/dev/null || true
  rm -rf "$work"
}
maria_stop() { :; }
pgsql() { psql -v ON_ERROR_STOP=1 "$@"; }
# No autovacuum starting in the middle of a timed run.
pgsql -c "ALTER SYSTEM SET autovacuum = off" -c "SELECT pg_reload_conf()" >/dev/null
pgsql -c "CREATE TABLE orders (id bigint, customer text, amount numeric(14,2),
          ordered_at timestamp, quantity integer, weight double precision, notes text)"

columns='id:bigint,customer:text,amount:numeric(14,2),ordered_at:datetime,quantity:int,weight:float,notes:text'
select='SELECT id, customer, amount, ordered_at, quantity, weight, notes FROM orders'
sqlite_table='CREATE TABLE orders(id INTEGER, customer TEXT, amount NUMERIC(14,2),
  ordered_at DATETIME, quantity INTEGER, weight REAL, notes TEXT);'
pg_link="connector = \"rdpg\"
Host = \"$work\"
Port = \"$port\"
User = \"postgres\"
Database = \"postgres\""
# A MariaDB server too, when the machine has one and the connector is built.
maria_sock=
if [ -f "$build/connectors/rdmysql/rdmysql.rdx" ]; then
  # shellcheck source=bench/maria_home.sh
  . "$top/bench/maria_home.sh"
  ln -sf "$build/connectors/rdmysql/rdmysql.rdx" "$home/rdmysql.rdx"
fi
cat >"$home/e2e.toml" <<EOF
[link.orders_csv]
connector = "rdcsv"
Path = "$home/orders.csv"
Columns = "$columns"

[link.sqlite_journal]
connector = "rdsqlite"
Database = "$home/ours.db"

[link.sqlite_wal]
connector = "rdsqlite"
Database = "$home/ours.db"
Setup = "PRAGMA journal_mode=WAL"

[link.sqlite_source]
connector = "rdsqlite"
Database = "$home/source.db"

[link.out_csv]
connector = "rdcsv"
Path = "$home/ours.csv"
Create = 1

[link.pg]
$pg_link

[link.pg_one]
$pg_link
Transaction = "connection"

[activity.sqlite_import]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "sqlite_journal"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.sqlite_import_wal]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "sqlite_wal"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.sqlite_export]
connector = "rdcopy"
SourceLink = "sqlite_source"
SourceSelect = "$select"
TargetLink = "out_csv"
CreateTarget = 1
BatchSize = $batch
OnError = "stop"

[activity.pg_load_one]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "pg_one"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.pg_load]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "pg"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.pg_unload]
connector = "rdcopy"
SourceLink = "pg"
SourceSelect = "$select"
TargetLink = "out_csv"
CreateTarget = 1
BatchSize = $batch
OnError = "stop"
EOF
if [ "$json" = 1 ]; then
  cat >>"$home/e2e.toml" <<EOF

[link.orders_json]
connector = "rdjson"
Path = "$home/orders.jsonl"
Columns = "$columns"
Create = 1

[link.sqlite_shell]
connector = "rdsqlite"
Database = "$home/shell.db"

[activity.json_make]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "orders_json"
BatchSize = $batch
OnError = "stop"

[activity.json_import]
connector = "rdcopy"
SourceLink = "orders_json"
TargetLink = "sqlite_journal"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.csv_import]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "sqlite_shell"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"
EOF
fi
if [ -n "$maria_sock" ]; then
  cat >>"$home/e2e.toml" <<EOF

[link.maria]
connector = "rdmysql"
Socket = "$maria_sock"
User = "root"
Database = "bench"

[activity.maria_load]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "maria"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[link.maria_infile]
connector = "rdmysql"
Socket = "$maria_sock"
User = "root"
Database = "bench"
LoadData = 1

[activity.maria_load_data]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "maria_infile"
TargetTable = "orders"
BatchSize = $batch
OnError = "stop"

[activity.maria_unload]
connector = "rdcopy"
SourceLink = "maria"
SourceSelect = "$select"
TargetLink = "out_csv"
CreateTarget = 1
BatchSize = $batch
OnError = "stop"
EOF
fi
server=$("$home/rdcsm" serve --detach | sed -n 's/^rdcsm serving in process //p')
"$home/rdcsm" define "$home/e2e.toml" >/dev/null

# Prints "RECORDS CHECKSUM" of a CSV file of orders: the sum of a hash of
# each record in a normal form (numbers as values, date-times without
# trailing zeros of the fraction, an empty field for NULL, floats to the 15
# digits the generator gives them, since sqlite3 reads some texts into the
# double next to the nearest), so that files of the same records in any
# order and any tool's number forms agree. A wrong
# header, a record of another width or a value that is not of its column's
# type fails.
cat >"$work/normalise.py" <<'EOF'
import csv, hashlib, sys
from decimal import Decimal, InvalidOperation

HEADER = ["id", "customer", "amount", "ordered_at", "quantity", "weight", "notes"]
CENT = Decimal("0.01")
path = sys.argv[1]
count = total = 0
with open(path, newline="", encoding="utf-8") as f:
    reader = csv.reader(f)
    header = next(reader, None)
    if header != HEADER:
        sys.exit(f"{path}: header {header}")
    for record in reader:
        try:
            if len(record) != 7:
                raise ValueError(f"{len(record)} fields")
            id_, customer, amount, when, quantity, weight, notes = record
            cents = Decimal(amount).quantize(CENT)
            if cents != Decimal(amount):
                raise ValueError(f"amount {amount} has more than 2 decimals")
            day, _, fraction = when.replace("T", " ").partition(".")
            fraction = fraction.rstrip("0")
            form = "\x1f".join((str(int(id_)), customer, str(cents + 0),
                                day + ("." + fraction if fraction else ""),
                                str(int(quantity)), repr(float(f"{float(weight):.15g}")), notes))
        except ValueError as error:
            sys.exit(f"{path}: record ending on line {reader.line_num}: {error}: {record}")
        except InvalidOperation:
            sys.exit(f"{path}: record ending on line {reader.line_num}: amount is no number: {record}")
        total += int.from_bytes(hashlib.blake2b(form.encode(), digest_size=16).digest(), "little")
        count += 1
print(count, format(total % (1 << 128), "032x"))
EOF
normalise() { python3 "$work/normalise.py" "$1"; }

echo "Generating $rows orders"
"$build/bench/make-orders7" "$rows" >"$home/orders.csv"
expected=$(normalise "$home/orders.csv")
if [ "${expected%% *}" != "$rows" ]; then
  echo "e2e_bench: the generated file holds ${expected%% *} records, not $rows" >&2
  exit 1
fi

# check.csv, a table written out by the database's shell, holds exactly the
# generated file's records (compared in the normal form).
full_check() {
  local what=$1 got
  got=$(normalise "$work/check.csv")
  if [ "$got" != "$expected" ]; then
    echo "e2e_bench: $what: records and checksum $got, the generated file's $expected" >&2
    exit 1
  fi
}

# Sums over a loaded table (the same on either side of a row) and its
# record count, which must be ROWS.
sqlite_sums='SELECT count(*), sum(id), total(amount), count(DISTINCT customer),
  sum(length(customer)), max(length(notes)), total(length(notes)), sum(quantity),
  total(weight), min(ordered_at), max(ordered_at), count(DISTINCT ordered_at) FROM orders'
pg_sums="SELECT count(*), sum(id), sum(amount), count(DISTINCT customer),
  sum(length(customer)), max(length(notes)), sum(length(notes)), sum(quantity),
  sum(weight), min(ordered_at), max(ordered_at), count(DISTINCT ordered_at) FROM orders"
counted() {
  if [ "${2%%|*}" != "$rows" ]; then
    echo "e2e_bench: $1 holds ${2%%|*} records, not $rows" >&2
    exit 1
  fi
  echo "$2"
}

# The side of the current run: engine or peer.
side=
sqlite_db() { if [ "$side" = engine ]; then echo "$home/ours.db"; else echo "$home/shell.db"; fi; }
out_csv() { if [ "$side" = engine ]; then echo "$home/ours.csv"; else echo "$home/shell.csv"; fi; }

fresh_sqlite() {
  local db
  db=$(sqlite_db)
  rm -f "$db" "$db-wal" "$db-shm"
  sqlite3 -bail "$db" "$sqlite_table"
}
sqlite_values() {
  local db
  db=$(sqlite_db)
  if [ "$first" = 1 ]; then
    sqlite3 -bail -csv -header "$db" "$select" >"$work/check.csv"
    full_check "$side's table in $db"
  fi
  counted "$db" "$(sqlite3 -bail "$db" "$sqlite_sums")"
}
fresh_pg() { pgsql -c "TRUNCATE orders" -c "CHECKPOINT"; }
pg_values() {
  if [ "$first" = 1 ]; then
    pgsql -c "\\copy ($select) TO '$work/check.csv' CSV HEADER"
    full_check "$side's PostgreSQL table"
  fi
  counted "the PostgreSQL table" \
    "$(pgsql -At -c "SET max_parallel_workers_per_gather = 0" -c "$pg_sums")"
}
maria_sums="SELECT CONCAT_WS('|', count(*), sum(id), sum(amount), count(DISTINCT customer),
  sum(char_length(customer)), max(char_length(coalesce(notes, ''))),
  sum(char_length(coalesce(notes, ''))), sum(quantity), sum(round(weight * 1000)),
  min(ordered_at), max(ordered_at), count(DISTINCT ordered_at)) FROM bench.orders"
fresh_maria() { mariasql -e "TRUNCATE bench.orders"; }
maria_values() { counted "the MariaDB table" "$(mariasql -e "$maria_sums")"; }
fresh_csv() { rm -f "$(out_csv)"; }
csv_values() {
  local got
  got=$(normalise "$(out_csv)")
  if [ "$got" != "$expected" ]; then
    echo "e2e_bench: $side's $(out_csv): records and checksum $got, the generated file's $expected" >&2
    exit 1
  fi
  echo "$got"
}

# The shell's unload is its tab-separated batch output, one line a record
# (line breaks escaped): checked by its count; the engine's CSV in full.
maria_csv_values() {
  local lines
  if [ "$side" = engine ]; then
    csv_values >/dev/null
  else
    lines=$(wc -l <"$home/shell.csv")
    if [ "$lines" != "$((rows + 1))" ]; then
      echo "e2e_bench: the mariadb client's output holds $lines lines, not $((rows + 1))" >&2
      exit 1
    fi
  fi
  echo "$rows"
}
maria_load_peer() {
  mariasql --local-infile=1 -e "LOAD DATA LOCAL INFILE '$home/orders.csv' INTO TABLE bench.orders
    CHARACTER SET utf8mb4 FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\"' ESCAPED BY ''
    LINES TERMINATED BY '\n' IGNORE 1 LINES"
}
maria_unload_peer() {
  mariadb --no-defaults -S "$maria_sock" -u root bench -e "$select" >"$home/shell.csv"
}
ours() { ${ENGINE_WRAP:-} "$home/rdrun" --quiet --no-progress "$1"; }
shell_import() { sqlite3 -bail "$home/shell.db" ".import --csv --skip 1 $home/orders.csv orders"; }
shell_import_wal() {
  sqlite3 -bail "$home/shell.db" "PRAGMA journal_mode=WAL" \
    ".import --csv --skip 1 $home/orders.csv orders"
}
shell_export() { sqlite3 -bail -csv -header "$home/source.db" "$select" >"$home/shell.csv"; }
psql_load() { pgsql -c "\\copy orders FROM '$home/orders.csv' CSV HEADER"; }
psql_unload() { pgsql -c "\\copy ($select) TO '$home/shell.csv' CSV HEADER"; }

# CPU ticks of the cluster so far and the number of its connections still
# there: the postmaster with what it reaped, and its children. The
# postmaster is read last, so that a backend reaped during the scan is
# counted in it once; a sum taken while a connection is alive (a backend's
# title names "[local]") or dead but not reaped (state Z) may count one
# twice or not at all, and is taken again.
tick=$(getconf CLK_TCK)
postmaster=$(head -1 "$work/data/postmaster.pid")
cluster_cpu() {
  local file line title ticks=0 connections=0
  local -a f
  for file in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null <"$file" || continue
    # Fields after the command name, which may hold blanks: state, parent, ...
    read -ra f <<<"${line##*) }"
    [ "${f[1]}" = "$postmaster" ] || continue
    title=
    read -r -d '' title 2>/dev/null <"${file%stat}cmdline" || true
    if [ "${f[0]}" = Z ] || [[ $title == *"[local]"* ]]; then
      connections=$((connections + 1))
    fi
    ticks=$((ticks + f[11] + f[12] + f[13] + f[14]))
  done
  read -r line <"/proc/$postmaster/stat"
  read -ra f <<<"${line##*) }"
  echo "$((ticks + f[11] + f[12] + f[13] + f[14])) $connections"
}
# The cluster's CPU ticks once every connection has ended (at most 10 s).
cluster_idle_cpu() {
  local ticks connections
  for _ in $(seq 500); do
    read -r ticks connections < <(cluster_cpu)
    [ "$connections" = 0 ] && break
    sleep 0.02
  done
  echo "$ticks"
}

# Runs a command (output kept in run.log) and sets wall, cpu (user + sys of the
# command and all it waited for) and server (the cluster's CPU meanwhile,
# until the run's backend has ended; "-" without the cluster). A failure ends
# the benchmark with the command's error output.
measure() {
  local with_server=$1 start end times status=0 before
  shift
  if [ "$with_server" = 1 ]; then before=$(cluster_idle_cpu); fi
  start=$EPOCHREALTIME
  times=$({ "$@" >"$work/run.log" 2>&1 || exit $?; times; }) || status=$?
  end=$EPOCHREALTIME
  if [ "$status" != 0 ]; then
    echo "e2e_bench: $* failed (exit status $status):" >&2
    tail -n 20 "$work/run.log" >&2
    exit 1
  fi
  wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  # The second line of times: children's user and sys, as 0m1.234s.
  cpu=$(awk 'NR == 2 { split($1, u, "m"); split($2, s, "m")
                      printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' <<<"$times")
  server=-
  if [ "$with_server" = 1 ]; then
    server=$(awk -v t=$(($(cluster_idle_cpu) - before)) -v hz="$tick" \
      'BEGIN { printf "%.2f", t / hz }')
  fi
}

median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (v[1] == "-") print "-"
    else if (NR % 2) print v[(NR + 1) / 2]
    else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

target_of() { awk -v key="$1" '$1 == key { print $2 }' "$top/bench/e2e_targets.txt"; }

printf '%-46s %8s %8s %7s %7s %-7s %8s %8s %8s %8s\n' "$rows rows, median of $runs runs" \
  engine peer ratio target verdict "eng CPU" "peer CPU" "eng srv" "peer srv"

# One row: KEY TITLE SERVER PREPARE VALUES ENGINE... -- PEER...
# PREPARE empties the side's target, VALUES prints what it holds (and fails
# on a wrong count or record); both sides must hold the same.
first=0
row() {
  local key=$1 title=$2 with_server=$3 prepare=$4 values=$5 target reference="" got run
  shift 5
  if [ -n "${ONLY:-}" ] && [[ " $ONLY " != *" $key "* ]]; then return 0; fi
  local -a engine=() peer=() e_wall=() e_cpu=() e_srv=() p_wall=() p_cpu=() p_srv=()
  while [ "$1" != -- ]; do engine+=("$1"); shift; done
  shift
  peer=("$@")
  target=$(target_of "$key")
  for ((run = 1; run <= runs; run++)); do
    for side in engine peer; do
      $prepare >/dev/null
      if [ "$side" = engine ]; then
        measure "$with_server" "${engine[@]}"
        e_wall+=("$wall") e_cpu+=("$cpu") e_srv+=("$server")
      else
        measure "$with_server" "${peer[@]}"
        p_wall+=("$wall") p_cpu+=("$cpu") p_srv+=("$server")
      fi
      first=$((run == 1))
      got=$($values)
      if [ -z "$reference" ]; then
        reference=$got
      elif [ "$got" != "$reference" ]; then
        echo "e2e_bench: $key: the $side's target holds $got, not $reference" >&2
        exit 1
      fi
    done
  done
  local ours theirs ratio verdict
  ours=$(median "${e_wall[@]}")
  theirs=$(median "${p_wall[@]}")
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  if [ "$smoke" = 1 ]; then
    verdict=ran
  elif awk -v r="$ratio" -v t="$target" 'BEGIN { exit !(r <= t) }'; then
    verdict=met
  else
    verdict=MISSED
  fi
  printf '%-46s %8.3f %8.3f %6.2fx %7s %-7s %8s %8s %8s %8s\n' "$title" "$ours" "$theirs" \
    "$ratio" "$target" "$verdict" "$(median "${e_cpu[@]}")" "$(median "${p_cpu[@]}")" \
    "$(median "${e_srv[@]}")" "$(median "${p_srv[@]}")"
}

row sqlite_import "CSV -> SQLite vs sqlite3 .import" 0 fresh_sqlite sqlite_values \
  ours sqlite_import -- shell_import
row sqlite_import_wal "CSV -> SQLite, WAL vs sqlite3 .import" 0 fresh_sqlite sqlite_values \
  ours sqlite_import_wal -- shell_import_wal
# The export reads the table the shell imported, in the default journal.
rm -f "$home/source.db"
sqlite3 -bail "$home/source.db" "$sqlite_table" ".import --csv --skip 1 $home/orders.csv orders"
row sqlite_export "SQLite -> CSV vs sqlite3 -csv" 0 fresh_csv csv_values \
  ours sqlite_export -- shell_export
row pg_load_one "CSV -> PostgreSQL, one COPY vs psql \\copy" 1 fresh_pg pg_values \
  ours pg_load_one -- psql_load
row pg_load "CSV -> PostgreSQL, COPY per batch vs psql" 1 fresh_pg pg_values \
  ours pg_load -- psql_load
# The unload reads the table psql loaded, vacuumed so that neither side
# pays for setting hint bits.
pgsql -c "TRUNCATE orders" >/dev/null
psql_load >/dev/null
pgsql -c "VACUUM ANALYZE orders" >/dev/null
row pg_unload "PostgreSQL -> CSV vs psql \\copy" 1 fresh_csv csv_values \
  ours pg_unload -- psql_unload
# JSON Lines made from the generated file by the engine, then read into
# SQLite against the same records read from the CSV file.
if [ "$json" = 1 ] && { [ -z "${ONLY:-}" ] || [[ " $ONLY " == *" json_sqlite "* ]]; }; then
  ours json_make >/dev/null
  row json_sqlite "JSON Lines -> SQLite vs CSV -> SQLite (ours)" 0 fresh_sqlite sqlite_values \
    ours json_import -- ours csv_import
fi
if [ -n "$maria_sock" ]; then
  row maria_load "CSV -> MariaDB vs LOAD DATA LOCAL INFILE" 0 fresh_maria maria_values \
    ours maria_load -- maria_load_peer
  row maria_load_data "CSV -> MariaDB, LoadData vs LOAD DATA" 0 fresh_maria maria_values \
    ours maria_load_data -- maria_load_peer
  # The unload reads the table the last run of the load left.
  row maria_unload "MariaDB -> CSV vs mariadb -e SELECT" 0 fresh_csv maria_csv_values \
    ours maria_unload -- maria_unload_peer
fi
echo "seconds of wall time; CPU: user + sys of the client (rdrun, sqlite3, psql) and of the"
echo "PostgreSQL cluster's processes (srv) during the run; ratio: engine over peer"
