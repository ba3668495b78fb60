#!/usr/bin/env bash
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
bin=/usr/lib/postgresql/15/bin
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdpg >/dev/null

work=$(mktemp -d /tmp/rdpgbench.XXXXXX)
chmod 755 "$work"
as_server() { if [ "$(id -u)" = 0 ]; then (cd / && runuser -u nobody -- "$@"); else "$@"; fi; }
[ "$(id -u)" = 0 ] && chown nobody "$work"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
as_server "$bin/initdb" -D "$work/data" -A trust -U postgres -E UTF8 --no-locale >/dev/null
as_server "$bin/pg_ctl" -D "$work/data" -w -l "$work/server.log" \
  -o "-k $work -p $port -c listen_addresses='' -c fsync=off -c synchronous_commit=off" start >/dev/null
home=$work/home
mkdir -p "$home"
cleanup() {
  "$home/rdcsm" stop >/dev/null 2>&1 || true
  as_server "$bin/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
psql() { command psql -X -q -h "$work" -p "$port" -U postgres -d postgres "$@"; }

printf '[Configuration]\nDirectory=%s/\nKitType=2\n' "$home" > "$home/quarry.ini"
for c in rdcsv rdpg rdcopy; do ln -sf "$build/connectors/$c/$c.rdx" "$home/$c.rdx"; done
ln -sf "$build/rdcsm/rdcsm" "$home/rdcsm"
ln -sf "$build/rdrun/rdrun" "$home/rdrun"
"$top/examples/orders/make-orders" "$rows" > "$home/orders.csv"
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
