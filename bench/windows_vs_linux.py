#!/usr/bin/env python3
"""Benchmarks the Windows converter under Wine against the Linux converter, in one run.

Usage, through the Wine runner, which chooses the loader and the prefix of the build:
  tests/win32/with-wine build/windows64 bench/windows_vs_linux.py [--runs N] [--case D/F/DPI ...]

The documents and the measures are those of bench/xps2img_vs_mutool.py; the peer is the Linux
converter of the linux-release preset. The ratio is the Windows converter's over the Linux
converter's: it holds Wine's own cost, which Windows does not have.
"""

import argparse
import os
import sys
import tempfile

from xps2img_vs_mutool import ENV, ROOT, compare_commands, make_documents


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "windows64"),
                        help="the Windows build whose bin/xps2img.exe runs")
    parser.add_argument("--linux",
                        default=os.path.join(ROOT, "build", "linux-release", "out", "bin",
                                             "xps2img"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--case", action="append", help="only these, e.g. text/png/300")
    args = parser.parse_args()
    loader = os.environ.get("WINELOADER")
    if not loader:
        sys.exit("run through tests/win32/with-wine BUILD-DIR")
    exe = os.path.join(args.build, "out", "bin", "xps2img.exe")
    with tempfile.TemporaryDirectory(prefix="xps2img-bench-") as work:
        ENV["TMPDIR"] = os.path.join(work, "tmp")
        os.makedirs(ENV["TMPDIR"])
        docs = make_documents(work)
        cases = [("text", "png", 300), ("graphics", "png", 300)]
        if args.case:
            cases = [(d, f, int(r)) for d, f, r in (c.split("/") for c in args.case)]
        print(f"{exe} under {loader} against {args.linux}, {os.cpu_count()} cores, "
              f"{args.runs} runs")
        print(f"{'document':10} {'format':6} {'dpi':>4}  {'time':>6} {'cpu':>6}"
              "   (median ratio Windows under Wine / Linux)")
        for name, fmt, dpi in cases:
            options = [docs[name], "-f", fmt, "-d", str(dpi)]
            ratio, seen = compare_commands(
                lambda out: [loader, exe, options[0], out, *options[1:]],
                lambda out: [args.linux, options[0], out, *options[1:]], args.runs, work)
            print(f"{name:10} {fmt:6} {dpi:4}  {ratio['time']:6.3f} {ratio['cpu']:6.3f}")
            for (a, b) in seen:
                print(f"{'':24} windows {a[0]:6.2f} s cpu {a[3]:6.2f} s | linux {b[0]:6.2f} s"
                      f" cpu {b[3]:6.2f} s")


if __name__ == "__main__":
    main()
