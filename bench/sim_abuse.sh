#!/usr/bin/env bash
# larkwire-sim under abuse from a local program (bench/sim_load), on 127.0.0.1
# only; takes about a minute and stops by itself.
#   1. 200 silent connections held against a sim under `ulimit -n 64`: how
#      long a real client waits for its answer, and what the sim prints.
#   2. 100 connections sending 15 KB each in 4-byte pieces: how long a real
#      client waits meanwhile, and the sim's CPU time.
#   3. 300 connections sending 1 MiB and one byte each, with --log: the
#      sim's peak memory, the log's size, and a real client's wait.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLARKWIRE_BENCHMARKS=ON > /dev/null
cmake --build build -j 2 --target larkwire larkwire-sim sim_load > /dev/null

scratch="$(mktemp -d)"
sim_pid=""
load_pid=""
trap 'kill $sim_pid $load_pid 2>/dev/null; rm -rf "$scratch"' EXIT

stop_sim() {
  kill "$sim_pid" 2> /dev/null || true
  wait "$sim_pid" 2> /dev/null || true
  sim_pid=""
}

# start_sim LIMIT OPTION...: the sim under a descriptor limit, on a free port
# the client takes (1..55555); sets $port and $sim_pid.
start_sim() {
  local limit=$1
  shift
  for _ in $(seq 20); do
    (ulimit -n "$limit" && exec build/sim/larkwire-sim --listen 127.0.0.1:0 "$@") \
      > "$scratch/sim.out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
      grep -q 'listening on' "$scratch/sim.out" && break
      sleep 0.05
    done
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$scratch/sim.out")
    if [ -n "$port" ] && [ "$port" -le 55555 ]; then
      return 0
    fi
    stop_sim
  done
  echo "sim_abuse: the sim found no port" >&2
  exit 1
}

# Runs one real client; prints its wall time in seconds, or fails.
real_client() {
  local start end
  start=$(date +%s%N)
  if ! build/app/larkwire 127.0.0.1 "$port" 1 examples/DskCue.json > "$scratch/client.out"; then
    echo "sim_abuse: the real client was not answered OK:" >&2
    cat "$scratch/client.out" >&2
    exit 1
  fi
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# start_load CONNECTIONS BYTES PIECE SECONDS: bench/sim_load against the sim,
# given a second to connect.
start_load() {
  build/bench/sim_load "$port" "$@" > "$scratch/load.out" &
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
  awk -v tick="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / tick }' "/proc/$sim_pid/stat"
}

sim_memory() {
  awk '/VmHWM|VmRSS/ { printf "%s %.1f MB  ", $1, $2 / 1024 }' "/proc/$sim_pid/status"
}

echo "1. 200 silent connections, ulimit -n 64, held 15 s"
start_sim 64
start_load 200 0 1 15
echo "   real client answered in $(real_client) s (target: within 1 s)"
echo "   sim lines so far: $(wc -l < "$scratch/sim.out")"
end_load
sleep 0.5
echo "   sim lines in all: $(wc -l < "$scratch/sim.out"), of them request reports of" \
  "connections that sent nothing in 10 s: $(grep -c 'within 10 s' "$scratch/sim.out" || true)"
grep -v ' UTC ' "$scratch/sim.out" | sed 's/^/   | /'
stop_sim

echo "2. 100 connections sending 15 KB each in 4-byte pieces"
start_sim 1024
start_load 100 15000 4 12
echo "   real client answered in $(real_client) s, then $(real_client) s (target: within 0.5 s)"
end_load
echo "   requests judged: $(grep -c ' UTC ' "$scratch/sim.out" || true)," \
  "sim CPU time in all: $(sim_cpu_seconds) s"
stop_sim

echo "3. 300 connections sending 1 MiB and one byte each, with --log"
start_sim 1024 --log "$scratch/requests.jsonl"
echo "   at the start: $(sim_memory)"
start_load 300 1048577 65536 12
echo "   real client answered in $(real_client) s"
end_load
echo "   at the end: $(sim_memory)"
echo "   refused as larger than 1 MiB: $(grep -c 'larger than 1 MiB' "$scratch/sim.out" || true)," \
  "for the budget: $(grep -c 'holds 64 MiB' "$scratch/sim.out" || true)"
echo "   log: $(wc -l < "$scratch/requests.jsonl") entries, $(wc -c < "$scratch/requests.jsonl") bytes"
stop_sim
