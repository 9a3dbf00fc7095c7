#!/usr/bin/env python3
"""Benchmarks xps2img against mutool draw on the same documents, in one run.

Usage: bench/xps2img_vs_mutool.py [--converter PATH] [--runs N] [--work FOLDER] [--skip-fifty]
                                  [--case DOCUMENT/FORMAT/DPI ...]

Documents, made in the work folder:
  text      the bzip2 manual (a PDF that Debian's bzip2-doc ships) through Ghostscript's
            xpswrite device: 38 pages of text, code listings and tables
  text6     its first 6 pages, for the 600 dpi runs
  graphics  10 pages of gradient-filled translucent shapes from tests/fixtures/make_xps.py
  images    10 pages of images: on each, a photograph-like JPEG shrunk, a photograph-like PNG
            magnified and one near its size (ImageMagick's plasma fractal, seeded), and two QR
            codes as images (1-bit magnified, 8-bit grey of 3 pixels a module shrunk)

For each case both programs run alternately N times (default 3); the script prints the median
ratio xps2img / mutool of wall time, peak memory (/usr/bin/time -v), bytes written and CPU
time, and each run's figures. Wall time depends on what else the machine runs meanwhile.
The converters get a render-slot folder of their own (TMPDIR in the work folder), so that
converters other people run on the machine meanwhile do not hold their slots.
Finally fifty converters start at once on fifty documents at 600 dpi, as the tool starts
them, and the peak of their summed resident memory is reported.
"""

import argparse
import gzip
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BZIP2_MANUAL = "/usr/share/doc/bzip2/manual.pdf.gz"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
ENV = dict(os.environ)


def make_documents(work):
    docs = {}
    pdf = os.path.join(work, "bzip2-manual.pdf")
    with gzip.open(BZIP2_MANUAL) as src, open(pdf, "wb") as dst:
        shutil.copyfileobj(src, dst)
    for name, pages in (("text", []), ("text6", ["-dFirstPage=1", "-dLastPage=6"]),
                        ("fifty", ["-dFirstPage=9", "-dLastPage=10"])):
        docs[name] = os.path.join(work, name + ".xps")
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=xpswrite",
                        *pages, "-sOutputFile=" + docs[name], pdf], check=True)
    generated = os.path.join(work, "generated")
    subprocess.run([sys.executable, os.path.join(ROOT, "tests", "fixtures", "make_xps.py"),
                    generated, "--graphics-pages", "10"], check=True)
    docs["graphics"] = os.path.join(generated, "graphics.xps")
    docs["images"] = os.path.join(work, "images.xps")
    make_images_document(docs["images"])
    return docs


def photo(seed, size, fmt):
    """A photograph-like image (ImageMagick's plasma fractal) of `size` ("WxH") in `fmt`."""
    return subprocess.run(["convert", "-seed", str(seed), "-size", size, "plasma:fractal",
                           "-quality", "90", f"{fmt}:-"], capture_output=True, check=True).stdout


def make_images_document(path):
    sys.path.insert(0, os.path.join(ROOT, "tests", "fixtures"))
    import make_xps
    import qr_pages
    pages, parts = [], {}
    for n in range(1, 11):
        body = []
        for part, data, w, h, box in (
                (f"/Resources/shrunk{n}.jpg", photo(n, "1600x1200", "jpeg"), 1600, 1200,
                 (40, 40, 360, 270)),
                (f"/Resources/magnified{n}.png", photo(100 + n, "160x120", "png"), 160, 120,
                 (420, 40, 360, 270)),
                (f"/Resources/near{n}.png", photo(200 + n, "360x270", "png"), 360, 270,
                 (40, 340, 360, 270))):
            parts[part] = data
            body.append(qr_pages.image_brush(part, w, h, *box))
        for kind, module, x in (("1-bit", 0.8, 440.37), ("grey 3px", 0.4, 620.37)):
            _, _, qr_body, images = qr_pages.qr_page(qr_pages.label(kind, module, n), kind,
                                                      module, 0, f"/Resources/qr-{kind[0]}{n}.png")
            parts.update(images)
            body.append(f'<Canvas RenderTransform="1,0,0,1,{x},360">{qr_body[0]}</Canvas>')
        pages.append((816, 1056, body))
    with open(FONT, "rb") as f:
        font = f.read()
    with open(path, "wb") as f:
        f.write(make_xps.package(pages, font, extra=parts))


