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
    D <name> <is parameter> <value>  entity declaration (value "-": none)
    = <1 or 0>                    1 when every Parse call returned 1

Checked (--suite, James Clark's cases): every document of not-wf/sa ends
with "= 0"; every document of valid/sa and valid/ext-sa ends with "= 1" and
its events equal the reference's.

Checked (--conformance, the W3C suite's xmlconf/ folder): every case of the
suite's list, in plain and in namespace mode, with parameter-entity parsing
off and on (unless standalone, so that external DTDs are read): the events
and the result equal the reference's; the not-well-formed cases that each
side refuses are counted. With --no-converters, documents in encodings that
need iconv may differ (and are listed).

Exit status 0 when all hold; the first faults are printed.
"""
import argparse
import os
import re
import subprocess
import sys
import xml.etree.ElementTree
import xml.parsers.expat

VALID_DIRS = ("valid/sa", "valid/ext-sa")
NOT_WF_DIRS = ("not-wf/sa",)


DECLARED = re.compile(rb'^(?:\xef\xbb\xbf)?\s*<\?xml[^>]*?encoding\s*=\s*["\']([^"\']+)')

# Runs of the conformance suite: options of xmltest_events.lua.
CONFORMANCE_MODES = ([], ["--ns"], ["--pe"], ["--pe", "--ns"])


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
        parser.EntityDeclHandler = self.entity_decl
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

    def entity_decl(self, name, is_parameter, value, *_):
        self.flush()
        self.lines.append("D %s %d %s" % (escape(name), is_parameter,
                                          "-" if value is None else escape(value)))

    def entity(self, parser, context, base, system_id, public_id):
        if system_id is None:
            return 0
        path = os.path.join(base or "", system_id)
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            return 0
        # The child is made from the parser that met the reference (as the
        # plugin does): Expat reads a parameter entity met inside an entity
        # value as that value only when the child comes from that parser.
        try:
            return self.parse_child(parser.ExternalEntityParserCreate(context), path, data)
        except ValueError:
            # (see reference: an entity in a multi-byte encoding)
            return self.parse_child(parser.ExternalEntityParserCreate(context, "UTF-8"),
                                    path, as_utf8(data))

    def parse_child(self, child, path, data):
        self.attach(child)
        child.SetBase(os.path.dirname(path))
        try:
            return child.Parse(data, True)
        finally:
            # The child's handler refers back to the child: dropping it frees
            # the child now, before its parent, as newer Expats require.
            child.ExternalEntityRefHandler = None


def as_utf8(data):
    """A text in a declared encoding, decoded by Python's codec, as UTF-8."""
    return data.decode(DECLARED.match(data).group(1).decode()).encode("utf-8")


def reference(suite, relative, options=(), encoding=None):
    recorder = Recorder()
    parser = xml.parsers.expat.ParserCreate(
        encoding, namespace_separator=" " if "--ns" in options else None)
    recorder.attach(parser)
    if "--pe" in options:
        parser.SetParamEntityParsing(xml.parsers.expat.XML_PARAM_ENTITY_PARSING_UNLESS_STANDALONE)
    path = os.path.join(suite, relative)
    parser.SetBase(os.path.dirname(path))
    with open(path, "rb") as f:
        data = f.read()
    if encoding:
        data = as_utf8(data)
    ok = 1
    try:
        parser.Parse(data, False)
        parser.Parse(b"", True)
    except xml.parsers.expat.ExpatError:
        ok = 0
    except ValueError:
        # Python's handler maps single-byte encodings only: a document in a
        # multi-byte one is decoded by Python's codec and read as UTF-8.
        if encoding or not DECLARED.match(data):
            raise
        return reference(suite, relative, options, "UTF-8")
    recorder.flush()
    return recorder.lines + ["= %d" % ok]


def documents(suite, folders):
    found = []
    for folder in folders:
        names = sorted(n for n in os.listdir(os.path.join(suite, folder)) if n.endswith(".xml"))
        found += [folder + "/" + n for n in names]
    return found


def conformance_cases(folder):
    """(path relative to folder, type) of every case in the suite's list."""
    cases = []
    base_key = "{http://www.w3.org/XML/1998/namespace}base"

    def walk(element, base):
        for child in element:
            if child.tag == "TESTCASES":
                walk(child, base + child.get(base_key, ""))
            elif child.tag == "TEST":
                cases.append((base + child.get("URI"), child.get("TYPE")))

    walk(xml.etree.ElementTree.parse(os.path.join(folder, "xmlconf-flattened.xml")).getroot(), "")
    return cases


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


def plugin_blocks(args, options, docs):
    run = subprocess.run([args.velloran, args.script] + options + [args.folder] + docs,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.stdout.write(run.stderr.decode("utf-8", "replace"))
        sys.exit("the host failed with status %d" % run.returncode)
    return split_blocks(run.stdout.decode("utf-8", "surrogateescape"))


def difference(doc, got, expected):
    """None when the blocks are equal, else the first difference."""
    if got is None:
        return "%s: no events reported" % doc
    if got == expected:
        return None
    at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b),
              min(len(got), len(expected)))
    return "%s: event %d differs\n  plugin:    %s\n  reference: %s" % (
        doc, at + 1, got[at] if at < len(got) else "(end)",
        expected[at] if at < len(expected) else "(end)")


def xmltest(args):
    valid = documents(args.folder, VALID_DIRS)
    not_wf = documents(args.folder, NOT_WF_DIRS)
    blocks = plugin_blocks(args, [], valid + not_wf)
    faults = []
    for doc in valid:
        expected = reference(args.folder, doc)
        if expected[-1] != "= 1":
            faults.append("%s: the reference does not accept it" % doc)
        else:
            faults.append(difference(doc, blocks.get(doc), expected))
    for doc in not_wf:
        got = blocks.get(doc)
        if got is None or got[-1:] != ["= 0"]:
            faults.append("%s: accepted, or no result" % doc)
    faults = [f for f in faults if f]
    print("xmltest: %d valid and %d not-well-formed documents, %d faults" %
          (len(valid), len(not_wf), len(faults)))
    return faults


# Encodings Expat reads by itself; a document in another needs iconv.
BUILTIN_ENCODINGS = {b"utf-8", b"utf-16", b"iso-8859-1", b"us-ascii"}


def needs_converter(folder, doc):
    with open(os.path.join(folder, doc), "rb") as f:
        declared = DECLARED.match(f.read(512))
    return bool(declared) and declared.group(1).lower() not in BUILTIN_ENCODINGS


def conformance(args):
    cases = conformance_cases(args.folder)
    docs = [doc for doc, _ in cases]
    faults = []
    for options in CONFORMANCE_MODES:
        blocks = plugin_blocks(args, options, docs)
        refused = {"plugin": 0, "reference": 0}
        known = []
        for doc, kind in cases:
            expected = reference(args.folder, doc, options)
            got = blocks.get(doc)
            fault = difference(doc, got, expected)
            if fault and args.no_converters and needs_converter(args.folder, doc):
                known.append(doc)
            elif fault:
                faults.append(" ".join(options) + " " + fault)
            if kind == "not-wf":
                refused["plugin"] += got is not None and got[-1:] == ["= 0"]
                refused["reference"] += expected[-1] == "= 0"
        not_wf = sum(kind == "not-wf" for _, kind in cases)
        print("conformance %-9s %d cases; not well-formed refused: plugin %d, reference %d "
              "of %d; known differences: %s" % (
                  " ".join(options) or "plain", len(cases), refused["plugin"],
                  refused["reference"], not_wf, ", ".join(known) or "none"))
    print("conformance: %d runs, %d faults" % (len(cases) * len(CONFORMANCE_MODES), len(faults)))
    return faults


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velloran", required=True, help="the stand-in host executable")
    suite = ap.add_mutually_exclusive_group(required=True)
    suite.add_argument("--suite", dest="folder", help="folder holding valid/ and not-wf/")
    suite.add_argument("--conformance", dest="folder",
                       help="the W3C suite's xmlconf/ folder with xmlconf-flattened.xml")
    ap.add_argument("--script", default=os.path.join(os.path.dirname(__file__),
                                                      "xmltest_events.lua"))
    ap.add_argument("--no-converters", action="store_true",
                    help="the host's C library has no iconv converters: documents in other "
                    "encodings may differ (they are listed as known differences)")
    args = ap.parse_args()
    faults = conformance(args) if "--conformance" in sys.argv else xmltest(args)
    for fault in faults[:20]:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
