# SPDX-License-Identifier: Apache-2.0
# Sourced by the benchmarks of several hosts after pg_home.sh: homes of
# hosts sharing one store of the temporary cluster, each with its own
# quarry.ini, pipe folder, registry and runtime folder, and the programs and
# connectors of $build linked in, each host started in a process group of
# its own.
#   add_host NAME             makes the home $work/NAME
#   host_env NAME             the environment words of the host's programs
#   start_host NAME LEASE CMD starts the host's rdcsm on $store, then once it
#                             serves runs CMD (shell words, in the home); the
#                             group's id is in $work/NAME/group
#   stop_host NAME SIGNAL     signals the host's group and waits for its end
#   stop_hosts                stops every host (SIGTERM)
# Every host still running is stopped at exit, before the cluster.
hosts=()

add_host() {
  local dir=$work/$1
  mkdir -p "$dir/pipes" "$dir/runtime"
  chmod 700 "$dir" "$dir/pipes" "$dir/runtime"
  printf '[Configuration]\nDirectory=%s/\nKitType=2\n' "$dir" > "$dir/quarry.ini"
  for c in rdcsv rdsqlite rdcopy; do ln -sf "$build/connectors/$c/$c.rdx" "$dir/$c.rdx"; done
  ln -sf "$build/rdcsm/rdcsm" "$dir/rdcsm"
  ln -sf "$build/rdrun/rdrun" "$dir/rdrun"
  hosts+=("$1")
}

# The runtime folder is the host's own too, so that the copies' lock files
# go with the temporary folder.
host_env() {
  echo "RD_PIPE_DIR=$work/$1/pipes RD_REGISTRY=$work/$1/registry XDG_RUNTIME_DIR=$work/$1/runtime"
}

# rdcsm of the host NAME with the store, for tool subcommands.
host_tool() {
  local name=$1
  shift
  env $(host_env "$name") "$work/$name/rdcsm" --store "$store" "$@"
}

start_host() {
  local name=$1 lease=$2 command=$3 dir=$work/$1
  # setsid without a fork (the background child leads no group yet): its
  # process id is the new group's.
  setsid sh -c "cd '$dir' || exit 1
    export $(host_env "$name")
    ./rdcsm --store '$store' serve --host $name --lease-ms $lease >>csm.txt 2>&1 &
    for i in \$(seq 500); do ./rdcsm status >/dev/null 2>&1 && break; sleep 0.02; done
    $command" </dev/null >>"$dir/host.txt" 2>&1 &
  echo $! > "$dir/group"
  disown $!
}

# Signals the host's group; with "wait", waits for the group's end too.
signal_host() {
  local group
  group=$(cat "$work/$1/group" 2>/dev/null) || return 0
  kill "-$2" -- "-$group" 2>/dev/null || true
  [ "${3:-}" = wait ] || return 0
  for _ in $(seq 500); do kill -0 -- "-$group" 2>/dev/null || break; sleep 0.02; done
  rm -f "$work/$1/group"
}

stop_host() { signal_host "$1" "$2" wait; }

# Every host at once, then waits for each.
stop_hosts() {
  for h in "${hosts[@]}"; do signal_host "$h" TERM; done
  for h in "${hosts[@]}"; do signal_host "$h" TERM wait; done
}
trap 'stop_hosts; cleanup' EXIT
trap 'exit 1' INT TERM

now_ms() { date +%s%3N; }
