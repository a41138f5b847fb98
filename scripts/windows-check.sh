#!/usr/bin/env bash
# The Windows stage: cross-builds Larkwire.exe with MinGW-w64, checks that it
# needs no DLL beyond Windows' own, and runs the Windows end-to-end tests: the
# host's test program drives `wine Larkwire.exe` against a peer on 127.0.0.1.
# Runs after scripts/test.sh, whose build/ holds that test program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# -Wpedantic -Werror keeps the sources free of GCC extensions, so that they
# stay buildable with Visual Studio's compiler.
cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-Wpedantic -Werror"
cmake --build build-windows -j 2
client="$PWD/build-windows/app/Larkwire.exe"

echo "Imports of Larkwire.exe:"
imports=$(x86_64-w64-mingw32-objdump -p "$client" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "$imports" | sed 's/^/  /'
foreign=$(echo "$imports" | grep -viE '^(kernel32|msvcrt|ws2_32)\.dll$' || true)
if [ -n "$foreign" ]; then
  echo "Larkwire.exe needs DLLs that Windows does not ship: $foreign" >&2
  exit 1
fi

cmake --build build -j 2 --target windows_e2e_tests

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

LARKWIRE_WINDOWS_CLIENT="$client" build/e2e/windows_e2e_tests
