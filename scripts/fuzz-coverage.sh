#!/usr/bin/env bash
# Line coverage that the fuzz targets' corpora reach in the portable core.
#   scripts/fuzz-coverage.sh [CORPUS_BUILD_DIR]
# Builds the targets with clang's source coverage (preset fuzz-coverage), replays each
# target's corpus (CORPUS_BUILD_DIR/corpus/<target>, default build/fuzz, else its seeds)
# once, and prints llvm-cov's line coverage per file of src/engine, src/common and
# src/backup, with one total line per folder.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus_dir=${1:-build/fuzz}
bash scripts/setup.sh
cmake --preset fuzz-coverage >/dev/null
# A failed build stops here: otherwise the previous build's binaries would run.
if ! build_log=$(cmake --build --preset fuzz-coverage -j "$(nproc)" 2>&1); then
  printf '%s\n' "$build_log" | tail -n 60
  echo "fuzz-coverage: the build failed; nothing measured" >&2
  exit 1
fi
out=build/fuzz-coverage/profiles
rm -rf "$out" && mkdir -p "$out"
exes=()
for exe in build/fuzz-coverage/fuzz_*; do
  [[ -x $exe ]] || continue
  name=$(basename "$exe")
  corpus=$corpus_dir/corpus/$name
  [[ -d $corpus ]] || corpus=fuzz/seeds/$name
  # One process per input: an input that stops a target still counts what it reached.
  find "$corpus" -type f -print0 | xargs -0 -r -n 1 env LLVM_PROFILE_FILE="$out/$name-%p.profraw" "$exe" -runs=1 >/dev/null 2>&1 || true
  printf '%-16s %6s inputs replayed\n' "$name" "$(find "$corpus" -type f | wc -l)"
  exes+=("$exe")
done
llvm-profdata-14 merge -sparse "$out"/*.profraw -o "$out/all.profdata"
objects=("${exes[0]}")
for exe in "${exes[@]:1}"; do objects+=(-object "$exe"); done
for folder in src/engine src/common src/backup; do
  echo "---- $folder (lines: total, missed, covered)"
  # Columns: name, regions (3), functions (3), lines (3), branches (3).
  llvm-cov-14 report -instr-profile="$out/all.profdata" "${objects[@]}" \
    $(ls "$folder"/*.cpp | grep -v '_win32\.cpp$') 2>/dev/null |
    awk '/\.cpp|^TOTAL/ { printf "  %-40s %6s %6s %8s\n", $1, $8, $9, $10 }'
done
