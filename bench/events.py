"""Event workload for Python's xml.parsers.expat: empty handlers.

    events.py FILE three|all [whole|chunked]

three: start element, end element and character data, buffer_text on;
all:   every handler pyexpat offers.
whole: the text read first, then given to one Parse call (default);
chunked: the file read and parsed in 64 KB pieces (the reading is then part
of the time).
Prints "parse=SECONDS" (processor time of the parse, with the reading of the
pieces when chunked).
"""
import gc
import sys
import time
import xml.parsers.expat

ALL = ("StartElementHandler EndElementHandler CharacterDataHandler "
       "ProcessingInstructionHandler CommentHandler StartCdataSectionHandler "
       "EndCdataSectionHandler DefaultHandlerExpand StartNamespaceDeclHandler "
       "EndNamespaceDeclHandler XmlDeclHandler SkippedEntityHandler "
       "StartDoctypeDeclHandler EndDoctypeDeclHandler NotationDeclHandler "
       "UnparsedEntityDeclHandler EntityDeclHandler AttlistDeclHandler "
       "ElementDeclHandler ExternalEntityRefHandler").split()


def none(*args):
    pass


def main(path, mode, feed):
    if feed not in ("whole", "chunked"):
        raise SystemExit("unknown feed " + feed)
    f = open(path, "rb")
    pieces = iter(lambda: f.read(65536), b"") if feed == "chunked" else [f.read()]
    gc.collect()
    start = time.process_time()
    p = xml.parsers.expat.ParserCreate()
    p.buffer_text = True
    names = ALL if mode == "all" else ["StartElementHandler", "EndElementHandler",
                                       "CharacterDataHandler"]
    for name in names:
        setattr(p, name, none)
    if mode == "all":
        p.NotStandaloneHandler = lambda: 1
    for piece in pieces:
        p.Parse(piece, False)
    p.Parse(b"", True)
    elapsed = time.process_time() - start
    f.close()
    print("parse=%.6f" % elapsed)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "three",
         sys.argv[3] if len(sys.argv) > 3 else "whole")
