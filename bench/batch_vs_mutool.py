#!/usr/bin/env python3
"""Benchmarks a batch of many short documents: one xps2img per document, all started at once as
the tool starts them, against the shell loop `xargs -P <cores> mutool draw` on the same files.

Usage: bench/batch_vs_mutool.py [--converter PATH] [--before PATH] [--documents N]
                                [--work FOLDER] [--case FORMAT/DPI ...] [--pss]

Documents, made in the work folder from what Debian ships: short page ranges (1 to 5 pages,
mostly 1 to 3) of the PDFs of bzip2-doc and liblcms2-dev through Ghostscript's xpswrite
device, and 2 pages of gradient-filled shapes from tests/fixtures/make_xps.py; the batch is N
files (default 240) taken from them in turn.

For each case (default png/150, png/300, jpeg/300) the batch runs with xps2img, with the
converter given by --before if any (an older build, measured in the same run), and with
mutool. Printed for each: wall time, CPU time (user + system of all processes), the memory the
batch took from the machine (the largest drop of MemAvailable below its level at the start),
with --pss the peak of the summed PSS of the batch's processes (sampled every 0.2 s; reading
hundreds of processes' page tables takes processor time from the batch, so the times of such a
run favour the shell loop's two processes), bytes and pages written, and the ratios to mutool. For xps2img also the median PSS of the converters that were
waiting for a render slot with a single thread, half a second after the start. The converters get a render-slot folder of their own (TMPDIR in
the work folder). MemAvailable is the whole machine's: other work running meanwhile shows up in it.
"""

import argparse
import gzip
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PDFS = ["/usr/share/doc/bzip2/manual.pdf.gz",
        "/usr/share/doc/liblcms2-dev/LittleCMS2.14 API.pdf.gz",
        "/usr/share/doc/liblcms2-dev/LittleCMS2.14 Plugin API.pdf.gz",
        "/usr/share/doc/liblcms2-dev/LittleCMS2.14 tutorial.pdf.gz"]
# Page counts of the short documents, in turn: mostly 1 to 3 pages, as real batches are.
LENGTHS = [1, 2, 3, 1, 2, 5, 1, 3]
ENV = dict(os.environ)
# The converter the benchmarks measure unless told otherwise: the linux-release preset's.
RELEASE_CONVERTER = os.path.join(ROOT, "build", "linux-release", "out", "bin", "xps2img")


def make_documents(work):
    """The distinct short documents, as paths."""
    docs = []
    for number, gz in enumerate(PDFS):
        if not os.path.exists(gz):
            sys.exit(f"{gz} is missing; scripts/setup installs it")
        pdf = os.path.join(work, f"source{number}.pdf")
        with gzip.open(gz) as src, open(pdf, "wb") as dst:
            shutil.copyfileobj(src, dst)
        first = 1
        for length in LENGTHS:
            doc = os.path.join(work, f"doc{number}-{first}.xps")
            subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=xpswrite",
                            f"-dFirstPage={first}", f"-dLastPage={first + length - 1}",
                            "-sOutputFile=" + doc, pdf], check=True)
            docs.append(doc)
            first += length
    generated = os.path.join(work, "generated")
    subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures", "make_xps.py"),
                    generated, "--graphics-pages", "2"], check=True)
    docs.append(os.path.join(generated, "graphics.xps"))
    return docs


def prepare_batch(work, documents):
    """Makes the work folder with a render-slot folder of its own (TMPDIR) and `documents`
    files taken in turn from the distinct documents: their paths, and the distinct ones."""
    os.makedirs(work, exist_ok=True)
    ENV["TMPDIR"] = os.path.join(work, "tmp")
    os.makedirs(ENV["TMPDIR"], exist_ok=True)
    distinct = make_documents(work)
    sources_dir = os.path.join(work, "batch")
    shutil.rmtree(sources_dir, ignore_errors=True)
    os.makedirs(sources_dir)
    sources = []
    for i in range(documents):
        sources.append(os.path.join(sources_dir, f"d{i + 1:05}.xps"))
        shutil.copy(distinct[i % len(distinct)], sources[-1])
    return sources, distinct


def page_count(doc):
    with zipfile.ZipFile(doc) as package:
        return sum(1 for name in package.namelist() if name.lower().endswith(".fpage"))


def mem_available_kib():
    with open("/proc/meminfo") as meminfo:
        return int(re.search(r"MemAvailable:\s+(\d+)", meminfo.read()).group(1))


def waiting_pss_kib(pid):
    """The PSS of `pid` if it runs a single thread (a converter waiting for a slot), else None."""
    try:
        with open(f"/proc/{pid}/status") as status:
            if not re.search(r"^Threads:\s+1$", status.read(), re.M):
                return None
    except OSError:
        return None
    return pss_kib(pid) or None


