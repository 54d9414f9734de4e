"""Saving and loading the store workload's data with Python's plistlib (XML
property lists): the same records as bench/store.lua, binary strings as
bytes.

    store.py FILE [COUNT]

Prints "write=SECONDS read=SECONDS" (processor time of each way).
"""
import gc
import plistlib
import sys
import time


def main(path, count):
    records = count // 10
    binary = bytes((i * 37 + 1) % 256 for i in range(16))
    t = [{"name": "item %d" % i, "id": i, "price": i * 0.25,
          "flags": [i % 2, i % 3, i % 5],
          "meta": {"tag": binary if i % 10 == 0 else "tag%d" % (i % 100)}}
         for i in range(1, records + 1)]
    gc.collect()
    start = time.process_time()
    with open(path, "wb") as f:
        plistlib.dump(t, f, fmt=plistlib.FMT_XML)
    middle = time.process_time()
    with open(path, "rb") as f:
        back = plistlib.load(f)
    end = time.process_time()
    assert len(back) == records and back[-1]["id"] == records
    print("write=%.6f read=%.6f" % (middle - start, end - middle))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1000000)
