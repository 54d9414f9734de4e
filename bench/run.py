"""The benchmark driver: runs every workload for this project and its peers
in turn (A B A B ..., several rounds), then prints one table of medians and
ratios and writes it as Markdown.

    run.py --build DIR [--data DIR] [--out FILE] [--rounds N] [--only NAME]
    run.py --smoke --build DIR      every script once on tiny inputs

--build is a build folder holding velloran, xml.vlp and expat_limit;
--emulator (a cross build's) is the command that runs its programs.
Times are processor seconds measured inside each program around the work
alone (reading the input and building the data to save are not timed).
A ratio is the peer's median time divided by ours: above 1, we are faster.
Beside the event times, the instructions per event that callgrind counts
inside XML_Parse on a cut of each input (--cut, 0 for none): unlike times,
they repeat exactly from run to run.
"""
import argparse
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # Debian's, which has python3-xmltodict
GEN = os.path.join(HERE, "gen.py")
MB = 1000 * 1000


class Tool:
    """One program of a workload. role: "ours", "peer" or "limit"."""

    def __init__(self, name, role, argv, needs=None):
        self.name, self.role, self.argv, self.needs = name, role, argv, needs


class Workload:
    """Tools that run one after the other per input, for several rounds.
    measures maps a measure printed by the tools to the row title; targets
    are keyed (input, tool), or (measure, input, tool) for one measure. An event
    workload names its feed ("whole" or "chunked"), for the instruction
    counts."""

    def __init__(self, key, measures, inputs, tools, rounds, targets=None, feed=None):
        self.key, self.measures, self.inputs = key, measures, inputs
        self.tools, self.rounds, self.targets = tools, rounds, targets or {}
        self.feed = feed


def quiet(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False


def runTool(argv):
    """Runs argv; returns (measures, peak resident kilobytes)."""
    with tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=err)
        out = proc.stdout.read().decode("utf-8", "replace")
        proc.stdout.close()
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            err.seek(0)
            raise RuntimeError("%s failed (%d):\n%s%s" % (
                " ".join(argv), proc.returncode, out,
                err.read().decode("utf-8", "replace")))
    measures = {}
    for line in out.splitlines():
        for field in line.split():
            if "=" in field:
                name, value = field.split("=", 1)
                try:
                    measures[name] = float(value)
                except ValueError:
                    pass
    return measures, usage.ru_maxrss


