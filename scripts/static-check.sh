#!/usr/bin/env bash
# The static Linux stage: builds larkwire and larkwire-sim fully statically into
# build-static/ (the programs of the tarball, scripts/package.sh tar) and proves
# that they need nothing of the system they run on: no NEEDED entry in their
# dynamic section, no warning at link (GNU libc warns of every call that would
# load its dynamic parts at run time), the demo's exchange in an otherwise empty
# root (the two programs, /dev/null and DskPlay.json beside them: no loader, no
# C library, no /etc), and the end-to-end tables with --static.
#
# The root is entered with chroot in a private mount namespace: needs root, or
# unprivileged user namespaces (unshare --map-root-user).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --in-empty-root ]; then
  # In the namespace: the root gets /dev/null, and the sim started in it serves
  # the client started in it.
  root=$2
  mount --bind /dev/null "$root/dev/null"
  source examples/start-sim.sh
  trap stop_sim EXIT
  start_sim "$root/sim.log" chroot "$root" /larkwire-sim
  status=0
  chroot "$root" /larkwire 127.0.0.1 "$sim_port" 1 /DskPlay.json >"$root/client.out" || status=$?
  stop_sim
  if [ "$status" -ne 0 ] || ! grep -qx "   OK answer detected." "$root/client.out"; then
    cat "$root/client.out" "$root/sim.log"
    echo "static-check: in the empty root the client ended with $status, not OK and 0" >&2
    exit 1
  fi
  echo "in an empty root: larkwire-sim on port $sim_port judged $(grep -o 'DSK_Play .*' "$root/sim.log")"
  exit 0
fi

scripts/install-deps.sh test
build_log=build-static/build.log
mkdir -p build-static
scripts/build.sh build-static -DBUILD_TESTING=OFF -DLARKWIRE_STATIC=ON \
  -DCMAKE_INSTALL_PREFIX=/usr/local 2>&1 | tee "$build_log"
programs=(build-static/app/larkwire build-static/sim/larkwire-sim)

if grep -q 'warning:' "$build_log"; then
  echo "static-check: the static build warns (log: $build_log)" >&2
  exit 1
fi
for program in "${programs[@]}"; do
  if readelf -d "$program" | grep -q '(NEEDED)'; then
    readelf -d "$program" | grep '(NEEDED)' >&2
    echo "static-check: $program loads shared libraries" >&2
    exit 1
  fi
  echo "$program: no NEEDED entry"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir "$root/dev"
touch "$root/dev/null"
cp "${programs[@]}" examples/DskPlay.json "$root/"
namespace=(unshare --mount --propagation private)
[ "$(id -u)" -ne 0 ] && namespace+=(--map-root-user)
"${namespace[@]}" "$0" --in-empty-root "$root"

# Each test of the tables in a process of its own, four at a time: most of
# their time is waiting (the sim's 10 s limits), which the others fill.
LARKWIRE_VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-static/CMakeCache.txt)
export LARKWIRE_VERSION
tests=$(awk '/^class [A-Za-z]+\(Table\):/ { table = substr($2, 1, index($2, "(") - 1) }
  /^    def test_/ { print table "." substr($2, 1, index($2, "(") - 1) }' e2e/larkwire_e2e.py)
if ! xargs -P 4 -I {} python3 e2e/larkwire_e2e.py --static "${programs[@]}" {} \
  <<<"$tests" 2>"$root/tables.log"; then
  cat "$root/tables.log"
  echo "static-check: the end-to-end tables failed against the static pair" >&2
  exit 1
fi
echo "end-to-end tables against the static pair: $(grep -c '^OK' "$root/tables.log") tests" \
  "passed, $(grep -c '^OK (skipped' "$root/tables.log") of them skipped whole or in part (libfaketime)"
