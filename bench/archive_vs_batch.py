#!/usr/bin/env python3
"""Times a manifest of many documents through scripts/archive (GNU parallel, this machine alone)
against the tool's own batch of the same files: one xps2img per document, all started at once
into one folder, as the tool starts them.

Usage: bench/archive_vs_batch.py [--converter PATH] [--documents N] [--rounds R]
                                 [--work FOLDER] [--case FORMAT/DPI]

The documents are those of bench/batch_vs_mutool.py (short page ranges of Debian's PDFs through
Ghostscript's xpswrite, and a page of gradients), N copies taken in turn (default 2000). The
two runs alternate, R rounds (default 2), so that other work on the machine falls on both;
printed: each run's wall time, CPU time of all its processes and images written, and the
median ratio of the archive's wall time to the batch's.
"""

import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import batch_vs_mutool  # noqa: E402  the documents and the batch as the tool starts it

ENV = batch_vs_mutool.ENV


def count_images(folder):
    return sum(1 for _, _, names in os.walk(folder) for name in names
               if not name.startswith(".") and name.startswith("图"))


def timed(run, out):
    """Runs run(out) in a fresh folder: wall s, CPU s of its processes, images written."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    failures = run(out)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    images = count_images(out)
    shutil.rmtree(out, ignore_errors=True)
    return wall, cpu, images, failures


def batch(converter, sources, fmt, dpi):
    def run(out):
        procs = batch_vs_mutool.converters(converter, fmt, dpi)(sources, out)
        return sum(1 for p in procs if p.wait() != 0)
    return run


def archive(converter, manifest, fmt, dpi):
    def run(out):
        env = dict(ENV, XPS2IMG=converter)
        done = subprocess.run([os.path.join(ROOT, "scripts", "archive"), manifest, out, "--",
                               "-f", fmt, "-d", str(dpi)], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        return done.returncode
    return run


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--converter", default=batch_vs_mutool.RELEASE_CONVERTER)
    parser.add_argument("--documents", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--work")
    parser.add_argument("--case", default="png/150")
    args = parser.parse_args()
    if not shutil.which("parallel"):
        sys.exit("GNU parallel is missing; scripts/setup installs it")
    fmt, dpi = args.case.split("/")
    work = args.work or tempfile.mkdtemp(prefix="xps2img-archive-")
    sources, _ = batch_vs_mutool.prepare_batch(work, args.documents)
    manifest = os.path.join(work, "manifest")
    with open(manifest, "w") as f:
        f.write("".join(s + "\n" for s in sources))
    pages = sum(batch_vs_mutool.page_count(doc) for doc in sources)
    print(f"{args.documents} documents, {pages} pages, {fmt} {dpi} dpi, {os.cpu_count()} cores, "
          f"parallel -j {os.cpu_count()}, work {work}")

    runs = {"batch": batch(args.converter, sources, fmt, dpi),
            "archive": archive(args.converter, manifest, fmt, dpi)}
    walls = {name: [] for name in runs}
    out = os.path.join(work, "out")
    for round_ in range(1, args.rounds + 1):
        for name, run in runs.items():
            wall, cpu, images, failures = timed(run, out)
            walls[name].append(wall)
            print(f"  round {round_} {name:8} wall {wall:7.1f} s  cpu {cpu:7.1f} s  "
                  f"{images}/{pages} images, status/failures {failures}", flush=True)
    ratios = [a / b for a, b in zip(walls["archive"], walls["batch"])]
    print(f"archive / batch wall time: median {statistics.median(ratios):.2f} "
          f"(rounds: {', '.join(f'{r:.2f}' for r in ratios)})")
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
