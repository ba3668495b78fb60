# SPDX-License-Identifier: Apache-2.0
# Sourced by the PostgreSQL benchmarks after $top, $build and $rows are set:
# a temporary cluster (as nobody when run as root) on a Unix socket in a
# temporary folder, without fsync; a home with rdcsm, rdrun and the
# connectors of $build linked in, and $rows generated orders in
# $home/orders.csv. Sets work, port and home; psql runs on the cluster;
# everything is stopped and removed at exit. $1 names the temporary folder.
bin=/usr/lib/postgresql/15/bin
work=$(mktemp -d "/tmp/${1:-rdpgbench}.XXXXXX")
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
