#!/usr/bin/env bash
# Sends one command with larkwire and acts on the outcome, as a playout script
# would: go on when the server accepted it, fall back when it refused or did
# not answer, and stop for a person when the command could not be asked at all.
#
#   branch-on-status.sh IP PORT LAYER COMMAND_FILE
#
# LARKWIRE names the client when it is not larkwire on the PATH.
set -u
larkwire=${LARKWIRE:-larkwire}

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
