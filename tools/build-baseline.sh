#!/usr/bin/env bash
# Builds the brain and the developer tool of any git revision into a folder of its own, so that a
# change can play matches against the build before it:
#   tools/build-baseline.sh REV     -> build-baseline/<short hash>/pbrain-kesta and kesta-tool
# The revision's sources are exported with git archive, so the work tree is left alone. A folder
# that already holds the revision's brain is reused.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:?usage: build-baseline.sh REV}
hash=$(git rev-parse --verify --quiet "$rev^{commit}") || { echo "build-baseline: no commit '$rev'" >&2; exit 2; }
short=$(git rev-parse --short=7 "$hash")
dir=build-baseline/$short
if [ -x "$dir/pbrain-kesta" ] && [ -x "$dir/kesta-tool" ]; then
  echo "baseline $short: $dir/pbrain-kesta (already built)"
  exit 0
fi
rm -rf "$dir"
mkdir -p "$dir/src"
git archive "$hash" | tar -x -C "$dir/src"
cmake -S "$dir/src" -B "$dir/build" -DCMAKE_BUILD_TYPE=Release -DKESTA_TESTS=OFF -DKESTA_BENCH=OFF >/dev/null
cmake --build "$dir/build" -j"${JOBS:-2}" --target pbrain-kesta kesta-tool >/dev/null
cp "$dir/build/pbrain-kesta" "$dir/build/kesta-tool" "$dir/"
rm -rf "$dir/src" "$dir/build"
echo "baseline $short: $dir/pbrain-kesta"
