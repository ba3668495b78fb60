#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Loading a CSV file of generated orders into PostgreSQL and unloading it
# again: rdrun running rdcopy with rdcsv and rdpg, against psql's \copy on
# the same file and the same server in the same run. The server is a
# temporary cluster of this script (as nobody when run as root), on a Unix
# socket in a temporary folder. Prints each time and the ratios.
# The load runs twice: one COPY per batch, and one COPY for the whole load
# (rdpg property Transaction = "connection").
#   ROWS       orders to generate (default 1000000)
#   RDRUN_WRAP a command put before the load's rdrun, e.g. "perf record -o FILE --"
#   RDRUN_ONE_WRAP the same for the load in one COPY
#   RDRUN_UNLOAD_WRAP the same for the unload
#   BUILD_DIR  a built tree (default build-release; make it with
#              cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/timing.sh"
build=${BUILD_DIR:-$top/build-release}
rows=${ROWS:-1000000}
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdpg >/dev/null
. "$top/bench/pg_home.sh" rdpgbench
cat > "$home/bench.toml" <<TOML
[link.orders_csv]
connector = "rdcsv"
Path = "$home/orders.csv"
Columns = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"
[link.out_csv]
connector = "rdcsv"
Path = "$home/out.csv"
Create = 1
[link.pg]
connector = "rdpg"
Host = "$work"
Port = "$port"
User = "postgres"
Database = "postgres"
[activity.load]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "pg"
TargetTable = "orders"
BatchSize = 10000
OnError = "stop"
[link.pg_one]
connector = "rdpg"
Host = "$work"
Port = "$port"
User = "postgres"
Database = "postgres"
Transaction = "connection"
[activity.load_one]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "pg_one"
TargetTable = "orders"
BatchSize = 10000
OnError = "stop"
[activity.unload]
connector = "rdcopy"
SourceLink = "pg"
SourceSelect = "SELECT * FROM orders"
TargetLink = "out_csv"
TargetTable = "$home/out.csv"
BatchSize = 10000
OnError = "stop"
TOML
"$home/rdcsm" serve --detach
"$home/rdcsm" define "$home/bench.toml" >/dev/null

reset_table() {
  psql -c "SET client_min_messages = warning; DROP TABLE IF EXISTS orders; CREATE TABLE orders (id integer, amount numeric(12,2),
           ordered_at timestamp, customer text)"
}

reset_table
psql_in=$(seconds psql -c "\\copy orders FROM '$home/orders.csv' CSV HEADER")
reset_table
rd_in=$(seconds ${RDRUN_WRAP:-} "$home/rdrun" load)
loaded=$(psql -At -c "SELECT count(*) FROM orders")
reset_table
rd_one=$(seconds ${RDRUN_ONE_WRAP:-} "$home/rdrun" load_one)
loaded_one=$(psql -At -c "SELECT count(*) FROM orders")
psql_out=$(seconds psql -c "\\copy orders TO '$home/psql-out.csv' CSV HEADER")
rm -f "$home/out.csv"
rd_out=$(seconds ${RDRUN_UNLOAD_WRAP:-} "$home/rdrun" unload)

unloaded=$(($(wc -l < "$home/out.csv") - 1))
echo "rows generated $rows, loaded by rdpg $loaded (one COPY: $loaded_one), unloaded by rdpg $unloaded (lines less header)"
printf 'CSV -> PostgreSQL  psql \\copy %6.2f s   rdrun+rdcsv+rdpg %6.2f s   ratio %.2f\n' \
  "$psql_in" "$rd_in" "$(echo "$rd_in / $psql_in" | bc -l)"
printf '  one COPY for the whole load   rdrun+rdcsv+rdpg %6.2f s   ratio %.2f\n' \
  "$rd_one" "$(echo "$rd_one / $psql_in" | bc -l)"
printf 'PostgreSQL -> CSV  psql \\copy %6.2f s   rdrun+rdpg+rdcsv %6.2f s   ratio %.2f\n' \
  "$psql_out" "$rd_out" "$(echo "$rd_out / $psql_out" | bc -l)"
