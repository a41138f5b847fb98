#!/usr/bin/env bash
# Makes the Windows Installer package build-windows/Larkwire-<version>-win64.msi
# with wixl: the Windows build's install, staged in build-windows/msi-root,
# packed as build-windows/larkwire.wxs (made by CMake from packaging/larkwire.wxs.in)
# describes. Run after the Windows build (scripts/windows-check.sh); prints the
# package's path.
#
#   scripts/make-msi.sh [DESCRIPTION PACKAGE]
#
# makes the package from another description (an absolute path) into another
# file, as the upgrade test does with a newer version.
#
# wixl 0.101 has no Environment element, so the table and the two standard
# actions that put the install folder on the machine's PATH at install, and
# take it off again at removal, are added with msibuild: Name -*PATH (the
# machine's variable, its part removed with the component), Value
# [INSTALLDIR];[~] (the folder before what PATH held), on the programs'
# component. Before, not after: Wine takes a removed part off with the
# separator that follows it, so a folder at the end would leave a ';'.
#
# wixl 0.101 stamps the package's summary with the clock's time and draws a
# random package code, so the package is made reproducible here: wixl runs
# with its clock frozen at SOURCE_DATE_EPOCH (the last commit's time unless
# set), the staged files carry that time, and msibuild then sets the package
# code to one made from the description and the files, which differs for every
# different package, as Windows Installer needs.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build-windows"
if [ ! -f "$build/larkwire.wxs" ]; then
  echo "make-msi.sh: no $build/larkwire.wxs; scripts/windows-check.sh makes the Windows build" >&2
  exit 1
fi
scripts/install-deps.sh windows >&2
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
frozen_clock=(env TZ=UTC faketime "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
description=${1:-$PWD/$build/larkwire.wxs}
msi=${2:-$PWD/$build/Larkwire-$version-win64.msi}
stage="$build/msi-root"
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The description names the files relative to the staging folder.
(cd "$stage" && "${frozen_clock[@]}" wixl --arch x64 --output "$msi" "$description")

# The tables in msibuild's text form: a header of column names, types and
# keys, then the rows, tab-separated, with Windows' line ends.
tables="$build/msi-tables"
rm -rf "$tables"
mkdir "$tables"
printf '%s\r\n' $'Environment\tName\tValue\tComponent_' $'s72\tl255\tL255\ts72' \
  $'Environment\tEnvironment' $'PATH\t-*PATH\t[INSTALLDIR];[~]\tPrograms' >"$tables/Environment.idt"
{
  msiinfo export "$msi" InstallExecuteSequence
  printf '%s\r\n' $'RemoveEnvironmentStrings\t\t3300' $'WriteEnvironmentStrings\t\t5200'
} >"$tables/InstallExecuteSequence.idt"
msibuild "$msi" -i "$tables/Environment.idt" -i "$tables/InstallExecuteSequence.idt"

digest=$( (cat "$description" "$tables"/*.idt && cd "$stage" && find . -type f | LC_ALL=C sort |
  xargs -d '\n' sha256sum) | sha256sum | tr a-f A-F)
package_code="{${digest:0:8}-${digest:8:4}-${digest:12:4}-${digest:16:4}-${digest:20:12}}"
summary=$(msiinfo suminfo "$msi")
subject=$(sed -n 's/^Subject: //p' <<<"$summary")
author=$(sed -n 's/^Author: //p' <<<"$summary")
template=$(sed -n 's/^Template: //p' <<<"$summary")
"${frozen_clock[@]}" msibuild "$msi" -s "$subject" "$author" "$template" "$package_code"
echo "$msi"
