#!/usr/bin/env python3
"""Documents in encodings that Expat does not know by itself, read by the
xml plugin and by Python's xml.parsers.expat (whose handler reads every
single-byte encoding of Python's codecs); the events are compared in the
line format of xmltest_compare.py. Labels that the plugin reads as another
encoding than Python's codec of the same name (as browsers read them) are
compared with that encoding's codec: see READ_AS.

    encodings_compare.py --velloran PATH generated
        documents made here, one pair per single-byte encoding of
        SINGLE_BYTE: every byte value the encoding defines in text and in an
        attribute value, and its letters in an element name; fed to the
        plugin in 3-byte pieces. Exit status 0 when all match.
    encodings_compare.py --velloran PATH names
        the names of SINGLE_BYTE, one a line; --skip NAME (repeatable) leaves
        an encoding out of generated.
    encodings_compare.py --velloran PATH files LIST
        the XML files named in LIST (one path a line) whose declared
        encoding is not one that Expat knows by itself; prints the counts.
"""
import argparse
import codecs
import os
import re
import subprocess
import sys
import tempfile
import xml.parsers.expat

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xmltest_compare import reference, split_blocks  # noqa: E402

EVENTS_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xmltest_events.lua")

# Single-byte encodings whose tables agree between the C library's iconv and
# Python's codecs (EBCDIC cp037: both refuse it).
SINGLE_BYTE = (
    ["ISO-8859-%d" % n for n in (2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16)] +
    ["windows-%d" % n for n in range(1250, 1259)] +
    ["KOI8-R", "KOI8-U", "CP437", "CP850", "CP852", "CP855", "CP866", "IBM855", "IBM866",
     "CP874", "TIS-620", "latin2", "cp1251", "cp037"])

# Labels read as another encoding than Python's codec of that name: Thai
# labels as windows-874 (Python's tis_620 and iso8859_11 give C1 controls
# for its punctuation), Big5 as Windows' CP950 (glibc's table; Python's big5
# differs at 0xA145, 0xA1E3, 0xA241, 0xA247). Shift_JIS is Python's.
READ_AS = {"TIS-620": "cp874", "TIS620": "cp874", "ISO-8859-11": "cp874", "BIG5": "cp950"}

EXPAT_OWN = {"UTF-8", "UTF-16", "UTF-16BE", "UTF-16LE", "ISO-8859-1", "US-ASCII"}
DECLARATION = re.compile(rb'^(?:\xef\xbb\xbf)?\s*<\?xml[^>]*?encoding\s*=\s*["\']([^"\']+)')


