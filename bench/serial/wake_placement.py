#!/usr/bin/env python3
"""How long each thread waited from its wake-up to running, split by whether it ran on the
waker's CPU or on another one.

    perf sched record -o sched.data -- bench_serial --quick --only QSerialPort
    perf script -i sched.data -F comm,tid,cpu,time,event,trace > sched.txt
    bench/serial/wake_placement.py sched.txt
"""
import collections
import re
import statistics
import sys

EVENT = re.compile(r'^\s*(\S.*?)\s+(\d+)\s+\[(\d+)\]\s+([\d.]+):\s+(\S+):\s+(.*)$')
WAKEE = re.compile(r'comm=(\S+) pid=(\d+)')
NEXT = re.compile(r'next_comm=(.*?) next_pid=(\d+)')


def median(values):
    return statistics.median(values) if values else float('nan')


def main(path):
    waking = {}  # pid -> (time, waker's cpu, waker, wakee)
    waits = collections.defaultdict(list)
    with open(path) as trace:
        for line in trace:
            m = EVENT.match(line)
            if not m:
                continue
            comm, _, cpu, time, event, rest = m.groups()
            if event == 'sched:sched_waking':
                w = WAKEE.search(rest)
                waking[w.group(2)] = (float(time), int(cpu), comm, w.group(1))
            elif event == 'sched:sched_switch':
                n = NEXT.search(rest)
                if n and n.group(2) in waking:
                    start, waker_cpu, waker, wakee = waking.pop(n.group(2))
                    key = (re.split('[/-]', waker)[0], wakee)
                    waits[key].append(((float(time) - start) * 1e6, waker_cpu == int(cpu)))
    for (waker, wakee), v in sorted(waits.items(), key=lambda kv: -len(kv[1])):
        if len(v) < 100:
            continue
        same = [d for d, s in v if s]
        other = [d for d, s in v if not s]
        print(f'{waker:>14} -> {wakee:<16} n={len(v):6d}  on the waker\'s CPU '
              f'{100 * len(same) / len(v):5.1f} % (median {median(same):5.1f} us), '
              f'elsewhere median {median(other):5.1f} us')


if __name__ == '__main__':
    main(sys.argv[1])
