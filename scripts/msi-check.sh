#!/usr/bin/env bash
# The MSI's life cycle under Wine, as an administrator deploys it: made by
# scripts/make-msi.sh, installed quietly for the machine, listed for removal
# (the Uninstall key that Apps and features shows; Wine writes it to HKLM for
# a per-user package too, so the product's own registration tells for whom it
# is installed), its folder once on the machine's PATH, so that a new Command
# Prompt runs the client by name, the installed client against the sim,
# removed again with nothing left and the PATH as it was; then a newer
# version, made from the same description, replaces it, and the older is
# refused over it. Last, signing: scripts/package.sh signs the MSI with a
# throwaway certificate, and the signatures and the signed MSI's install are
# checked. Runs after scripts/windows-check.sh, whose build-windows/ it packs,
# and scripts/test.sh, whose build/ holds the sim.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows
source scripts/wine.sh
source examples/start-sim.sh
scratch=$(mktemp -d)
trap 'stop_sim; wineserver -k || true; rm -rf "$scratch"' EXIT
start_wine

msi=$(scripts/make-msi.sh)
windows_path() { echo "Z:${1//\//\\}"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
installed="$WINEPREFIX/drive_c/Program Files/Larkwire"
product_code() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r'; }
# Windows Installer's packed form of a product code, as its registry keys name it.
packed_code() {
  local hex=${1//[\{\}-]/}
  echo "$(rev <<<"${hex:0:8}")$(rev <<<"${hex:8:4}")$(rev <<<"${hex:12:4}")$(sed 's/\(.\)\(.\)/\2\1/g' <<<"${hex:16}")"
}
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
machine_path() { wine reg query "$environment" /v PATH | tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]*SZ *//p'; }
# Fails unless the machine's PATH is the given one.
expect_path() {
  local path
  path=$(machine_path)
  if [ "$path" != "$1" ]; then
    echo "the machine's PATH is: $path" >&2
    echo "expected:              $1" >&2
    exit 1
  fi
}
# Fails unless the product is installed for the machine (registered under
# HKLM, not the user's HKCU) and listed for removal with the version, and the
# machine's PATH holds the install folder once, before what it held without.
expect_installed() {
  local product uninstall
  product="HKLM\\Software\\Classes\\Installer\\Products\\$(packed_code "$1")"
  uninstall="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1"
  if ! wine reg query "$product" >/dev/null 2>&1; then
    echo "the MSI's product $1 is not installed for the machine" >&2
    exit 1
  fi
  if ! wine reg query "$uninstall" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -qE "REG_SZ +$2\$"; then
    echo "the MSI's product $1 is not listed for removal with version $2" >&2
    exit 1
  fi
  expect_path "C:\Program Files\Larkwire\;$path_without"
}
expect_unlisted() {
  if wine uninstaller --list | grep -qF "$1"; then
    echo "the MSI's product $1 is still listed for removal" >&2
    exit 1
  fi
}
expect_removed() {
  if [ -e "$installed" ]; then
    find "$installed" >&2
    echo "msiexec /x left files behind" >&2
    exit 1
  fi
  expect_path "$path_without"
}
code=$(product_code "$msi")
newer=${version%.*}.$((${version##*.} + 1))
newer_code=6F1A3C2E-5B7D-4E8F-9A0B-1C2D3E4F5A6B # any product code but the real one's
# What a run that failed half-way may have left installed.
wine msiexec /x "$code" /qn || true
wine msiexec /x "{$newer_code}" /qn || true
path_without=$(machine_path)
expect_removed

wine msiexec /i "$(windows_path "$msi")" /qn
if [ ! -f "$installed/Larkwire.exe" ] || [ ! -f "$installed/examples/branch-on-status.cmd" ]; then
  echo "msiexec /i did not put Larkwire into C:\\Program Files\\Larkwire" >&2
  exit 1
fi
expect_installed "$code" "$version"
# A new Command Prompt finds the client by name: without arguments it prints
# its usage and ends with -1, 255 to the Linux caller.
status=0
wine cmd /c Larkwire.exe >"$scratch/by-name.out" 2>&1 || status=$?
if [ "$status" -ne 255 ] || ! grep -q '^Larkwire - send command like' "$scratch/by-name.out"; then
  cat "$scratch/by-name.out"
  echo "cmd /c Larkwire.exe ended with $status: not found by name on the PATH" >&2
  exit 1
fi
start_sim "$scratch/sim.log" build/sim/larkwire-sim
expect_judged_ok 'C:\Program Files\Larkwire\Larkwire.exe' "$scratch/sim.log"
wine msiexec /x "$(windows_path "$msi")" /qn
expect_removed
expect_unlisted "$code"

sed -e "s/Version=\"$version\"/Version=\"$newer\"/" -e "s/Product Id=\"[^\"]*\"/Product Id=\"$newer_code\"/" \
  build-windows/larkwire.wxs >"$scratch/newer.wxs"
scripts/make-msi.sh "$scratch/newer.wxs" "$scratch/newer.msi" >/dev/null
wine msiexec /i "$(windows_path "$msi")" /qn
wine msiexec /i "$(windows_path "$scratch/newer.msi")" /qn
expect_unlisted "$code"
expect_installed "{$newer_code}" "$newer"
if wine msiexec /i "$(windows_path "$msi")" /qn; then
  echo "the MSI of $version installed over $newer" >&2
  exit 1
fi
expect_installed "{$newer_code}" "$newer"
wine msiexec /x "$(windows_path "$scratch/newer.msi")" /qn
expect_removed
echo "MSI: installed, listed, on the PATH, run, removed; $newer replaced $version and refused it back"

# Signing, with a throwaway certificate made here: scripts/package.sh refuses
# half of one; given both halves, it makes the MSI signed (twice, the same
# bytes), and osslsigncode finds the certificate's signature on the MSI and on
# both programs it installs; the signed MSI installs and is removed as above.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Larkwire throwaway signing" \
  -keyout "$scratch/key.pem" -out "$scratch/certificate.pem" 2>/dev/null
openssl rand -hex 16 >"$scratch/password"
openssl pkcs12 -export -inkey "$scratch/key.pem" -in "$scratch/certificate.pem" \
  -passout "file:$scratch/password" -out "$scratch/certificate.p12"
if LARKWIRE_SIGN_PKCS12="$scratch/certificate.p12" scripts/package.sh msi 2>"$scratch/half.out" ||
  ! grep -q "signing needs both" "$scratch/half.out"; then
  cat "$scratch/half.out"
  echo "package.sh did not refuse a certificate without its password" >&2
  exit 1
fi
LARKWIRE_SIGN_PKCS12="$scratch/certificate.p12" LARKWIRE_SIGN_PASSWORD_FILE="$scratch/password" \
  scripts/package.sh msi | tail -n 1
expect_signed() {
  if ! osslsigncode verify -CAfile "$scratch/certificate.pem" -in "$1" >"$scratch/verify.out" 2>&1; then
    cat "$scratch/verify.out"
    echo "$1 carries no signature of the certificate" >&2
    exit 1
  fi
}
expect_signed "$msi"
wine msiexec /i "$(windows_path "$msi")" /qn
expect_installed "$code" "$version"
expect_signed "$installed/Larkwire.exe"
expect_signed "$installed/larkwire-sim.exe"
wine msiexec /x "$(windows_path "$msi")" /qn
expect_removed
echo "Signed: package.sh refused half a certificate; the MSI and both programs in it verify, and it installs"
