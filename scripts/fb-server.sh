#!/usr/bin/env bash
# A throw-away Firebird 3 server on a free loopback port for the tests. It has
# its own configuration, security database (SYSDBA with a password made up
# here), lock folder and data folder under one temporary folder, so a system
# server, if any, is neither used nor disturbed. Source it, then call
# fb_server_start / fb_server_stop. Exports KRT_FB_HOST, KRT_FB_PORT,
# KRT_FB_USER, KRT_FB_PASSWORD and KRT_FB_DB (the server-side path of an empty
# UTF8 database; tests create their own databases in the same folder).

# shellcheck source=scripts/freeport.sh
source "$(dirname "${BASH_SOURCE[0]}")/freeport.sh"

# The installed server's root folder (Debian: /usr/lib/<arch>/firebird/3.0).
fb_root() {
  local d
  for d in /usr/lib/*/firebird/3.0 /usr/lib/firebird/3.0; do
    [ -d "$d" ] && { echo "$d"; return 0; }
  done
  return 0
}

# The server's own command prefix: as root it runs as the firebird user (its
# files must belong to that user); otherwise as ourselves.
fb_server_command() {
  FB_AS=()
  [ "$(id -u)" -eq 0 ] && FB_AS=(setpriv --reuid=firebird --regid=firebird --init-groups)
  FB_AS+=(env FIREBIRD="$FB_DIR/root" FIREBIRD_LOCK="$FB_DIR/lock" FIREBIRD_TMP="$FB_DIR/tmp")
}

# Whether the server process is still running (an exited child stays a zombie
# until waited for, and kill -0 still finds that).
fb_running() {
  [ -r "/proc/$FB_PID/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$FB_PID/status" 2>/dev/null
}

fb_server_start() {
  local root; root=$(fb_root)
  if [ -z "$root" ] || [ ! -x /usr/sbin/firebird ] || ! command -v isql-fb >/dev/null; then
    echo "fb-server: Firebird 3 not installed; Firebird tests will be skipped"
    return 0
  fi
  FB_DIR=$(mktemp -d /tmp/krt-fb.XXXXXX)
  chmod 755 "$FB_DIR"
  mkdir "$FB_DIR/root" "$FB_DIR/data" "$FB_DIR/lock" "$FB_DIR/tmp"
  # The root is the installed one (plugins, messages, character sets) but for
  # the two files that say where this server listens and whom it knows.
  local f
  for f in "$root"/*; do
    case "$(basename "$f")" in
      firebird.conf | databases.conf) ;;
      *) ln -s "$(readlink -f "$f")" "$FB_DIR/root/" ;;
    esac
  done
  KRT_FB_PORT=$(free_port)
  cat >"$FB_DIR/root/firebird.conf" <<EOF
RemoteServicePort = $KRT_FB_PORT
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $FB_DIR/data/security3.fdb
DatabaseAccess = Restrict $FB_DIR/data
EOF
  : >"$FB_DIR/root/databases.conf"
  [ "$(id -u)" -eq 0 ] && chown firebird:firebird "$FB_DIR/data" "$FB_DIR/lock" "$FB_DIR/tmp"

  fb_server_command
  KRT_FB_USER=SYSDBA
  KRT_FB_PASSWORD=$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')
  # A new security database, opened directly (no server yet), whose first
  # user is SYSDBA with that password.
  if ! printf "CREATE DATABASE '%s';\nCREATE USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" \
         "$FB_DIR/data/security3.fdb" "$KRT_FB_PASSWORD" |
       (cd "$FB_DIR" && "${FB_AS[@]}" ISC_USER=SYSDBA isql-fb -q -bail) >"$FB_DIR/setup.log" 2>&1; then
    echo "fb-server: could not create the security database:"; cat "$FB_DIR/setup.log"; return 1
  fi

  (cd "$FB_DIR" && exec "${FB_AS[@]}" /usr/sbin/firebird) >"$FB_DIR/server.log" 2>&1 &
  FB_PID=$!
  local i
  for i in $(seq 1 100); do
    (exec 3<>/dev/tcp/127.0.0.1/"$KRT_FB_PORT") 2>/dev/null && break
    if ! fb_running || [ "$i" -eq 100 ]; then
      echo "fb-server: the server did not start:"; cat "$FB_DIR/server.log"; return 1
    fi
    sleep 0.1
  done

  KRT_FB_HOST=127.0.0.1
  KRT_FB_DB=$FB_DIR/data/krt.fdb
  if ! printf "CREATE DATABASE '%s/%s:%s' DEFAULT CHARACTER SET UTF8;\n" \
         "$KRT_FB_HOST" "$KRT_FB_PORT" "$KRT_FB_DB" |
       ISC_USER=$KRT_FB_USER ISC_PASSWORD=$KRT_FB_PASSWORD isql-fb -q -bail >>"$FB_DIR/setup.log" 2>&1; then
    echo "fb-server: could not create the test database:"; cat "$FB_DIR/setup.log"; return 1
  fi
  export KRT_FB_HOST KRT_FB_PORT KRT_FB_USER KRT_FB_PASSWORD KRT_FB_DB FB_DIR FB_PID
  echo "fb-server: Firebird on $KRT_FB_HOST:$KRT_FB_PORT"
}

fb_server_stop() {
  [ -n "${FB_DIR:-}" ] || return 0
  # Nothing in it is worth keeping, and the server takes many seconds to
  # shut down on SIGTERM: it is killed outright, like an immediate stop.
  if [ -n "${FB_PID:-}" ]; then
    kill -KILL "$FB_PID" 2>/dev/null || true
    wait "$FB_PID" 2>/dev/null || true
  fi
  rm -rf "$FB_DIR"
}
