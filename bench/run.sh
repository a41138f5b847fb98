#!/usr/bin/env bash
# Benchmarks of the release client against a loopback peer that answers at
# once (bench/answering_peer): start-up against the protocol's floor and
# `nc -N`, the static tarball's client (build-static/) and the dynamically
# linked one (build-bench/, built as the .deb's) side by side in one run;
# then, for the dynamically linked one, peak memory of a
# typical command, and 1, 10 and 64 MB command files (64 MiB is the most the
# client reads). Results are printed as a table;
# docs/performance.md records them.
#
# Not larkwire-sim: it judges and reports each request before it answers,
# which adds to nc's whole exchange (0.4 to 1.3 ms here) and would flatter the
# start-up figure; Larkwire's own time is the same with either.
#
# RUNS (default 200) interleaved runs of each program for the start-up figure.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${RUNS:-200}"
pause_s=0.100 # the client's mandated first pause before it looks for the answer

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

echo "== start-up: $runs rounds of nc -N, the protocol's floor and both clients, interleaved"
# bench/protocol_floor does only what the protocol needs (connect, one send,
# the 100 ms pause, one read, four lines), so what a client takes beyond it is
# Larkwire's own work; the figure is that, as a share of a whole nc exchange.
# The static client loads no shared library, as the floor does not.
python3 bench/startup.py "$runs" "$PWD/build-bench/bench/protocol_floor" "$port" "$typical" \
  "$static_client" 0.06 "$client" 0.7

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
