#!/usr/bin/env bash
# The Windows stage: cross-builds Larkwire.exe and larkwire-sim.exe with
# MinGW-w64 into build-windows/, checks that they need no DLL beyond Windows'
# own and carry the project's version, and runs the end-to-end tables with the
# Wine profile: `wine Larkwire.exe` against the host's larkwire-sim and a
# scripted peer on 127.0.0.1; then Larkwire.exe against larkwire-sim.exe, both
# under Wine, and the Command Prompt's scripting example through its branches.
# The MSI is scripts/msi-check.sh's. Runs after scripts/test.sh, whose build/
# holds the host's sim.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test windows

# -Wpedantic -Werror keeps the sources free of GCC extensions, so that they
# stay buildable with Visual Studio's compiler.
scripts/build.sh build-windows --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_CXX_FLAGS="-Wpedantic -Werror"
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

source scripts/wine.sh
source examples/start-sim.sh
scratch=$(mktemp -d)
trap 'stop_sim; wineserver -k || true; rm -rf "$scratch"' EXIT
start_wine

python3 e2e/larkwire_e2e.py --wine "$client" build/sim/larkwire-sim

# larkwire-sim.exe under Wine judges a request of Larkwire.exe under Wine.
start_sim "$scratch/sim.log" wine "$sim"
expect_judged_ok "$client" "$scratch/sim.log"
stop_sim
echo "Larkwire.exe and larkwire-sim.exe: OK"

scripts/example-test.sh --cmd 'build-windows\app\Larkwire.exe' build/sim/larkwire-sim
