#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: small XPS documents whose parts are stored uncompressed, so
that mutations reach the markup, each exercising one area of the format. The documents come
from the test fixtures' generators (tests/fixtures); the images are made by ImageMagick, the
font is a TrueType font of six glyphs written here, a few hundred bytes long.

Usage: make_seeds.py OUTPUT-FOLDER [--convert PROGRAM] [--regressions FOLDER]

The folder is emptied of *.xps first. With --regressions, the documents that show the faults our
backports of MuPDF's fixes mend (upstream-*.xps) are written into FOLDER too, beside the inputs
the fuzzer found. Seeds: text (glyph runs of every attribute), fonts
(obfuscated, a TrueType collection index, simulations), paths (the abbreviated syntax and the
geometry elements, strokes), brushes (solid, gradients of every spread, image and visual
brushes, opacity masks), images (PNG, JPEG, TIFF, GIF, BMP in their variants), resources
(dictionaries, local and remote), canvases (clips, transforms, nesting, markup compatibility),
structure (several documents, links, pieces, OpenXPS, odd sizes).
"""

import argparse
import glob
import io
import os
import struct
import subprocess
import sys
import zipfile

sys.dont_write_bytecode = True  # the fixtures' modules are imported from the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "fixtures"))
from make_xps import CONTENT_TYPES, FONT_PART, IMAGE_PART, OXPS, XPS, fixed_page, glyphs, package  # noqa: E402
from make_hostile import JPEG, gradient_fill, image_path, in_pieces, with_part  # noqa: E402

STORED = zipfile.ZIP_STORED


def table_checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(f">{len(data) // 4}I", data)) & 0xFFFFFFFF


def simple_glyph(contours):
    """A TrueType glyph of `contours`, each a list of (x, y, on-curve)."""
    points = [p for c in contours for p in c]
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    out = struct.pack(">hhhhh", len(contours), min(xs), min(ys), max(xs), max(ys))
    end = -1
    for c in contours:
        end += len(c)
        out += struct.pack(">H", end)
    out += struct.pack(">H", 0)  # no instructions
    out += bytes(1 if on else 0 for _, _, on in points)
    px = py = 0
    for x, _, _ in points:
        out += struct.pack(">h", x - px)
        px = x
    for _, y, _ in points:
        out += struct.pack(">h", y - py)
        py = y
    return out + b"\0" * (len(out) % 2)


def tiny_font():
    """A TrueType font: .notdef, then A to E (a triangle, a square, a square with a hole, a
    curved blob, an empty glyph)."""
    box = [(50, 0, 1), (450, 0, 1), (450, 700, 1), (50, 700, 1)]
    glyph_data = [
        simple_glyph([box]),
        simple_glyph([[(0, 0, 1), (600, 0, 1), (300, 700, 1)]]),
        simple_glyph([box]),
        simple_glyph([box, [(150, 100, 1), (150, 600, 1), (350, 600, 1), (350, 100, 1)]]),
        simple_glyph([[(0, 0, 1), (300, 900, 0), (600, 0, 1), (300, -200, 0)]]),
        b"",
    ]
    count = len(glyph_data)
    glyf, loca = b"", []
    for g in glyph_data:
        loca.append(len(glyf) // 2)
        glyf += g
    loca.append(len(glyf) // 2)
    head = struct.pack(">IIIIHHqqhhhhHHhhh", 0x10000, 0x10000, 0, 0x5F0F3CF5, 0, 1000, 0, 0,
                       0, -200, 600, 900, 0, 8, 2, 0, 0)
    hhea = struct.pack(">Ihhh" + "H" + "hhh" + "hhh" + "hhhhh" + "H", 0x10000, 900, -200, 0,
                       650, 0, 0, 600, 1, 0, 0, 0, 0, 0, 0, 0, count)
    maxp = struct.pack(">IHHHHHHHHHHHHHH", 0x10000, count, 8, 2, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)
    hmtx = b"".join(struct.pack(">Hh", 650, 0) for _ in range(count))
    # One segment A..E onto glyphs 1..5, and the closing one.
    ends, starts, deltas = [0x45, 0xFFFF], [0x41, 0xFFFF], [1 - 0x41, 1]
    seg = len(ends)
    sub = struct.pack(">HHHHHHH", 4, 16 + 8 * seg, 0, 2 * seg, 2, 0, 0)
    sub += struct.pack(f">{seg}H", *ends) + b"\0\0" + struct.pack(f">{seg}H", *starts)
    sub += struct.pack(f">{seg}h", *deltas) + struct.pack(f">{seg}H", *[0] * seg)
    cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
    name = struct.pack(">HHH", 0, 0, 6)
    post = struct.pack(">IIhhIIIII", 0x30000, 0, -100, 50, 0, 0, 0, 0, 0)
    tables = {b"cmap": cmap, b"glyf": glyf, b"head": head, b"hhea": hhea, b"hmtx": hmtx,
              b"loca": struct.pack(f">{len(loca)}H", *loca), b"maxp": maxp, b"name": name,
              b"post": post}
    out = struct.pack(">IHHHH", 0x10000, len(tables), 128, 3, len(tables) * 16 - 128)
    offset = 12 + 16 * len(tables)
    body = b""
    for tag, data in tables.items():
        out += tag + struct.pack(">III", table_checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    return out + body


def obfuscated(font, guid):
    """`font` obfuscated as XPS does for a part named after `guid`."""
    digits = [c for c in guid if c in "0123456789abcdefABCDEF"]
    key = bytes(int(digits[2 * i] + digits[2 * i + 1], 16) for i in range(16))
    data = bytearray(font)
    for i in range(16):
        data[i] ^= key[15 - i]
        data[i + 16] ^= key[15 - i]
    return bytes(data)


def magick(convert, spec, out_format, *options):
    """An 8 x 8 image from ImageMagick: `spec` such as "gradient:red-blue"."""
    return subprocess.run([convert, "-size", "8x8", spec, *options, f"{out_format}:-"],
                          capture_output=True, check=True).stdout


def images(convert):
    """Image parts of every format MuPDF reads, with the variants its decoders branch on."""
    g = "gradient:red-blue"
    return {
        "/Resources/rgb.png": magick(convert, g, "png24"),
        "/Resources/grey.png": magick(convert, g, "png8", "-colorspace", "gray"),
        "/Resources/palette.png": magick(convert, g, "png8"),
        "/Resources/alpha.png": magick(convert, g, "png32", "-alpha", "set", "-channel", "A",
                                       "-evaluate", "set", "50%"),
        "/Resources/deep.png": magick(convert, g, "png48"),
        "/Resources/interlaced.png": magick(convert, g, "png24", "-interlace", "PNG"),
        "/Resources/rgb.jpg": JPEG,
        "/Resources/grey.jpg": magick(convert, g, "jpeg", "-colorspace", "gray"),
        "/Resources/cmyk.jpg": magick(convert, g, "jpeg", "-colorspace", "cmyk"),
        "/Resources/progressive.jpg": magick(convert, g, "jpeg", "-interlace", "JPEG"),
        "/Resources/plain.tif": magick(convert, g, "tiff", "-compress", "none"),
        "/Resources/lzw.tif": magick(convert, g, "tiff", "-compress", "lzw"),
        "/Resources/zip.tif": magick(convert, g, "tiff", "-compress", "zip"),
        "/Resources/packbits.tif": magick(convert, g, "tiff", "-compress", "rle",
                                          "-colorspace", "gray"),
        "/Resources/cmyk.tif": magick(convert, g, "tiff", "-compress", "none", "-colorspace",
                                      "cmyk"),
        "/Resources/image.gif": magick(convert, g, "gif"),
        "/Resources/image.bmp": magick(convert, g, "bmp3"),
    }


def rect(x, y, w, h):
    return f"M {x},{y} L {x + w},{y} {x + w},{y + h} {x},{y + h} Z"


def gradient(kind, attributes, spread="Pad", extra=""):
    return (f'<{kind} SpreadMethod="{spread}" MappingMode="Absolute" {attributes} {extra}>'
            f'<{kind}.GradientStops><GradientStop Color="#FFFF0000" Offset="0"/>'
            f'<GradientStop Color="sc#0.5,0,1,0" Offset="0.5"/>'
            f'<GradientStop Color="#800000FF" Offset="1"/></{kind}.GradientStops></{kind}>')


def filled(data, brush, extra=""):
    return f'<Path Data="{data}" {extra}><Path.Fill>{brush}</Path.Fill></Path>'


def text_body():
    return [
        glyphs(10, 30, 20, "ABCDE"),
        glyphs(10, 60, 20, "{literal} brace"),
        f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="16" OriginX="10" OriginY="90" '
        'Fill="#FF0000FF" UnicodeString="ABCD" Indices="1,120;2,80,10,-5;(1:2)3;4"/>',
        f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="16" OriginX="10" OriginY="120" '
        'Fill="#FF008000" Indices="1;2;3;4;5" BidiLevel="1" IsSideways="true" '
        'CaretStops="0101"/>',
        f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="24" OriginX="10" OriginY="160" '
        'UnicodeString="BEAD" StyleSimulations="BoldItalicSimulation" '
        'RenderTransform="1,0.2,0,1,5,0" Clip="M 0,130 L 200,130 200,170 0,170 Z" Opacity="0.6">'
        '<Glyphs.Fill><LinearGradientBrush MappingMode="Absolute" StartPoint="0,0" '
        'EndPoint="100,0"><LinearGradientBrush.GradientStops><GradientStop Color="#FFFF0000" '
        'Offset="0"/><GradientStop Color="#FF0000FF" Offset="1"/>'
        '</LinearGradientBrush.GradientStops></LinearGradientBrush></Glyphs.Fill></Glyphs>',
        f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="12" OriginX="10" OriginY="190" '
        'Fill="#FF000000" UnicodeString="ABC" DeviceFontName="Arial" xml:lang="de-DE" '
        'StyleSimulations="BoldSimulation"/>',
    ]


def fonts_body(odttf):
    return [
        f'<Glyphs FontUri="{odttf}" FontRenderingEmSize="20" OriginX="10" OriginY="30" '
        'Fill="#FF000000" UnicodeString="ABCDE"/>',
        f'<Glyphs FontUri="{FONT_PART}#0" FontRenderingEmSize="20" OriginX="10" OriginY="60" '
        'Fill="#FF000000" UnicodeString="CAB" StyleSimulations="ItalicSimulation"/>',
        '<Glyphs FontUri="/Resources/missing.ttf" FontRenderingEmSize="20" OriginX="10" '
        'OriginY="90" Fill="#FF000000" UnicodeString="ABC"/>',
    ]


def paths_body():
    return [
        '<Path Data="F1 M 10,10 L 60,10 60,60 Z m 10,5 l 20,0 0,20 z h 10 v 10 H 5 V 5" '
        'Fill="#FF808080" Stroke="#FF000000" StrokeThickness="2" StrokeDashArray="2 1 0.5" '
        'StrokeDashOffset="1" StrokeDashCap="Round" StrokeLineJoin="Bevel" '
        'StrokeStartLineCap="Square" StrokeEndLineCap="Triangle"/>',
        '<Path Data="M 80,10 C 100,0 120,40 140,10 S 180,40 190,10 Q 200,50 220,10 T 260,10 '
        'A 20,10 30 1 0 300,30 a 5,5 0 0 1 10,0 c 1,2 3,4 5,6 s 1,1 2,2 q 1,1 2,2 t 3,3" '
        'Stroke="#FFFF0000" StrokeThickness="1.5" StrokeMiterLimit="2" StrokeLineJoin="Miter"/>',
        '<Path Fill="#FF00A0A0" Stroke="#FF000000" StrokeThickness="0.5"><Path.Data>'
        '<PathGeometry FillRule="Nonzero" Transform="1,0,0,1,0,60">'
        '<PathFigure StartPoint="10,10" IsClosed="true" IsFilled="true">'
        '<PolyLineSegment Points="60,10 60,50" IsStroked="false"/>'
        '<ArcSegment Point="30,50" Size="20,10" RotationAngle="15" IsLargeArc="true" '
        'SweepDirection="Counterclockwise"/>'
        '<PolyBezierSegment Points="20,40 15,30 10,10"/>'
        '<PolyQuadraticBezierSegment Points="40,0 60,10"/></PathFigure>'
        '<PathFigure StartPoint="100,10"><PolyLineSegment Points="150,10 150,60"/></PathFigure>'
        '</PathGeometry></Path.Data></Path>',
        '<Path Data="M 10,150 L 300,150" Stroke="#FF0000FF" StrokeThickness="8" '
        'StrokeDashArray="0 2" StrokeDashCap="Round" RenderTransform="0.5,0,0,2,5,-100"/>',
        '<Path Data="M 0,0" Fill="#FF000000"/>',
        '<Path Data="" Stroke="#FF000000"/>',
    ]


def brushes_body():
    tile = ('<ImageBrush ImageSource="{0}" Viewbox="0,0,8,8" ViewboxUnits="Absolute" '
            'Viewport="{1},{2},20,20" ViewportUnits="Absolute" TileMode="{3}" Opacity="0.8" '
            'Transform="1,0.1,0,1,0,0"/>')
    visual = ('<VisualBrush Viewbox="0,0,20,20" ViewboxUnits="Absolute" Viewport="0,0,25,25" '
              'ViewportUnits="Absolute" TileMode="FlipXY"><VisualBrush.Visual><Canvas>'
              '<Path Data="M 0,0 L 20,0 10,20 Z" Fill="#FFFF8000"/>'
              + glyphs(0, 15, 12, "AB") + '</Canvas></VisualBrush.Visual></VisualBrush>')
    return [
        filled(rect(10, 10, 80, 40), gradient("LinearGradientBrush",
                                              'StartPoint="10,10" EndPoint="90,50"')),
        filled(rect(100, 10, 80, 40), gradient("LinearGradientBrush",
                                               'StartPoint="100,10" EndPoint="110,20"',
                                               "Reflect", 'ColorInterpolationMode='
                                               '"ScRgbLinearInterpolation" Opacity="0.5"')),
        filled(rect(190, 10, 80, 40), gradient("RadialGradientBrush",
                                               'Center="230,30" GradientOrigin="220,25" '
                                               'RadiusX="20" RadiusY="10"', "Repeat",
                                               'Transform="1,0,0.3,1,0,0"')),
        filled(rect(10, 60, 80, 40), tile.format(IMAGE_PART, 10, 60, "Tile")),
        filled(rect(100, 60, 80, 40), tile.format(IMAGE_PART, 100, 60, "FlipX")),
        filled(rect(190, 60, 80, 40), tile.format(IMAGE_PART, 190, 60, "FlipY")),
        filled(rect(10, 110, 80, 40), visual),
        '<Path Data="%s" Fill="ContextColor /Resources/missing.icc 1,0.2,0.4,0.6"/>'
        % rect(100, 110, 30, 30),
        '<Path Data="%s" Fill="sc#0.7,0.2,0.9,0.1"/>' % rect(140, 110, 30, 30),
        '<Path Data="%s" Fill="#F80"/>' % rect(180, 110, 30, 30),
        f'<Path Data="{rect(10, 160, 200, 40)}" Fill="#FF00FF00"><Path.OpacityMask>'
        + gradient("LinearGradientBrush", 'StartPoint="10,160" EndPoint="210,160"')
        + '</Path.OpacityMask></Path>',
        f'<Path Data="{rect(220, 160, 40, 40)}"><Path.Fill><SolidColorBrush Color="#FF123456" '
        'Opacity="0.5"/></Path.Fill><Path.Stroke>'
        + gradient("RadialGradientBrush", 'Center="240,180" GradientOrigin="240,180" '
                   'RadiusX="20" RadiusY="20"') + '</Path.Stroke></Path>',
    ]


def images_body(parts):
    body = []
    for n, part in enumerate(parts):
        body.append(image_path(part, 10 + 35 * (n % 8), 10 + 35 * (n // 8), 30)
                    .replace('Viewbox="0,0,64,64"', 'Viewbox="0,0,8,8"'))
    return body


def resources_body():
    return [
        '<Canvas><Canvas.Resources><ResourceDictionary>'
        '<SolidColorBrush x:Key="red" Color="#FFFF0000"/>'
        '<PathGeometry x:Key="tri" Figures="M 0,0 L 40,0 20,30 Z"/>'
        + gradient("LinearGradientBrush", 'StartPoint="0,0" EndPoint="40,0"', "Pad",
                   'x:Key="grad"') +
        '</ResourceDictionary></Canvas.Resources>'
        '<Path Data="{StaticResource tri}" Fill="{StaticResource red}"/>'
        '<Path Data="M 50,0 L 90,0 90,30 Z" Fill="{StaticResource grad}"/>'
        '<Path Data="M 100,0 L 140,0 140,30 Z" Fill="{StaticResource absent}"/>'
        '<Canvas RenderTransform="1,0,0,1,0,40"><Canvas.Resources>'
        '<ResourceDictionary Source="/Resources/shared.dict"/></Canvas.Resources>'
        '<Path Data="{StaticResource remote}" Fill="{StaticResource blue}"/></Canvas></Canvas>',
    ]


SHARED_DICT = (f'<ResourceDictionary xmlns="{XPS["page"]}" '
               'xmlns:x="http://schemas.microsoft.com/xps/2005/06/resourcedictionary-key">'
               '<SolidColorBrush x:Key="blue" Color="#FF0000FF"/>'
               '<PathGeometry x:Key="remote" Figures="M 0,0 L 30,0 30,30 0,30 Z"/>'
               '</ResourceDictionary>').encode()


def canvases_body():
    nested = ("<Canvas Opacity=\"0.9\" RenderTransform=\"0.95,0,0,0.95,2,2\">" * 12
              + '<Path Data="M 0,0 L 100,0 100,100 Z" Fill="#FF00C000"/>' + "</Canvas>" * 12)
    return [
        '<Canvas Clip="M 0,0 L 150,0 150,150 0,150 Z" RenderTransform="1,0,0,1,10,10" '
        'Opacity="0.7" RenderOptions.EdgeMode="Aliased" Name="outer" FixedPage.NavigateUri='
        '"http://example.com/">'
        '<Canvas.RenderTransform><MatrixTransform Matrix="1,0,0,1,5,5"/></Canvas.RenderTransform>'
        '<Canvas.Clip><PathGeometry Figures="M 0,0 L 120,0 0,120 Z"/></Canvas.Clip>'
        '<Path Data="M 0,0 L 200,0 200,200 0,200 Z" Fill="#FFC00000"/></Canvas>',
        '<Canvas RenderTransform="1,0,0,1,160,10"><Canvas.OpacityMask>'
        + gradient("RadialGradientBrush", 'Center="50,50" GradientOrigin="50,50" RadiusX="50" '
                   'RadiusY="50"') + '</Canvas.OpacityMask>' + nested + '</Canvas>',
        '<mc:AlternateContent xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/'
        '2006"><mc:Choice Requires="x"><Path Data="M 0,170 L 50,170 50,220 Z" '
        'Fill="#FF0000FF"/></mc:Choice><mc:Fallback><Path Data="M 60,170 L 110,170 110,220 Z" '
        'Fill="#FFFF00FF"/></mc:Fallback></mc:AlternateContent>',
        '<Path Name="link" FixedPage.NavigateUri="#page2" Data="M 120,170 L 170,170 170,220 Z" '
        'Fill="#FF808000"/>',
    ]


def with_resource_namespace(body):
    return body.replace('<FixedPage xmlns=', '<FixedPage xmlns:x="http://schemas.microsoft.com/'
                        'xps/2005/06/resourcedictionary-key" xmlns=', 1)


def structure(font):
    """A sequence of two documents, one with links and a document structure, the other with a
    page of odd sizes."""
    out = io.BytesIO()
    ns = XPS["page"]
    rels = "http://schemas.openxmlformats.org/package/2006/relationships"
    page = fixed_page(XPS, 300, 200, [glyphs(10, 30, 20, "ABC"), '<Path Name="page2target" '
                                      'Data="M 10,50 L 100,50 100,90 Z" Fill="#FF000000" '
                                      'FixedPage.NavigateUri="../2/FixedDocument.fdoc#x"/>'])
    odd = (f'<FixedPage xmlns="{ns}" Width="300.5" Height="2e2" ContentBox="10,10,100,100" '
           'BleedBox="-10,-10,400,400"><Path Data="M 0,0 L 300,200" Stroke="#FF000000"/>'
           '</FixedPage>')
    with zipfile.ZipFile(out, "w", STORED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", f'<Relationships xmlns="{rels}"><Relationship Id="R0" '
                   f'Type="{XPS["rel"]}" Target="/FixedDocumentSequence.fdseq"/>'
                   '<Relationship Id="R1" Type="http://schemas.openxmlformats.org/package/2006/'
                   'relationships/metadata/core-properties" Target="/core.xml"/></Relationships>')
        z.writestr("FixedDocumentSequence.fdseq", f'<FixedDocumentSequence xmlns="{ns}">'
                   '<DocumentReference Source="Documents/1/FixedDocument.fdoc"/>'
                   '<DocumentReference Source="/Documents/2/FixedDocument.fdoc"/>'
                   '</FixedDocumentSequence>')
        z.writestr("Documents/1/FixedDocument.fdoc", f'<FixedDocument xmlns="{ns}">'
                   '<PageContent Source="Pages/1.fpage" Width="300" Height="200">'
                   '<PageContent.LinkTargets><LinkTarget Name="page2target"/>'
                   '</PageContent.LinkTargets></PageContent></FixedDocument>')
        z.writestr("Documents/1/_rels/FixedDocument.fdoc.rels",
                   f'<Relationships xmlns="{rels}"><Relationship Id="S" Type="http://schemas.'
                   'microsoft.com/xps/2005/06/documentstructure" Target="Structure/'
                   'DocStructure.struct"/></Relationships>')
        z.writestr("Documents/1/Structure/DocStructure.struct",
                   f'<DocumentStructure xmlns="{ns}/documentstructure"><DocumentStructure.Outline>'
                   '<DocumentOutline><OutlineEntry OutlineLevel="1" Description="One" '
                   'OutlineTarget="Pages/1.fpage#page2target"/><OutlineEntry OutlineLevel="2"/>'
                   '</DocumentOutline></DocumentStructure.Outline></DocumentStructure>')
        z.writestr("Documents/1/Pages/1.fpage", page)
        z.writestr("Documents/1/Pages/_rels/1.fpage.rels",
                   f'<Relationships xmlns="{rels}"><Relationship Id="F" Type="{XPS["resource"]}" '
                   f'Target="{FONT_PART}"/></Relationships>')
        z.writestr("Documents/2/FixedDocument.fdoc", f'<FixedDocument xmlns="{ns}">'
                   '<PageContent Source="/Documents/2/Pages/1.fpage"/>'
                   '<PageContent Source="/Documents/2/Pages/missing.fpage"/></FixedDocument>')
        z.writestr("Documents/2/Pages/1.fpage", odd)
        z.writestr(FONT_PART.lstrip("/"), font)
        z.writestr("core.xml", '<coreProperties xmlns="http://schemas.openxmlformats.org/package/'
                   '2006/metadata/core-properties"/>')
    return out.getvalue()


def seeds(convert):
    font = tiny_font()
    pictures = images(convert)
    guid = "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}"
    odttf = f"/Resources/{guid}.odttf"
    small = (300, 220)

    def doc(body, extra=None, ns=XPS):
        page = with_resource_namespace(fixed_page(ns, *small, body))
        return package([(*small, page)], font, ns=ns, extra=extra, compression=STORED)

    text = doc(text_body())
    return {
        "text.xps": text,
        "fonts.xps": doc(fonts_body(odttf), {odttf: obfuscated(font, guid)}),
        "paths.xps": doc(paths_body()),
        "brushes.xps": doc(brushes_body()),
        "images.xps": doc(images_body(list(pictures)), pictures),
        "resources.xps": doc(resources_body(), {"/Resources/shared.dict": SHARED_DICT}),
        "canvases.xps": doc(canvases_body()),
        "structure.xps": structure(font),
        "openxps.xps": doc(text_body()[:2] + paths_body()[:1], ns=OXPS),
        "gradients.xps": doc([gradient_fill("LinearGradientBrush",
                                            'StartPoint="0,0" EndPoint="30,20"'),
                              gradient_fill("RadialGradientBrush",
                                            'Center="150,100" GradientOrigin="120,90" '
                                            'RadiusX="40" RadiusY="30"')]),
        "pieces.xps": in_pieces(text, "/Documents/1/Pages/1.fpage", 4),
        "pages.xps": package([(300, 200, [glyphs(10, 30, 20, "ABC")]),
                              (200, 300, paths_body()[:2]),
                              (100, 100, ['<Path Data="M 0,0 L 100,100" Stroke="#FF000000"/>']),
                              (50, 50, [])], font, compression=STORED),
        "deflated.xps": with_part(doc(images_body(["/Resources/extra.png"])),
                                  "/Resources/extra.png", pictures["/Resources/rgb.png"]),
    }


def regressions(convert):
    """Documents of the faults fixed upstream after MuPDF 1.21 that our patches backport, and of
    those the fuzzer found."""
    font = tiny_font()
    pictures = images(convert)
    nesting = "<Metadata>" * 200000 + "</Metadata>" * 200000

    def doc(body):
        return package([(300, 200, body)], font, compression=STORED)

    deep = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(doc([])), "r") as source, \
            zipfile.ZipFile(deep, "w", zipfile.ZIP_DEFLATED) as z:
        for info in source.infolist():
            data = source.read(info)
            if info.filename == "Documents/1/FixedDocument.fdoc":
                data = data.replace(b"</FixedDocument>", nesting.encode() + b"</FixedDocument>")
            z.writestr(info.filename, data)
    return {
        "upstream-glyph-indices.xps": doc([
            f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="16" OriginX="10" OriginY="30" '
            'Fill="#FF000000" UnicodeString="AB" Indices="(1:2000000000)1;(2000000000:1)2"/>']),
        # A character that begins no entry of Indices was never passed over: the run added
        # glyphs until memory or time ran out.
        "glyph-indices-stray-character.xps": doc([
            f'<Glyphs FontUri="{FONT_PART}" FontRenderingEmSize="16" OriginX="10" OriginY="{y}" '
            f'Fill="#FF000000" UnicodeString="ABCD" Indices="{indices}"/>'
            for y, indices in ((30, "1&amp;120;2,80,10,-5;(1:2)3;4"), (60, "1; 2;3"),
                               (90, "1;2x"))]),
        "upstream-point-progress.xps": doc([
            '<Path Stroke="#FF000000"><Path.Data><PathGeometry><PathFigure StartPoint="1,1">'
            f'<{kind} Points="10,10 20,20 x 30,30"/></PathFigure></PathGeometry></Path.Data>'
            '</Path>' for kind in ("PolyLineSegment", "PolyBezierSegment",
                                   "PolyQuadraticBezierSegment")]),
        "upstream-missing-arguments.xps": doc(['<Path Data="M 0,0 L 5" Stroke="#FF000000"/>',
                                               '<Path Data="M 0,0 L 50,0 50,50 Z" Fill="#FF00FF00"/>']),
        "upstream-colour-overrun.xps": doc(['<Path Data="M 0,0 L 50,0 50,50 Z" Fill="#F"/>']),
        "upstream-part-name-overrun.xps": doc([image_path("blah:", 10, 10, 50)]),
        "upstream-metadata-depth.xps": deep.getvalue(),
        # MuPDF's colour test took garbage for the samples of images that are not RGB.
        "test-device-grey-images.xps": package(
            [(300, 200, images_body(["/Resources/grey.png", "/Resources/grey.jpg"]))], font,
            extra={k: pictures[k] for k in ("/Resources/grey.png", "/Resources/grey.jpg")},
            compression=STORED),
        "test-device-cmyk-colour.xps": package(
            [(300, 200, images_body(["/Resources/cmyk.jpg", "/Resources/cmyk.tif"]))], font,
            extra={k: pictures[k] for k in ("/Resources/cmyk.jpg", "/Resources/cmyk.tif")},
            compression=STORED),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--convert", default="convert", help="ImageMagick's convert")
    parser.add_argument("--regressions", help="the folder of the regression corpus")
    args = parser.parse_args()
    if args.regressions:
        os.makedirs(args.regressions, exist_ok=True)
        for name, data in regressions(args.convert).items():
            with open(os.path.join(args.regressions, name), "wb") as f:
                f.write(data)
    os.makedirs(args.folder, exist_ok=True)
    for old in glob.glob(os.path.join(args.folder, "*.xps")):
        os.remove(old)
    for name, data in seeds(args.convert).items():
        with open(os.path.join(args.folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
