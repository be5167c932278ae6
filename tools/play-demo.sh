#!/usr/bin/env bash
# Shows the brain at work: a short scripted protocol session through the real pbrain-kesta,
# each command followed by the brain's replies.
set -euo pipefail
build=${1:-build}
brain="$build/pbrain-kesta"
commands=("ABOUT" "INFO timeout_turn 1000" "START 15" "BEGIN" "TURN 8,8" "TURN 6,9"
          "BOARD" "7,7,1" "8,8,2" "DONE" "TAKEBACK 8,8" "START 5" "END")
printf '%s\n' "${commands[@]}" | "$brain" > "$build/demo-replies.txt"
echo "Commands sent:"; printf '  > %s\n' "${commands[@]}"
echo "Replies from pbrain-kesta:"; sed 's/^/  < /' "$build/demo-replies.txt"
