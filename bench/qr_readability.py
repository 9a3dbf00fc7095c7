#!/usr/bin/env python3
"""Counts the QR codes a barcode reader reads from the converter's images, against an exact
drawing of the same pages, for one or two converters.

Usage: bench/qr_readability.py [--converter PATH] [--before PATH] [--work FOLDER]

The document, made in the work folder: one QR code a page, modules of 0.40 to 1.00 mm in steps
of 0.05, each size as a two-tone image of one pixel a module (1-bit grey; RGBA, black on
transparent), as an 8-bit grey image of three pixels a module, and as vector squares (52
pages), each at a fractional position. The exact drawing makes every pixel the share of it
that dark modules cover: what a perfect renderer gives. Each page's image, from the exact
drawing and from each converter at 96, 150, 200 and 300 dpi in PNG and at 150 and 300 dpi in
JPEG, goes to zbarimg (Debian's zbar-tools); a code counts when it reads as its own text.
Printed: codes read out of all, and as images / as vectors.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "fixtures"))
import make_xps  # noqa: E402
import qr_pages  # noqa: E402

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
KINDS = ["1-bit", "rgba", "grey 3px", "vector"]
MODULES_MM = [0.40 + 0.05 * i for i in range(13)]
OFFSET = qr_pages.OFFSET
CASES = [("png", 96), ("png", 150), ("png", 200), ("png", 300), ("jpeg", 150), ("jpeg", 300)]


def make_document(path):
    """Writes the document; its pages as (text, kind, module mm)."""
    pages, parts, table = [], {}, []
    for kind in KINDS:
        for module in MODULES_MM:
            n = len(table) + 1
            text = qr_pages.label(kind, module, n)
            w, h, body, images = qr_pages.qr_page(text, kind, module, OFFSET,
                                                  f"/Resources/qr{n}.png")
            pages.append((w, h, body))
            parts.update(images)
            table.append((text, kind, module))
    with open(FONT, "rb") as f:
        font = f.read()
    with open(path, "wb") as f:
        f.write(make_xps.package(pages, font, extra=parts))
    return table


def grey_png(rows):
    width, height = len(rows[0]), len(rows)
    return qr_pages.png(width, height, rows, 0)


def exact_drawings(table, dpi, folder):
    """The exact drawing of each page at `dpi`, as p1.png, p2.png, ..."""
    os.makedirs(folder, exist_ok=True)
    for n, (text, _, module) in enumerate(table, 1):
        modules = qr_pages.qr_modules(text)
        scale = dpi / 96
        side = (len(modules) * module * qr_pages.MM + 2 * OFFSET) * scale
        size = int(side) + (side % 1 > 0)
        rows = qr_pages.exact_drawing(modules, module * qr_pages.MM * scale, OFFSET * scale,
                                      size, size)
        with open(os.path.join(folder, f"p{n}.png"), "wb") as f:
            f.write(grey_png(rows))


def read(image):
    """What zbarimg reads from `image`: the texts of its QR codes."""
    run = subprocess.run(["zbarimg", "-q", "--raw", "-Sdisable", "-Sqrcode.enable", image],
                         capture_output=True, text=True)
    return run.stdout.splitlines()


def count(table, folder, extension):
    """Codes read as their text: (all, images, vectors)."""
    images = vectors = 0
    for n, (text, kind, _) in enumerate(table, 1):
        if text in read(os.path.join(folder, f"p{n}.{extension}")):
            if kind == "vector":
                vectors += 1
            else:
                images += 1
    return images + vectors, images, vectors


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--converter",
                        default=os.path.join(ROOT, "build", "linux-release", "out", "bin",
                                             "xps2img"))
    parser.add_argument("--before", help="a second converter, measured in the same run")
    parser.add_argument("--work")
    args = parser.parse_args()
    for tool in ("qrencode", "zbarimg"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing; scripts/setup installs it")
    work = args.work or tempfile.mkdtemp(prefix="qr-readability-")
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, TMPDIR=os.path.join(work, "tmp"))
    os.makedirs(env["TMPDIR"], exist_ok=True)
    doc = os.path.join(work, "qr.xps")
    table = make_document(doc)
    converters = [("after", args.converter)] + ([("before", args.before)] if args.before else [])
    total, images = len(table), sum(1 for _, k, _ in table if k != "vector")
    print(f"{total} codes ({images} images, {total - images} vectors); read / all "
          "(images / vectors)")
    print(f"{'format':6} {'dpi':>4}  {'exact':>14}" +
          "".join(f"  {name:>14}" for name, _ in converters))
    for fmt, dpi in CASES:
        cells = []
        if fmt == "png":
            exact = os.path.join(work, f"exact-{dpi}")
            exact_drawings(table, dpi, exact)
            cells.append(count(table, exact, "png"))
        else:
            cells.append(None)
        for name, converter in converters:
            out = os.path.join(work, f"{name}-{fmt}-{dpi}")
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            subprocess.run([converter, doc, out, "-f", fmt, "-d", str(dpi), "-i", "p"],
                           check=True, stdout=subprocess.DEVNULL, env=env)
            cells.append(count(table, out, fmt))
        print(f"{fmt:6} {dpi:4}  " + "  ".join(
            f"{'-':>14}" if c is None else f"{c[0]:3} ({c[1]:2} / {c[2]:2})".rjust(14)
            for c in cells))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
