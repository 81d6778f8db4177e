#!/usr/bin/env python3
"""The mail check that Postpeek does, with nothing but python's poplib: for every
account one connection, USER, PASS, STAT, then "TOP n 0" and "LIST n" for every
message, the From and Subject lines picked out of each header, and QUIT.

    poplib_sweep.py HOST PORT RUNS USER:PASSWORD...

Prints the milliseconds of each run on one line (the interpreter's own start-up not
included) and, on a second line, the messages a run found."""
import poplib
import sys
import time


def sweep(host, port, accounts):
    found = 0
    for user, password in accounts:
        pop = poplib.POP3(host, port, timeout=30)
        pop.user(user)
        pop.pass_(password)
        count, _ = pop.stat()
        for n in range(1, count + 1):
            _, lines, _ = pop.top(n, 0)
            sender = subject = b""
            for line in lines:
                if not line:
                    break
                lower = line[:8].lower()
                if lower.startswith(b"from:"):
                    sender = line[5:]
                elif lower.startswith(b"subject:"):
                    subject = line[8:]
            size = int(pop.list(n).split()[2])
            if sender or subject or size:
                found += 1
        pop.quit()
    return found


def main():
    host, port, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    accounts = [tuple(a.split(":", 1)) for a in sys.argv[4:]]
    times = []
    found = 0
    for _ in range(runs):
        started = time.perf_counter()
        found = sweep(host, port, accounts)
        times.append((time.perf_counter() - started) * 1000)
    print(" ".join(f"{t:.3f}" for t in times))
    print(found)


if __name__ == "__main__":
    main()
