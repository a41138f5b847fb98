#!/usr/bin/env bash
# Makes the release packages from the builds of scripts/test.sh (build/) and
# scripts/windows-check.sh (build-windows/), and checks what they hold:
#   build/larkwire_<version>_<arch>.deb          scripts/package.sh deb
#   build-windows/Larkwire-<version>-win64.zip   scripts/package.sh zip
# With no argument it makes each one whose build exists.
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then
  [ -f build/CMakeCache.txt ] && kinds+=(deb) || echo "package.sh: no build/, so no .deb"
  [ -f build-windows/CMakeCache.txt ] && kinds+=(zip) || echo "package.sh: no build-windows/, so no ZIP"
  if [ ${#kinds[@]} -eq 0 ]; then
    echo "package.sh: nothing to package; scripts/test.sh makes build/," \
      "scripts/windows-check.sh build-windows/" >&2
    exit 1
  fi
fi
for kind in "${kinds[@]}"; do
  case $kind in
    deb | zip) ;;
    *)
      echo "usage: scripts/package.sh [deb] [zip]" >&2
      exit 2
      ;;
  esac
done

examples=(DskCue.json DskPlay.json DskContinue.json DskStop.json DskEject.json ScteSetMessage.json
  branch-on-status.sh)

# Fails unless the build folder exists, telling which script makes it.
need_build() {
  local folder=$1 package=$2 maker=$3
  if [ ! -f "$folder/CMakeCache.txt" ]; then
    echo "package.sh: the $package needs the build in $folder/, which is missing; make it with $maker" >&2
    exit 1
  fi
}

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

make_deb() {
  need_build build ".deb" scripts/test.sh
  scripts/install-deps.sh package
  cmake --build build -j 2
  (cd build && cpack -G DEB)
  local deb
  deb=$(ls build/larkwire_*.deb)
  local deb_listing
  deb_listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
  expect_entries "$deb" "$deb_listing" /usr/bin/larkwire /usr/bin/larkwire-sim \
    /usr/share/doc/larkwire/README.md /usr/share/doc/larkwire/copyright \
    /usr/share/doc/larkwire/changelog.gz /usr/share/man/man1/larkwire.1.gz \
    /usr/share/man/man1/larkwire-sim.1.gz \
    "${examples[@]/#//usr/share/doc/larkwire/examples/}"
  dpkg-deb --field "$deb" Package Version Architecture Maintainer Depends

  # The packaged, stripped binary still runs: without arguments it prints its
  # usage and ends with -1, 255 to the shell.
  local unpacked status=0 usage
  unpacked=$(mktemp -d)
  dpkg-deb --extract "$deb" "$unpacked"
  usage=$("$unpacked/usr/bin/larkwire") || status=$?
  rm -rf "$unpacked"
  local first_line="Larkwire - send command like DSK_Cue,DSK_Play,DSK_Stop,DSK_Eject,DSK_Continue"
  if [ "$status" -ne 255 ] || [ "$(head -n 1 <<<"$usage")" != "$first_line" ]; then
    echo "the packaged larkwire ended with $status and printed: $usage" >&2
    exit 1
  fi

  # Debian's policy checker: any error or warning fails; what it says is shown.
  echo "lintian --pedantic $deb:"
  # (Its warning about running as root, CI's lot, is left out.)
  local lintian_status=0 lintian_output
  lintian_output=$(lintian --pedantic --fail-on error,warning "$deb" 2>&1) || lintian_status=$?
  grep -v '^running with root privileges is not recommended!$' <<<"$lintian_output" |
    sed 's/^/  /' || true
  if [ "$lintian_status" -ne 0 ]; then
    echo "lintian found errors or warnings in $deb" >&2
    exit 1
  fi
  echo "  no errors or warnings"
  ls -l "$deb"
}

make_zip() {
  need_build build-windows "ZIP" scripts/windows-check.sh
  cmake --build build-windows -j 2
  (cd build-windows && cpack -G ZIP)
  local zip zip_listing
  zip=$(ls build-windows/Larkwire-*-win64.zip)
  zip_listing=$(cmake -E tar tf "$zip")
  expect_entries "$zip" "$zip_listing" Larkwire.exe larkwire-sim.exe QUICKSTART.txt README.md \
    LICENSE.txt "${examples[@]/#/examples/}"
  # The quick start is for Notepad: every line ends with CR LF.
  local unpacked
  unpacked=$(mktemp -d)
  (cd "$unpacked" && cmake -E tar xf "$OLDPWD/$zip" QUICKSTART.txt)
  if [ "$(grep -c $'\r$' "$unpacked/QUICKSTART.txt")" -ne "$(wc -l <"$unpacked/QUICKSTART.txt")" ]; then
    rm -rf "$unpacked"
    echo "$zip: QUICKSTART.txt has lines without CR LF" >&2
    exit 1
  fi
  rm -rf "$unpacked"
  ls -l "$zip"
}

for kind in "${kinds[@]}"; do
  "make_$kind"
done
