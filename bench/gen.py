"""Makes the benchmark's input documents.

    gen.py OUTDIR [--scale S] [--mime PATH]

Writes into OUTDIR (sizes at scale 1):
  realworld.xml  Debian's shared MIME database with its root's content
                 repeated ten times inside one root (about 24 MB)
  records.xml    many small elements with attributes and short texts (50 MB)
  text.xml       long paragraphs with character and entity references and
                 CDATA sections (20 MB)
  deep.xml       subtrees nested 10,000 deep (about 5 MB)
A smaller scale shrinks every document (the realworld one by repeating the
root's content fewer times, at least once). The output is the same for the
same arguments. Existing files of the right size are kept.
"""
import os
import random
import sys

MIME_DATABASE = "/usr/share/mime/packages/freedesktop.org.xml"
MB = 1000 * 1000

WORDS = ("alpha beta gamma delta epsilon zeta theta kappa lambda omicron sigma "
         "river mountain harbour lantern meadow copper violet window orchard "
         "Straße café naïve 東京 Москва Αθήνα").split()
CITIES = ["Oslo", "Zürich", "Kraków", "Porto", "Québec", "Tōkyō", "Reykjavík", "Lyon"]


def writeIfNeeded(path, make):
    """Runs make(file) into path unless a finished file is there already."""
    done = path + ".done"
    if os.path.exists(path) and os.path.exists(done):
        return
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        make(f)
    open(done, "w").close()


def realworld(f, copies, mime):
    with open(mime, encoding="utf-8") as m:
        text = m.read()
    start = text.index("<mime-info")
    open_end = text.index(">", start) + 1
    close = text.rindex("</mime-info>")
    f.write(text[:open_end])
    body = text[open_end:close]
    for _ in range(copies):
        f.write(body)
    f.write(text[close:])


def records(f, size):
    rnd = random.Random(1)
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<records generated="bench">\n')
    written, i = 0, 0
    while written < size:
        i += 1
        city = CITIES[i % len(CITIES)]
        row = ('  <record id="%d" kind="%s" active="%s">'
               '<name>%s %s</name><city>%s</city><amount>%.2f</amount>'
               '<note lang="en">%s</note></record>\n'
               % (i, ("order", "invoice", "refund")[i % 3], ("yes", "no")[i % 2],
                  rnd.choice(WORDS), rnd.choice(WORDS), city, rnd.random() * 1000,
                  rnd.choice(WORDS)))
        f.write(row)
        written += len(row.encode("utf-8"))
    f.write("</records>\n")


def text(f, size):
    rnd = random.Random(2)
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<book>\n')
    written = 0
    refs = ("&amp;", "&lt;", "&gt;", "&quot;", "&#233;", "&#x4E2D;", "&#x1F600;")
    while written < size:
        parts = []
        for _ in range(rnd.randint(40, 120)):
            parts.append(rnd.choice(WORDS))
            if rnd.random() < 0.08:
                parts.append(rnd.choice(refs))
        para = " ".join(parts)
        if rnd.random() < 0.3:
            para += " <![CDATA[raw <text> & " + " ".join(rnd.choice(WORDS) for _ in range(20)) + "]]>"
        chunk = "  <p>" + para + "</p>\n"
        f.write(chunk)
        written += len(chunk.encode("utf-8"))
    f.write("</book>\n")


def deep(f, trees, depth=10000):
    f.write('<?xml version="1.0"?>\n<forest>\n')
    for t in range(trees):
        f.write('<d n="0">t%d ' % t * 1)
        f.write('<d n="1">x' * (depth - 1))
        f.write("</d>" * depth)
        f.write("\n")
    f.write("</forest>\n")


def main(argv):
    out = argv[1]
    scale = 1.0
    mime = MIME_DATABASE
    if "--scale" in argv:
        scale = float(argv[argv.index("--scale") + 1])
    if "--mime" in argv:
        mime = argv[argv.index("--mime") + 1]
    os.makedirs(out, exist_ok=True)
    tag = "" if scale == 1.0 else "-%g" % scale
    copies = max(1, round(10 * scale))
    writeIfNeeded(os.path.join(out, "realworld%s.xml" % tag), lambda f: realworld(f, copies, mime))
    writeIfNeeded(os.path.join(out, "records%s.xml" % tag), lambda f: records(f, int(50 * MB * scale)))
    writeIfNeeded(os.path.join(out, "text%s.xml" % tag), lambda f: text(f, int(20 * MB * scale)))
    writeIfNeeded(os.path.join(out, "deep%s.xml" % tag),
                  lambda f: deep(f, max(1, round(30 * scale)), 10000 if scale >= 0.01 else 100))


if __name__ == "__main__":
    main(sys.argv)
