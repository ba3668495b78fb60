#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Upserting into PostgreSQL against loading: rdrun running rdcopy from a CSV
# file of generated orders into rdpg, once with Mode "upsert" (Key "id") into
# a table with a primary key that holds every other order already (with
# other amounts), once plainly into an empty table of the same definition
# (the binary COPY alone, into the same primary key).
# The server is a temporary cluster of this script (as nobody when run as
# root), on a Unix socket in a temporary folder. Prints both times and the
# ratio, and checks that the upsert left every order with its file's amount.
#   ROWS        orders to generate (default 1000000)
#   RUNS        repetitions of each measurement, the best kept (default 1)
#   BENCH_BUILD_DIR a Release build (default build-rel)
#   BATCH       rdcopy's batch size (default 10000)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/timing.sh"
build=${BENCH_BUILD_DIR:-$top/build-rel}
rows=${ROWS:-1000000}
runs=${RUNS:-1}
batch=${BATCH:-10000}
ninja -C "$build" -j2 rdcsm rdrun rdcopy rdcsv rdpg >/dev/null
. "$top/bench/pg_home.sh" rdupsertbench
cat > "$home/bench.toml" <<TOML
[link.orders_csv]
connector = "rdcsv"
Path = "$home/orders.csv"
Columns = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"
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
BatchSize = $batch
OnError = "stop"
[activity.upsert]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "pg"
TargetTable = "orders_up"
Mode = "upsert"
Key = "id"
BatchSize = $batch
OnError = "stop"
TOML
"$home/rdcsm" serve --detach
"$home/rdcsm" define "$home/bench.toml" >/dev/null

columns="id integer, amount numeric(12,2), ordered_at timestamp, customer text"
# An empty table for the load; for the upsert every other order of the
# file, loaded first, with its amount changed.
reset_load() {
  psql -c "SET client_min_messages = warning; DROP TABLE IF EXISTS orders; CREATE TABLE orders ($columns, PRIMARY KEY (id))"
}
reset_upsert() {
  psql -c "SET client_min_messages = warning; DROP TABLE IF EXISTS orders_up;
           CREATE TABLE orders_up ($columns, PRIMARY KEY (id));
           INSERT INTO orders_up SELECT id, amount + 1, ordered_at, customer FROM orders
           WHERE id % 2 = 0" -c "VACUUM ANALYZE orders_up"
}

load=0 upsert=0
for _ in $(seq "$runs"); do
  reset_load
  load=$(best "$load" "$(seconds "$home/rdrun" load)")
  reset_upsert
  upsert=$(best "$upsert" "$(seconds "$home/rdrun" upsert)")
done
loaded=$(psql -At -c "SELECT count(*) FROM orders")
upserted=$(psql -At -c "SELECT count(*) FROM orders_up")
differ=$(psql -At -c "SELECT count(*) FROM orders o JOIN orders_up u USING (id)
                      WHERE o.amount IS DISTINCT FROM u.amount")
echo "rows generated $rows, loaded $loaded, after the upsert $upserted ($differ amounts differ)"
printf 'CSV -> PostgreSQL  plain COPY %6.2f s   upsert, half existing %6.2f s   ratio %.2f\n' \
  "$load" "$upsert" "$(echo "$upsert / $load" | bc -l)"
