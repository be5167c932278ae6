#!/usr/bin/env bash
# CI for the Windows brain and the release folders. Cross-compiles the engine, the tool and the
# unit tests for 64-bit Windows with mingw-w64 (`make windows`), checks that pbrain-kesta64.exe
# is a static console program needing no DLL beyond the system's own, runs the unit tests under
# Wine, builds both release folders and their zips with `make release` (each zip named with the
# version, holding exactly the folder's files, under 8 MB), and plays a protocol session over
# pipes with each released brain: pbrain-kesta64.exe under Wine (once more on two search threads),
# pbrain-kesta natively (YXSTOP during a think, queued commands, END during a think included).
#
# Every Wine run goes through $WIN_BUILD/wine-run.sh (Wine prefix inside the build folder, a
# persistent wineserver started first and stopped at the end) and under a time limit, so that a
# hang fails the run instead of blocking it.
set -euo pipefail
cd "$(dirname "$0")/.."
exec </dev/null
export CI=${CI:-true}
export BUILD=${BUILD:-build}
export WIN_BUILD=${WIN_BUILD:-build-win}
started=$SECONDS
step_started=""
# Prints the time the step before took and the title of the next.
step() {
  [ -z "$step_started" ] || echo "   ($((SECONDS - step_started)) s)"
  step_started=$SECONDS
  echo "== $*"
}

bash .ci/install-deps.sh
bash .ci/install-deps.sh windows

step "Windows build (mingw-w64, linked static)"
timeout 3600 make windows

wine_run=$WIN_BUILD/wine-run.sh
stop_wine() { timeout 60 "$wine_run" --stop || true; }
trap stop_wine EXIT
step "starting Wine (prefix $WIN_BUILD/wine-prefix)"
timeout 300 "$wine_run" --start

step "imports of pbrain-kesta64.exe"
brain=$WIN_BUILD/pbrain-kesta64.exe
headers=$(x86_64-w64-mingw32-objdump -p "$brain")
grep -q "file format pei-x86-64" <<<"$headers" || { echo "not a 64-bit Windows program: $brain"; exit 1; }
grep -Eq "^Subsystem[[:space:]]+0+3[[:space:]]" <<<"$headers" || { echo "not a console program: $brain"; exit 1; }
dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -u)
echo "$dlls"
unexpected=$(grep -Eivx "kernel32\.dll|msvcrt\.dll" <<<"$dlls" || true)
if [ -n "$unexpected" ]; then
  echo "pbrain-kesta64.exe needs DLLs that Windows does not bring: $unexpected"
  exit 1
fi

step "unit tests under Wine"
# A Wine start-up now and then fails before the program runs (no output at all); a test gets
# up to three tries, so only a test that fails every time fails the run.
timeout 1800 ctest --test-dir "$WIN_BUILD" --output-on-failure -j2 --timeout 300 --repeat until-pass:3

step "release folders (make release)"
timeout 3600 make release
for dir in "$BUILD/release" "$WIN_BUILD/release"; do
  case $dir in
    "$WIN_BUILD"/*) files=(pbrain-kesta64.exe AIEval.txt AIConfig.txt INSTALL.txt) ;;
    *) files=(pbrain-kesta AIEval.txt AIConfig.txt INSTALL.txt) ;;
  esac
  for f in "${files[@]}"; do
    [ -s "$dir/$f" ] || { echo "missing from $dir: $f"; exit 1; }
  done
  extra=$(ls "$dir" | grep -vxF -f <(printf '%s\n' "${files[@]}") || true)
  [ -z "$extra" ] || { echo "unexpected files in $dir: $extra"; exit 1; }
  echo "$dir: ${files[*]}"
  # The zip beside the folder: named with the build's version, the same files at its top, and
  # within the 8 MB that tournaments accept.
  build_dir=$(dirname "$dir")
  version=$(head -n 1 "$build_dir/generated/version.txt")
  case $dir in
    "$WIN_BUILD"/*) zip="$build_dir/kesta-$version-windows64.zip" ;;
    *) zip="$build_dir/kesta-$version-linux.zip" ;;
  esac
  [ -s "$zip" ] || { echo "missing: $zip"; exit 1; }
  listed=$(cmake -E tar tf "$zip" | sort)
  [ "$listed" = "$(printf '%s\n' "${files[@]}" | sort)" ] || { echo "$zip holds: $listed"; exit 1; }
  size=$(stat -c %s "$zip")
  ((size < 8000000)) || { echo "$zip has $size bytes, over 8 MB"; exit 1; }
  grep -q "Kesta $version for" "$dir/INSTALL.txt" || { echo "$dir/INSTALL.txt does not name $version"; exit 1; }
  echo "$zip: $size bytes"
done
cmp "$brain" "$WIN_BUILD/release/pbrain-kesta64.exe"

step "protocol session with the released pbrain-kesta64.exe under Wine"
timeout 600 bash .ci/protocol-session.sh --crlf "$wine_run" "$WIN_BUILD/release/pbrain-kesta64.exe"

step "the same session on two search threads (INFO thread_num 2)"
THREADS=2 timeout 600 bash .ci/protocol-session.sh --crlf "$wine_run" "$WIN_BUILD/release/pbrain-kesta64.exe"

step "protocol session with the released pbrain-kesta"
timeout 600 bash .ci/protocol-session.sh "$BUILD/release/pbrain-kesta"

step "Windows and release checks passed in $((SECONDS - started)) s"
