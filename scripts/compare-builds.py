#!/usr/bin/env python3
"""Holds two builds of kelvane-convert against each other, byte for byte.

Every model of the corpus (the examples, tests/data, the shared samples, the
fuzz seeds and a few junk files made here) is converted by both programs in
every option set, one after the other in the same folder, so that paths in
messages are the same. What each run leaves (the document, side files,
bitmaps, pictures, with their modes), its stdout, its stderr and its exit
status must be equal.

Usage: compare-builds.py BEFORE_BIN AFTER_BIN [--corpus DIR ...] [--sets NAME,...]
                         [--ignore-usage] [--files-only]
  BEFORE_BIN, AFTER_BIN: folders that hold kelvane-convert and StartMapFile.txt
  --files-only: compare what the runs leave and their exit status, not what
                they print (for builds whose messages differ on purpose)
Prints one line per difference and the counts; exits 1 when any differs. A
failed run whose pieces the after build put in a side file beside the
output it did not write (editor documents appear only whole), with the
error line naming both, is counted apart and does not differ.
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

OPTION_SETS = {
    "default": [],
    "one-brush": ["--one-brush"],
    "no-pictures": ["--no-pictures"],
    "3dmf": ["--reader", "3dmf"],
    "3dmf-one-brush": ["--reader", "3dmf", "--one-brush"],
    "keywords": ["--reader", "keywords"],
    "editor": ["--editor-frame"],
    "editor-3dmf": ["--editor-frame", "--reader", "3dmf"],
    "editor-3dmf-one-brush": ["--editor-frame", "--reader", "3dmf", "--one-brush"],
    "uv": ["--uv"],
    "uv-editor": ["--uv", "--editor-frame"],
    "uv-pow2-8": ["--uv", "--pow2", "--bitmap-depth", "8"],
    "pow2": ["--pow2"],
    "fit": ["--fit", "512"],
    "fit-editor": ["--fit", "100", "--editor-frame", "--reader", "3dmf"],
    "scale1": ["--scale", "1"],
    "scale-words": ["--scale", "abc"],
    "depth8": ["--bitmap-depth", "8"],
    "textures": ["--textures", "tex"],
    "preview": ["--preview", "p.png", "--preview-size", "64x48"],
    "template-missing": ["--template", "missing.txt"],
    "usage": ["--reader", "keywords", "--uv"],
    # The keyword reader named, in every mode it has: its documents and
    # bitmaps never change.
    "keywords-one-brush": ["--reader", "keywords", "--one-brush"],
    "keywords-no-pictures": ["--reader", "keywords", "--no-pictures"],
    "keywords-editor": ["--reader", "keywords", "--editor-frame"],
    "keywords-editor-one-brush": ["--reader", "keywords", "--editor-frame", "--one-brush"],
    "keywords-fit": ["--reader", "keywords", "--fit", "512"],
    "keywords-scale": ["--reader", "keywords", "--scale", "2.5"],
    "keywords-depth8": ["--reader", "keywords", "--bitmap-depth", "8"],
    "keywords-preview": ["--reader", "keywords", "--preview", "p.png", "--preview-size", "64x48"],
    "ue1": ["--engine", "ue1"],
    "ue1-one-brush-3dmf": ["--engine", "ue1", "--one-brush", "--reader", "3dmf"],
    "ue2-one-brush": ["--engine", "ue2", "--one-brush"],
    "ue2-3dmf-semisolid": ["--engine", "ue2", "--reader", "3dmf", "--solidity", "semisolid"],
    "ue3": ["--engine", "ue3"],
    "ue3-one-brush-nonsolid": ["--engine", "ue3", "--one-brush", "--solidity", "nonsolid"],
    "ue4-uv": ["--engine", "ue4", "--uv"],
    "ue4-3dmf-one-brush": ["--engine", "ue4", "--reader", "3dmf", "--one-brush"],
    "ue4-uv-package-fit": ["--engine", "ue4", "--uv", "--texture-package", "Walls.Stone",
                           "--fit", "256"],
    "editor-one-brush": ["--editor-frame", "--one-brush"],
    "editor-no-pictures": ["--editor-frame", "--no-pictures"],
    "uv-editor-one-brush": ["--uv", "--editor-frame", "--one-brush"],
    "ue1-3dmf": ["--engine", "ue1", "--reader", "3dmf"],
    "ue2-uv-png": ["--engine", "ue2", "--uv", "--texture-format", "png"],
    "ue3-3dmf-bmp": ["--engine", "ue3", "--reader", "3dmf", "--texture-format", "bmp"],
}

# Runs that take no model.
LONE_RUNS = [
    [], ["--help"], ["--version"], ["--bogus"], ["--fit", "abc", "x.3dmf"],
    ["--jobs", "0", "x"], ["--scale"], ["missing.3dmf"],
]


def junk_inputs(folder):
    rng = random.Random(1)
    made = {
        "empty.3dmf": b"",
        "random.3dmf": bytes(rng.randrange(256) for _ in range(3000)),
        "keyword-only.txt": b"Polyhedron\n",
        "header-only.3dmf": b"3DMetafile ( 1 6 Normal toc> )\n",
        "binary-header.3dmf": b"3DMF\x00\x00\x00\x10\x00\x01\x00\x06\x00\x00\x00\x00",
        "nan.3dmf": b"Polyhedron\n3\nnan 0 0\n1 inf 0\n0 0 1\n1\n3 0 1 2\n",
    }
    paths = []
    for name, data in made.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        paths.append(path)
    # Each sample cut off halfway.
    for sample in sorted(os.listdir(os.path.join(ROOT, "tests/data/samples")))[:12]:
        source = os.path.join(ROOT, "tests/data/samples", sample)
        if not sample.endswith(".3dmf"):
            continue
        with open(source, "rb") as f:
            data = f.read()
        path = os.path.join(folder, "cut-" + sample)
        with open(path, "wb") as f:
            f.write(data[: len(data) // 2])
        paths.append(path)
    return paths


def corpus(extra):
    folders = [os.path.join(ROOT, "examples"), os.path.join(ROOT, "tests/data"),
               os.path.join(ROOT, "fuzz/seeds"), os.path.join(ROOT, "../shared/samples")] + extra
    found = []
    for folder in folders:
        for top, _, files in os.walk(folder):
            for name in sorted(files):
                if name.endswith((".md", ".txt")) and "seeds" not in top:
                    continue
                found.append(os.path.join(top, name))
    return sorted(set(os.path.realpath(p) for p in found))


def snapshot(folder):
    """Every file under the folder with its bytes' digest and its mode."""
    files = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = (hashlib.sha256(f.read()).hexdigest(),
                                                        os.stat(path).st_mode & 0o7777)
    return files


