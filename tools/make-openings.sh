#!/usr/bin/env bash
# Makes the opening suites in openings/ with `kesta-tool make-openings`: random openings of three
# to five stones near the centre, each kept only when a depth-7 search scores it within 40 of 0
# for the side to move, and no symmetric copy of it is kept already. The seeds are fixed, so the
# same engine makes the same suites.
#   tools/make-openings.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build}/kesta-tool
common=(--min-stones 3 --max-stones 5 --depth 7 --band 40 --spread 3)
"$tool" make-openings --rule freestyle --size 15 --count 100 --seed 1 "${common[@]}" >openings/freestyle-15.txt
"$tool" make-openings --rule freestyle --size 20 --count 100 --seed 2 "${common[@]}" >openings/freestyle-20.txt
"$tool" make-openings --rule exact5 --size 15 --count 100 --seed 3 "${common[@]}" >openings/exact5-15.txt
"$tool" make-openings --rule renju --size 15 --count 100 --seed 4 "${common[@]}" >openings/renju-15.txt
"$tool" make-openings --rule caro --size 15 --count 100 --seed 5 "${common[@]}" >openings/caro-15.txt
wc -l openings/*.txt
