#!/usr/bin/env python3
"""A plain decode of history.dat with nothing but the standard library: every
192-byte record unpacked into its fields. Prints the seconds the decode took (the
interpreter's own start-up not included) and the number of records."""
import struct
import sys
import time

RECORD = struct.Struct("<8H8Hii100s52s")


def main():
    started = time.perf_counter()
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    whole = len(data) - len(data) % RECORD.size
    records = list(RECORD.iter_unpack(memoryview(data)[:whole]))
    took = time.perf_counter() - started
    print(f"{took:.6f} {len(records)}")


if __name__ == "__main__":
    main()
