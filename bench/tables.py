"""Document-to-tables and tables-to-document workloads for Python.

    tables.py FILE xmltodict|etree

xmltodict: xmltodict.parse, then xmltodict.unparse of its result;
etree:     ElementTree.fromstring, then ElementTree.tostring of the root.
Prints "parse=SECONDS unparse=SECONDS" (processor time of each step).
"""
import gc
import sys
import time


def main(path, tool):
    with open(path, "rb") as f:
        data = f.read()
    if tool == "xmltodict":
        import xmltodict
        parse, unparse = xmltodict.parse, xmltodict.unparse
    elif tool == "etree":
        import xml.etree.ElementTree as ET
        parse, unparse = ET.fromstring, ET.tostring
    else:
        raise SystemExit("unknown tool " + tool)
    gc.collect()
    start = time.process_time()
    tree = parse(data)
    middle = time.process_time()
    text = unparse(tree)
    end = time.process_time()
    assert len(text) > 0
    print("parse=%.6f unparse=%.6f" % (middle - start, end - middle))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
