#!/usr/bin/env python3
"""Instructions per polygon, counted by valgrind's callgrind.

Wall-clock ratios on a shared virtual machine mostly measure the machine;
instruction counts are the same on every machine. For each row this runs,
under callgrind:

  - the conversion of a model of TRIANGLES triangles (one brush, no
    pictures, quiet), and of a one-triangle model of the same kind: its
    count is the start-up, subtracted from the first;
  - the floor program on the same input, appending the same pieces the
    conversion wrote (kelvane-floor), and on the one-triangle model with
    its pieces: the floor's calls, subtracted too.

What is left is the program's own work, given per polygon written and
split by where it goes: the self cost of each source line, grouped by the
function it is inlined from when the build has line information (make
bench builds with -g, which changes no instruction), else by the function
it stands in; the start-up and the floor are subtracted group by group, so
the groups add up to the total.

Usage: bench/instructions.py BIN_DIR WORK_DIR [TRIANGLES]
  BENCH_RANDOM_POINTS      points a triangle of the random model (default 0.5)
  BENCH_INSTRUCTIONS_ROWS  only these rows, as KIND-READER-FRAME,...
                           (e.g. random-keywords-default,trimesh-3dmf-editor)
Fails when valgrind is missing: a benchmark that cannot count must not
look as if it passed.
"""

import os
import re
import shutil
import subprocess
import sys

GROUPS = [
    # (name, pattern over the function's name); the first that matches wins.
    ("progress", r"DoEvents|ShowPosition|ShowRow|ShowProcessed|ShowCurpos|ShowPhase|Sink::"),
    ("number form", r"PutNumber|PutVector|PutPadded|PutFiveDigits|PutLongWhole|EightDigits|"
                    r"PutLink|MakeCornerForm|PutCorner|AppendNumber|FormatVector|NumberForm|"
                    r"to_chars|AppendEditorNumber|AppendEditorVector|PutEditorMillionths|"
                    r"QuickMillionths|WrittenMillionths|PutEditorVector|MakeEditorCorner|"
                    r"PutEditorUnitVector|PutEditorUnitPart|PutEditorFraction|PutEditorDigits|"
                    r"PutUnitVector|PutFraction"),
    ("write path", r"WriteParts|WriteTextLine|WriteTextFile|AppendRecord|WritePiece|AppendQuickly|"
                   r"WriteBlock|WriteRecord|StreamRecord|FinishDocument|Abandon|"
                   r"Platform::File|(^|:)(open|open64|write|writev|close|__libc_open64|"
                   r"__libc_write|__libc_close|__close|__write|__open64)\b|"
                   r"(^|::)(WriteAll|Floor)$|^main$"),
    ("record building", r"WriteTriangleRecord|WriteTriangle|PutTriangle|PutWholeRecord|"
                        r"AxesOf|UnitOrZero|BeginPolygon|TriangleNormal|VectorNormalize|"
                        r"VectorScale|VectorSubtract|WritePolygons|RecordBatch|RecordMaker|CornerPoint|"
                        r"ModuleVector|EditorNormal|JudgeEditorCorners|FlatAndConvex|"
                        r"WriteEditorPolygon|WriteEditorTriangles|EditorPoint|PutEditorRecord|"
                        r"EditorRecord|SamePoint|OnOneLine|Unit\b|MapAxesToEditor"),
    ("reading", r"TextRoutines::|ReadIndexRows|ReadTriMesh|ReadMesh|ReadPolyhedron|"
                r"LineTokens|StreamNumber|MakeTable|Metafile::|WholeFormatPass|from_chars|strtod|"
                r"KeywordPass::Search|memchr|basic_string_view::find"),
    ("memory", r"mem(set|cpy|move|cmp)|malloc|free|operator new|operator delete|_int_"),
]


def fail(message):
    print("instructions: " + message, file=sys.stderr)
    sys.exit(1)


def bare_name(function):
    """A function's name without template arguments and parameter lists, so
    that a lambda is known by the function it stands in, not by the types
    its template was made with ("WritePolygons::{lambda#1}::operator() const")."""
    out = []
    depth = 0
    i = 0
    while i < len(function):
        c = function[i]
        if function.startswith("operator()", i) or function.startswith("operator<", i):
            out.append(function[i:i + 9])
            i += 9
            continue
        if c in "<(":
            depth += 1
        elif c in ">)" and depth > 0:
            depth -= 1
        elif depth == 0:
            out.append(c)
        i += 1
    return "".join(out)


