#!/usr/bin/env python3
"""Times converters on packages of many parts: what finding a part by name costs.

Usage: bench/large_package.py [--converter PATH] [--before PATH] [--pages N] [--many N]
                              [--dpi N] [--runs N] [--work FOLDER] [--document NAME ...]

Documents, made in the work folder by the test fixtures' generators:
  large   N pages of text (default 3000), each a part of its own with its relationships, as a
          printer driver writes a long report
  pieces  a page of 60,000 pieces, then a sound page (tests/fixtures/make_hostile.py)
  many    --many pages (default 100,000) of a title and a frame on a small card, each a part
          of its own: what listing and finding pages costs

Each converter (--converter, by default the linux-release build, and --before, another build
to compare with, such as one of an earlier commit) converts each document (all, or those
named by --document) to PNG at --dpi (default 36), alternately, N times (default 3), each run
cut off after --timeout seconds (default 600); the script prints each run's wall time and
pages written, and the ratio of the medians.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def make_documents(work, names, pages, many):
    sys.path.insert(0, os.path.join(ROOT, "tests", "fixtures"))
    import make_xps  # pylint: disable=import-outside-toplevel
    with open(make_xps.FONT_DEFAULT, "rb") as f:
        font = f.read()
    docs = {}
    if "large" in names:
        lines = [f"Line {n}: the quick brown fox jumps over the lazy dog." for n in range(40)]
        docs["large"] = os.path.join(work, "large.xps")
        with open(docs["large"], "wb") as f:
            f.write(make_xps.package([(816, 1056, make_xps.text_page(816, 1056, f"Page {n}", lines))
                                      for n in range(1, pages + 1)], font))
    if "pieces" in names:
        hostile = os.path.join(work, "hostile")
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures", "make_hostile.py"),
                        hostile], check=True)
        docs["pieces"] = os.path.join(hostile, "hostile-pieces.xps")
    if "many" in names:
        docs["many"] = os.path.join(work, "many.xps")
        frame = '<Path Data="M 8,8 L 232,8 232,136 8,136 Z" Stroke="#FF2050A0" StrokeThickness="2"/>'
        with open(docs["many"], "wb") as f:
            f.write(make_xps.package([(240, 144, [frame, make_xps.glyphs(16, 40, 16, f"Card {n}")])
                                      for n in range(1, many + 1)], font))
    return docs


def seconds(converter, document, out, dpi, timeout):
    """Wall seconds of one conversion into the fresh folder `out` (None when cut off), and the
    pages written."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.monotonic()
    try:
        subprocess.run([converter, document, out, "-f", "png", "-d", str(dpi)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, 0
    spent = time.monotonic() - start
    return spent, sum(1 for name in os.listdir(out) if name.endswith(".png"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--converter",
                        default=os.path.join(ROOT, "build", "linux-release", "out", "bin",
                                             "xps2img"))
    parser.add_argument("--before")
    parser.add_argument("--pages", type=int, default=3000)
    parser.add_argument("--many", type=int, default=100000)
    parser.add_argument("--dpi", type=int, default=36)
    parser.add_argument("--document", action="append", choices=["large", "pieces", "many"])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--timeout", type=int, default=600)
    parser.add_argument("--work")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="vellumor-bench-")
    os.makedirs(work, exist_ok=True)
    os.environ["TMPDIR"] = work  # render slots of its own
    docs = make_documents(work, args.document or ["large", "pieces", "many"], args.pages,
                          args.many)
    converters = {"after": args.converter}
    if args.before:
        converters["before"] = args.before
    for name, document in docs.items():
        times = {label: [] for label in converters}
        for _ in range(args.runs):
            for label, converter in converters.items():
                times[label].append(seconds(converter, document, os.path.join(work, "out"),
                                            args.dpi, args.timeout))
        medians = {}
        for label, runs in times.items():
            done = [t for t, _ in runs if t is not None]
            medians[label] = statistics.median(done) if len(done) == len(runs) else None
            shown = ", ".join("> %d s" % args.timeout if t is None else "%.2f s (%d pages)" % (t, n)
                              for t, n in runs)
            print(f"{name:7} {label:6} {shown}", flush=True)
        if args.before and medians["after"] is not None:
            before = medians["before"]
            ratio = "> %.0f" % (args.timeout / medians["after"]) if before is None else \
                "%.2f" % (before / medians["after"])
            print(f"{name:7} before / after: {ratio}")


if __name__ == "__main__":
    main()