def makeWorkloads(build, data, scale, smoke, emulator=()):
    velloran = os.path.join(build, "velloran")
    limit = os.path.join(build, "expat_limit")
    if emulator:
        velloran, limit = list(emulator) + [velloran], list(emulator) + [limit]
    else:
        velloran, limit = [velloran], [limit]
    suffix = "" if scale == 1.0 else "-%g" % scale
    doc = lambda name: os.path.join(data, name + suffix + ".xml")
    script = lambda name: os.path.join(HERE, name)
    needs = {
        "python": lambda: quiet([PYTHON, "-c", "import xml.parsers.expat"]),
        "xmltodict": lambda: quiet([PYTHON, "-c", "import xmltodict"]),
        "perl": lambda: quiet(["perl", "-MXML::Parser", "-e", "1"]),
        "cjson": lambda: quiet(velloran + ["-e", "require('cjson')"]),
    }
    few = 1 if smoke else 3

    def events(mode, feed="whole"):
        return [
            Tool("xml.vlp", "ours", lambda f: velloran + [script("events.lua"), f, mode, feed]),
            Tool("Python xml.parsers.expat", "peer",
                 lambda f: [PYTHON, script("events.py"), f, mode, feed], needs["python"]),
            Tool("Perl XML::Parser", "peer",
                 lambda f: ["perl", script("events.pl"), f, mode, feed], needs["perl"]),
            Tool("Expat, empty C handlers", "limit", lambda f: limit + [f, mode, feed]),
        ]

    def longTokens(piece):
        return [
            Tool("xml.vlp, %d KB texts" % (piece // 1024), "ours",
                 lambda f: velloran + [script("long_tokens.lua")] + f.split(":") + [str(piece)]),
            Tool("xml.vlp, one Parse", "limit",
                 lambda f: velloran + [script("long_tokens.lua")] + f.split(":") + ["whole"]),
        ]

    tokenSizes = [1] if smoke else [16, 32]
    tokens = [("%d MiB %s" % (mb, kind), "%s:%d" % (kind, mb))
              for kind in ("attribute", "comment") for mb in tokenSizes]

    documents = [("realworld", doc("realworld")), ("records", doc("records")),
                 ("text", doc("text")), ("deep", doc("deep"))]
    count = 1000 if smoke else 1000000
    storeFile = os.path.join(data, "store%s" % suffix)
    names = [d for d, _ in documents]
    return [
        Workload("events chunked", {"parse": "events (start, end, text), 64 KB chunks"},
                 documents, events("three", "chunked"), 1 if smoke else 5,
                 {(d, t): goal for d in names for t, goal in (
                     ("Python xml.parsers.expat", 1.25), ("Perl XML::Parser", 1.5),
                     ("Expat, empty C handlers", 1 / 2.3))},
                 feed="chunked"),
        Workload("events", {"parse": "events (start, end, text), whole document"}, documents,
                 events("three") + [
                     Tool("Expat, no handlers", "limit", lambda f: limit + [f, "none"])],
                 1 if smoke else 5,
                 {(d, "Python xml.parsers.expat"): 0.8 for d in names}, feed="whole"),
        Workload("all events", {"parse": "all 22 events"}, documents, events("all"),
                 1 if smoke else 5),
        Workload("tables",
                 {"parse": "document to tables", "unparse": "tables to document"},
                 documents[:2],
                 [Tool("xml.vlp", "ours", lambda f: velloran + [script("tables.lua"), f]),
                  Tool("Python xmltodict", "peer",
                       lambda f: [PYTHON, script("tables.py"), f, "xmltodict"],
                       needs["xmltodict"]),
                  Tool("Python ElementTree", "peer",
                       lambda f: [PYTHON, script("tables.py"), f, "etree"], needs["python"])],
                 few,
                 {("parse", d, "Python xmltodict"): 2 for d in names} |
                 {("parse", d, "Python ElementTree"): 1.2 for d in names} |
                 {("unparse", d, "Python ElementTree"): 1 for d in names}),
        Workload("store", {"write": "save a table", "read": "load a table"},
                 [("%d values" % count, storeFile)],
                 [Tool("xml.vlp", "ours",
                       lambda f: velloran + [script("store.lua"), "xml", f + ".xml", str(count)]),
                  Tool("Python plistlib", "peer",
                       lambda f: [PYTHON, script("store.py"), f + ".plist", str(count)],
                       needs["python"]),
                  Tool("lua-cjson", "peer",
                       lambda f: velloran + [script("store.lua"), "cjson", f + ".json",
                                             str(count)], needs["cjson"])],
                 few,
                 {("write", "%d values" % count, "Python plistlib"): 3,
                  ("read", "%d values" % count, "Python plistlib"): 4}),
    ] + [
        Workload("long tokens %d" % piece, {"parse": "one long token, %d KB texts" % (piece // 1024)},
                 tokens, longTokens(piece), few,
                 {(name, "xml.vlp, one Parse"): 1 / 1.5 for name, _ in tokens})
        for piece in (65536, 1024)
    ]


def runWorkloads(workloads, log):
    """results[(key, input, tool)] = list of measure dicts."""
    results = {}
    for w in workloads:
        tools = []
        for t in w.tools:
            if t.needs and not t.needs():
                log("  %s: %s is not installed, skipped" % (w.key, t.name))
                continue
            tools.append(t)
        w.tools = tools
        for name, path in w.inputs:
            for r in range(w.rounds):
                for t in tools:
                    measures, _ = runTool(t.argv(path))
                    results.setdefault((w.key, name, t.name), []).append(measures)
                log("  %s / %s: round %d of %d" % (w.key, name, r + 1, w.rounds))
    return results


def median(runs, measure):
    values = [m[measure] for m in runs if measure in m]
    if not values:
        raise RuntimeError("no %r in %r" % (measure, runs))
    return statistics.median(values)


def fmt(x):
    return "%.3f" % x if x < 100 else "%.1f" % x


def table(workloads, results, sizes, rounds, counts):
    lines = ["| workload | input | peer | ours s | peer s | peer ÷ ours | target "
             "| instr./event ours, peer |",
             "|---|---|---|---:|---:|---:|---|---:|"]
    missed = []
    for w in workloads:
        ours = [t for t in w.tools if t.role == "ours"][0]
        for measure, title in w.measures.items():
            for name, path in w.inputs:
                mine = median(results[(w.key, name, ours.name)], measure)
                size = sizes.get(path)
                label = name if size is None else "%s (%.1f MB)" % (name, size / MB)
                speed = "" if size is None or mine == 0 else ", %.0f MB/s" % (size / MB / mine)
                for t in w.tools:
                    if t is ours:
                        continue
                    theirs = median(results[(w.key, name, t.name)], measure)
                    ratio = theirs / mine if mine > 0 else float("inf")
                    goal = w.targets.get((measure, name, t.name), w.targets.get((name, t.name)))
                    mark = ""
                    if goal is not None:
                        met = ratio >= goal
                        mark = ("≥ %.2f %s" % (goal, "met" if met else "MISSED"))
                        if not met:
                            missed.append("%s / %s / %s" % (title, name, t.name))
                    ir = counts.get((w.key, name, ours.name)), counts.get((w.key, name, t.name))
                    irText = "%.0f, %.0f" % ir if None not in ir else ""
                    lines.append("| %s | %s | %s | %s%s | %s | %.2f | %s | %s |" % (
                        title, label, t.name, fmt(mine), speed, fmt(theirs), ratio, mark,
                        irText))
    lines.append("")
    lines.append("Medians of %s rounds; processor seconds." % rounds)
    if counts:
        lines.append("Instructions per event: callgrind, inside XML_Parse, on the first %s of "
                     "each input (gen.py --scale), divided by our number of callbacks there."
                     % counts["cut"])
    return lines, missed


def countInstructions(workloads, build, data, scale, log):
    """counts[(key, input, tool)] = instructions per event on a cut of the
    input, for the event workloads; {} without valgrind."""
    if not shutil.which("valgrind") or scale <= 0:
        log("  instruction counts skipped (no valgrind, or --cut 0)")
        return {}
    cutDir = os.path.join(data, "cut")
    subprocess.run([PYTHON, GEN, cutDir, "--scale", str(scale)], check=True)
    velloran = os.path.join(build, "velloran")
    counts = {"cut": "%g" % scale}
    for w in workloads:
        if not w.feed:
            continue
        for name, _ in w.inputs:
            cut = os.path.join(cutDir, "%s-%g.xml" % (name, scale))
            measures, _ = runTool([velloran, os.path.join(HERE, "events.lua"), cut, "count",
                                   w.feed])
            events = measures["events"]
            for t in w.tools:
                argv = ["valgrind", "--tool=callgrind", "--toggle-collect=XML_Parse",
                        "--callgrind-out-file=/dev/null"] + t.argv(cut)
                proc = subprocess.run(argv, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE, text=True)
                found = re.search(r"Collected : (\d+)", proc.stderr)
                if proc.returncode == 0 and found:
                    counts[(w.key, name, t.name)] = int(found.group(1)) / events
            log("  instructions: %s / %s" % (w.key, name))
    return counts


def streaming(build, data, megabytes, rounds, log, emulator=()):
    velloran = list(emulator) + [os.path.join(build, "velloran")]
    script = os.path.join(HERE, "stream.lua")
    path = os.path.join(data, "stream-%dMB.xml" % megabytes)
    if not os.path.exists(path + ".done"):
        log("  making %s" % path)
        runTool(velloran + [script, "make", path, str(megabytes)])
        open(path + ".done", "w").close()
    runs = []
    for r in range(rounds):
        measures, rss = runTool(velloran + [script, "read", path])
        measures["rss"] = rss * 1024
        runs.append(measures)
        log("  streaming: round %d of %d" % (r + 1, rounds))
    size = runs[0]["size"]
    peak = max(m["peak"] for m in runs)
    rss = max(m["rss"] for m in runs)
    ok = peak < 1024 * 1024
    return [
        "",
        "| streaming velloran.ReadTable | value |",
        "|---|---:|",
        "| file size | %.1f MB |" % (size / MB),
        "| time (median) | %s s, %.0f MB/s |" % (fmt(median(runs, "read")),
                                               size / MB / max(median(runs, "read"), 1e-9)),
        "| plugin's peak tagged memory | %d bytes (%.3f MiB): target < 1 MiB %s |" % (
            peak, peak / 1048576, "met" if ok else "MISSED"),
        "| process peak resident memory | %.1f MB (%.2f × file size) |" % (rss / MB, rss / size),
    ], ok


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True)
    ap.add_argument("--data")
    ap.add_argument("--out")
    ap.add_argument("--rounds", type=int)
    ap.add_argument("--only", help="run only the workloads whose key begins so")
    ap.add_argument("--stream-mb", type=int, default=200)
    ap.add_argument("--smoke", action="store_true")
    ap.add_argument("--emulator", default="", help="command that runs the build's programs")
    ap.add_argument("--cut", type=float, default=0.05,
                    help="scale of the inputs that callgrind counts on (0: no counts)")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    data = os.path.abspath(args.data or os.path.join(build, "bench-smoke" if args.smoke else "bench"))
    os.makedirs(data, exist_ok=True)
    log = lambda text: print(text, file=sys.stderr, flush=True)

    scale = 0.001 if args.smoke else 1.0
    subprocess.run([PYTHON, GEN, data, "--scale", str(scale)], check=True)
    emulator = shlex.split(args.emulator)
    workloads = makeWorkloads(build, data, scale, args.smoke, emulator)
    if args.only:
        workloads = [w for w in workloads if w.key.startswith(args.only)]
    if args.smoke:
        for w in workloads:
            w.targets = {}
    if args.rounds:
        for w in workloads:
            w.rounds = args.rounds
    sizes = {path: os.path.getsize(path) for w in workloads for _, path in w.inputs
             if os.path.exists(path)}

    results = runWorkloads(workloads, log)
    counts = {} if args.smoke else countInstructions(workloads, build, data, args.cut, log)
    rounds = sorted({w.rounds for w in workloads})
    lines, missed = table(workloads, results, sizes, "/".join(map(str, rounds)), counts)
    if not args.only or args.only == "streaming":
        more, ok = streaming(build, data, 1 if args.smoke else args.stream_mb,
                             1 if args.smoke else (args.rounds or 2), log, emulator)
        lines += more
        if not ok:
            missed.append("streaming peak tagged memory")
    if missed and not args.smoke:
        lines += ["", "Targets missed: " + "; ".join(missed) + "."]
    text = "\n".join(lines) + "\n"
    print(text)
    if args.out:
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(text)


if __name__ == "__main__":
    main()
