#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a higher layer, or one outside src/. The layers,
# bottom to top; a file may include its own layer and the layers below it:
#   1 core/   2 eval/   3 board/   4 rules/   5 search/   6 diag/   7 protocol/   8 main/
# tools/, tests/, bench/ and fuzz/ sit above them all and are not checked.
# Usage: tools/check-layers.sh [SRC_DIR]   (default: the src/ beside this script's folder)
set -euo pipefail

src=${1:-$(dirname "$0")/../src}
cd "$src"

files=$(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | LC_ALL=C sort)
[ -n "$files" ] || { echo "check-layers: no sources under $src"; exit 1; }

# shellcheck disable=SC2086
awk '
  function layer(path) {
    if (path ~ /^core\//) return 1
    if (path ~ /^eval\//) return 2
    if (path ~ /^board\//) return 3
    if (path ~ /^rules\//) return 4
    if (path ~ /^search\//) return 5
    if (path ~ /^diag\//) return 6
    if (path ~ /^protocol\//) return 7
    if (path ~ /^main\//) return 8
    return 0
  }
  FNR == 1 {
    files++
    own = layer(FILENAME)
    if (own == 0) {
      printf "%s: not in any layer (add its folder to tools/check-layers.sh)\n", FILENAME
      bad++
    }
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    if (!match($0, /"[^"]+"/)) next
    target = substr($0, RSTART + 1, RLENGTH - 2)
    includes++
    up = layer(target)
    if (up == 0) {
      printf "%s:%d: includes \"%s\", which is in no layer of src/\n", FILENAME, FNR, target
      bad++
    } else if (own != 0 && up > own) {
      printf "%s:%d: includes \"%s\" (layer %d) from layer %d\n", FILENAME, FNR, target, up, own
      bad++
    }
  }
  END {
    if (bad > 0) {
      printf "check-layers: %d include(s) point up or out of the layers\n", bad
      exit 1
    }
    printf "check-layers: %d files, %d includes, all pointing down\n", files, includes
  }
' $files
