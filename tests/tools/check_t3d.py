#!/usr/bin/env python3
"""Reads an Unreal T3D document as kelvane-convert writes it and checks it.

This reader knows the format only from the outside, so that a fault in the
writer does not hide behind the same fault in a shared reader. It checks:

- every line ends CR LF (the last one too) and holds printable ASCII only;
- Begin/End blocks nest properly: a document is one Map (actors, each with
  property lines and at most one Brush holding one PolyList) or, as written
  with --one-brush, one PolyList; polygons sit in a PolyList only;
- every polygon has exactly one Origin, Normal, TextureU and TextureV line
  and at least three Vertex lines, each with three numbers in plain decimal
  form; nothing else;
- every polygon's Texture=NAME has a bitmap NAME.bmp in the bitmaps folder
  (default: the document's folder), a well-formed uncompressed Windows
  bitmap with a BITMAPINFOHEADER, 24 bits a pixel or 8 bits with a palette
  of 1..256 entries that every pixel index stays inside.

With --editor-frame the document must be written as the editor writes it:
every number signed with at least five integer digits and six decimals,
Link= counting 0, 1, 2, ... within each brush, at most 16 corners a polygon,
all on one plane, and a unit Normal along (V1 - V0) x (V2 - V0) (so the
corners span an area).

Options ask for more: --expect-depth 8|24 (every named bitmap has that
depth), --expect-pow2 (every named bitmap has power-of-two sides) and
--texels FILE.json (writes, per polygon in document order, its texture name,
the bitmap's size and the texel (s, t) of each vertex, s = (P - Origin) .
TextureU and t = (P - Origin) . TextureV, and the vertices themselves).

Errors name the line (or the bitmap file) and the exit status is 1; a
usage error exits 2. On success one summary line is printed.
"""

import argparse
import json
import os
import re
import struct
import sys

NUMBER = re.compile(r"[+-]?(?:\d+(?:\.\d*)?|\.\d+)\Z")
EDITOR_NUMBER = re.compile(r"[+-]\d{5,}\.\d{6}\Z")
MOST_CORNERS = 16
TEXTURE_NAME = re.compile(r"[A-Za-z0-9_]+\Z")
ATTRIBUTE = re.compile(r"\s*([A-Za-z_][A-Za-z0-9_]*)=\s*(\S+)")
MAX_MESSAGES = 30
POLYGON_FIELDS = ("Origin", "Normal", "TextureU", "TextureV")

# What each block may hold: the blocks that may open inside it and whether
# lines of the form Key=Value (actor properties) are allowed there.
BLOCKS = {
    None: {"blocks": ("Map", "PolyList"), "properties": False},
    "Map": {"blocks": ("Actor",), "properties": False},
    "Actor": {"blocks": ("Brush",), "properties": True},
    "Brush": {"blocks": ("PolyList",), "properties": False},
    "PolyList": {"blocks": ("Polygon",), "properties": False},
}


class CheckError(Exception):
    pass


class Failures:
    """Collects every problem so one run shows them all."""

    def __init__(self, path):
        self.path = path
        self.messages = []

    def at(self, line_number, message):
        self.messages.append("%s:%d: %s" % (self.path, line_number, message))

    def file(self, path, message):
        self.messages.append("%s: %s" % (path, message))


class Polygon:
    def __init__(self, line_number, texture):
        self.line_number = line_number
        self.texture = texture
        self.fields = {}
        self.vertices = []


def split_lines(data, failures):
    """The document's lines without their CR LF ends; faults are reported."""
    if not data:
        failures.at(1, "empty document")
        return []
    pieces = data.split(b"\n")
    unterminated = pieces[-1] != b""
    if unterminated:
        failures.at(len(pieces), "last line has no line end")
    else:
        pieces.pop()
    lines = []
    for index, piece in enumerate(pieces, start=1):
        if piece.endswith(b"\r"):
            piece = piece[:-1]
        elif not (unterminated and index == len(pieces)):
            failures.at(index, "line ends with LF alone, not CR LF")
        if b"\r" in piece:
            failures.at(index, "CR inside the line")
            piece = piece.replace(b"\r", b"")
        if any(byte < 0x20 and byte != 0x09 or byte > 0x7E for byte in piece):
            failures.at(index, "byte outside printable ASCII")
        lines.append(piece.decode("ascii", errors="replace"))
    return lines


def parse_vector(text, line_number, keyword, failures, number=NUMBER):
    parts = text.split(",")
    if len(parts) != 3:
        failures.at(line_number, "%s needs three comma-separated numbers, got %r"
                    % (keyword, text))
        return None
    values = []
    for part in parts:
        if not number.match(part):
            failures.at(line_number, "%s: %r is not a number" % (keyword, part))
            return None
        values.append(float(part))
    return tuple(values)


