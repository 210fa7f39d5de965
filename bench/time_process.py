#!/usr/bin/python3
"""Times a command as a whole process, from start to exit, as a user waits
for it: each round starts it anew with its standard output thrown away and
takes the wall time until it has exited, and the processor time it used
(user + system, from the kernel's account of the child).

    time_process.py REPEATS COMMAND [ARGUMENTS...]

Prints every round, the best and the median, and one RESULT line for
bench/run_scan.sh.  A round that fails stops the run: a time of a command
that did not do its job means nothing."""

import os
import subprocess
import sys
import time


def median(values):
    s = sorted(values)
    n = len(s)
    return s[n // 2] if n % 2 else (s[n // 2 - 1] + s[n // 2]) / 2


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    repeats = max(1, int(sys.argv[1]))
    command = sys.argv[2:]
    walls, cpus = [], []
    with open(os.devnull, "wb") as null:
        for i in range(repeats):
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=null)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
            child.returncode = os.waitstatus_to_exitcode(status)
            if child.returncode != 0:
                raise SystemExit("round %d: %s exited with %d" % (i + 1, command[0], child.returncode))
            cpu = usage.ru_utime + usage.ru_stime
            walls.append(wall)
            cpus.append(cpu)
            print("round %d: %7.1f ms from start to exit, %7.1f ms of processor time (peak %.1f MiB)"
                  % (i + 1, 1e3 * wall, 1e3 * cpu, usage.ru_maxrss / 1024))
    print("whole process   best %.1f ms, median %.1f ms; processor time best %.1f ms, median %.1f ms"
          % (1e3 * min(walls), 1e3 * median(walls), 1e3 * min(cpus), 1e3 * median(cpus)))
    print("RESULT best_ms=%.3f median_ms=%.3f cpu_best_ms=%.3f cpu_median_ms=%.3f"
          % (1e3 * min(walls), 1e3 * median(walls), 1e3 * min(cpus), 1e3 * median(cpus)))


main()
