#!/usr/bin/env bash
# free_port: prints a loopback TCP port that nothing listens on (bash only, so
# it works on a bare machine).
free_port() {
  local port
  for _ in $(seq 1 200); do
    port=$(( 20000 + RANDOM % 40000 ))
    if ! (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  echo "free_port: no free port found" >&2
  return 1
}
