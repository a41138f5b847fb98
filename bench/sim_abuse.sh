#!/usr/bin/env bash
# larkwire-sim under abuse from a local program (bench/sim_load), on 127.0.0.1
# only; takes about a minute a sim and stops by itself.
#
#   bench/sim_abuse.sh [SIM [SIM]]
#
# measures build-bench/sim/larkwire-sim, or the sims given: with two (an
# earlier build first, say), each figure shows for both side by side, in one
# run.
#   1. 200 silent connections held against a sim under `ulimit -n 64`: how
#      long a real client waits for its answer, and what the sim prints.
#   2. 100 connections sending 15 KB each in 4-byte pieces: how long a real
#      client waits meanwhile, and the sim's CPU time.
#   3. 300 connections sending 1 MiB and one byte each, with --log: the
#      sim's peak memory, the log's size, and a real client's wait.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh demo bench
scripts/build.sh build-bench -DBUILD_TESTING=OFF -DLARKWIRE_BENCHMARKS=ON \
  -- larkwire larkwire-sim sim_load >/dev/null
sims=("$@")
[ ${#sims[@]} -gt 0 ] || sims=(build-bench/sim/larkwire-sim)

source examples/start-sim.sh
scratch=$(mktemp -d)
load_pid=""
trap '[ -z "$load_pid" ] || kill "$load_pid"; stop_sim; rm -rf "$scratch"' EXIT

# The figures in the order measured, each with one value per sim.
declare -A figures
names=()
figure() {
  if [ -z "${figures[$1]+set}" ]; then
    names+=("$1")
    figures[$1]=$2
  else
    figures[$1]+=" | $2"
  fi
}

# sim_under_limit SIM LIMIT OPTION...: the sim under a descriptor limit.
sim_under_limit() {
  local sim=$1 limit=$2
  shift 2
  start_sim "$scratch/sim.log" prlimit "--nofile=$limit" "$sim" "$@"
}

# Runs one real client and sets waited to its wall time; fails unless it is
# answered OK.
real_client() {
  local start end
  start=$(date +%s%N)
  if ! build-bench/app/larkwire 127.0.0.1 "$sim_port" 1 examples/DskCue.json > "$scratch/client.out"; then
    echo "sim_abuse: the real client was not answered OK:" >&2
    cat "$scratch/client.out" >&2
    exit 1
  fi
  end=$(date +%s%N)
  waited=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f s", ns / 1e9 }')
}

# start_load CONNECTIONS BYTES PIECE SECONDS: bench/sim_load against the sim,
# given a second to connect.
start_load() {
  build-bench/bench/sim_load "$sim_port" "$@" > "$scratch/load.out" &
  load_pid=$!
  sleep 1
}

# Waits until the load has ended by itself and prints what it did.
end_load() {
  wait "$load_pid"
  load_pid=""
  echo "   $(cat "$scratch/load.out")"
}

sim_cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ printf "%.2f s", ($14 + $15) / tick }' "/proc/$sim_pid/stat"
}

sim_memory() {
  awk '/^'"$1"':/ { printf "%.1f MB", $2 / 1024 }' "/proc/$sim_pid/status"
}

count() {
  grep -c -e "$1" "$scratch/sim.log" || true
}

for sim in "${sims[@]}"; do
  echo "=== $sim"
  echo "1. 200 silent connections, ulimit -n 64, held 15 s"
  sim_under_limit "$sim" 64
  start_load 200 0 1 15
  real_client
  figure "1. real client's wait (target: within 1 s)" "$waited"
  figure "1. sim lines while it was served (target: a few)" "$(wc -l < "$scratch/sim.log")"
  end_load
  sleep 0.5
  figure "1. sim lines in all" "$(wc -l < "$scratch/sim.log")"
  figure "1. silent connections judged as requests (a turn of the plan each)" \
    "$(count 'no complete JSON value arrived within 10 s')"
  figure "1. silent connections told as closed without a request" \
    "$(count 'closed the connection without sending a request')"
  grep -v ' UTC ' "$scratch/sim.log" | sed 's/^/   | /'
  stop_sim

  echo "2. 100 connections sending 15 KB each in 4-byte pieces"
  sim_under_limit "$sim" 1024
  start_load 100 15000 4 12
  real_client
  first=$waited
  real_client
  figure "2. real client's wait, first and second (target: within 0.5 s)" "$first, $waited"
  end_load
  figure "2. requests judged" "$(count ' UTC ')"
  figure "2. sim CPU time in all" "$(sim_cpu_seconds)"
  stop_sim

  echo "3. 300 connections sending 1 MiB and one byte each, with --log"
  sim_under_limit "$sim" 1024 --log "$scratch/requests.jsonl"
  figure "3. sim resident memory at the start" "$(sim_memory VmRSS)"
  start_load 300 1048577 65536 12
  real_client
  figure "3. real client's wait" "$waited"
  end_load
  figure "3. sim peak resident memory (target: bounded)" "$(sim_memory VmHWM)"
  figure "3. refused as larger than 1 MiB" "$(count 'larger than 1 MiB')"
  figure "3. refused for the 64 MiB budget" "$(count 'holds 64 MiB')"
  figure "3. log entries" "$(wc -l < "$scratch/requests.jsonl")"
  figure "3. log bytes" "$(wc -c < "$scratch/requests.jsonl")"
  stop_sim
  rm -f "$scratch/requests.jsonl"
done

echo
echo "Figures ($(IFS='|'; echo "${sims[*]}" | sed 's/|/ | /g')):"
for name in "${names[@]}"; do
  printf '%-70s %s\n' "$name" "${figures[$name]}"
done
