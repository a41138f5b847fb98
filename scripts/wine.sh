# Wine as the Windows stage runs it (scripts/windows-check.sh,
# scripts/msi-check.sh), sourced by both: one private prefix,
# build-windows/wine-prefix, Wine's debug channels off and no Mono or Gecko
# wanted. start_wine starts one persistent wineserver and warms it up with a
# first program: otherwise every start of the client creates or waits for
# Wine's helper processes, seconds each. The caller's trap ends it with
# `wineserver -k`.
export WINEPREFIX="$PWD/build-windows/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

start_wine() {
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wine cmd /c exit 0
}

# expect_judged_ok CLIENT SIM_LOG: runs the given Larkwire.exe under Wine
# against the sim started last (examples/start-sim.sh), whose output is in
# SIM_LOG, with examples/DskPlay.json on layer 1; fails unless it ends with 0
# and the sim judged its request Ok.
expect_judged_ok() {
  local client=$1 log=$2 status=0
  local judged=$' layer 1 \\(layer_id 1, head_id 1\\) DSK_Play _id [0-9]+ .*: Ok\r?$'
  wine "$client" 127.0.0.1 "$sim_port" 1 examples/DskPlay.json || status=$?
  # The sim writes its line once the answer is out, maybe after the client ended.
  for _ in $(seq 50); do
    grep -qE "$judged" "$log" && break
    sleep 0.1
  done
  if [ "$status" -ne 0 ] || ! grep -qE "$judged" "$log"; then
    cat "$log"
    echo "$client ended with $status, and the sim judged no request of it Ok" >&2
    exit 1
  fi
}
