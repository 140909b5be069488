#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one
# for a bounded time (default 60 seconds). Crashes land in fuzz-out/<target>/.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive_index gzip_stream stream_scanf)
cmake -S . -B build-fuzz -DKESTRUM_FUZZ=ON -DKESTRUM_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target $(printf 'fuzz_%s ' "${targets[@]}")
status=0
for t in "${targets[@]}"; do
  out="fuzz-out/$t"
  mkdir -p "$out/corpus"
  cp -n fuzz/seeds/$t/* "$out/corpus/" 2>/dev/null || true
  echo "== fuzz_$t for ${seconds}s"
  if ! build-fuzz/fuzz/fuzz_$t "$out/corpus" -max_total_time="$seconds" -max_len=65536 \
       -artifact_prefix="$out/" -print_final_stats=1 >"$out/log.txt" 2>&1; then
    echo "fuzz_$t FOUND A PROBLEM: see $out/log.txt"
    tail -n 30 "$out/log.txt"
    status=1
  else
    grep -E "stat::number_of_executed_units|Done" "$out/log.txt" | tail -n 2
  fi
done
exit $status
