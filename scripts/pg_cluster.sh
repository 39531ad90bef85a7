#!/usr/bin/env bash
# A private PostgreSQL server for the tests, reachable only on 127.0.0.1:
#
#   scripts/pg_cluster.sh start DIR   makes a cluster in DIR, starts it on a free
#                                     port and writes DIR/server.env (PGHOST,
#                                     PGPORT, PGUSER, PGPASSWORD)
#   scripts/pg_cluster.sh stop DIR    stops it and removes DIR
#
# The superuser is "rnt" with password "rnt-test". Without the server programs
# installed, start exits with 77 (skipped) and writes no server.env, so that the
# tests that need a server skip themselves.
set -euo pipefail

readonly user=rnt
readonly password=rnt-test

if [ $# -ne 2 ] || { [ "$1" != start ] && [ "$1" != stop ]; }; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
action=$1
dir=$(realpath -m "$2")
# The cluster itself lives in a folder of its own under /tmp, which the
# postgres system user can always reach (a clone under a closed home folder
# would not be); DIR holds server.env and the cluster's path.
cluster=""
[ -f "$dir/cluster" ] && cluster=$(cat "$dir/cluster")
data=${cluster:+$cluster/data}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)

# The server refuses to run as root; then it runs as the postgres system user.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

stop_cluster() {
  if [ -n "$bin" ] && [ -n "$data" ] && [ -f "$data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" stop -D "$data" -m fast -w -t 30 >/dev/null 2>&1 ||
      as_owner "$bin/pg_ctl" stop -D "$data" -m immediate -w >/dev/null 2>&1 || true
  fi
  case "$cluster" in /tmp/rnt0417-pg-*) rm -rf "$cluster" ;; esac
  rm -rf "$dir"
}

# A port on which nothing answers now; the start below tries another if the
# port is taken in the meantime.
free_port() {
  local port
  while true; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
}

if [ "$action" = stop ]; then
  stop_cluster
  exit 0
fi

if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "pg_cluster: no PostgreSQL server programs under /usr/lib/postgresql; server tests skip"
  exit 77
fi

# A cluster left behind by an interrupted run is replaced.
stop_cluster
mkdir -p "$dir"
cluster=$(mktemp -d /tmp/rnt0417-pg-XXXXXX)
echo "$cluster" >"$dir/cluster"
data=$cluster/data
if [ "$(id -u)" -eq 0 ]; then chown postgres: "$cluster"; fi

printf '%s\n' "$password" >"$cluster/password"
if [ "$(id -u)" -eq 0 ]; then chown postgres: "$cluster/password"; fi
if ! as_owner "$bin/initdb" -D "$data" -U "$user" --pwfile="$cluster/password" \
  --auth=scram-sha-256 -E UTF8 --locale=C --no-sync >"$cluster/initdb.log" 2>&1; then
  cat "$cluster/initdb.log" >&2
  exit 1
fi
rm -f "$cluster/password"

# Test data need not survive a crash: no flushing to disk.
cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$cluster'
fsync = off
synchronous_commit = off
full_page_writes = off
EOF

started=""
for attempt in 1 2 3 4 5; do
  port=$(free_port)
  if as_owner "$bin/pg_ctl" start -D "$data" -l "$cluster/server.log" -o "-p $port" -w -t 30 \
    >/dev/null; then
    started=yes
    break
  fi
  grep -q "could not bind\|already in use" "$cluster/server.log" 2>/dev/null || break
done
if [ -z "$started" ]; then
  cat "$cluster/server.log" >&2 || true
  exit 1
fi

cat >"$dir/server.env" <<EOF
PGHOST=127.0.0.1
PGPORT=$port
PGUSER=$user
PGPASSWORD=$password
EOF
cat "$dir/server.env"
