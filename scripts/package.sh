#!/usr/bin/env bash
# Makes the release packages from the builds of scripts/test.sh (build/),
# scripts/static-check.sh (build-static/) and scripts/windows-check.sh
# (build-windows/), and checks what they hold:
#   build/larkwire_<version>_<arch>.deb                    scripts/package.sh deb
#   build-static/larkwire-<version>-linux-x86_64.tar.gz    scripts/package.sh tar
#   build-windows/Larkwire-<version>-win64.zip             scripts/package.sh zip
#   build-windows/Larkwire-<version>-win64.msi             scripts/package.sh msi
# With no argument it makes each one whose build exists.
#
# The packages are reproducible: each is made twice, the second time with its
# executables linked anew, and the two must be the same bytes. Every time
# stamp in them is the last commit's (SOURCE_DATE_EPOCH, which cpack and
# MinGW's linker read, unless the caller sets it), in UTC (a ZIP entry's time
# is local time), with the permissions umask 022 gives; the tarball's entries
# are sorted, owned by root and compressed without gzip's own time stamp.
#
# Signing, for Windows: with LARKWIRE_SIGN_PKCS12 naming a PKCS#12 file (the
# code-signing certificate and its key) and LARKWIRE_SIGN_PASSWORD_FILE a file
# holding its password, Larkwire.exe and larkwire-sim.exe (in the ZIP and the
# MSI) and the MSI itself are signed with osslsigncode (Authenticode, SHA-256),
# dated SOURCE_DATE_EPOCH, so that signed packages come out the same too. One
# without the other is refused; with neither, nothing is signed.
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC
umask 022

kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then
  [ -f build/CMakeCache.txt ] && kinds+=(deb) || echo "package.sh: no build/, so no .deb"
  [ -f build-static/CMakeCache.txt ] && kinds+=(tar) ||
    echo "package.sh: no build-static/, so no tarball"
  [ -f build-windows/CMakeCache.txt ] && kinds+=(zip msi) ||
    echo "package.sh: no build-windows/, so no ZIP and no MSI"
  if [ ${#kinds[@]} -eq 0 ]; then
    echo "package.sh: nothing to package; scripts/test.sh makes build/," \
      "scripts/static-check.sh build-static/, scripts/windows-check.sh build-windows/" >&2
    exit 1
  fi
fi
signing=no
if [ -n "${LARKWIRE_SIGN_PKCS12:-}" ] && [ -n "${LARKWIRE_SIGN_PASSWORD_FILE:-}" ]; then
  signing=yes
elif [ -n "${LARKWIRE_SIGN_PKCS12:-}${LARKWIRE_SIGN_PASSWORD_FILE:-}" ]; then
  echo "package.sh: signing needs both LARKWIRE_SIGN_PKCS12 and LARKWIRE_SIGN_PASSWORD_FILE;" \
    "only one is set, so nothing is made" >&2
  exit 2
fi
for kind in "${kinds[@]}"; do
  case $kind in
    deb | tar | zip | msi) ;;
    *)
      echo "usage: scripts/package.sh [deb] [tar] [zip] [msi]" >&2
      exit 2
      ;;
  esac
done

command_files=(DskCue.json DskPlay.json DskContinue.json DskStop.json DskEject.json ScteSetMessage.json)
# What the ZIP and the MSI hold.
windows_files=(Larkwire.exe larkwire-sim.exe README.txt LICENSE.txt examples/branch-on-status.cmd
  "${command_files[@]/#/examples/}")

# Fails unless the build folder exists, telling which script makes it.
need_build() {
  local folder=$1 package=$2 maker=$3
  if [ ! -f "$folder/CMakeCache.txt" ]; then
    echo "package.sh: the $package needs the build in $folder/, which is missing; make it with $maker" >&2
    exit 1
  fi
}

