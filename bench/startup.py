"""Start-up benchmark: times one or more builds of the client, the protocol's
floor and `nc -N` against the same loopback server, interleaved (each round
runs them all in a new random order, so that drifting load falls on all
alike), and reports for each client (client - floor) / nc: its own cost as a
share of a whole nc exchange, beside its target.

    startup.py ROUNDS FLOOR PORT COMMAND_FILE CLIENT TARGET [CLIENT TARGET ...]

Each program is started with posix_spawn, its output to /dev/null, and timed
from the spawn to the end of its wait, with the monotonic clock.
"""
import os
import random
import statistics
import sys
import time

rounds, floor, port, command_file = int(sys.argv[1]), *sys.argv[2:5]
clients = sys.argv[5::2]
targets = dict(zip(clients, map(float, sys.argv[6::2])))
commands = {
    "nc -N": (["nc", "-N", "127.0.0.1", port], command_file),
    "floor": ([floor, port], os.devnull),
    **{client: ([client, "127.0.0.1", port, "1", command_file], os.devnull) for client in clients},
}
nc_path = next(
    os.path.join(d, "nc")
    for d in os.environ["PATH"].split(":")
    if os.access(os.path.join(d, "nc"), os.X_OK)
)


def run(name):
    argv, stdin = commands[name]
    actions = [
        (os.POSIX_SPAWN_OPEN, 0, stdin, os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
    ]
    path = nc_path if name == "nc -N" else argv[0]
    start = time.perf_counter_ns()
    pid = os.posix_spawn(path, argv, os.environ, file_actions=actions)
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter_ns() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{name} ended with status {os.waitstatus_to_exitcode(status)}")
    return elapsed / 1e6


times = {name: [] for name in commands}
names = list(commands)
for name in names:  # warm-up: page cache, the server's first accept
    run(name)
for _ in range(rounds):
    random.shuffle(names)
    for name in names:
        times[name].append(run(name))

nc, floor_ = statistics.median(times["nc -N"]), statistics.median(times["floor"])
print(f"medians of {rounds} interleaved rounds: nc -N {nc:.3f} ms, protocol floor {floor_:.3f} ms")
width = max(map(len, clients))
print(f"{'client':{width}}  median ms  beyond the floor ms  ÷ nc   target")
for client in clients:
    # The median of the paired differences client - floor of the same rounds.
    own = statistics.median(c - f for c, f in zip(times[client], times["floor"]))
    ratio, target = own / nc, targets[client]
    verdict = "met" if ratio <= target else "NOT met"
    median = statistics.median(times[client])
    print(f"{client:{width}}  {median:9.3f}  {own:19.3f}  {ratio:5.3f}  <= {target}: {verdict}")
