# Starts larkwire-sim for a shell script on a free port of 127.0.0.1 and waits
# until it has named that port. Sourced (". ./start-sim.sh"), it defines:
#
#   start_sim LOG SIM [OPTION...]
#     runs SIM (a command: larkwire-sim, or "wine larkwire-sim.exe") with
#     --listen 127.0.0.1:0 after the options, its output to the file LOG, and
#     waits for its listening line; sets sim_port to the port it names and
#     sim_pid to the sim's process. A sim that ends first (a bad option, say)
#     has its words shown on standard error, and start_sim returns 1.
#     A sim started before is stopped first.
#   stop_sim
#     stops the sim, if one runs. Call it when the script ends, from the
#     script's own trap: trap stop_sim EXIT
sim_pid=""
sim_port=""

start_sim() {
  local log=$1
  shift
  stop_sim
  # Emptied before the sim starts, so that an earlier sim's line is never read.
  : >"$log"
  "$@" --listen 127.0.0.1:0 >"$log" 2>&1 &
  sim_pid=$!
  sim_port=""
  until [ -n "$sim_port" ]; do
    if ! kill -0 "$sim_pid" 2>/dev/null; then
      cat "$log" >&2
      sim_pid=""
      return 1
    fi
    sleep 0.05
    sim_port=$(sed -n 's/^larkwire-sim: listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$log")
  done
}

stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
