#!/usr/bin/env python3
"""Share of wall time by what every CPU was running, from a scheduler trace.

Shows whether the game thread and llvmpipe's rasteriser threads overlap or
take turns (docs/performance.md, "Who runs when"). Record a couple of seconds
while the timedemo plays, then read the trace:

    perf sched record -o sched.data -- sleep 2
    perf sched script -i sched.data -F cpu,time,event,trace | scripts/sched_share.py

Each line of the result is one combination of what the CPUs ran (sorted),
e.g. "game + idle 17.3 %": the game thread on one CPU, the other idle.
"""
import collections
import re
import sys

SWITCH = re.compile(r"\[(\d+)\]\s+([\d.]+):.*prev_comm=.*? prev_pid=\d+ .*==> next_comm=(.*?) next_pid=\d+")


def kind(command):
    if command.startswith("swapper"):
        return "idle"
    if command.startswith("llvmpipe"):
        return "rasteriser"
    if command == "vestrel":
        return "game"
    if command == "Xvfb":
        return "Xvfb"
    return "other"


def main():
    running = {}
    shares = collections.Counter()
    last = None
    for line in sys.stdin:
        match = SWITCH.search(line)
        if not match:
            continue
        cpu, time, command = int(match.group(1)), float(match.group(2)), match.group(3)
        if last is not None and running:
            shares[tuple(sorted(running.values()))] += time - last
        last = time
        running[cpu] = kind(command)
    total = sum(shares.values())
    if total <= 0:
        print("sched_share.py: no sched_switch events read", file=sys.stderr)
        return 1
    for state, seconds in shares.most_common():
        print(f"{' + '.join(state):40s} {100.0 * seconds / total:5.1f} %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
