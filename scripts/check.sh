#!/usr/bin/env bash
# The checks beyond the test suite: the layout of every source (clang-format,
# black), the one-way rule between the folders and the test budget;
# clang-tidy and cppcheck over the whole tree, the whole test suite built with
# ASan and UBSan, each fuzzer for a bounded time over its seed corpus, and
# valgrind memcheck over an OK run and a refused command. Any finding fails
# the script.
#
# FUZZ_SECONDS sets the time per fuzzer (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds="${FUZZ_SECONDS:-30}"
source_pattern="$PWD/(app|command|exchange|platform|sim|e2e|fuzz|bench)/"

scripts/install-deps.sh test check
source examples/start-sim.sh
scratch=$(mktemp -d)
tidy_pid=""
trap '[ -z "$tidy_pid" ] || kill "$tidy_pid" 2>/dev/null || true; stop_sim; rm -rf "$scratch"' EXIT

step() { printf '\n=== %s (at %d s)\n' "$*" "$SECONDS"; }

step "layout, folders and the test budget"
# The sources as clang-format and black lay them out, so that no one lays
# them out by hand; the one-way rule between the folders; the tests at most
# 0.35 of the production code.
git ls-files '*.c' '*.cc' '*.h' | xargs clang-format --dry-run --Werror
git ls-files '*.py' | xargs black --check --quiet --line-length 100
scripts/check-includes.py
scripts/test-budget.py

step "the sanitizer and fuzzer build (clang)"
CC=clang CXX=clang++ scripts/build.sh build-check -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLARKWIRE_SANITIZE=ON -DLARKWIRE_FUZZ=ON -DLARKWIRE_STATIC_RUNTIME=OFF \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

step "whole test suite under ASan and UBSan, clang-tidy beside it"
# The suite mostly waits (on the sim's limits and the client's pauses), so
# clang-tidy runs meanwhile at the lowest priority, in a process group of its
# own: it takes the cores the tests leave idle and barely slows them. Once they
# have passed, its priority is raised again (as root; otherwise it goes on at
# the lowest).
setsid nice -n 19 run-clang-tidy -p build-check -j 2 -quiet "$source_pattern" \
  >build-check/clang-tidy.log 2>&1 &
tidy_pid=$!
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-check --output-on-failure -j 2
renice -n 0 -g "$tidy_pid" >/dev/null || true

step "clang-tidy (checks in .clang-tidy)"
tidy_status=0
wait "$tidy_pid" || tidy_status=$?
tidy_pid=""
if [ "$tidy_status" -ne 0 ]; then
  grep -E 'warning:|error:' build-check/clang-tidy.log
  exit 1
fi
echo "clean"

step "cppcheck"
# Plain loops are this code base's style, so the algorithm hints are off.
cppcheck --project=build-check/compile_commands.json --std=c++17 -j 2 -q \
  --enable=warning,performance,portability,style --suppress=useStlAlgorithm \
  --suppress=missingIncludeSystem --inline-suppr --error-exitcode=1
echo "clean"

step "fuzzers, ${fuzz_seconds} s each, side by side"
# Each fuzzer runs on one core; all at once take the time of one.
# Every fuzz/*_fuzzer.cc is a target.
fuzz_targets=()
for source in fuzz/*_fuzzer.cc; do
  fuzz_targets+=("$(basename "$source" .cc)")
done
declare -A fuzz_work fuzz_pid
for target in "${fuzz_targets[@]}"; do
  work="$(mktemp -d)"
  fuzz_work[$target]=$work
  # New inputs go to a scratch corpus; the seed corpus in the repo stays as it is.
  "build-check/fuzz/$target" "$work" "fuzz/corpus/$target" -dict="fuzz/$target.dict" \
    -max_total_time="$fuzz_seconds" -timeout=10 -artifact_prefix="$work/" \
    -print_final_stats=1 > "$work/log" 2>&1 &
  fuzz_pid[$target]=$!
done
for target in "${fuzz_targets[@]}"; do
  work=${fuzz_work[$target]}
  if ! wait "${fuzz_pid[$target]}"; then
    tail -n 60 "$work/log"
    echo "$target found a fault; the input is kept in $work"
    exit 1
  fi
  echo "$target:" $(grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$work/log")
  rm -rf "$work"
done

step "valgrind memcheck over the release client"
scripts/build.sh build -- larkwire larkwire-sim >/dev/null
start_sim "$scratch/sim.log" build/sim/larkwire-sim

printf '{"type":"DSK_Play","params":{"clip":"news"}}' > "$scratch/ok.json"
printf '{"type":"DSK_Cue"}' > "$scratch/refused.json"
for run in "ok.json 0" "refused.json 246"; do
  set -- $run
  status=0
  valgrind --leak-check=full --errors-for-leak-kinds=definite --log-file="$scratch/valgrind.log" \
    build/app/larkwire 127.0.0.1 "$sim_port" 1 "$scratch/$1" > /dev/null || status=$?
  if [ "$status" -ne "$2" ] || ! grep -q 'ERROR SUMMARY: 0 errors' "$scratch/valgrind.log"; then
    cat "$scratch/valgrind.log"
    echo "valgrind: $1 exited with $status (expected $2) or had errors"
    exit 1
  fi
  echo "$1: exit status $status, $(grep -o 'ERROR SUMMARY: 0 errors' "$scratch/valgrind.log")," \
    "$(grep -oE 'definitely lost: [0-9,]+ bytes|All heap blocks were freed' "$scratch/valgrind.log")"
done

step "all checks passed"
