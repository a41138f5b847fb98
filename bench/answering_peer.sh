# Sourced by bench/run.sh, which runs the client against bench/answering_peer:
# gives it a $scratch folder and start_answering_peer, which starts the peer
# on a free loopback port the client accepts and sets $port and $peer_pid. The
# peer is stopped and the folder removed when the script exits.
scratch="$(mktemp -d)"
peer_pid=""
trap '[ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

start_answering_peer() {
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 35000))
    build/bench/answering_peer "$port" &
    peer_pid=$!
    sleep 0.3
    kill -0 "$peer_pid" 2>/dev/null && return 0
    peer_pid=""
  done
  echo "no free port for the peer" >&2
  exit 1
}
