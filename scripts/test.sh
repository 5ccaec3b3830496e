#!/usr/bin/env bash
# Runs every test: native, native under AddressSanitizer and UBSan, the same suite
# cross-built and run under Wine with the Win32 adapter, the end-to-end checks of the
# Windows programs, and each fuzz target for a bounded time.
set -uo pipefail
cd "$(dirname "$0")/.."
if ! bash scripts/setup.sh; then
  echo "setup failed: nothing could be tested"
  echo "0 passed, 1 failed"
  exit 1
fi

FUZZ_SECONDS=${FUZZ_SECONDS:-20}
JOBS=$(nproc)
passed=0
failed=0
stages=()

count_ctest() {  # adds the counts of a ctest log
  local log=$1 total fails
  total=$(grep -aoE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
  fails=$(grep -aoE '[0-9]+ tests failed out of' "$log" | grep -oE '^[0-9]+' | tail -1)
  total=${total:-0}; fails=${fails:-0}
  passed=$((passed + total - fails)); failed=$((failed + fails))
}

count_gtest() {  # adds the counts of a GoogleTest log
  local log=$1 p f
  p=$(grep -aoE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
  f=$(grep -aoE '^\[  FAILED  \] [0-9]+ tests?,' "$log" | grep -oE '[0-9]+' | tail -1)
  passed=$((passed + ${p:-0})); failed=$((failed + ${f:-0}))
}

stage() {  # stage NAME COMMAND...: runs a stage, remembers whether it passed
  local name=$1; shift
  local before=$((passed + failed))
  echo "==== $name"
  if ! "$@"; then
    stages+=("FAIL  $name"); STAGE_FAILED=1
  elif [[ $((passed + failed)) -eq $before ]]; then
    # A stage that found nothing to run proves nothing: it counts as a failure.
    stages+=("FAIL  $name (nothing ran)"); STAGE_FAILED=1; failed=$((failed + 1))
  else
    stages+=("ok    $name")
  fi
}
STAGE_FAILED=0

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$JOBS" | grep -aE 'error|FAILED' ; return "${PIPESTATUS[0]}"; }

native_tests() {
  build "$1" || return 1
  local log="build/$1/ctest.log"
  (cd "build/$1" && ctest -j "$JOBS" --output-on-failure) >"$log" 2>&1
  local rc=$?
  tail -n 3 "$log"
  [[ $rc -ne 0 ]] && grep -aA30 'The following tests FAILED' "$log"
  count_ctest "$log"
  return $rc
}

wine_tests() {
  build windows || return 1
  local log=build/windows/wine-tests.log
  bash scripts/wine-tests.sh build/windows >"$log" 2>&1
  local rc=$?
  grep -aA40 -- '---- wine-tests summary' "$log"
  [[ $rc -ne 0 ]] && grep -aB2 -A12 'Failure' "$log" | head -80
  count_gtest "$log"
  return $rc
}

script_tests() {  # the project's own scripts: the set-up check on an imitated fresh machine
  local rc=0 t
  for t in tests/scripts/*_test.sh; do
    [[ -f $t ]] || continue
    echo "-- $t"
    if bash "$t"; then passed=$((passed + 1)); else failed=$((failed + 1)); rc=1; fi
  done
  return $rc
}

e2e_tests() {
  # The programs under test are those of this build: a failed build runs nothing.
  build windows || return 1
  local rc=0 t
  for t in tests/e2e/*.sh; do
    [[ -f $t ]] || continue
    [[ $(basename "$t") == lib.sh ]] && continue  # the scripts' shared helpers, not a test
    if bash "$t" build/windows; then passed=$((passed + 1)); else failed=$((failed + 1)); rc=1; fi
  done
  return $rc
}

fuzz_tests() {
  build fuzz || return 1
  local log=build/fuzz/fuzz.log
  bash scripts/fuzz.sh build/fuzz "$FUZZ_SECONDS" 2>&1 | tee "$log" | grep -avE '^#|INFO|^$'
  local rc=${PIPESTATUS[0]}
  local n; n=$(ls fuzz/*.cpp | wc -l)
  if [[ $rc -eq 0 ]]; then passed=$((passed + n)); else failed=$((failed + 1)); fi
  return $rc
}

stage "set-up scripts" script_tests
stage "native tests" native_tests native
stage "native tests with ASan/UBSan" native_tests native-asan
stage "tests under Wine (Win32 adapter)" wine_tests
stage "end-to-end (Windows programs under Wine)" e2e_tests
stage "fuzz targets (${FUZZ_SECONDS}s each)" fuzz_tests

echo "==== summary"
printf '%s\n' "${stages[@]}"
echo "$passed passed, $failed failed"
[[ $STAGE_FAILED -eq 0 && $failed -eq 0 ]]
