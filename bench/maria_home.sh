# SPDX-License-Identifier: Apache-2.0
# Sourced by e2e_bench.sh after its $work and $home are set: a temporary
# MariaDB server on a Unix socket in $work/maria, its data without a disk
# wait at each commit (as the PostgreSQL cluster runs without fsync), a
# database "bench" with an orders table. Sets maria_sock and the function
# mariasql (the server's own client on that socket, as root). The caller's
# cleanup runs maria_stop. Unset maria_sock when no server can be started.
maria_dir=$work/maria
maria_sock=
maria_pid=
maria_server=/usr/sbin/mariadbd
maria_install=$(command -v mariadb-install-db || command -v mysql_install_db || true)
maria_stop() {
  [ -n "$maria_pid" ] || return 0
  kill "$maria_pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$maria_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$maria_pid" 2>/dev/null || true
  maria_pid=
}
mariasql() { mariadb --no-defaults -S "$maria_sock" -u root --batch --skip-column-names "$@"; }
maria_start() {
  local user=() try
  [ -x "$maria_server" ] && [ -n "$maria_install" ] && command -v mariadb >/dev/null || return 1
  [ "$(id -u)" = 0 ] && user=(--user=root)
  mkdir -p "$maria_dir"
  "$maria_install" --no-defaults --datadir="$maria_dir/data" "${user[@]}" \
    --auth-root-authentication-method=normal --skip-test-db >"$maria_dir/install.log" 2>&1 ||
    return 1
  "$maria_server" --no-defaults --datadir="$maria_dir/data" --socket="$maria_dir/sock" \
    --pid-file="$maria_dir/server.pid" --log-error="$maria_dir/server.log" --skip-networking \
    --innodb-buffer-pool-size=256M --innodb-flush-log-at-trx-commit=2 --local-infile=1 \
    --max-allowed-packet=64M "${user[@]}" 2>>"$maria_dir/server.log" &
  maria_pid=$!
  maria_sock=$maria_dir/sock
  for try in $(seq 300); do
    mariasql -e "SELECT 1" >/dev/null 2>&1 && break
    [ "$try" = 300 ] && return 1
    sleep 0.1
  done
  mariasql -e "CREATE DATABASE bench CHARACTER SET utf8mb4;
    CREATE TABLE bench.orders (id BIGINT, customer TEXT, amount DECIMAL(14,2),
      ordered_at DATETIME(2), quantity INT, weight DOUBLE, notes TEXT) ENGINE=InnoDB"
}
if ! maria_start; then
  echo "e2e_bench: no MariaDB server could be started here; its rows are left out" >&2
  [ -f "$maria_dir/server.log" ] && tail -n 5 "$maria_dir/server.log" >&2
  maria_stop
  maria_sock=
fi
