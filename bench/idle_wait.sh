#!/usr/bin/env bash
# CPU time of a whole five-minute wait with no answer: the release client
# against larkwire-sim --answer none, measured by /usr/bin/time -v. Takes
# five minutes and a few seconds of wall time, and almost no CPU.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh demo bench
scripts/build.sh build-bench -DBUILD_TESTING=OFF -DLARKWIRE_BENCHMARKS=ON \
  -- larkwire larkwire-sim >/dev/null

source examples/start-sim.sh
scratch=$(mktemp -d)
trap 'stop_sim; rm -rf "$scratch"' EXIT
start_sim "$scratch/sim.log" build-bench/sim/larkwire-sim --answer none

printf '{"type":"DSK_Play","params":{"clip":"news"}}' > "$scratch/command.json"
status=0
/usr/bin/time -v -o "$scratch/time" build-bench/app/larkwire 127.0.0.1 "$sim_port" 1 \
  "$scratch/command.json" || status=$?
grep -E 'User time|System time|Elapsed|Maximum resident|Voluntary context' "$scratch/time"
echo "exit status $status"
awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END {
  printf "CPU time %.2f s (target <= 0.2 s)\n", u + s }' "$scratch/time"
