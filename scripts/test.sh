#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
# build/ is the .deb's build too: Debian's prefix, which the manual pages name.
scripts/build.sh build -DBUILD_TESTING=ON -DCMAKE_INSTALL_PREFIX=/usr
ctest --test-dir build --output-on-failure -j 2
