# Sourced by the scripts that run the client against build/sim/larkwire-sim
# (the idle-wait benchmark, the valgrind check, the example's test): gives them a
# $scratch folder and start_sim, which starts the sim with the given options
# on a free loopback port and sets $port and $sim_pid; its output goes to
# $scratch/sim.log. The sim is stopped and the folder removed on exit.
scratch="$(mktemp -d)"
sim_pid=""
sim_binary="${sim_binary:-build/sim/larkwire-sim}"
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

# Stops the running sim, if any.
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}

start_sim() {
  stop_sim
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 35000))
    # Emptied here, not by the sim's redirection, which may come after the
    # first look below and would leave an earlier sim's lines to be seen.
    : >"$scratch/sim.log"
    "$sim_binary" --listen "127.0.0.1:$port" "$@" >"$scratch/sim.log" 2>&1 &
    sim_pid=$!
    # The sim prints its listening line once it accepts connections, or ends
    # (a port in use) with a line on standard error.
    while kill -0 "$sim_pid" 2>/dev/null; do
      grep -q "listening on" "$scratch/sim.log" && return 0
      sleep 0.05
    done
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  done
  cat "$scratch/sim.log" >&2
  echo "larkwire-sim found no free port" >&2
  exit 1
}
