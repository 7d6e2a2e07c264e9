#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan), writes
# the seed corpus and runs each decoder's fuzzer (packets, calls, reply bodies,
# the HTTP framing of requests, key lists with the server's argument checks and
# the login answer) for SECONDS (default 60). Inputs may grow to
# 64 KiB, so that the limits of a few kilobytes are reached and passed.
# A crash, a sanitizer report or an accepted input that does not encode back
# to itself fails the script and leaves the input in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
BUILD=${KRT_FUZZ_BUILD_DIR:-build-fuzz}

cmake -S fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$BUILD" -j2 >/dev/null
"$BUILD/fuzz-seeds" "$BUILD/corpus"
for target in packet call reply framing arguments; do
  echo "fuzz: $target for ${SECONDS_EACH} s"
  (cd "$BUILD" && ./fuzz-$target "corpus/$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -max_len=65536 \
     -print_final_stats=1 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" )
done