def parse_attributes(text, line_number, what, failures):
    """Key=Value pairs after 'Begin Kind'; 'Link= 0' is one pair."""
    attributes = {}
    position = 0
    while position < len(text):
        if not text[position:].strip():
            break
        match = ATTRIBUTE.match(text, position)
        if not match:
            failures.at(line_number, "%s: cannot read attribute at %r"
                        % (what, text[position:].strip()))
            return attributes
        key, value = match.group(1), match.group(2)
        if key in attributes:
            failures.at(line_number, "%s: %s= given twice" % (what, key))
        attributes[key] = value
        position = match.end()
    return attributes


def parse_document(lines, failures, number_form=NUMBER):
    brushes = 0
    stack = []  # (kind, line number)
    polygons = []
    polygon = None
    top_blocks = 0
    brushes_in_actor = 0
    polylists_in_brush = 0

    for number, raw in enumerate(lines, start=1):
        line = raw.strip()
        words = line.split(None, 1)
        head = words[0] if words else ""
        rest = words[1] if len(words) > 1 else ""

        if polygon is not None:
            if head in ("Begin", "End") and not (head == "End" and rest == "Polygon"):
                failures.at(number, "%r inside the polygon from line %d (no End Polygon "
                            "before it)" % (line, polygon.line_number))
                raise CheckError("nesting broken; stopped reading")
            if head == "End":
                for field in POLYGON_FIELDS:
                    if field not in polygon.fields:
                        failures.at(number, "polygon from line %d has no %s"
                                    % (polygon.line_number, field))
                if len(polygon.vertices) < 3:
                    failures.at(number, "polygon from line %d has %d Vertex "
                                "lines, fewer than 3"
                                % (polygon.line_number, len(polygon.vertices)))
                polygons.append(polygon)
                polygon = None
                stack.pop()
            elif head in POLYGON_FIELDS:
                if head in polygon.fields:
                    failures.at(number, "second %s in the polygon" % head)
                vector = parse_vector(rest, number, head, failures, number_form)
                polygon.fields[head] = vector
            elif head == "Vertex":
                vector = parse_vector(rest, number, head, failures, number_form)
                polygon.vertices.append(vector)
            else:
                failures.at(number, "unexpected line in a polygon: %r" % line)
            continue

        if not line:
            continue
        inside = stack[-1][0] if stack else None

        if head == "Begin":
            kind_words = rest.split(None, 1)
            kind = kind_words[0] if kind_words else ""
            attribute_text = kind_words[1] if len(kind_words) > 1 else ""
            allowed = BLOCKS[inside]["blocks"]
            if kind not in allowed:
                where = ("inside %s from line %d" % (inside, stack[-1][1])
                         if stack else "at the top of the document")
                failures.at(number, "Begin %s %s (expected %s)"
                            % (kind or "(nothing)", where, " or ".join(allowed)))
                raise CheckError("nesting broken; stopped reading")
            attributes = parse_attributes(attribute_text, number, "Begin " + kind,
                                          failures)
            if inside is None:
                top_blocks += 1
                if top_blocks > 1:
                    failures.at(number, "a second top-level block")
            if kind == "Actor":
                for key in ("Class", "Name"):
                    if key not in attributes:
                        failures.at(number, "Begin Actor without %s=" % key)
                brushes_in_actor = 0
            elif kind == "Brush":
                brushes_in_actor += 1
                if brushes_in_actor > 1:
                    failures.at(number, "a second Brush in one actor")
                if "Name" not in attributes:
                    failures.at(number, "Begin Brush without Name=")
                polylists_in_brush = 0
                brushes += 1
            elif kind == "PolyList" and inside == "Brush":
                polylists_in_brush += 1
                if polylists_in_brush > 1:
                    failures.at(number, "a second PolyList in one brush")
            if kind == "Polygon":
                texture = attributes.get("Texture")
                if texture is not None and not TEXTURE_NAME.match(texture):
                    failures.at(number, "texture name %r is not letters, digits "
                                "and _ only" % texture)
                    texture = None
                if "Link" in attributes and not re.match(r"\d+\Z", attributes["Link"]):
                    failures.at(number, "Link=%r is not a whole number"
                                % attributes["Link"])
                for key in attributes:
                    if key not in ("Item", "Texture", "Link", "Flags"):
                        failures.at(number, "unknown polygon attribute %s=" % key)
                polygon = Polygon(number, texture)
                polygon.link = attributes.get("Link")
                polygon.brush = brushes
            stack.append((kind, number))
        elif head == "End":
            if not stack:
                failures.at(number, "%r with no open block" % line)
                raise CheckError("nesting broken; stopped reading")
            if rest != stack[-1][0]:
                failures.at(number, "%r closes %s opened on line %d"
                            % (line, stack[-1][0], stack[-1][1]))
                raise CheckError("nesting broken; stopped reading")
            stack.pop()
        elif BLOCKS[inside]["properties"] and "=" in line and not line.startswith("="):
            pass
        else:
            where = ("inside %s from line %d" % (inside, stack[-1][1])
                     if stack else "outside any block")
            failures.at(number, "unexpected line %s: %r" % (where, line))

    end_line = len(lines) + 1
    if polygon is not None:
        failures.at(end_line, "document ends inside the polygon from line %d"
                    % polygon.line_number)
    elif stack:
        failures.at(end_line, "document ends with Begin %s from line %d still open"
                    % stack[-1])
    if top_blocks == 0:
        failures.at(end_line, "no Map or PolyList block")
    return polygons


