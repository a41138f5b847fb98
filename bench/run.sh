#!/usr/bin/env bash
# Benchmarks of the release client against a loopback peer that answers at
# once (bench/answering_peer): start-up against the protocol's floor and
# `nc -N`, the static tarball's client (build-static/) and the dynamically
# linked one (build-bench/, built as the .deb's) side by side in one run; then,
# for the dynamically linked one, peak memory of a typical command, and the
# time and peak memory of large command files up to 64 MiB, the most the
# client reads. docs/performance.md records the figures.
#
# Not larkwire-sim: it judges and reports each request before it answers,
# which adds to nc's whole exchange and would flatter the start-up figure;
# Larkwire's own time is the same with either.
#
# RUNS (default 200) interleaved runs of each program for the start-up figure.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${RUNS:-200}"
pause_s=0.100 # the client's first pause before it looks for the answer

scripts/install-deps.sh demo bench
scripts/build.sh build-bench -DBUILD_TESTING=OFF -DLARKWIRE_BENCHMARKS=ON \
  -- larkwire answering_peer protocol_floor >/dev/null
client="$PWD/build-bench/app/larkwire"
# The tarball's client, configured as scripts/static-check.sh does.
scripts/build.sh build-static -DBUILD_TESTING=OFF -DLARKWIRE_STATIC=ON \
  -DCMAKE_INSTALL_PREFIX=/usr/local -- larkwire >/dev/null
static_client="$PWD/build-static/app/larkwire"

scratch=$(mktemp -d)
peer_pid=""
trap '[ -z "$peer_pid" ] || kill "$peer_pid"; rm -rf "$scratch"' EXIT
# The peer takes the port it is given: tried on random ports until one is free.
for _ in 1 2 3 4 5 6 7 8 9 10; do
  port=$((20000 + RANDOM % 35000))
  build-bench/bench/answering_peer "$port" &
  peer_pid=$!
  sleep 0.3
  kill -0 "$peer_pid" 2>/dev/null && break
  peer_pid=""
done
if [ -z "$peer_pid" ]; then
  echo "no free port for the peer" >&2
  exit 1
fi

typical="$scratch/typical.json"
printf '{"type":"DSK_Play","params":{"clip":"news"}}' >"$typical"

# make_command_file SHAPE BYTES PATH: a command file of exactly BYTES bytes
# whose "params" holds the bulk: one long string ("blob":"bbb..."), small
# numbers ("v":[1,1,...]) or empty arrays ("v":[[],[],...]); blanks after the
# command make up the last few bytes.
make_command_file() {
  python3 - "$@" <<'EOF'
import sys

shape, size, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
head, first, more, tail = {
    "string": ('{"type":"DSK_Cue","params":{"blob":"', "", "b", '"}}'),
    "numbers": ('{"type":"DSK_Cue","params":{"v":[', "1", ",1", "]}}"),
    "arrays": ('{"type":"DSK_Cue","params":{"v":[', "[]", ",[]", "]}}"),
}[shape]
room = size - len(head) - len(first) - len(tail)
with open(path, "w") as file:
    file.write(head + first + more * (room // len(more)) + tail + " " * (room % len(more)))
EOF
}

echo "== start-up: $runs rounds of nc -N, the protocol's floor and both clients, interleaved"
# bench/protocol_floor does only what the protocol needs (connect, one send,
# the 100 ms pause, one read, four lines), so what a client takes beyond it is
# Larkwire's own work; the figure is that, as a share of a whole nc exchange.
python3 bench/startup.py "$runs" "$PWD/build-bench/bench/protocol_floor" "$port" "$typical" \
  "$static_client" 0.06 "$client" 0.7

# peak_memory FILE: one run of the client, which must be answered OK; sets
# memory_mb to its peak resident memory in MB.
peak_memory() {
  /usr/bin/time -f '%M' -o "$scratch/rss" "$client" 127.0.0.1 "$port" 1 "$1" >"$scratch/out" || true
  if ! grep -qx '   OK answer detected.' "$scratch/out"; then
    cat "$scratch/out" >&2
    exit 1
  fi
  memory_mb=$(awk '{ printf "%.1f", $1 / 1024 }' "$scratch/rss")
}

echo "== peak resident memory, typical command, 5 runs (target <= 4 MB)"
memory=""
for _ in 1 2 3 4 5; do
  peak_memory "$typical"
  memory+="$memory_mb "
done
echo "${memory}MB"

echo "== large command files: time beyond the pause (median of 5 runs), peak memory (3 runs)"
path="$scratch/command.json"
for file in "string 1" "string 10" "numbers 10" "arrays 10" "string 64" "numbers 64" "arrays 64"; do
  set -- $file
  make_command_file "$1" $(($2 * 1024 * 1024)) "$path"
  hyperfine -N --style none --warmup 1 --runs 5 --export-json "$scratch/time.json" \
    "$client 127.0.0.1 $port 1 $path" >/dev/null
  wall=$(jq -r '.results[0].median' "$scratch/time.json")
  memory=""
  for _ in 1 2 3; do
    peak_memory "$path"
    memory+="$memory_mb "
  done
  awk -v shape="$1" -v mib="$2" -v w="$wall" -v p="$pause_s" -v m="$memory" 'BEGIN {
    printf "%2d MiB of %-7s  %6.3f s  %sMB\n", mib, shape, w - p, m }'
done
