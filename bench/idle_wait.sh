#!/usr/bin/env bash
# CPU time of a whole five-minute wait with no answer: the release client
# against bench/answering_peer --silent, measured by /usr/bin/time -v. Takes
# five minutes and a few seconds of wall time, and almost no CPU.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j 2 --target larkwire answering_peer > /dev/null

scratch="$(mktemp -d)"
peer_pid=""
trap '[ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
for attempt in 1 2 3 4 5 6 7 8 9 10; do
  port=$((20000 + RANDOM % 35000))
  build/bench/answering_peer "$port" --silent &
  peer_pid=$!
  sleep 0.3
  kill -0 "$peer_pid" 2>/dev/null && break
  peer_pid=""
done
[ -n "$peer_pid" ] || { echo "no free port for the peer" >&2; exit 1; }

printf '{"type":"DSK_Play","params":{"clip":"news"}}' > "$scratch/command.json"
status=0
/usr/bin/time -v -o "$scratch/time" build/app/larkwire 127.0.0.1 "$port" 1 "$scratch/command.json" ||
  status=$?
grep -E 'User time|System time|Elapsed|Maximum resident|Voluntary context' "$scratch/time"
echo "exit status $status"
awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END {
  printf "CPU time %.2f s (target <= 0.2 s)\n", u + s }' "$scratch/time"
