#!/usr/bin/env bash
# Installs what building and testing Larkwire needs, from Debian's archive.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(cmake make g++ python3 nlohmann-json3-dev libgtest-dev libgmock-dev faketime libfaketime)
# The rehearsal server: standalone Asio and CLI11.
packages+=(libasio-dev libcli11-dev)
# The Windows build and its tests: the MinGW-w64 cross compiler and Wine.
packages+=(g++-mingw-w64-x86-64-posix wine wine64)
# The release packages: cpack's Debian generator reads dependencies with these.
packages+=(dpkg-dev file)
# The checks (scripts/check.sh) and benchmarks (bench/): clang with its
# sanitizer and libFuzzer runtimes, the analysers, valgrind and the timing tools.
packages+=(clang libclang-rt-14-dev clang-tidy cppcheck valgrind hyperfine time netcat-openbsd jq)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
