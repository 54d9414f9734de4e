#!/usr/bin/env python3
"""Runs James Clark's XML test cases through the xml plugin and compares.

The plugin side is scripts/xmltest_events.lua, run by the stand-in host; it
prints one block per document. The reference side is Python's standard
xml.parsers.expat module, used as a black box for what Expat reports. Both
print the same lines:

    # <document path relative to the suite>
    S <name> <attr>=<value> ...   start tag, attributes sorted by name
    E <name>                      end tag
    C <text>                      character data, consecutive pieces joined
    P <target> <data>             processing instruction
    = <1 or 0>                    1 when every Parse call returned 1

Checked: every document of not-wf/sa ends with "= 0"; every document of
valid/sa and valid/ext-sa ends with "= 1" and its events equal the
reference's. Exit status 0 when all hold; the first faults are printed.
"""
import argparse
import os
import subprocess
import sys
import xml.parsers.expat

VALID_DIRS = ("valid/sa", "valid/ext-sa")
NOT_WF_DIRS = ("not-wf/sa",)


def escape(text):
    out = []
    for ch in text:
        code = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch == " ":
            out.append("\\s")
        elif code < 0x20 or code == 0x7F:
            out.append("\\x%02X" % code)
        else:
            out.append(ch)
    return "".join(out)


class Recorder:
    def __init__(self):
        self.lines = []
        self.text = []

    def flush(self):
        if self.text:
            self.lines.append("C " + escape("".join(self.text)))
            self.text = []

    def attach(self, parser):
        parser.StartElementHandler = self.start
        parser.EndElementHandler = self.end
        parser.CharacterDataHandler = self.chars
        parser.ProcessingInstructionHandler = self.pi
        parser.ExternalEntityRefHandler = lambda *a: self.entity(parser, *a)

    def chars(self, text):
        self.text.append(text)

    def start(self, name, attributes):
        self.flush()
        pairs = sorted(attributes.items())
        self.lines.append(" ".join(["S " + escape(name)] +
                                   [escape(k) + "=" + escape(v) for k, v in pairs]))

    def end(self, name):
        self.flush()
        self.lines.append("E " + escape(name))

    def pi(self, target, data):
        self.flush()
        self.lines.append("P " + escape(target) + " " + escape(data))

    def entity(self, parser, context, base, system_id, public_id):
        child = parser.ExternalEntityParserCreate(context)
        with open(os.path.join(base, system_id), "rb") as f:
            data = f.read()
        return child.Parse(data, True)


def reference(suite, relative):
    recorder = Recorder()
    parser = xml.parsers.expat.ParserCreate()
    recorder.attach(parser)
    path = os.path.join(suite, relative)
    parser.SetBase(os.path.dirname(path))
    with open(path, "rb") as f:
        data = f.read()
    ok = 1
    try:
        parser.Parse(data, False)
        parser.Parse(b"", True)
    except xml.parsers.expat.ExpatError:
        ok = 0
    recorder.flush()
    return recorder.lines + ["= %d" % ok]


def documents(suite, folders):
    found = []
    for folder in folders:
        names = sorted(n for n in os.listdir(os.path.join(suite, folder)) if n.endswith(".xml"))
        found += [folder + "/" + n for n in names]
    return found


def split_blocks(output):
    blocks = {}
    current = None
    for line in output.split("\n"):
        if line.startswith("# "):
            current = line[2:]
            blocks[current] = []
        elif current is not None and line:
            blocks[current].append(line)
    return blocks


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velloran", required=True, help="the stand-in host executable")
    ap.add_argument("--suite", required=True, help="folder holding valid/ and not-wf/")
    ap.add_argument("--script", default=os.path.join(os.path.dirname(__file__),
                                                      "xmltest_events.lua"))
    args = ap.parse_args()

    valid = documents(args.suite, VALID_DIRS)
    not_wf = documents(args.suite, NOT_WF_DIRS)
    run = subprocess.run([args.velloran, args.script, args.suite] + valid + not_wf,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.stdout.write(run.stderr.decode("utf-8", "replace"))
        print("the host failed with status %d" % run.returncode)
        return 1
    blocks = split_blocks(run.stdout.decode("utf-8", "surrogateescape"))

    faults = []
    for doc in valid:
        expected = reference(args.suite, doc)
        got = blocks.get(doc)
        if got is None:
            faults.append("%s: no events reported" % doc)
        elif expected[-1] != "= 1":
            faults.append("%s: the reference does not accept it" % doc)
        elif got != expected:
            at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b),
                      min(len(got), len(expected)))
            faults.append("%s: event %d differs\n  plugin:    %s\n  reference: %s" % (
                doc, at + 1, got[at] if at < len(got) else "(end)",
                expected[at] if at < len(expected) else "(end)"))
    for doc in not_wf:
        got = blocks.get(doc)
        if got is None or got[-1:] != ["= 0"]:
            faults.append("%s: accepted, or no result" % doc)

    print("xmltest: %d valid and %d not-well-formed documents, %d faults" %
          (len(valid), len(not_wf), len(faults)))
    for fault in faults[:20]:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
