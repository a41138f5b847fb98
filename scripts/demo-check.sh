#!/usr/bin/env bash
# Proves that scripts/demo.sh needs the demo's packages alone: a clean clone of
# this commit runs it in a private mount namespace where what the test group
# adds is hidden: GoogleTest's headers, sources and CMake package under an
# empty tmpfs, the faketime program and library and Python's interpreter under
# /dev/null or tmpfs. A build with the tests on must fail there, so that the
# hiding is known to work. Nothing outside the namespace sees the mounts.
#
# Needs root, or unprivileged user namespaces (unshare --map-root-user).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --hidden ]; then
  scripts/install-deps.sh demo
  namespace=(unshare --mount --propagation private)
  [ "$(id -u)" -ne 0 ] && namespace+=(--map-root-user)
  exec "${namespace[@]}" "$0" --hidden
fi

multiarch=$(g++ -print-multiarch)
hidden_folders=(/usr/include/gtest /usr/include/gmock /usr/src/googletest
  "/usr/lib/$multiarch/cmake/GTest" "/usr/lib/$multiarch/faketime")
hidden_programs=(faketime python3)
echo "--- hiding the test group's packages"
for folder in "${hidden_folders[@]}"; do
  if [ -d "$folder" ]; then
    mount -t tmpfs -o ro,size=4k hidden "$folder"
    echo "  $folder: empty"
  fi
done
for program in "${hidden_programs[@]}"; do
  # The interpreter itself, where python3 is a link to python3.11.
  file=$(readlink -f "/usr/bin/$program")
  if [ -e "$file" ]; then
    mount --bind /dev/null "$file"
    echo "  $file: /dev/null"
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commit=$(git rev-parse HEAD)
git clone --quiet --no-checkout "$PWD" "$work/larkwire"
git -C "$work/larkwire" checkout --quiet --detach "$commit"

# The hiding works: with the tests on, configuring stops at GoogleTest.
if cmake -S "$work/larkwire" -B "$work/tests-on" -DBUILD_TESTING=ON >"$work/tests-on.log" 2>&1; then
  echo "demo-check: a build with the tests configured: the test packages are not hidden" >&2
  exit 1
fi
if ! grep -q "Could NOT find GTest" "$work/tests-on.log"; then
  cat "$work/tests-on.log"
  echo "demo-check: the build with the tests failed, but not for want of GoogleTest" >&2
  exit 1
fi
echo "--- with the tests on, the configuration fails: Could NOT find GTest"

echo "--- scripts/demo.sh from a clean clone of $commit"
began=$SECONDS
"$work/larkwire/scripts/demo.sh"
echo "--- the demo took $((SECONDS - began)) s with the test packages hidden"
