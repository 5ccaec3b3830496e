#!/usr/bin/env bash
# Runs every fuzz target of a build for a bounded time.
#   scripts/fuzz.sh BUILD_DIR SECONDS
# Each target fuzz_<name> keeps its corpus in BUILD_DIR/corpus/<name> (seeded from
# fuzz/seeds/<name>/) and any failing input in BUILD_DIR/fuzz-artifacts/<name>/.
# Prints one line per target; exits non-zero when any target failed.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$1
seconds=$2
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "SECONDS must be a positive whole number" >&2
  exit 2
fi
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

targets=()
for exe in "$build_dir"/fuzz_*; do
  [[ -f $exe && -x $exe ]] && targets+=("$exe")
done
if [[ ${#targets[@]} -eq 0 ]]; then
  echo "no fuzz targets in $build_dir (build the 'fuzz' preset first)" >&2
  exit 2
fi

failed=0
for exe in "${targets[@]}"; do
  name=$(basename "$exe")
  corpus=$build_dir/corpus/$name
  artifacts=$build_dir/fuzz-artifacts/$name
  log=$build_dir/fuzz-logs/$name.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  if [[ -d $repo_dir/fuzz/seeds/$name ]]; then
    cp -n "$repo_dir/fuzz/seeds/$name"/* "$corpus"/ 2>/dev/null || true
  fi
  rc=0
  "$exe" -max_total_time="$seconds" -max_len=4096 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  entries=$(find "$corpus" -type f | wc -l)
  if [[ $rc -eq 0 ]]; then
    printf '%-16s ok      %10s runs, corpus %s inputs\n' "$name" "${runs:-?}" "$entries"
  else
    failed=1
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    reason=$(grep -m 1 -E 'property failed|ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error' "$log" || true)
    printf '%-16s FAILED  exit %s: %s\n' "$name" "$rc" "${reason:-see log}"
    printf '%-16s         input %s, log %s\n' "" "${artifact:-none written}" "$log"
  fi
done
exit "$failed"
