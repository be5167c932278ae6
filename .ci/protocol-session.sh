#!/usr/bin/env bash
# Plays one scripted game conversation with a brain over pipes, as a tournament manager does:
# each command is sent only once the reply to the one before has arrived, so a brain that leaves
# a reply in its output buffer stalls the session and fails it (where pipes are buffered: Linux
# and Windows do, Wine does not). Checks every reply and its line end, that commands without a
# reply print nothing, that YXSTOP cuts a 30 s think short within STOP_LIMIT_MS (default 50),
# that commands sent during a think are answered after it in order, and that END during a think
# ends the brain at once with status 0.
#
#   protocol-session.sh [--crlf] BRAIN [ARGS...]
#
# THREADS=N in the environment: the session sends INFO thread_num N, so that its thinks run on N
# search threads.
#
# --crlf: a Windows brain. Commands are sent with CR LF line ends, as a Windows manager sends
# them; without it they are LF alone. Replies always end in LF alone, as managers on every system
# read them.
set -euo pipefail

eol=$'\n'
if [ "${1:-}" = "--crlf" ]; then
  eol=$'\r\n'
  shift
fi
if [ $# -eq 0 ]; then
  echo "usage: protocol-session.sh [--crlf] BRAIN [ARGS...]" >&2
  exit 2
fi

reply_seconds=60   # the longest think that runs its course below is 1 s; Wine and a busy machine add to it
stop_limit_ms=${STOP_LIMIT_MS:-50}
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

# Reads the next line from the brain into $line within $1 seconds; false when none came. A read
# that times out keeps the part of a line it got, so the next read goes on from there.
pending=""
read_line() {
  local part
  if IFS= read -r -t "$1" part <&"$from_brain"; then
    line=$pending$part
    pending=""
    return 0
  fi
  pending+=$part
  return 1
}

# Reads the next reply line into $reply, without its line end; MESSAGE lines are shown and
# skipped.
receive() {
  local line
  while :; do
    if ! read_line "$reply_seconds"; then
      fail "no reply line within ${reply_seconds} s (a reply not flushed, a hang, or an exit)"
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

about_pattern='^name="Kesta", version="[0-9]+[.][0-9]+[.][0-9]+([+][0-9a-f]{7,}([.]dirty)?)?", author="The Kesta authors", country="-"$'
about=""
expect_about() {
  receive
  [[ $reply =~ $about_pattern ]] || fail "ABOUT answered '$reply'"
  [ -z "$about" ] || [ "$reply" = "$about" ] || fail "ABOUT changed from '$about' to '$reply'"
  about=$reply
}

# Sets the variable named $1 to the clock in milliseconds, without starting a process.
clock_ms() {
  local t=${EPOCHREALTIME/[.,]/}
  printf -v "$1" '%d' $((10#$t / 1000))
}

# Lets a think run for about ms milliseconds; only MESSAGE lines may come meanwhile.
think_for() {
  local now until
  clock_ms now
  until=$((now + $1))
  while clock_ms now && ((now < until)); do
    if read_line 0.05; then
      line=${line%$'\r'}
      case "$line" in
        "MESSAGE "*) echo "< $line" ;;
        *) fail "the think ended early with '$line'" ;;
      esac
    fi
  done
}

# An early position that no opening rule answers and no proof decides at once.
early_game() {
  send BOARD
  send 7,7,1
  send 8,7,2
  send 7,8,1
  send 8,8,2
  send DONE
}

send START 15
expect OK
# No INFO gets a reply: the ABOUT line must come next.
send INFO timeout_turn 1000
send INFO timeout_match 100000
send INFO time_left 100000
send INFO max_memory 83886080
send INFO game_type 1
send INFO rule 0
if [ -n "${THREADS:-}" ]; then send INFO thread_num "$THREADS"; fi
send INFO folder C:\\kesta-session
send ABOUT
expect_about

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
expect_about

# A long think, cut short by YXSTOP: the best move so far, at once.
send INFO timeout_turn 30000
send RESTART
expect OK
occupied=([7,7]=1 [8,7]=1 [7,8]=1 [8,8]=1)
early_game
think_for 500
clock_ms stop_sent
send YXSTOP
expect_move 15
clock_ms stop_answered
stop_ms=$((stop_answered - stop_sent))
echo "  (answered ${stop_ms} ms after YXSTOP)"
((stop_ms <= stop_limit_ms)) || fail "the move came ${stop_ms} ms after YXSTOP, over ${stop_limit_ms} ms"

# Commands sent during a think wait, in order, until the move; a stop between thinks is ignored.
send RESTART
expect OK
occupied=([7,7]=1 [8,7]=1 [7,8]=1 [8,8]=1)
early_game
think_for 300
send ABOUT
send INFO time_left 100000
send TAKEBACK
send yxstop
expect_move 15
expect_about
expect OK
send STOP
send ABOUT
expect_about

# END during a think: the brain ends at once, with no move.
send START 20
expect OK
early_game
think_for 300
clock_ms end_sent
send END
exec {to_brain}>&-

# Nothing more may come, and the brain must end by itself with status 0.
while read_line "$reply_seconds"; do
  case "$line" in
    "MESSAGE "*) echo "< $line" ;;
    *) fail "unexpected output after END: '$line'" ;;
  esac
done
status=0
wait "$brain_pid" || status=$?
brain_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after END (124: killed by the time limit)"
clock_ms ended
end_ms=$((ended - end_sent))
((end_ms <= 5000)) || fail "the brain took ${end_ms} ms to end after END during a think"
echo "protocol session passed: every reply as expected, YXSTOP answered in ${stop_ms} ms, exit status 0" \
  "${end_ms} ms after END during a think"