def check_bitmap(path, failures):
    """Reads a bitmap's header and pixels; returns (width, height, depth) or None."""
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        failures.file(path, "cannot read the bitmap: %s" % error.strerror)
        return None
    if len(data) < 54:
        failures.file(path, "%d bytes, too short for the bitmap headers" % len(data))
        return None
    (signature, file_size, reserved1, reserved2, pixel_offset) = struct.unpack_from(
        "<2sIHHI", data, 0)
    (header_size, width, height, planes, depth, compression, image_size,
     _x_resolution, _y_resolution, colours_used, _colours_important) = struct.unpack_from(
         "<IiiHHIIiiII", data, 14)
    problems = []
    if signature != b"BM":
        problems.append("signature %r, not 'BM'" % signature)
    if file_size != len(data):
        problems.append("header says %d bytes, the file has %d" % (file_size, len(data)))
    if reserved1 or reserved2:
        problems.append("reserved header fields not zero")
    if header_size != 40:
        problems.append("info header of %d bytes, not a 40-byte BITMAPINFOHEADER"
                        % header_size)
    if width <= 0 or height == 0:
        problems.append("size %d x %d" % (width, height))
    if planes != 1:
        problems.append("%d planes" % planes)
    if depth not in (8, 24):
        problems.append("%d bits a pixel (only 8 and 24 are written)" % depth)
    if compression != 0:
        problems.append("compression %d, not uncompressed" % compression)
    if problems:
        for problem in problems:
            failures.file(path, problem)
        return None

    rows = abs(height)
    stride = (width * depth // 8 + 3) // 4 * 4
    palette_entries = 0
    if depth == 8:
        if not 1 <= colours_used <= 256:
            failures.file(path, "8-bit bitmap with %d palette entries (biClrUsed), "
                          "not 1..256" % colours_used)
            return None
        palette_entries = colours_used
    elif colours_used != 0:
        failures.file(path, "24-bit bitmap with a palette of %d entries" % colours_used)
    expected_offset = 14 + 40 + 4 * palette_entries
    if pixel_offset != expected_offset:
        failures.file(path, "pixels at offset %d, expected %d after the headers%s"
                      % (pixel_offset, expected_offset,
                         " and palette" if palette_entries else ""))
        return None
    if image_size not in (0, stride * rows):
        failures.file(path, "biSizeImage %d, the pixels take %d" % (image_size, stride * rows))
    if len(data) != expected_offset + stride * rows:
        failures.file(path, "%d bytes, a %d x %d %d-bit bitmap takes %d"
                      % (len(data), width, rows, depth, expected_offset + stride * rows))
        return None
    if depth == 8:
        for palette_index in range(palette_entries):
            if data[54 + 4 * palette_index + 3] != 0:
                failures.file(path, "palette entry %d has a non-zero fourth byte"
                              % palette_index)
                break
        for row in range(rows):
            start = expected_offset + row * stride
            indices = data[start:start + width]
            highest = max(indices)
            if highest >= palette_entries:
                failures.file(path, "pixel row %d uses palette index %d of %d entries"
                              % (row, highest, palette_entries))
                return None
    return width, rows, depth


def check_editor_polygons(polygons, failures):
    """The editor's own form: links per brush, flat polygons, unit normals."""
    def minus(a, b):
        return [x - y for x, y in zip(a, b)]

    def cross(a, b):
        return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                a[0] * b[1] - a[1] * b[0]]

    def dot(a, b):
        return sum(x * y for x, y in zip(a, b))

    expected_link = {}
    for polygon in polygons:
        # The map template's own brushes number nothing.
        if polygon.link is not None:
            link = expected_link.get(polygon.brush, 0)
            if polygon.link != str(link):
                failures.at(polygon.line_number, "Link=%s, expected %d in this brush"
                            % (polygon.link, link))
            expected_link[polygon.brush] = link + 1
        corners = polygon.vertices
        if None in corners or polygon.fields.get("Normal") is None:
            continue
        if len(corners) > MOST_CORNERS:
            failures.at(polygon.line_number, "%d corners, more than %d"
                        % (len(corners), MOST_CORNERS))
        spans = cross(minus(corners[1], corners[0]), minus(corners[2], corners[0]))
        length = dot(spans, spans) ** 0.5
        normal = polygon.fields["Normal"]
        if length == 0:
            failures.at(polygon.line_number, "its first three corners span no area")
            continue
        if abs(dot(normal, normal) ** 0.5 - 1) > 1e-5:
            failures.at(polygon.line_number, "Normal %s is not unit length" % (normal,))
        if dot(normal, spans) / length < 1 - 1e-5:
            failures.at(polygon.line_number, "Normal %s does not point along "
                        "(V1 - V0) x (V2 - V0)" % (normal,))
        for corner in corners[3:]:
            if abs(dot(minus(corner, corners[0]), spans)) / length > 1e-3:
                failures.at(polygon.line_number, "corner %s is off the polygon's plane"
                            % (corner,))