def plugin_events(velloran, paths, chunk):
    run = subprocess.run([velloran, EVENTS_SCRIPT, "--chunk=%d" % chunk, "/"] + paths,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.exit("the host failed: " + run.stderr.decode("utf-8", "replace"))
    return split_blocks(run.stdout.decode("utf-8", "surrogateescape"))


def reference_codec(name):
    return READ_AS.get(name.upper(), name)


def defined_chars(name):
    chars = {}
    for b in range(0x80, 0x100):
        try:
            chars[b] = bytes([b]).decode(name)
        except UnicodeDecodeError:
            pass
    return chars


def is_name_char(c):
    parser = xml.parsers.expat.ParserCreate("UTF-8")
    try:
        parser.Parse(("<n" + c + "/>").encode("utf-8"), True)
        return True
    except xml.parsers.expat.ExpatError:
        return False


def generated_documents(name):
    chars = defined_chars(reference_codec(name))
    high = bytes(sorted(chars))
    letters = bytes(b for b, c in sorted(chars.items()) if is_name_char(c))
    head = b'<?xml version="1.0" encoding="' + name.encode() + b'"?>\n'
    text = b"abcXYZ019 " + high
    yield head + b'<d a="' + text + b'">' + text + b"</d>"
    yield head + b"<n" + letters + b' b="1"/>'


def generated(velloran, skip):
    with tempfile.TemporaryDirectory() as folder:
        paths = []
        for name in [n for n in SINGLE_BYTE if n not in skip]:
            for i, doc in enumerate(generated_documents(name)):
                path = os.path.join(folder, "%s-%d.xml" % (name, i))
                with open(path, "wb") as f:
                    f.write(doc)
                paths.append(path)
        got = plugin_events(velloran, paths, 3)
        expected = {p: python_reference(p) for p in paths}
        faults = [p for p in paths if got.get(p) != expected[p]]
        accepted = sum(1 for p in paths if expected[p][-1] == "= 1")
    print("single-byte encodings: %d, documents: %d (%d read by both), %d faults" %
          (len(SINGLE_BYTE) - len(skip), len(paths), accepted, len(faults)))
    for path in faults[:10]:
        print("differs:", os.path.basename(path))
    return 1 if faults else 0


def declared_encoding(path):
    try:
        with open(path, "rb") as f:
            head = f.read(256)
    except OSError:
        return None
    m = DECLARATION.match(head)
    return m.group(1).decode("latin-1") if m else None


DECLARED = re.compile(rb'encoding\s*=\s*["\'][^"\']+["\']')


def python_reference(path):
    """Python's expat on the file, declared in the reference codec of its
    label; the file decoded by that codec and read as UTF-8 when it is a
    multi-byte encoding (which Python's expat cannot read)."""
    encoding = declared_encoding(path)
    codec = reference_codec(encoding)
    if codec == encoding:
        try:
            return reference("/", path)
        except ValueError:  # "multi-byte encodings are not supported"
            return transcoded_reference(path)
    with open(path, "rb") as f:
        data = DECLARED.sub(b'encoding="' + codec.encode() + b'"', f.read(), count=1)
    with tempfile.NamedTemporaryFile(suffix=".xml") as f:
        f.write(data)
        f.flush()
        try:
            return reference("/", f.name)
        except ValueError:
            return transcoded_reference(f.name)


def transcoded_reference(path, by_iconv=False):
    """The file decoded by Python's codec (or by the iconv program) and read
    as UTF-8."""
    with open(path, "rb") as f:
        data = f.read()
    encoding = declared_encoding(path)
    if by_iconv:
        run = subprocess.run(["iconv", "-f", encoding, "-t", "UTF-8"], input=data,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if run.returncode != 0:
            return ["= 0"]
        text = run.stdout.decode("utf-8")
    else:
        try:
            text = data.decode(encoding)
        except (LookupError, UnicodeDecodeError):
            return ["= 0"]
    text = re.sub(r'encoding\s*=\s*["\'][^"\']+["\']', 'encoding="UTF-8"', text, count=1)
    with tempfile.NamedTemporaryFile(suffix=".xml") as f:
        f.write(text.encode("utf-8"))
        f.flush()
        return reference("/", f.name)


def files(velloran, listing):
    with open(listing) as f:
        paths = [line.strip() for line in f if line.strip()]
    chosen = [p for p in paths if (declared_encoding(p) or "UTF-8").upper() not in EXPAT_OWN]
    got = plugin_events(velloran, chosen, 3)
    counts = {}
    for path in chosen:
        mine = got.get(path, ["= none"])
        expected = python_reference(path)
        converted = transcoded_reference(path, True) if expected != mine else None
        if expected[-1] == "= 1" and converted == ["= 0"] and mine[-1] == "= 0":
            kind = "iconv refuses a byte"  # the iconv program fails as well
        elif expected[-1] == "= 1" and mine == converted:
            kind = "tables differ"  # as the iconv program converts it
        elif expected[-1] == "= 1":
            kind = "same events" if mine == expected else "FAULT: events differ"
        else:
            kind = "read here only" if mine[-1] == "= 1" else "neither reads"
        key = (kind, declared_encoding(path).upper())
        counts[key] = counts.get(key, 0) + 1
    print("files: %d, declared in other encodings: %d" % (len(paths), len(chosen)))
    for (kind, encoding), n in sorted(counts.items()):
        print("  %-22s %-14s %d" % (kind, encoding, n))
    return 1 if any(k[0].startswith("FAULT") for k in counts) else 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velloran", required=True)
    ap.add_argument("--skip", action="append", default=[])
    ap.add_argument("mode", choices=["generated", "names", "files"])
    ap.add_argument("listing", nargs="?")
    args = ap.parse_args()
    if args.mode == "names":
        print("\n".join(SINGLE_BYTE))
        return 0
    if args.mode == "generated":
        return generated(args.velloran, set(args.skip))
    return files(args.velloran, args.listing)


if __name__ == "__main__":
    sys.exit(main())