# Each package from its build, its executables linked anew.
relink() {
  local folder=$1
  shift
  (cd "$folder" && rm -f "$@")
  cmake --build "$folder" -j 2
}
pack_deb() {
  relink build app/larkwire sim/larkwire-sim
  (cd build && cpack -G DEB)
}
# The static build's install and its tarball component, under one folder,
# packed as a prefix tree (bin/, share/man/man1/, share/doc/larkwire/).
pack_tar() {
  relink build-static app/larkwire sim/larkwire-sim
  local name stage
  name=larkwire-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-static/CMakeCache.txt)-linux-x86_64
  stage=build-static/tar-root
  rm -rf "$stage"
  cmake --install build-static --prefix "$stage/$name" --strip >/dev/null
  cmake --install build-static --prefix "$stage/$name" --component tarball >/dev/null
  tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" --directory="$stage" "$name" | gzip -9 -n >"build-static/$name.tar.gz"
}
# Signs the file in place when a certificate is given.
sign() {
  [ "$signing" = yes ] || return 0
  osslsigncode sign -pkcs12 "$LARKWIRE_SIGN_PKCS12" -readpass "$LARKWIRE_SIGN_PASSWORD_FILE" \
    -h sha256 -n Larkwire -time "$SOURCE_DATE_EPOCH" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
# The Windows executables, linked anew (and signed); the linker has left the
# symbols out, so nothing strips them after the signature.
relink_windows() {
  relink build-windows app/Larkwire.exe sim/larkwire-sim.exe
  sign build-windows/app/Larkwire.exe
  sign build-windows/sim/larkwire-sim.exe
}
pack_zip() {
  relink_windows
  (cd build-windows && cpack -G ZIP)
}
pack_msi() {
  relink_windows
  local msi
  msi=$(scripts/make-msi.sh)
  sign "$msi"
}

# Makes the package a second time, a second later, with the same command, and
# fails unless it comes out the same bytes; prints its SHA-256.
expect_reproducible() {
  local package=$1 first second
  shift
  first=$(sha256sum <"$package")
  sleep 1
  local output
  if ! output=$("$@" 2>&1); then
    echo "$output"
    exit 1
  fi
  second=$(sha256sum <"$package")
  if [ "$first" != "$second" ]; then
    echo "$package is not reproducible: made twice, it came out different" >&2
    exit 1
  fi
  echo "sha256 ${first%% *}  $package (made twice, the same bytes)"
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

# Fails unless the program, without arguments, prints its usage and ends with
# -1, 255 to the shell.
expect_usage() {
  local status=0 usage
  usage=$("$1") || status=$?
  local first_line="Larkwire - send command like DSK_Cue,DSK_Play,DSK_Stop,DSK_Eject,DSK_Continue"
  if [ "$status" -ne 255 ] || [ "$(head -n 1 <<<"$usage")" != "$first_line" ]; then
    echo "the packaged $1 ended with $status and printed: $usage" >&2
    exit 1
  fi
}

# Fails unless the manual pages in an unpacked prefix tree name the
# documentation folder that the tree holds at the given prefix, and no other,
# and render at 80 columns without a warning from man.
expect_manual_pages() {
  local tree=$1 prefix=$2 docdir=$2/share/doc/larkwire page named warnings
  if [ ! -f "$tree/share/doc/larkwire/README.md" ]; then
    echo "$tree holds no share/doc/larkwire/README.md" >&2
    exit 1
  fi
  for page in "$tree"/share/man/man1/*.1.gz; do
    named=$(zcat "$page" | grep -o '/[[:alnum:]/._-]*/doc/larkwire' | sort -u | paste -sd ' ')
    if [ "$named" != "$docdir" ]; then
      echo "$(basename "$page") names the documentation folder as: $named; installed: $docdir" >&2
      exit 1
    fi
    # man formats nothing for /dev/null: its output goes through a pipe.
    warnings=$({ MANWIDTH=80 man --warnings -l "$page" | cat >/dev/null; } 2>&1)
    if [ -n "$warnings" ]; then
      echo "$(basename "$page") at 80 columns: $warnings" >&2
      exit 1
    fi
  done
  echo "manual pages: name $docdir, render at 80 columns without a warning"
}

make_deb() {
  need_build build ".deb" scripts/test.sh
  scripts/install-deps.sh package
  pack_deb
  local deb
  deb=$(ls build/larkwire_*.deb)
  local deb_listing
  deb_listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
  expect_entries "$deb" "$deb_listing" /usr/bin/larkwire /usr/bin/larkwire-sim \
    /usr/share/doc/larkwire/README.md /usr/share/doc/larkwire/copyright \
    /usr/share/doc/larkwire/changelog.gz /usr/share/man/man1/larkwire.1.gz \
    /usr/share/man/man1/larkwire-sim.1.gz \
    /usr/share/doc/larkwire/examples/branch-on-status.sh /usr/share/doc/larkwire/examples/start-sim.sh \
    "${command_files[@]/#//usr/share/doc/larkwire/examples/}"
  dpkg-deb --field "$deb" Package Version Architecture Maintainer Depends

  # The Debian changelog and copyright file are the packager's: a plain
  # install leaves them out.
  local plain packagers_files
  plain=$(mktemp -d)
  cmake --install build --prefix "$plain" >/dev/null
  packagers_files=$(find "$plain" -name copyright -o -name 'changelog*')
  rm -rf "$plain"
  if [ -n "$packagers_files" ]; then
    echo "a plain cmake --install puts the packager's files in place: $packagers_files" >&2
    exit 1
  fi

  # The packaged, stripped binary still runs; the manual pages.
  local unpacked
  unpacked=$(mktemp -d)
  dpkg-deb --extract "$deb" "$unpacked"
  expect_usage "$unpacked/usr/bin/larkwire"
  expect_manual_pages "$unpacked/usr" /usr
  rm -rf "$unpacked"

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
  expect_reproducible "$deb" pack_deb
}

make_tar() {
  need_build build-static "tarball" scripts/static-check.sh
  scripts/install-deps.sh package
  pack_tar
  local tarball name prefix docs
  tarball=$(ls build-static/larkwire-*-linux-x86_64.tar.gz)
  name=$(basename "$tarball" .tar.gz)
  docs=$name/share/doc/larkwire
  expect_entries "$tarball" "$(tar --list --gzip --file "$tarball")" "$name/bin/larkwire" \
    "$name/bin/larkwire-sim" "$name/share/man/man1/larkwire.1.gz" \
    "$name/share/man/man1/larkwire-sim.1.gz" "$docs/README.md" "$docs/copyright" \
    "$docs/NOTICE" "$docs/LGPL-2.1" \
    "$docs/examples/branch-on-status.sh" "$docs/examples/start-sim.sh" \
    "${command_files[@]/#/$docs/examples/}"

  # The packaged, stripped programs load nothing and still run; the manual
  # pages name the folder the tarball is unpacked into.
  local unpacked program
  unpacked=$(mktemp -d)
  tar --extract --gzip --file "$tarball" --directory "$unpacked"
  for program in larkwire larkwire-sim; do
    if readelf -d "$unpacked/$name/bin/$program" | grep -q '(NEEDED)'; then
      echo "$tarball: bin/$program loads shared libraries" >&2
      exit 1
    fi
  done
  expect_usage "$unpacked/$name/bin/larkwire"
  prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' build-static/CMakeCache.txt)
  expect_manual_pages "$unpacked/$name" "$prefix"
  rm -rf "$unpacked"
  expect_reproducible "$tarball" pack_tar
}

make_zip() {
  need_build build-windows "ZIP" scripts/windows-check.sh
  pack_zip
  local zip
  zip=$(ls build-windows/Larkwire-*-win64.zip)
  expect_entries "$zip" "$(cmake -E tar tf "$zip")" "${windows_files[@]}"
  # The texts and the script are for Notepad and cmd.exe: every line ends
  # with CR LF.
  local unpacked text
  unpacked=$(mktemp -d)
  (cd "$unpacked" && cmake -E tar xf "$OLDPWD/$zip")
  for text in README.txt LICENSE.txt examples/branch-on-status.cmd; do
    if [ "$(grep -c $'\r$' "$unpacked/$text")" -ne "$(wc -l <"$unpacked/$text")" ]; then
      rm -rf "$unpacked"
      echo "$zip: $text has lines without CR LF" >&2
      exit 1
    fi
  done
  rm -rf "$unpacked"
  expect_reproducible "$zip" pack_zip
}

make_msi() {
  need_build build-windows "MSI" scripts/windows-check.sh
  pack_msi
  local msi
  msi=$(ls build-windows/Larkwire-*-win64.msi)
  # The File table names each file by itself; the ZIP's paths less their folder.
  expect_entries "$msi" "$(msiinfo export "$msi" File | tail -n +4 | cut -f 3)" \
    "${windows_files[@]##*/}"
  msiinfo suminfo "$msi" | grep -E '^(Subject|Author|Template|Revision number|Created)'
  expect_reproducible "$msi" pack_msi
}

for kind in "${kinds[@]}"; do
  "make_$kind"
done
