#!/usr/bin/env bash
# Makes the release packages from the builds of scripts/test.sh (build/) and
# scripts/windows-check.sh (build-windows/), and checks what they hold:
#   build/larkwire_<version>_<arch>.deb
#   build-windows/Larkwire-<version>-win64.zip
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --build build -j 2
cmake --build build-windows -j 2
(cd build && cpack -G DEB)
(cd build-windows && cpack -G ZIP)

deb=$(ls build/larkwire_*.deb)
zip=$(ls build-windows/Larkwire-*-win64.zip)
examples=(DskCue.json DskPlay.json DskContinue.json DskStop.json DskEject.json ScteSetMessage.json)

# Fails naming the first wanted entry that the listing lacks.
expect_entries() {
  local package=$1 listing=$2
  shift 2
  for entry in "$@"; do
    if ! grep -qxF "$entry" <<<"$listing"; then
      echo "$package lacks $entry; it holds:" >&2
      echo "$listing" >&2
      exit 1
    fi
  done
}

deb_listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
expect_entries "$deb" "$deb_listing" /usr/bin/larkwire /usr/bin/larkwire-sim /usr/share/doc/larkwire/README.md \
  /usr/share/man/man1/larkwire.1.gz /usr/share/man/man1/larkwire-sim.1.gz \
  "${examples[@]/#//usr/share/doc/larkwire/examples/}"
dpkg-deb --field "$deb" Package Version Architecture Depends

# The packaged, stripped binary still runs: without arguments it prints its
# usage and ends with -1, 255 to the shell.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
status=0
usage=$("$unpacked/usr/bin/larkwire") || status=$?
first_line="Larkwire - send command like DSK_Cue,DSK_Play,DSK_Stop,DSK_Eject,DSK_Continue"
if [ "$status" -ne 255 ] || [ "$(head -n 1 <<<"$usage")" != "$first_line" ]; then
  echo "the packaged larkwire ended with $status and printed: $usage" >&2
  exit 1
fi

zip_listing=$(cmake -E tar tf "$zip")
expect_entries "$zip" "$zip_listing" Larkwire.exe larkwire-sim.exe README.md "${examples[@]/#/examples/}"

echo "Packages:"
ls -l "$deb" "$zip"
