#!/usr/bin/env bash
# The main job on one machine: installs what is missing, builds, starts
# larkwire-sim on 127.0.0.1:4002, sends examples/DskPlay.json to layer 1 with
# larkwire, shows both sides' output and the client's exit status, and stops
# the sim. Exits with the client's status.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "--- installing what is missing"
scripts/install-deps.sh demo
build_log=build/demo-build.log
mkdir -p build
echo "--- building larkwire and larkwire-sim into build/ (log: $build_log)"
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
  cmake --build build -j "$(nproc)" --target larkwire larkwire-sim; } >"$build_log" 2>&1; then
  cat "$build_log"
  echo "demo: the build failed (log above, also in $build_log)"
  exit 1
fi

sim_output=$(mktemp)
build/sim/larkwire-sim --listen 127.0.0.1:4002 >"$sim_output" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$sim_output"' EXIT

# The sim prints its listening line once it accepts connections, or exits.
until grep -q "listening on" "$sim_output"; do
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    cat "$sim_output"
    echo "demo: larkwire-sim could not listen on 127.0.0.1:4002; if the port is taken," \
      "stop the program that holds it (ss -ltnp 'sport = :4002' names it) and run again"
    exit 1
  fi
  sleep 0.1
done

echo "--- larkwire 127.0.0.1 4002 1 examples/DskPlay.json"
status=0
build/app/larkwire 127.0.0.1 4002 1 examples/DskPlay.json || status=$?
echo "--- larkwire exit status: $status"

kill -TERM "$sim_pid"
wait "$sim_pid" || true
echo "--- larkwire-sim 127.0.0.1:4002"
cat "$sim_output"
exit "$status"
