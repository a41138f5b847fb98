#!/usr/bin/env bash
# Benchmarks of the release client against a loopback peer that answers at
# once (bench/answering_peer): start-up cost beside a whole `nc -N` exchange,
# peak memory of a typical command, and 1, 10 and 64 MB command files (64 MiB is
# the most the client reads).
# Results are printed as a table; docs/performance.md records them.
#
# ROUNDS (default 5) rounds of RUNS (default 30) runs each for the start-up
# comparison.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds="${ROUNDS:-5}"
runs="${RUNS:-30}"
pause_s=0.100 # the client's mandated first pause before it looks for the answer

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j 2 --target larkwire answering_peer pause_only > /dev/null
client="$PWD/build/app/larkwire"

source bench/answering_peer.sh
start_answering_peer

typical="$scratch/typical.json"
printf '{"type":"DSK_Play","params":{"clip":"news"}}' > "$typical"
# A command file of exactly `size` bytes: one long string member in "params".
make_command_file() {
  local size=$1 path=$2 head='{"type":"DSK_Cue","params":{"blob":"' tail='"}}'
  {
    printf '%s' "$head"
    head -c $((size - ${#head} - ${#tail})) /dev/zero | tr '\0' 'b'
    printf '%s' "$tail"
  } > "$path"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "== start-up: $rounds rounds of $runs runs, nc and Larkwire alternating"
# The reference process bench/pause_only does nothing but the client's 100 ms
# pause: what it costs beyond 100 ms is this machine's process start and sleep
# overshoot, and what Larkwire costs beyond it is Larkwire's own work.
nc_command="exec nc -N 127.0.0.1 $port < $typical"
client_command="exec $client 127.0.0.1 $port 1 $typical"
pause_command="exec $PWD/build/bench/pause_only"
commands=("$nc_command" "$client_command" "$pause_command")
median_of() { jq -r --arg c "$1" '.results[] | select(.command == $c) | .median' "$scratch/round.json"; }
for round in $(seq 1 "$rounds"); do
  # Rotate the order, so that drifting load falls on every command alike.
  commands=("${commands[1]}" "${commands[2]}" "${commands[0]}")
  hyperfine -S sh --style none --warmup 3 --runs "$runs" --export-json "$scratch/round.json" \
    "${commands[@]}" > /dev/null 2>&1
  echo "$(median_of "$nc_command") $(median_of "$client_command") $(median_of "$pause_command")" \
    >> "$scratch/rounds"
  awk -v r="$round" -v p="$pause_s" '{ n = $1; c = $2; q = $3 } END {
    printf "round %d: nc %.3f ms, Larkwire %.3f ms, pause only %.3f ms; ratio %.2f\n",
      r, n * 1000, c * 1000, q * 1000, (c - p) / n }' <(tail -1 "$scratch/rounds")
done
column_median() { cut -d' ' -f"$1" "$scratch/rounds" | median; }
awk -v n="$(column_median 1)" -v c="$(column_median 2)" -v q="$(column_median 3)" -v p="$pause_s" '
  BEGIN {
  printf "median of rounds: nc %.3f ms, Larkwire %.3f ms, pause only %.3f ms\n", n * 1000, c * 1000, q * 1000
  printf "Larkwire beyond the 100 ms pause: %.3f ms; ratio to nc %.2f (target <= 0.7)\n",
    (c - p) * 1000, (c - p) / n
  printf "pause only beyond 100 ms (process start and sleep overshoot): %.3f ms\n", (q - p) * 1000
  printf "Larkwire beyond pause only (its own work): %.3f ms; ratio to nc %.2f\n",
    (c - q) * 1000, (c - q) / n }'

echo "== peak resident memory, typical command (5 runs)"
for run in 1 2 3 4 5; do
  /usr/bin/time -f '%M' -o "$scratch/rss" "$client" 127.0.0.1 "$port" 1 "$typical" > /dev/null
  cat "$scratch/rss"
done | sort -n | tail -1 | awk '{ printf "max RSS %d KB = %.2f MB (target <= 4 MB)\n", $1, $1 / 1024 }'

echo "== large command files (wall time: median of 5 runs; memory: max of 3 runs)"
for megabytes in 1 10 64; do
  file="$scratch/command-${megabytes}mb.json"
  make_command_file $((megabytes * 1024 * 1024)) "$file"
  hyperfine -N --style none --warmup 1 --runs 5 --export-json "$scratch/large.json" \
    "$client 127.0.0.1 $port 1 $file" > /dev/null
  wall=$(jq -r '.results[0].median' "$scratch/large.json")
  for run in 1 2 3; do
    /usr/bin/time -f '%M' -o "$scratch/rss" "$client" 127.0.0.1 "$port" 1 "$file" > /dev/null
    cat "$scratch/rss"
  done | sort -n | tail -1 > "$scratch/rss_max"
  awk -v mb="$megabytes" -v w="$wall" -v p="$pause_s" -v kb="$(cat "$scratch/rss_max")" 'BEGIN {
    printf "%3d MB: %.3f s beyond the pause, max RSS %.1f MB = %.2f x the file\n",
      mb, w - p, kb / 1024, kb / 1024 / mb }'
  rm -f "$file"
done