def group_of(function):
    name_only = bare_name(function)
    for name, pattern in GROUPS:
        if re.search(pattern, name_only):
            return name
    return "other"


def callgrind(out_file, command):
    """Runs a command under callgrind; returns its exit status."""
    result = subprocess.run(
        ["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out_file] + command,
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if not os.path.exists(out_file):
        fail("callgrind wrote no profile for " + " ".join(command) + "\n" + result.stderr)
    return result.returncode


# The number form's functions, which the compiler inlines into the records
# and corner forms: their lines count as number form wherever they stand.
NUMBER_FORM_FILES = ("t3d/NumberForm.h", "t3d/NumberForm.cpp", "t3d/PolygonRecords.cpp",
                     "t3d/EditorFrame.cpp", "t3d/EditorFrame.h")
NUMBER_FORM_FUNCTIONS = ["PutFiveDigitsQuick", "PutLongWhole", "PutNumber", "PutNumberAnyRange",
                         "PutPadded", "PutFiveDigits", "PutVector", "PutLink",
                         "MakeCornerForm", "QuickMillionths", "PutEditorMillionths",
                         "AppendEditorNumber", "WrittenMillionths", "PutWholeAnyRange",
                         "PutEditorDigits", "PutEditorNumber", "PutEditorNumberAnyRange",
                         "PutEditorVector", "MakeEditorCorner", "PutEditorFraction",
                         "PutEditorUnitPart", "PutEditorUnitVector", "PutUnitVector",
                         "PutFraction"]
# Files whose lines are reading, whatever function they are inlined into.
READING_FILES = ("/text/QuickLines.h", "/text/QuickNumbers.h",
                 "/keyword/", "/metafile/")
# Files whose lines make records, also where a reader's loop holds them.
RECORD_FILES = ("/t3d/WritePolygons.h", "/t3d/EditorFrame.h", "/t3d/EditorFrame.cpp",
                "/vector/Vector3.h", "/vector/ModuleVector.h")


def function_lines(path, names):
    """The line ranges (first, last) of the named functions' bodies in a
    source file: from the line that names the function before its "{" to
    the matching "}"."""
    ranges = []
    try:
        lines = open(path, encoding="utf-8").read().split("\n")
    except OSError:
        return ranges
    for index, line in enumerate(lines):
        if not any(re.search(r"\b" + name + r"\(", line) for name in names):
            continue
        if line.startswith((" ", "//", "#")) or line.rstrip().endswith(";"):
            continue
        depth = 0
        opened = False
        for end in range(index, len(lines)):
            depth += lines[end].count("{") - lines[end].count("}")
            opened = opened or "{" in lines[end]
            if opened and depth == 0:
                ranges.append((index + 1, end + 1))
                break
    return ranges


NUMBER_FORM_LINES = {
    name: function_lines(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", name),
                         NUMBER_FORM_FUNCTIONS)
    for name in NUMBER_FORM_FILES}


def group_of_line(path, function, line):
    for name, ranges in NUMBER_FORM_LINES.items():
        if path.endswith(name) and any(a <= line <= b for a, b in ranges):
            return "number form"
    # SSE2 steps: the number form's own, but for the readers' scans.
    if path.endswith("emmintrin.h") and group_of(function) != "reading":
        return "number form"
    if any(part in "/" + path for part in READING_FILES):
        return "reading"
    if any(part in "/" + path for part in RECORD_FILES):
        return "record building"
    return group_of(function)


def profile(out_file):
    """Self instructions by group, and the total, of a callgrind profile,
    read from callgrind's own file: cost lines carry their source line, and
    "fi="/"fe=" name the file of code inlined from elsewhere."""
    groups = {name: 0 for name, _ in GROUPS}
    groups["other"] = 0
    files = {}
    functions = {}
    def named(table, value):
        match = re.match(r"\((\d+)\)(?: (.*))?$", value)
        if not match:
            return value
        if match.group(2) is not None:
            table[match.group(1)] = match.group(2)
        return table.get(match.group(1), "")
    total = 0
    function = ""
    function_file = ""
    path = ""
    line = 0
    after_call = False
    position = re.compile(r"^([+-]?\d+|\*)\s+(\d+)")
    key_form = re.compile(r"^([a-z]+)=(.*?)\n?$")
    with open(out_file, encoding="utf-8", errors="replace") as lines:
        for text in lines:
            field = key_form.match(text)
            if field:
                key, value = field.group(1), field.group(2)
                if key == "fl":
                    function_file = named(files, value)
                    path = function_file
                elif key in ("fi", "fe"):
                    path = named(files, value)
                elif key == "fn":
                    function = named(functions, value)
                    path = function_file
                elif key in ("cfi", "cfl"):
                    named(files, value)
                elif key == "cfn":
                    named(functions, value)
                elif key == "calls":
                    after_call = True
                continue
            match = position.match(text)
            if not match:
                continue
            where, cost = match.group(1), int(match.group(2))
            if where == "*":
                pass
            elif where[0] in "+-":
                line += int(where)
            else:
                line = int(where)
            if after_call:  # the inclusive cost of a call: the callee counts it
                after_call = False
                continue
            total += cost
            groups[group_of_line(path, function, line)] += cost
    if total == 0:
        fail("no instructions in " + out_file)
    return total, groups


# The stream's block (T3dWriter::kStreamBlock): an editor document's floor
# writes its bytes once, in blocks of this size.
STREAM_BLOCK = 4 << 20


def run(bin_dir, work, tag, model, triangles_option, reader, frame, triangles):
    """Counts one row; returns its figures."""
    convert = os.path.join(bin_dir, "kelvane-convert")
    floor = os.path.join(bin_dir, "kelvane-floor")
    figures = {}
    for size in ("tiny", "big"):
        count = 1 if size == "tiny" else triangles
        input_path = os.path.join(work, "%s-%d.3dmf" % (model, count))
        if not os.path.exists(input_path):
            subprocess.run([os.path.join(bin_dir, "kelvane-generate-model")] + triangles_option +
                           [str(count), input_path], stdout=subprocess.DEVNULL, check=True)
        output = os.path.join(work, "out.t3d")
        for left in (output, output + ".partial"):
            if os.path.exists(left):
                os.remove(left)
        # The models begin with a 3DMF header: each row names its reader.
        options = ["--one-brush", "--no-pictures", "--quiet", "--reader", reader]
        if frame == "editor":
            options.append("--editor-frame")
        profile_file = os.path.join(work, "convert-%s-%s.cg" % (tag, size))
        status = callgrind(profile_file, [convert, input_path, output] + options)
        # A failed editor document stands in its side file.
        written = output if os.path.exists(output) else output + ".partial"
        with open(written, "rb") as document:
            polygons = document.read().count(b"Begin Polygon")
        pieces_file = os.path.join(work, "pieces-%s-%s.bin" % (tag, size))
        split = ["--split", written, pieces_file] if frame == "default" else [
            "--blocks", written, pieces_file, str(STREAM_BLOCK)]
        split = subprocess.run([floor] + split, stdout=subprocess.PIPE, text=True,
                               check=True).stdout
        pieces = int(split.split()[0])
        floor_file = os.path.join(work, "floor-%s-%s.cg" % (tag, size))
        floor_output = os.path.join(work, "floor.t3d")
        if callgrind(floor_file, [floor, input_path, pieces_file, floor_output]) != 0:
            fail("the floor failed on " + input_path)
        if os.path.getsize(floor_output) != os.path.getsize(written):
            fail("the floor wrote another size than the conversion on " + input_path)
        os.remove(floor_output)
        os.remove(written)
        figures[size] = {"status": status, "polygons": polygons, "pieces": pieces,
                         "convert": profile(profile_file), "floor": profile(floor_file)}
    return figures


# The most own work a polygon may take in the rows that have a goal.
GOAL = 1500


def main():
    if len(sys.argv) < 3:
        fail("usage: instructions.py BIN_DIR WORK_DIR [TRIANGLES]")
    for tool in ("valgrind",):
        if shutil.which(tool) is None:
            fail(tool + " is missing: install valgrind (scripts/install-deps.sh valgrind); "
                 "the instruction counts cannot be made without it")
    bin_dir, work = sys.argv[1], sys.argv[2]
    triangles = int(sys.argv[3]) if len(sys.argv) > 3 else 50000
    os.makedirs(work, exist_ok=True)

    # (model, kind, generator options, reader, frame, goal): the random
    # model's rows name random points with six decimals each, the work of a
    # model whose neighbouring rows share no corner.
    random_option = ["--random", os.environ.get("BENCH_RANDOM_POINTS", "0.5")]
    rows = [("mixed", "mixed", [], "keywords", "default", False),
            ("mixed", "mixed", [], "3dmf", "default", False),
            ("trimesh", "trimesh", ["--trimesh-only"], "keywords", "default", False),
            ("trimesh", "trimesh", ["--trimesh-only"], "3dmf", "default", False),
            ("random", "random", random_option, "keywords", "default", True),
            ("random", "random", random_option, "3dmf", "default", True),
            ("mixed", "mixed", [], "keywords", "editor", True),
            # Stops at the mixed model's Polyhedron (see the note below).
            ("mixed", "mixed", [], "3dmf", "editor", False),
            ("trimesh", "trimesh", ["--trimesh-only"], "keywords", "editor", True),
            ("trimesh", "trimesh", ["--trimesh-only"], "3dmf", "editor", True)]
    only = os.environ.get("BENCH_INSTRUCTIONS_ROWS")
    if only:
        rows = [row for row in rows if "-".join(row[1:2] + row[3:5]) in only.split(",")]
    names = [name for name, _ in GROUPS] + ["other"]
    print("instructions (callgrind), %d triangles, --one-brush --no-pictures --quiet; start-up "
          "(a one-triangle model) and the floor subtracted (default frame: the same pieces, "
          "each appended; editor frame: the same bytes once, in blocks of the stream's %d MiB)"
          % (triangles, STREAM_BLOCK >> 20))
    print("| input   | reader   | frame   | polygons | exit | start-up | floor/piece | own/polygon | " +
          " | ".join(names) + " |")
    print("|---------|----------|---------|---------:|-----:|---------:|------------:|------------:|" +
          "|".join("-" * (len(n) + 1) + ":" for n in names) + "|")
    goals = []
    for model, kind, option, reader, frame, goal in rows:
        tag = kind + "-" + reader + "-" + frame
        f = run(bin_dir, work, tag, model + "".join(option[1:]), option, reader, frame, triangles)
        big, tiny = f["big"], f["tiny"]
        polygons = big["polygons"] - tiny["polygons"]
        if polygons <= 0:
            fail("no polygons written for " + tag)
        floor_calls = (big["floor"][0] - tiny["floor"][0]) / max(1, big["pieces"] - tiny["pieces"])
        own = ((big["convert"][0] - tiny["convert"][0]) -
               (big["floor"][0] - tiny["floor"][0])) / polygons
        per_group = []
        for name in names:
            value = ((big["convert"][1][name] - tiny["convert"][1][name]) -
                     (big["floor"][1][name] - tiny["floor"][1][name])) / polygons
            per_group.append("%*.0f" % (len(name), value))
        print("| %-7s | %-8s | %-7s | %8d | %4d | %8d | %11.0f | %11.0f | %s |" %
              (kind, reader, frame, big["polygons"], big["status"], tiny["convert"][0],
               floor_calls, own, " | ".join(per_group)))
        if goal:
            goals.append("own work per polygon, %s %s %s: %.0f (goal: %d or less: %s)" %
                         (kind, reader, frame, own, GOAL, "met" if own <= GOAL else "NOT met"))
    print("(exit: the conversion's exit status; the mixed model's Polyhedron lacks the edge flags "
          "that the whole-format reader reads, so --reader 3dmf stops there with an error after "
          "the TriMesh and the Mesh: its figures are per polygon written. start-up: all "
          "instructions of the one-triangle conversion. random: TriMesh objects whose rows name "
          "random points, %s a triangle, six decimals within 500.)" % random_option[1])
    for line in goals:
        print(line)
    convert = os.path.join(bin_dir, "kelvane-convert")
    libraries = subprocess.run(["ldd", convert], stdout=subprocess.PIPE, text=True).stdout
    loaded = [line.split()[0] for line in libraries.splitlines() if "=>" in line]
    print("kelvane-convert loads %d shared libraries at start: %s" %
          (len(loaded), " ".join(sorted(loaded))))


if __name__ == "__main__":
    main()
