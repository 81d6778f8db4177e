#!/usr/bin/env python3
"""The aggregations of the Statistics and Graphs dialogs over history.dat, with
nothing but the standard library, as a plain program would write them: "statistics"
sums connections, time and fee per user name; "graphs" sums the fee per user, the
connections and fee per provider, and the connections and fee per start hour. Names
are the bytes before a field's first zero. Prints the seconds the aggregation took
(the interpreter's own start-up not included) and the number of records."""
import struct
import sys
import time

RECORD = struct.Struct("<8H8Hii100s52s")


def name(field):
    end = field.find(b"\0")
    return field if end < 0 else field[:end]


def statistics(records):
    users = {}
    for r in records:
        row = users.setdefault(name(r[19]), [0, 0, 0])
        row[0] += 1
        row[1] += r[17]
        row[2] += r[16]
    return users


def graphs(records):
    users, providers = {}, {}
    hours = [[0, 0] for _ in range(24)]
    for r in records:
        fee = r[16]
        user = name(r[19])
        users[user] = users.get(user, 0) + fee
        provider = providers.setdefault(name(r[18]), [0, 0])
        provider[0] += 1
        provider[1] += fee
        if r[4] < 24:
            hours[r[4]][0] += 1
            hours[r[4]][1] += fee
    return users, providers, hours


def main():
    work = {"statistics": statistics, "graphs": graphs}[sys.argv[1]]
    started = time.perf_counter()
    with open(sys.argv[2], "rb") as f:
        data = f.read()
    whole = len(data) - len(data) % RECORD.size
    records = RECORD.iter_unpack(memoryview(data)[:whole])
    work(records)
    took = time.perf_counter() - started
    print(f"{took:.6f} {whole // RECORD.size}")


if __name__ == "__main__":
    main()