def pss_kib(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as rollup:
            return int(re.search(r"^Pss:\s+(\d+)", rollup.read(), re.M).group(1))
    except (OSError, AttributeError):
        return 0  # ended, or a zombie without memory


def descendants(roots):
    """The processes below `roots` (pids), from /proc."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    ppid = int(stat.read().rsplit(")", 1)[1].split()[1])
            except (OSError, IndexError, ValueError):
                continue
            children.setdefault(ppid, []).append(int(entry))
    found, todo = [], list(roots)
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


class MemoryWatch:
    """Samples, every 0.2 s, MemAvailable (the largest drop below its level at the start) and
    the summed PSS of the batch's processes (the peak)."""

    def __init__(self, pss):
        self.pss = pss
        self.start = mem_available_kib()
        self.lowest = self.start
        self.peak_pss = 0
        self.pids = []
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.done.wait(0.2):
            self.lowest = min(self.lowest, mem_available_kib())
            if self.pss:
                self.peak_pss = max(self.peak_pss,
                                    sum(pss_kib(p) for p in descendants(self.pids)))

    def stop(self):
        self.done.set()
        self.thread.join()
        return self.start - self.lowest, self.peak_pss


def run_batch(start, sources, out, pss_watch):
    """Runs start(sources, out), which returns the processes to wait for: wall s, CPU s,
    MemAvailable drop KiB, peak summed PSS KiB, bytes, images, failures, median waiting PSS KiB
    (or None)."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    watch = MemoryWatch(pss_watch)
    t0 = time.monotonic()
    procs = start(sources, out)
    watch.pids = [p.pid for p in procs]
    time.sleep(0.5)
    pss = [v for v in (waiting_pss_kib(p.pid) for p in procs[:40]) if v is not None]
    if len(procs) == 1:
        pss = []  # the shell loop: no converter waits
    failures = sum(1 for p in procs if p.wait() != 0)
    wall = time.monotonic() - t0
    drop, peak = watch.stop()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    names = os.listdir(out)
    size = sum(os.path.getsize(os.path.join(out, n)) for n in names)
    images = sum(1 for n in names if not n.startswith("."))
    left = [n for n in names if n.startswith(".")]
    if left:
        print(f"  left behind in the output folder: {left[:5]}")
    shutil.rmtree(out, ignore_errors=True)
    return (wall, cpu, drop, peak, size, images, failures,
            statistics.median(pss) if pss else None)


def converters(converter, fmt, dpi):
    def start(sources, out):
        return [subprocess.Popen([converter, src, out, "-f", fmt, "-d", str(dpi), "-i",
                                  f"图{i}-"], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, env=ENV)
                for i, src in enumerate(sources, 1)]
    return start


def mutool_loop(fmt, dpi):
    def start(sources, out):
        script = (f'exec mutool draw -q -r {dpi} -o "{out}/$(basename "$1" .xps)-%d.{fmt}" "$1"')
        loop = subprocess.Popen(["xargs", "-0", "-P", str(os.cpu_count()), "-n", "1", "sh", "-c",
                                 script, "sh"], stdin=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                env=ENV)
        loop.stdin.write(b"\0".join(s.encode() for s in sources))
        loop.stdin.close()
        return [loop]
    return start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--converter", default=RELEASE_CONVERTER)
    parser.add_argument("--before", help="an older converter to measure in the same run")
    parser.add_argument("--documents", type=int, default=240)
    parser.add_argument("--work")
    parser.add_argument("--case", action="append", help="only these, e.g. png/150")
    parser.add_argument("--pss", action="store_true", help="also sample the summed PSS")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="xps2img-batch-")
    sources, distinct = prepare_batch(work, args.documents)
    pages = sum(page_count(doc) for doc in sources)
    print(f"{args.documents} documents ({len(distinct)} distinct), {pages} pages, "
          f"{os.cpu_count()} cores, work {work}")

    cases = [("png", 150), ("png", 300), ("jpeg", 300)]
    if args.case:
        cases = [(f, int(r)) for f, r in (c.split("/") for c in args.case)]
    out = os.path.join(work, "out")
    for fmt, dpi in cases:
        runs = [("xps2img", converters(args.converter, fmt, dpi))]
        if args.before:
            runs.append(("before", converters(args.before, fmt, dpi)))
        runs.append(("mutool", mutool_loop(fmt, dpi)))
        results = {name: run_batch(start, sources, out, args.pss) for name, start in runs}
        base = results["mutool"]
        print(f"{fmt} {dpi} dpi:")
        for name, (wall, cpu, drop, peak, size, images, failures, pss) in results.items():
            waiting = f", waiting converter PSS {pss / 1024:.2f} MiB" if pss else ""
            summed = f", peak PSS {peak / 1024:5.0f} MiB" if args.pss else ""
            print(f"  {name:8} wall {wall:6.1f} s ({wall / base[0]:.2f}x)  cpu {cpu:6.1f} s "
                  f"({cpu / base[1]:.2f}x)  memory taken {drop / 1024:5.0f} MiB{summed}  "
                  f"{size / 1e6:7.1f} MB ({size / base[4]:.3f}x)  "
                  f"{images}/{pages} pages, {failures} failed{waiting}")
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
