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

run_tests() {  # build-dir parallel-tests [ctest selection...]
  local dir="$1" parallel="$2"; shift 2
  phase "test $dir"
  # Tests that need the private test network make a namespace of their own.
  ctest --test-dir "$dir" --output-on-failure -j"$parallel" --timeout 300 "$@"
}

sanitized_debug=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1")

if [ "${QUICK:-0}" = "1" ]; then
  configure build
  build build
  run_tests build "$jobs"
else
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  # The leak checker's walk of the threads' dynamic TLS crashes (GCC 12) once
  # FFmpeg's libraries have been loaded and unloaded with the add-on; the
  # add-on keeps nothing it owns there, so TLS is left out of the roots and
  # the libraries that keep their per-thread state there are suppressed.
  export LSAN_OPTIONS="use_tls=0:suppressions=$root/scripts/lsan.supp"
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
  # Most end-to-end cases wait on the clock: one more than the cores.
  if ! run_tests build-asan $((jobs + 1)); then
    kill -- -"$tsan_build" 2>/dev/null || true
    exit 1
  fi
  phase "build build-tsan (finishing)"
  if ! wait "$tsan_build"; then
    cat "$tsan_log"
    exit 1
  fi
  # Under ThreadSanitizer the cases whose flow is a single thread's (the
  # subscriber profile, the line-up's files, the first start, the library's
  # listing, the media server's documents) add nothing; the ASan run has them.
  run_tests build-tsan "$jobs" -L addon \
    -E 'ProfileFaultTest|ProfileE2eTest|LineUpE2eTest|FootingE2eTest|RecordingsE2eTest|UpnpE2eTest\.(Images|KeepsTheHeaders)'
fi
echo "all tests passed in $(( $(date +%s) - start )) s"