SECONDS = re.compile(rb"\d+\.\d\d s\b")
USAGE = re.compile(rb"Usage: kelvane-convert .*", re.S)
IGNORE_USAGE = False


def normal(text):
    text = SECONDS.sub(b"S", text)
    return USAGE.sub(b"<usage>", text) if IGNORE_USAGE else text


FILES_ONLY = False


def run(program_dir, work, input_path, options):
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(os.path.join(work, "in"))
    args = [os.path.join(program_dir, "kelvane-convert")]
    if input_path is not None:
        name = os.path.basename(input_path)
        shutil.copyfile(input_path, os.path.join(work, "in", name))
        args.append(os.path.join("in", name))
    args += options
    try:
        done = subprocess.run(args, cwd=work, capture_output=True, timeout=120)
        if FILES_ONLY:
            result = (done.returncode,)
        else:
            result = (done.returncode, normal(done.stdout), normal(done.stderr))
    except subprocess.TimeoutExpired:
        result = ("timeout", b"", b"")
    return result, snapshot(work)


SIDE_CLAUSE = re.compile(rb'; "[^"\n]*" was not written, and what this run wrote is in "[^"\n]*"')
SIDE_NAME = re.compile(r"^(.*?)(\.\d+)?\.partial$")


def moved_to_side_file(a, b):
    """Whether the after run differs from the before run only as a failed
    editor document does now: the pieces stand in a side file beside the
    output, which was not written, and the error line names both."""
    # With --files-only a result holds its exit status alone.
    (code_a, out_a, err_a), files_a = (a[0] + (b"", b"") * (len(a[0]) == 1))[:3], a[1]
    (code_b, out_b, err_b), files_b = (b[0] + (b"", b"") * (len(b[0]) == 1))[:3], b[1]
    if code_a != code_b or code_a == 0 or not (FILES_ONLY or SIDE_CLAUSE.search(err_b)):
        return False
    moved = dict(files_b)
    for name in files_b:
        match = SIDE_NAME.match(name)
        if name in files_a or not match or match.group(1) in files_b:
            continue
        moved[match.group(1)] = moved.pop(name)
    return (out_a, err_a, files_a) == (SIDE_CLAUSE.sub(b"", out_b), SIDE_CLAUSE.sub(b"", err_b),
                                       moved)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--corpus", action="append", default=[])
    parser.add_argument("--sets", default=",".join(OPTION_SETS))
    parser.add_argument("--ignore-usage", action="store_true",
                        help="hold the --help text apart from the comparison")
    parser.add_argument("--files-only", action="store_true",
                        help="compare the files left and the exit status, not the messages")
    args = parser.parse_args()
    global IGNORE_USAGE, FILES_ONLY
    IGNORE_USAGE = args.ignore_usage
    FILES_ONLY = args.files_only
    args.before = os.path.abspath(args.before)
    args.after = os.path.abspath(args.after)
    scratch = tempfile.mkdtemp(prefix="kelvane-compare-")
    work = os.path.join(scratch, "work")
    junk = os.path.join(scratch, "junk")
    os.makedirs(junk)
    inputs = corpus(args.corpus) + junk_inputs(junk)
    jobs = [(path, OPTION_SETS[name], name) for path in inputs for name in args.sets.split(",")]
    jobs += [(None, options, "lone") for options in LONE_RUNS]
    # A batch over the examples, with and without --out-dir.
    batch_inputs = os.path.join(ROOT, "examples")
    differences = 0
    moved = 0
    compared = 0
    for path, options, name in jobs:
        a = run(args.before, work, path, options)
        b = run(args.after, work, path, options)
        compared += 1
        if a != b and moved_to_side_file(a, b):
            moved += 1
        elif a != b:
            differences += 1
            what = "output" if a[0] == b[0] else "exit/stdout/stderr"
            print(f"DIFFERS ({what}): {path} [{name}] {' '.join(options)}")
            if a[0] != b[0]:
                print(f"  before: {a[0]!r}\n  after:  {b[0]!r}")
    for options in (["--out-dir", "outdir", "-r", batch_inputs, "--jobs", "1"],
                    ["-r", "--out-dir", "o2", "--editor-frame", "--jobs", "1", batch_inputs],
                    ["--reader", "keywords", "--out-dir", "o3", "--jobs", "1", batch_inputs]):
        a = run(args.before, work, None, options)
        b = run(args.after, work, None, options)
        compared += 1
        if a != b and moved_to_side_file(a, b):
            moved += 1
        elif a != b:
            differences += 1
            print(f"DIFFERS: batch {' '.join(options)}")
    shutil.rmtree(scratch)
    print(f"{compared} runs compared over {len(inputs)} inputs, {differences} differ; "
          f"{moved} failed runs wrote the same pieces into a side file instead of the output")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