def is_power_of_two(value):
    return value > 0 and value & (value - 1) == 0


def texel(point, origin, axis):
    return sum((p - o) * a for p, o, a in zip(point, origin, axis))


def main(argv):
    parser = argparse.ArgumentParser(
        description="Check a T3D document and the bitmaps its polygons name.")
    parser.add_argument("t3d", help="the T3D document")
    parser.add_argument("--bitmaps-dir", help="folder of NAME.bmp (default: the "
                        "document's folder)")
    parser.add_argument("--expect-depth", type=int, choices=(8, 24),
                        help="every named bitmap has this many bits a pixel")
    parser.add_argument("--expect-pow2", action="store_true",
                        help="every named bitmap has power-of-two sides")
    parser.add_argument("--editor-frame", action="store_true",
                        help="the document is in the editor's own form")
    parser.add_argument("--texels", metavar="FILE.json",
                        help="write each polygon's texture, bitmap size and texels")
    options = parser.parse_args(argv)

    failures = Failures(options.t3d)
    try:
        with open(options.t3d, "rb") as stream:
            data = stream.read()
    except OSError as error:
        print("%s: cannot read: %s" % (options.t3d, error.strerror), file=sys.stderr)
        return 1

    polygons = []
    try:
        polygons = parse_document(split_lines(data, failures), failures,
                                  EDITOR_NUMBER if options.editor_frame else NUMBER)
        if options.editor_frame:
            check_editor_polygons(polygons, failures)
    except CheckError as error:
        failures.messages.append("%s: %s" % (options.t3d, error))

    bitmaps_dir = options.bitmaps_dir
    if bitmaps_dir is None:
        bitmaps_dir = os.path.dirname(os.path.abspath(options.t3d))
    bitmaps = {}
    for polygon in polygons:
        name = polygon.texture
        if name is None or name in bitmaps:
            continue
        path = os.path.join(bitmaps_dir, name + ".bmp")
        if not os.path.isfile(path):
            failures.at(polygon.line_number, "texture %s has no bitmap %s" % (name, path))
            bitmaps[name] = None
            continue
        found = check_bitmap(path, failures)
        bitmaps[name] = found
        if found is None:
            continue
        width, height, depth = found
        if options.expect_depth is not None and depth != options.expect_depth:
            failures.file(path, "%d-bit, expected %d-bit" % (depth, options.expect_depth))
        if options.expect_pow2 and not (is_power_of_two(width) and is_power_of_two(height)):
            failures.file(path, "%d x %d, sides not powers of two" % (width, height))

    if failures.messages:
        for message in failures.messages[:MAX_MESSAGES]:
            print(message, file=sys.stderr)
        if len(failures.messages) > MAX_MESSAGES:
            print("%s: ... and %d more problems"
                  % (options.t3d, len(failures.messages) - MAX_MESSAGES), file=sys.stderr)
        return 1

    if options.texels:
        records = []
        for polygon in polygons:
            found = bitmaps.get(polygon.texture) if polygon.texture else None
            origin = polygon.fields["Origin"]
            records.append({
                "texture": polygon.texture,
                "size": [found[0], found[1]] if found else None,
                "vertices": polygon.vertices,
                "texels": [[texel(vertex, origin, polygon.fields["TextureU"]),
                            texel(vertex, origin, polygon.fields["TextureV"])]
                           for vertex in polygon.vertices],
            })
        try:
            with open(options.texels, "w", encoding="ascii") as stream:
                stream.write("[\n%s\n]\n" % ",\n".join(json.dumps(record)
                                                       for record in records))
        except OSError as error:
            print("%s: cannot write: %s" % (options.texels, error.strerror),
                  file=sys.stderr)
            return 1

    textured = sum(1 for polygon in polygons if polygon.texture)
    print("%s: %d polygons, %d textured, %d bitmap%s"
          % (options.t3d, len(polygons), textured, len(bitmaps),
             "" if len(bitmaps) == 1 else "s"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
