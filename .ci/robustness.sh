#!/usr/bin/env bash
# Robustness checks that a tournament would otherwise find for us:
#  1. the command-loop fuzz target, built with clang's libFuzzer under AddressSanitizer and
#     UndefinedBehaviorSanitizer, replays every saved crash input and the seed corpus, then
#     mutates for FUZZ_SECONDS (default 60);
#  2. a short soak: SOAK_GAMES (default 8) games of real brain processes against each other over
#     pipes, refereed move by move; any crash, hang, illegal move or unclean exit fails the run,
#     and so does a peak resident memory above 350 MiB.
# Build directories: build-fuzz and build-soak.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
SOAK_GAMES=${SOAK_GAMES:-8}
SOAK_TURN_MS=${SOAK_TURN_MS:-100}

missing=()
command -v clang++-14 >/dev/null 2>&1 || missing+=(clang-14)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || missing+=(libclang-rt-14-dev)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

echo "== fuzz target (clang, libFuzzer, ASan, UBSan)"
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build-fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
fuzz=(./build-fuzz/kesta-fuzz -timeout=10 -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$work/artifacts/")

shopt -s nullglob
saved=(fuzz/crashes/*)
if [ ${#saved[@]} -gt 0 ]; then
  echo "== fuzz: ${#saved[@]} saved inputs"
  "${fuzz[@]}" "${saved[@]}"
fi
echo "== fuzz: ${FUZZ_SECONDS} s from the seed corpus"
# The seeds stay untouched: new inputs go to a scratch corpus.
if ! "${fuzz[@]}" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 "$work/corpus" fuzz/corpus; then
  for f in "$work"/artifacts/*; do
    echo "-- failing input $f (base64):"
    base64 -w0 "$f"
    echo
  done
  exit 1
fi

echo "== soak: ${SOAK_GAMES} games at ${SOAK_TURN_MS} ms a move"
cmake -S . -B build-soak -DCMAKE_BUILD_TYPE=Release -DKESTA_TESTS=OFF -DKESTA_BENCH=OFF >/dev/null
cmake --build build-soak -j2 --target pbrain-kesta kesta-tool
status=0
./build-soak/kesta-tool soak --games "$SOAK_GAMES" --turn-time "$SOAK_TURN_MS" | tee "$work/soak.log" || status=$?
for line in "illegal moves 0" "crashes 0" "hangs 0" "unclean exits 0"; do
  if ! grep -qx "$line" "$work/soak.log"; then
    echo "soak: expected '$line'"
    status=1
  fi
done
if [ "$status" -ne 0 ]; then
  echo "robustness: 1 passed, 1 failed"
  exit 1
fi
echo "robustness: 2 passed, 0 failed"
