# The one way the scripts start larkwire-sim: sourced, it gives them a $scratch
# folder and start_sim, which starts the sim with the given options on a free
# loopback port and sets $port and $sim_pid. The sim takes the port itself
# (--listen 127.0.0.1:0 gives one the client can reach) and names it in its
# listening line, which start_sim reads. Its output goes to $scratch/sim.log.
# $sim_command, an array, runs it (default: build/sim/larkwire-sim); set it to
# run the sim under Wine or under a descriptor limit. stop_sim stops it; the
# exit trap stops it and removes the folder.
scratch="$(mktemp -d)"
sim_pid=""
if [ -z "${sim_command+set}" ]; then
  sim_command=(build/sim/larkwire-sim)
fi
trap 'stop_sim; rm -rf "$scratch"' EXIT

stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}

start_sim() {
  stop_sim
  # Emptied here, not by the redirection, which may come after the first look
  # below and would leave an earlier sim's lines to be seen.
  : >"$scratch/sim.log"
  "${sim_command[@]}" --listen 127.0.0.1:0 "$@" >"$scratch/sim.log" 2>&1 &
  sim_pid=$!
  port=""
  until [ -n "$port" ]; do
    if ! kill -0 "$sim_pid" 2>/dev/null; then
      cat "$scratch/sim.log" >&2
      echo "larkwire-sim did not start: ${sim_command[*]} $*" >&2
      sim_pid=""
      exit 1
    fi
    sleep 0.05
    port=$(sed -n 's/^larkwire-sim: listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$scratch/sim.log")
  done
}