def measure(command, out):
    """Runs `command` writing into the fresh folder `out`: wall seconds, peak KiB, bytes,
    CPU seconds (user + system)."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.monotonic()
    run = subprocess.run(["/usr/bin/time", "-v", *command], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, env=ENV)
    wall = time.monotonic() - start
    if run.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{run.stderr}")
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr).group(1))
    size = sum(os.path.getsize(os.path.join(out, f)) for f in os.listdir(out))
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", run.stderr).group(1))
              for kind in ("User", "System"))
    return wall, peak, size, cpu


def compare_commands(ours, theirs, runs, work):
    """Runs the commands ours(out) and theirs(out) alternately `runs` times: the median ratios
    ours / theirs of wall time, peak memory, bytes written and CPU time, and each run's
    figures."""
    ours_out, theirs_out = os.path.join(work, "ours"), os.path.join(work, "theirs")
    ratios = {"time": [], "memory": [], "bytes": [], "cpu": []}
    seen = []
    for _ in range(runs):
        a, b = measure(ours(ours_out), ours_out), measure(theirs(theirs_out), theirs_out)
        seen.append((a, b))
        for key, i in (("time", 0), ("memory", 1), ("bytes", 2), ("cpu", 3)):
            ratios[key].append(a[i] / b[i])
    shutil.rmtree(ours_out, ignore_errors=True)
    shutil.rmtree(theirs_out, ignore_errors=True)
    return {k: statistics.median(v) for k, v in ratios.items()}, seen


def compare(converter, doc, fmt, dpi, runs, work):
    return compare_commands(
        lambda out: [converter, doc, out, "-f", fmt, "-d", str(dpi)],
        lambda out: ["mutool", "draw", "-q", "-r", str(dpi), "-o", os.path.join(out, "p%d." + fmt),
                     doc],
        runs, work)


def resident_kib(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/status") as status:
                total += int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))
        except (OSError, AttributeError):
            pass  # ended, or a zombie without memory
    return total


def fifty_at_once(converter, doc, work):
    """Fifty converters on fifty copies of a 2-page document at 600 dpi, like the tool."""
    sources, out = os.path.join(work, "fifty-sources"), os.path.join(work, "fifty-out")
    for folder in (sources, out):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    copies = []
    for i in range(1, 51):
        copies.append(os.path.join(sources, f"doc{i}.xps"))
        shutil.copy(doc, copies[-1])
    start = time.monotonic()
    procs = [subprocess.Popen([converter, src, out, "-f", "png", "-d", "600", "-i", f"图{i}-"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=ENV)
             for i, src in enumerate(copies, 1)]
    peak = 0
    while any(p.poll() is None for p in procs):
        peak = max(peak, resident_kib([p.pid for p in procs if p.poll() is None]))
        time.sleep(0.05)
    wall = time.monotonic() - start
    failed = [p.args[1] for p in procs if p.returncode != 0]
    images = len(os.listdir(out))
    shutil.rmtree(out, ignore_errors=True)
    return wall, peak, images, failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--converter",
                        default=os.path.join(ROOT, "build", "linux-release", "out", "bin",
                                             "xps2img"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work")
    parser.add_argument("--skip-fifty", action="store_true")
    parser.add_argument("--case", action="append", help="only these, e.g. text/png/300")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="xps2img-bench-")
    os.makedirs(work, exist_ok=True)
    ENV["TMPDIR"] = os.path.join(work, "tmp")
    os.makedirs(ENV["TMPDIR"], exist_ok=True)
    print(f"converter {args.converter}, {os.cpu_count()} cores, {args.runs} runs, work {work}")
    docs = make_documents(work)

    cases = [("text", "png", 300), ("graphics", "png", 300), ("images", "png", 300),
             ("text6", "png", 600), ("graphics", "png", 600)]
    if args.case:
        cases = [(d, f, int(r)) for d, f, r in (c.split("/") for c in args.case)]
    print(f"{'document':10} {'format':6} {'dpi':>4}  {'time':>6} {'memory':>6} {'bytes':>6}"
          f" {'cpu':>6}   (median ratio xps2img / mutool draw; cpu = user + system)")
    for name, fmt, dpi in cases:
        ratio, seen = compare(args.converter, docs[name], fmt, dpi, args.runs, work)
        print(f"{name:10} {fmt:6} {dpi:4}  {ratio['time']:6.3f} {ratio['memory']:6.3f} "
              f"{ratio['bytes']:6.3f} {ratio['cpu']:6.3f}")
        for (a, b) in seen:
            print(f"{'':24} xps2img {a[0]:6.2f} s {a[1] / 1024:6.1f} MiB {a[2] / 1e6:7.2f} MB"
                  f" cpu {a[3]:6.2f} s | mutool {b[0]:6.2f} s {b[1] / 1024:6.1f} MiB"
                  f" {b[2] / 1e6:7.2f} MB cpu {b[3]:6.2f} s")

    if not args.skip_fifty:
        wall, peak, images, failed = fifty_at_once(args.converter, docs["fifty"], work)
        print(f"fifty converters at 600 dpi: {wall:.1f} s, peak total resident memory "
              f"{peak / 1024:.0f} MiB, {images} images, {len(failed)} failed")
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
