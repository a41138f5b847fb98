#!/usr/bin/env bash
# The main job on one machine: installs what is missing, builds, starts
# larkwire-sim on a free port of 127.0.0.1, sends examples/DskPlay.json to
# layer 1 with larkwire, shows both sides' output and the client's exit status,
# and stops the sim. Exits with the client's status.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "--- installing what is missing"
scripts/install-deps.sh demo
build_log=build/demo-build.log
mkdir -p build
echo "--- building larkwire and larkwire-sim into build/ (log: $build_log)"
if ! scripts/build.sh build -DBUILD_TESTING=OFF -- larkwire larkwire-sim >"$build_log" 2>&1; then
  cat "$build_log"
  echo "demo: the build failed (log above, also in $build_log)"
  exit 1
fi

source examples/start-sim.sh
sim_log=$(mktemp)
trap 'stop_sim; rm -f "$sim_log"' EXIT
start_sim "$sim_log" build/sim/larkwire-sim

echo "--- larkwire 127.0.0.1 $sim_port 1 examples/DskPlay.json"
status=0
build/app/larkwire 127.0.0.1 "$sim_port" 1 examples/DskPlay.json || status=$?
echo "--- larkwire exit status: $status"

stop_sim
echo "--- larkwire-sim on 127.0.0.1:$sim_port"
cat "$sim_log"
exit "$status"
