#!/usr/bin/env bash
# Runs a scripting example against larkwire-sim through each of its branches:
# the sim accepting, the sim refusing, a command file that does not exist.
# ctest runs examples/branch-on-status.sh so, and then its rehearsal, which
# starts a sim of its own: accepting, refusing, and a sim that does not start.
# scripts/windows-check.sh runs examples\branch-on-status.cmd so in Wine's
# Command Prompt (--cmd, with Wine set up by the caller).
#
#   scripts/example-test.sh LARKWIRE LARKWIRE_SIM
#   scripts/example-test.sh --cmd 'WINDOWS\PATH\TO\Larkwire.exe' LARKWIRE_SIM
set -euo pipefail
cd "$(dirname "$0")/.."

kind=sh
if [ "$1" = --cmd ]; then
  kind=cmd
  shift
  example=(wine cmd /c 'examples\branch-on-status.cmd')
  command_file='examples\DskPlay.json'
  missing_file='examples\missing.json'
  unread_status=-6 # %ERRORLEVEL% holds the status itself
else
  example=(examples/branch-on-status.sh)
  command_file=examples/DskPlay.json
  missing_file=examples/missing.json
  unread_status=250 # a shell sees the low 8 bits of -6
fi
export LARKWIRE=$1 LARKWIRE_SIM=$2
source examples/start-sim.sh
scratch=$(mktemp -d)
trap 'stop_sim; rm -rf "$scratch"' EXIT

# Runs the example and fails unless it ends with the given status and its last
# line is the given one.
expect() {
  local want_status=$1 want_line=$2 status=0
  shift 2
  "${example[@]}" "$@" >"$scratch/out" 2>&1 || status=$?
  if [ "$status" -ne "$want_status" ] || [ "$(tail -n 1 "$scratch/out" | tr -d '\r')" != "$want_line" ]; then
    cat "$scratch/out"
    echo "${example[*]} $* ended with $status, expected $want_status and: $want_line" >&2
    exit 1
  fi
}

start_sim "$scratch/sim.log" "$LARKWIRE_SIM"
expect 0 "accepted: going on with the rundown" 127.0.0.1 "$sim_port" 1 "$command_file"
start_sim "$scratch/sim.log" "$LARKWIRE_SIM" --answer error
expect 1 "refused or unanswered: playing the fallback" 127.0.0.1 "$sim_port" 1 "$command_file"
expect 2 "no verdict from the server (status $unread_status): check the arguments, the file, the network and the server" \
  127.0.0.1 "$sim_port" 1 "$missing_file"
stop_sim
if [ "$kind" = cmd ]; then
  echo "branch-on-status.cmd: all three branches taken as expected"
  exit 0
fi

expect 0 "accepted: going on with the rundown" --rehearse 1 "$command_file"
if [ "$(head -n 1 "$scratch/out")" != "rehearsal: no server; larkwire-sim stands in for it" ]; then
  cat "$scratch/out"
  echo "branch-on-status.sh --rehearse does not say first that it rehearses" >&2
  exit 1
fi
expect 1 "refused or unanswered: playing the fallback" --rehearse 1 "$command_file" --answer error
expect 2 "rehearsal: larkwire-sim did not start; nothing was sent" \
  --rehearse 1 "$command_file" --answer maybe
echo "branch-on-status.sh: all three branches taken as expected, by itself and in rehearsal"
