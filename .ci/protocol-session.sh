#!/usr/bin/env bash
# Plays one scripted game conversation with a brain over pipes, as a tournament manager does:
# each command is sent only once the reply to the one before has arrived, so a brain that leaves
# a reply in its output buffer stalls the session and fails it (where pipes are buffered: Linux
# and Windows do, Wine does not). Checks every reply and its line end, that commands without a
# reply print nothing, and that the brain exits with status 0 after END.
#
#   protocol-session.sh [--crlf] BRAIN [ARGS...]
#
# --crlf: a Windows brain. Commands are sent with CR LF line ends, as a Windows manager sends
# them, and every reply must end in CR LF; without it they are LF alone.
set -euo pipefail

eol=$'\n'
reply_end=""
if [ "${1:-}" = "--crlf" ]; then
  eol=$'\r\n'
  reply_end=$'\r'
  shift
fi
if [ $# -eq 0 ]; then
  echo "usage: protocol-session.sh [--crlf] BRAIN [ARGS...]" >&2
  exit 2
fi

reply_seconds=60   # the longest think asked for below is 1 s; Wine and a busy machine add to it
work=$(mktemp -d)
brain_pid=""
cleanup() {
  if [ -n "$brain_pid" ] && kill -0 "$brain_pid" 2>/dev/null; then kill "$brain_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "protocol session FAILED: $*" >&2
  if [ -s "$work/stderr" ]; then
    echo "--- the brain's standard error:" >&2
    cat "$work/stderr" >&2
  fi
  exit 1
}

mkfifo "$work/to-brain" "$work/from-brain"
timeout -k 5 300 "$@" <"$work/to-brain" >"$work/from-brain" 2>"$work/stderr" &
brain_pid=$!
exec {to_brain}>"$work/to-brain" {from_brain}<"$work/from-brain"

send() {
  echo "> $*"
  printf '%s%s' "$*" "$eol" >&"$to_brain" || fail "the brain stopped reading at '$*'"
}

# Reads the next reply line into $reply, without its line end; MESSAGE lines are shown and
# skipped.
receive() {
  local line
  while :; do
    if ! IFS= read -r -t "$reply_seconds" line <&"$from_brain"; then
      fail "no reply line within ${reply_seconds} s (a reply not flushed, a hang, or an exit)"
    fi
    if [ -n "$reply_end" ]; then
      [ "${line%$'\r'}" != "$line" ] || fail "reply '$line' does not end in CR LF"
      line=${line%$'\r'}
    fi
    case "$line" in
      *$'\r'*) fail "reply '$line' holds a CR" ;;
      "MESSAGE "*) echo "< $line" ;;
      *) break ;;
    esac
  done
  reply=$line
  echo "< $reply"
}

expect() {
  receive
  [ "$reply" = "$1" ] || fail "expected '$1', got '$reply'"
}

# Expects a move to an empty cell of a side-n board; the cell becomes occupied.
declare -A occupied=()
expect_move() {
  local n=$1
  receive
  [[ $reply =~ ^([0-9]+),([0-9]+)$ ]] || fail "expected a move, got '$reply'"
  local x=${BASH_REMATCH[1]} y=${BASH_REMATCH[2]}
  ((x < n && y < n)) || fail "move $reply is off the $n by $n board"
  [ -z "${occupied[$reply]:-}" ] || fail "move $reply is on an occupied cell"
  occupied[$reply]=1
}

about='name = "Kesta", version ="1.0.0", author = "Tor Emdi", country = "Veland"'

send START 15
expect OK
# No INFO gets a reply: the ABOUT line must come next.
send INFO timeout_turn 1000
send INFO timeout_match 100000
send INFO time_left 100000
send INFO max_memory 83886080
send INFO game_type 1
send INFO rule 0
send INFO folder C:\\kesta-session
send ABOUT
expect "$about"

send BEGIN
expect 7,7
occupied[7,7]=1
send TURN 8,8
occupied[8,8]=1
expect_move 15
send TURN 8,8
expect "ERROR Coord is not empty."
send TURN 15,3
expect "ERROR Coord is not empty."
send TAKEBACK 8,8
expect OK

send RESTART
expect OK
occupied=([7,7]=1 [8,8]=1)
send BOARD
send 7,7,1
send 8,8,2
send DONE
expect_move 15
# The last line is the brain's own stone: no reply, so the ABOUT line comes next.
send BOARD
send 7,7,2
send 8,8,1
send DONE
send ABOUT
expect "$about"

send START 20
expect OK
occupied=()
send BEGIN
expect 10,10
send END
exec {to_brain}>&-

# Nothing more may come, and the brain must end by itself with status 0.
while IFS= read -r -t "$reply_seconds" line <&"$from_brain"; do
  case "$line" in
    "MESSAGE "*) echo "< $line" ;;
    *) fail "unexpected output after END: '$line'" ;;
  esac
done
status=0
wait "$brain_pid" || status=$?
brain_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after END (124: killed by the time limit)"
echo "protocol session passed: every reply as expected, exit status 0 after END"
