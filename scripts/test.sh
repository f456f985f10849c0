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

build() {  # build-dir [targets...]
  local dir="$1"; shift
  phase "build $dir"
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j"$jobs" --target "$@"
  else
    cmake --build "$dir" -j"$jobs"
  fi
}

run_tests() {  # build-dir [label]
  local dir="$1"; shift
  local label=()
  [ $# -gt 0 ] && label=(-L "$1")
  phase "test $dir"
  # Tests that need the private test network make a namespace of their own.
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300 "${label[@]}"
}

sanitized_debug=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1")

if [ "${QUICK:-0}" = "1" ]; then
  configure build
  build build
  run_tests build
else
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  configure build-asan -DQUORVINA_SANITIZE=asan "${sanitized_debug[@]}"
  build build-asan

  # The threaded code is the add-on's: the tools' own tests are neither
  # built nor run under ThreadSanitizer (label "addon"). The end-to-end
  # tests mostly wait on the clock, so that build runs meanwhile at the
  # lowest priority, leaving the tests their CPU.
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp"
  configure build-tsan -DQUORVINA_SANITIZE=tsan "${sanitized_debug[@]}"
  tsan_log="$root/build-tsan/build.log"
  setsid nice -n 19 cmake --build build-tsan -j"$jobs" --target quorvina_tests quorvina_e2e \
    >"$tsan_log" 2>&1 &
  tsan_build=$!
  if ! run_tests build-asan; then
    kill -- -"$tsan_build" 2>/dev/null || true
    exit 1
  fi
  phase "build build-tsan (finishing)"
  if ! wait "$tsan_build"; then
    cat "$tsan_log"
    exit 1
  fi
  run_tests build-tsan addon
fi
echo "all tests passed in $(( $(date +%s) - start )) s"
