#!/usr/bin/env bash
# Installs what the named groups need from Debian 12 (bookworm)'s archive, and
# only what is missing; safe to run again. apt's output goes to build/apt.log,
# one summary line to the screen.
#
#   scripts/install-deps.sh GROUP...
#
#   demo     build the client and larkwire-sim (scripts/demo.sh)
#   test     demo, plus GoogleTest, libfaketime and Python (scripts/test.sh)
#   check    clang with its sanitizer and libFuzzer runtimes, the analysers,
#            the formatters, valgrind (scripts/check.sh)
#   windows  the MinGW-w64 cross compiler, Wine, wixl, msitools and faketime
#            for the MSI, osslsigncode and openssl for signing
#            (scripts/windows-check.sh, scripts/msi-check.sh, scripts/make-msi.sh)
#   package  cpack's Debian helpers, lintian and man (scripts/package.sh)
#   bench    the timing tools and netcat (bench/)
set -euo pipefail
cd "$(dirname "$0")/.."

demo=(cmake make g++ nlohmann-json3-dev libasio-dev libcli11-dev)
test=("${demo[@]}" libgtest-dev faketime libfaketime python3)
check=(clang libclang-rt-14-dev clang-format clang-tidy cppcheck valgrind black)
windows=(g++-mingw-w64-x86-64-posix wine wine64 wixl msitools faketime osslsigncode openssl)
package=(dpkg-dev file lintian man-db)
bench=(hyperfine time netcat-openbsd jq python3)

if [ $# -eq 0 ]; then
  echo "usage: scripts/install-deps.sh GROUP... (demo, test, check, windows, package, bench)" >&2
  exit 2
fi
packages=()
for group in "$@"; do
  case $group in
    demo | test | check | windows | package | bench) ;;
    *)
      echo "install-deps: unknown group '$group' (demo, test, check, windows, package, bench)" >&2
      exit 2
      ;;
  esac
  declare -n members=$group
  packages+=("${members[@]}")
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "--- dependencies ($*): all installed"
  exit 0
fi

mkdir -p build
log=build/apt.log
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
started=$SECONDS
if ! {
  # Another apt run holding the lock is waited for, not taken for a failure.
  $sudo apt-get -o DPkg::Lock::Timeout=600 update &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y \
      --no-install-recommends "${missing[@]}"
} >>"$log" 2>&1; then
  tail -n 20 "$log"
  echo "install-deps: apt-get failed installing ${missing[*]} (log above, whole in $log)" >&2
  exit 1
fi
echo "--- dependencies ($*): installed ${missing[*]} in $((SECONDS - started)) s (log: $log)"
