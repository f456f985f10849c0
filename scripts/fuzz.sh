#!/usr/bin/env bash
# Fuzzes every target (or the ones named) under libFuzzer with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, each for SECONDS (default
# 60), starting from its seed corpus. New inputs go to build-fuzz/corpus-*;
# the shipped seeds stay as they are.
#
#   scripts/fuzz.sh [--seconds N] [target...]      e.g. scripts/fuzz.sh guide http
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds=60
if [ "${1:-}" = "--seconds" ]; then seconds="$2"; shift 2; fi
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in fuzz/*_fuzz.cpp; do names+=("$(basename "$src" _fuzz.cpp)"); done
fi
targets=()
for name in "${names[@]}"; do targets+=("${name}_fuzz"); done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUORVINA_FUZZ=ON -DQUORVINA_TESTS=OFF \
  -DQUORVINA_SANITIZE=asan -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"${JOBS:-2}" --target "${targets[@]}"
for name in "${names[@]}"; do
  work="build-fuzz/corpus-$name"
  mkdir -p "$work" "fuzz/corpus/$name"
  echo "== $name: $seconds s"
  "build-fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    "$work" "fuzz/corpus/$name" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY" || true
done
