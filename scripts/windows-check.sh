#!/usr/bin/env bash
# The Windows stage: cross-builds Larkwire.exe with MinGW-w64, checks that it
# needs no DLL beyond Windows' own and carries the project's version, and runs
# the end-to-end tables with the Wine profile: `wine Larkwire.exe` against the
# host's larkwire-sim and a scripted peer on 127.0.0.1. Runs after
# scripts/test.sh, whose build/ holds the sim.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test windows

# -Wpedantic -Werror keeps the sources free of GCC extensions, so that they
# stay buildable with Visual Studio's compiler.
cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-Wpedantic -Werror"
cmake --build build-windows -j 2
client="$PWD/build-windows/app/Larkwire.exe"
sim="$PWD/build-windows/sim/larkwire-sim.exe"

# Fails when the executable imports a DLL outside the given list.
expect_imports() {
  local executable=$1 allowed=$2
  echo "Imports of $(basename "$executable"):"
  imports=$(x86_64-w64-mingw32-objdump -p "$executable" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "$imports" | sed 's/^/  /'
  foreign=$(echo "$imports" | grep -viE "^($allowed)\.dll\$" || true)
  if [ -n "$foreign" ]; then
    echo "$(basename "$executable") needs DLLs that Windows does not ship: $foreign" >&2
    exit 1
  fi
}
expect_imports "$client" 'kernel32|msvcrt|shell32|ws2_32'
expect_imports "$sim" 'kernel32|msvcrt|ws2_32|mswsock'

# Fails unless the executable carries a version resource (type 16) whose
# FileVersion and ProductVersion are the project's version.
expect_version() {
  local executable=$1 version
  version=$(sed -n 's/^project(larkwire VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  if ! x86_64-w64-mingw32-objdump -p "$executable" | grep -qE "^0+10 +Entry: ID: 0x0+10,"; then
    echo "$(basename "$executable") has no version resource" >&2
    exit 1
  fi
  for field in FileVersion ProductVersion; do
    if [ "$(strings -el "$executable" | grep -A1 -x "$field" | sed -n 2p)" != "$version" ]; then
      echo "$(basename "$executable"): $field is not $version" >&2
      exit 1
    fi
  done
  echo "$(basename "$executable"): version resource $version"
}
expect_version "$client"
expect_version "$sim"

# One private prefix and one persistent wineserver for the whole stage, warmed
# up by a first program: otherwise every start of the client creates or waits
# for Wine's helper processes, seconds each. No Mono or Gecko is wanted.
export WINEPREFIX="$PWD/build-windows/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k || true' EXIT
wine cmd /c exit 0

python3 e2e/larkwire_e2e.py --wine "$client" build/sim/larkwire-sim

# larkwire-sim.exe under Wine judges a request of Larkwire.exe under Wine.
port=$((20000 + RANDOM % 30000))
sim_output=$(mktemp)
wine "$sim" --listen "127.0.0.1:$port" >"$sim_output" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wineserver -k || true; rm -f "$sim_output"' EXIT
for _ in $(seq 50); do
  grep -q "listening on" "$sim_output" && break
  sleep 0.1
done
status=0
wine "$client" 127.0.0.1 "$port" 1 examples/DskPlay.json || status=$?
sleep 0.5
cat "$sim_output"
if [ "$status" -ne 0 ] || ! grep -qE " layer 1 \(layer_id 1, head_id 1\) DSK_Play _id [0-9]+ .*: Ok" "$sim_output"; then
  echo "Larkwire.exe and larkwire-sim.exe did not agree (client status $status)" >&2
  exit 1
fi
echo "Larkwire.exe and larkwire-sim.exe: OK"
