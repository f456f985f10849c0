#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the static checks: clang-format over the tree and the include layers;
#   2. the unit and end-to-end tests (each networked test in a private
#      network namespace of its own) and a replay of each fuzz target's seed
#      corpus, built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the add-on's tests built with ThreadSanitizer.
# scripts/fuzz.sh runs the fuzz targets under libFuzzer.
#
#   scripts/test.sh            everything, sanitized
#   QUICK=1 scripts/test.sh    the static checks and one plain build only
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${JOBS:-2}"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

bash scripts/install-deps.sh
start=$(date +%s)
phase() { echo "== $* ($(( $(date +%s) - start )) s)"; }

phase "clang-format"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
phase "include layers"
scripts/check-layers.sh

configure() {  # build-dir, extra cmake args...
  local dir="$1"; shift
  phase "configure $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVINA_WERROR="$werror" "$@" >/dev/null
}

run_suite() {  # build-dir [label targets...]
  local dir="$1"; shift
  local label=()
  phase "build $dir"
  if [ $# -gt 0 ]; then
    label=(-L "$1"); shift
    cmake --build "$dir" -j"$jobs" --target "$@"
  else
    cmake --build "$dir" -j"$jobs"
  fi
  phase "test $dir"
  # Tests that need the private test network make a namespace of their own.
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300 "${label[@]}"
}

sanitized_debug=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g")

if [ "${QUICK:-0}" = "1" ]; then
  configure build
  run_suite build
else
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  configure build-asan -DQUORVINA_SANITIZE=asan "${sanitized_debug[@]}"
  run_suite build-asan

  # The threaded code is the add-on's: the tools' own tests are neither
  # built nor run here (label "addon").
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
  configure build-tsan -DQUORVINA_SANITIZE=tsan "${sanitized_debug[@]}"
  run_suite build-tsan addon quorvina_tests quorvina_e2e

fi
echo "all tests passed in $(( $(date +%s) - start )) s"
