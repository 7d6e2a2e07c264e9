#!/usr/bin/env bash
# krt-host carries no server code: none of the libraries it loads (those it
# links and the module it loads by path) defines a symbol of the HTTP
# transport's server side or of the application server.
# Usage: no_server_code.sh KRT-HOST MODULE
set -euo pipefail
host=$1
module=$2
mapfile -t libraries < <(
  { echo "$module"; ldd "$host" "$module" | awk '/libkrt/ { print $3 }'; } | grep -v "^$" | sort -u)
[ "${#libraries[@]}" -ge 3 ] || { echo "found too few of the host's libraries: ${libraries[*]}"; exit 1; }
found=0
for library in "${libraries[@]}"; do
  # Demangled names of what the library defines and exports.
  if nm -DC --defined-only "$library" |
       grep -E 'krt::(HttpCallServer|ReplyStream|ServerLimits|ConnectionQuota|framing::)|krt::app::' \
       > /tmp/no_server_code.$$; then
    echo "$library defines server code:"
    head -5 /tmp/no_server_code.$$
    found=1
  fi
done
rm -f /tmp/no_server_code.$$
[ "$found" = 0 ] && echo "no server symbols in: ${libraries[*]##*/}"
exit "$found"
