"""Start-up benchmark: times the client, the protocol's floor and `nc -N`
against the same loopback server, interleaved (each round runs the three in a
new random order, so that drifting load falls on all alike), and reports
(client - floor) / nc: Larkwire's own cost as a share of a whole nc exchange.

    startup.py ROUNDS TARGET CLIENT FLOOR PORT COMMAND_FILE

Each program is started with posix_spawn, its output to /dev/null, and timed
from the spawn to the end of its wait, with the monotonic clock.
"""
import os
import random
import statistics
import sys
import time

rounds, target = int(sys.argv[1]), float(sys.argv[2])
client, floor, port, command_file = sys.argv[3:7]
commands = {
    "nc": (["nc", "-N", "127.0.0.1", port], command_file),
    "client": ([client, "127.0.0.1", port, "1", command_file], os.devnull),
    "floor": ([floor, port], os.devnull),
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
    path = nc_path if name == "nc" else argv[0]
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

nc, client_, floor_ = (statistics.median(times[n]) for n in ("nc", "client", "floor"))
own = statistics.median(c - f for c, f in zip(times["client"], times["floor"]))
ratio = own / nc
print(
    f"medians of {rounds} interleaved runs: nc -N {nc:.3f} ms, Larkwire {client_:.3f} ms, "
    f"protocol floor {floor_:.3f} ms"
)
print(f"Larkwire beyond the floor (median of the paired differences): {own:.3f} ms")
verdict = "met" if ratio <= target else "NOT met"
print(f"start-up: (Larkwire - floor) / nc = {ratio:.3f}; target <= {target}: {verdict}")
