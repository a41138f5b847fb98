#!/usr/bin/env bash
# The one way the scripts configure and build: configures the build folder
# from this source tree (a release build unless an option says otherwise)
# with the given CMake options, then builds it two jobs at a time, the
# machine's two cores; after --, only the given targets.
#
#   scripts/build.sh FOLDER [CMAKE_OPTION...] [-- TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

folder=$1
shift
options=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  options+=("$1")
  shift
done
targets=()
if [ $# -gt 1 ]; then
  shift
  targets=(--target "$@")
fi

cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release "${options[@]}"
cmake --build "$folder" -j 2 "${targets[@]}"
