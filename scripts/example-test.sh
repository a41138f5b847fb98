#!/usr/bin/env bash
# Runs examples/branch-on-status.sh against larkwire-sim through each of its
# branches: the sim accepting, the sim refusing, and a command file that does
# not exist; then its rehearsal, which starts a sim of its own: accepting,
# refusing, and a sim that does not start. Run by ctest:
#   scripts/example-test.sh LARKWIRE LARKWIRE_SIM
set -euo pipefail
cd "$(dirname "$0")/.."
export LARKWIRE=$1 LARKWIRE_SIM=$2
sim_command=("$2")
source scripts/start-sim.sh

# Runs the example and fails unless it ends with the given status and its last
# line is the given one.
expect() {
  local want_status=$1 want_line=$2 status=0
  shift 2
  examples/branch-on-status.sh "$@" >"$scratch/out" 2>&1 || status=$?
  if [ "$status" -ne "$want_status" ] || [ "$(tail -n 1 "$scratch/out")" != "$want_line" ]; then
    cat "$scratch/out"
    echo "branch-on-status.sh $* ended with $status, expected $want_status and: $want_line" >&2
    exit 1
  fi
}

start_sim
expect 0 "accepted: going on with the rundown" 127.0.0.1 "$port" 1 examples/DskPlay.json
start_sim --answer error
expect 1 "refused or unanswered: playing the fallback" 127.0.0.1 "$port" 1 examples/DskPlay.json
expect 2 "no verdict from the server (status 250): check the arguments, the file, the network and the server" \
  127.0.0.1 "$port" 1 "$scratch/missing.json"
stop_sim
expect 0 "accepted: going on with the rundown" --rehearse 1 examples/DskPlay.json
if [ "$(head -n 1 "$scratch/out")" != "rehearsal: no server; larkwire-sim stands in for it" ]; then
  cat "$scratch/out"
  echo "branch-on-status.sh --rehearse does not say first that it rehearses" >&2
  exit 1
fi
expect 1 "refused or unanswered: playing the fallback" --rehearse 1 examples/DskPlay.json --answer error
expect 2 "rehearsal: larkwire-sim did not start; nothing was sent" \
  --rehearse 1 examples/DskPlay.json --answer maybe
echo "branch-on-status.sh: all three branches taken as expected, by itself and in rehearsal"
