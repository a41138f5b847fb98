#!/usr/bin/env bash
# CPU time of a whole five-minute wait with no answer: the release client
# against larkwire-sim --answer none, measured by /usr/bin/time -v. Takes
# five minutes and a few seconds of wall time, and almost no CPU.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh demo bench
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j 2 --target larkwire larkwire-sim > /dev/null

source scripts/start-sim.sh
start_sim --answer none

printf '{"type":"DSK_Play","params":{"clip":"news"}}' > "$scratch/command.json"
status=0
/usr/bin/time -v -o "$scratch/time" build/app/larkwire 127.0.0.1 "$port" 1 "$scratch/command.json" ||
  status=$?
grep -E 'User time|System time|Elapsed|Maximum resident|Voluntary context' "$scratch/time"
echo "exit status $status"
awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END {
  printf "CPU time %.2f s (target <= 0.2 s)\n", u + s }' "$scratch/time"
