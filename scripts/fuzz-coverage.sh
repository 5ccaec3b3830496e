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
cmake --build --preset fuzz-coverage -j "$(nproc)" | grep -aE 'error|FAILED' || true
out=build/fuzz-coverage/profiles
rm -rf "$out" && mkdir -p "$out"
objects=()
for exe in build/fuzz-coverage/fuzz_*; do
  [[ -x $exe ]] || continue
  name=$(basename "$exe")
  corpus=$corpus_dir/corpus/$name
  [[ -d $corpus ]] || corpus=fuzz/seeds/$name
  LLVM_PROFILE_FILE="$out/$name.profraw" "$exe" -runs=0 "$corpus" >/dev/null 2>&1 || true
  printf '%-16s %6s inputs replayed\n' "$name" "$(find "$corpus" -type f | wc -l)"
  objects+=(-object "$exe")
done
llvm-profdata-14 merge -sparse "$out"/*.profraw -o "$out/all.profdata"
for folder in src/engine src/common src/backup; do
  echo "---- $folder"
  llvm-cov-14 report -instr-profile="$out/all.profdata" "${objects[@]:1}" "${objects[0]}" \
    $(ls "$folder"/*.cpp | grep -v '_win32\.cpp$') |
    awk 'NR==1 || /^src|^TOTAL/ { printf "%-44s lines %s of %s missed, %s covered\n", $1, $(NF-2), $(NF-3), $(NF) }' |
    sed 1d
done
