#!/usr/bin/env bash
# Sends one command with larkwire and acts on the outcome, as a playout script
# would: go on when the server accepted it (exit 0), fall back when it refused
# or did not answer (exit 1), and stop for a person when the command could not
# be asked at all (exit 2).
#
#   branch-on-status.sh IP PORT LAYER COMMAND_FILE
#   branch-on-status.sh --rehearse LAYER COMMAND_FILE [SIM_OPTION...]
#
# --rehearse tries the script without the server: it starts a larkwire-sim of
# its own with the options given (--answer error rehearses the fallback) on a
# free port of 127.0.0.1 with start-sim.sh, which stands beside it, sends the
# command there and stops the sim when it ends. It says so on its first line;
# a sim that does not come up stops the script (2) with the sim's words.
#
# LARKWIRE names the client when it is not larkwire on the PATH, LARKWIRE_SIM
# the sim when it is not larkwire-sim.
set -u
larkwire=${LARKWIRE:-larkwire}

if [ "${1:-}" = --rehearse ]; then
  if [ $# -lt 3 ]; then
    echo "usage: branch-on-status.sh --rehearse LAYER COMMAND_FILE [SIM_OPTION...]"
    exit 2
  fi
  layer=$2 command_file=$3
  shift 3
  echo "rehearsal: no server; larkwire-sim${*:+ $*} stands in for it"
  . "$(dirname "$0")/start-sim.sh"
  sim_output=$(mktemp)
  trap 'stop_sim; rm -f "$sim_output"' EXIT
  if ! start_sim "$sim_output" "${LARKWIRE_SIM:-larkwire-sim}" "$@"; then
    echo "rehearsal: larkwire-sim did not start; nothing was sent"
    exit 2
  fi
  set -- 127.0.0.1 "$sim_port" "$layer" "$command_file"
fi

# The client's output is shown once it ends, with a line end of its own: a
# few of its messages (a bad port or layer, a file that does not open) have none.
status=0
output=$("$larkwire" "$@") || status=$?
printf '%s\n' "$output"

case $status in
  0)
    echo "accepted: going on with the rundown"
    ;;
  244)
    # A refusal, a lost connection or five minutes without an answer: the
    # server was reached, so a fallback (another clip, a retry) may help.
    echo "refused or unanswered: playing the fallback"
    exit 1
    ;;
  *)
    # Mostly the arguments, the command file, the network or the socket
    # library: nothing reached the server's judgement, and retrying the same
    # command will not help. But a client killed by a signal while it waited
    # (143 for SIGTERM, 129 for SIGHUP) lands here too, after the server may
    # have acted on the command: a person looks before anything is sent again.
    echo "no verdict from the server (status $status): check the arguments, the file, the network and the server"
    exit 2
    ;;
esac
