#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when they are missing.
#   install-deps.sh            the native build, tests and benchmarks
#   install-deps.sh windows    the Windows cross build and Wine to run it
set -euo pipefail
case "${1:-}" in
  "") packages=(cmake g++ make libgtest-dev libgmock-dev googletest libbenchmark-dev) ;;
  windows) packages=(cmake make googletest g++-mingw-w64-x86-64-posix wine64 wine) ;;
  *) echo "usage: install-deps.sh [windows]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
