"""Event workload for Python's xml.parsers.expat: empty handlers.

    events.py FILE three|all [whole|chunked]

three: start element, end element and character data, buffer_text on;
all:   every handler pyexpat offers.
whole: the text in one Parse call (default); chunked: in 64 KB pieces
(read before the clock starts).
Prints "parse=SECONDS" (processor time of the parse alone).
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
    with open(path, "rb") as f:
        if feed == "chunked":
            pieces = list(iter(lambda: f.read(65536), b""))
        elif feed == "whole":
            pieces = [f.read()]
        else:
            raise SystemExit("unknown feed " + feed)
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
    print("parse=%.6f" % elapsed)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "three",
         sys.argv[3] if len(sys.argv) > 3 else "whole")
