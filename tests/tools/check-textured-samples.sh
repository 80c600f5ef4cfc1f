#!/usr/bin/env bash
# Converts the textured sample models with --uv and reads the results back
# with check_t3d.py, a T3D reader of its own that shares no code with the
# program. For each sample:
#   - map mode with --uv: a well-formed document, 24-bit bitmaps for every
#     texture a polygon names, and at least one textured polygon;
#   - --uv --one-brush --pow2 --bitmap-depth 8: the same with 8-bit
#     palettized bitmaps of power-of-two sides, and the textured polygons
#     landing on the same places of their pictures (texels over the
#     picture's size) as in map mode;
#   - the same reader without --uv: no polygon names a texture;
#   - --uv --editor-frame: the editor's own form (check_t3d.py
#     --editor-frame), every textured corner on the same place of its
#     picture as the corner at the same point of the model in map mode.
# For uv-transform.3dmf the first textured polygon's texels are checked
# against the file's own UVs put through its ShaderUVTransform.
# Usage: check-textured-samples.sh BUILD_BIN_DIR SAMPLES_DIR
set -uo pipefail

bin=$(cd "${1:?usage: check-textured-samples.sh BUILD_BIN_DIR SAMPLES_DIR}" && pwd) || exit 2
samples=$(cd "${2:?usage: check-textured-samples.sh BUILD_BIN_DIR SAMPLES_DIR}" && pwd) || exit 2
convert="$bin/kelvane-convert"
checker="$(cd "$(dirname "$0")" && pwd)/check_t3d.py"
[ -x "$convert" ] || { echo "no kelvane-convert in $bin" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is needed (scripts/install-deps.sh)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../../scripts/check-support.sh
source "$(dirname "$0")/../../scripts/check-support.sh"

# count_textured FILE.json: how many polygons name a texture
count_textured() {
  python3 -c 'import json, sys
print(sum(1 for p in json.load(open(sys.argv[1])) if p["texture"] is not None))' "$1"
}

has_textures() { [ "$(count_textured "$1")" -gt 0 ]; }
has_no_textures() { [ "$(count_textured "$1")" -eq 0 ]; }

# same_places A.json B.json: the textured polygons of both, in order, put
# their vertices on the same places of their pictures (within 0.001 of the
# picture's side), whatever the pictures' sizes.
same_places() {
  python3 - "$1" "$2" <<'EOF'
import json, sys
def places(path):
    result = []
    for polygon in json.load(open(path)):
        if polygon["texture"] is None:
            continue
        width, height = polygon["size"]
        result.append([(s / width, t / height) for s, t in polygon["texels"]])
    return result
first, second = places(sys.argv[1]), places(sys.argv[2])
if len(first) != len(second):
    sys.exit("%d textured polygons against %d" % (len(first), len(second)))
for number, (a, b) in enumerate(zip(first, second)):
    if len(a) != len(b) or any(abs(x - y) > 1e-3 for p, q in zip(a, b) for x, y in zip(p, q)):
        sys.exit("textured polygon %d: %s against %s" % (number, a, b))
EOF
}

# same_places_by_point MAP.json EDITOR.json: each textured corner of the
# editor-frame document (X, Y, Z) lies where a textured corner of the map
# document at the same model point (X, -Y, Z) lies on its picture. Faces
# may be whole polygons in one and triangles in the other, so corners are
# matched by point, not by order.
same_places_by_point() {
  python3 - "$1" "$2" <<'EOF'
import json, sys
def corners(path, flip):
    found = []
    for polygon in json.load(open(path)):
        if polygon["texture"] is None:
            continue
        width, height = polygon["size"]
        for (x, y, z), (s, t) in zip(polygon["vertices"], polygon["texels"]):
            found.append(((x, -y if flip else y, z), (s / width, t / height), polygon["texture"]))
    return found
mapped = corners(sys.argv[1], False)
editor = corners(sys.argv[2], True)
if not editor:
    sys.exit("no textured polygon in the editor frame")
for point, place, name in editor:
    if not any(name == n and all(abs(a - b) < 1e-3 for a, b in zip(point, p)) and
               all(abs(a - b) < 1e-3 for a, b in zip(place, q)) for p, q, n in mapped):
        sys.exit("corner %s of %s at %s: no such corner in the map" % (point, name, place))
EOF
}

# uv_transform_texels FILE.json ONLY_FIRST: the first textured polygon holds
# the texels of points 0 1 2 of uv-transform.3dmf's first triangle: UVs
# (0,0) (1,0) (1,0.8) as rows (u v 1) times the file's transform, scaled
# by the 4 x 4 texture with t counted down from the top (t = (1 - v) * 4).
# With ONLY_FIRST=1 that polygon must also be the document's first.
uv_transform_texels() {
  python3 - "$1" "$2" <<'EOF'
import json, sys
uvs = [(0.0, 0.0), (1.0, 0.0), (1.0, 0.8)]
transform = [[0.866, -0.5, 0.0], [0.5, 0.866, 0.0], [0.0, 0.0, 1.0]]
size = (4, 4)
expected = []
for u, v in uvs:
    row = (u, v, 1.0)
    tu, tv = (sum(row[k] * transform[k][column] for k in range(3)) for column in (0, 1))
    expected.append((tu * size[0], (1.0 - tv) * size[1]))
polygons = json.load(open(sys.argv[1]))
textured = [i for i, p in enumerate(polygons) if p["texture"] is not None]
if not textured:
    sys.exit("no textured polygon")
if sys.argv[2] == "1" and textured[0] != 0:
    sys.exit("the first polygon is not textured")
polygon = polygons[textured[0]]
if polygon["size"] != list(size):
    sys.exit("texture size %s, expected %s" % (polygon["size"], list(size)))
got = polygon["texels"]
if len(got) != len(expected) or any(abs(g - e) > 0.01 for a, b in zip(got, expected)
                                    for g, e in zip(a, b)):
    sys.exit("texels %s, expected %s" % (got, expected))
EOF
}

for name in texture-wrapping uv-transform tx-16bit-little tx-24bit-little tx-32bit-little \
  TriMesh-fancy; do
  input="$samples/$name.3dmf"
  if [ ! -f "$input" ]; then
    check "$name: sample present" false
    continue
  fi
  mkdir -p "$work/$name/map" "$work/$name/brush" "$work/$name/plain" "$work/$name/editor"
  map="$work/$name/map/$name.t3d"
  brush="$work/$name/brush/$name.t3d"
  plain="$work/$name/plain/$name.t3d"
  editor="$work/$name/editor/$name.t3d"

  if check "$name: converts with --uv" "$convert" "$input" "$map" --uv --quiet; then
    check "$name: --uv map reads back with 24-bit bitmaps" \
      python3 "$checker" "$map" --expect-depth 24 --texels "$map.json"
    [ -f "$map.json" ] && check "$name: --uv map has textured polygons" has_textures "$map.json"
  fi

  if check "$name: converts with --uv --one-brush --pow2 --bitmap-depth 8" \
    "$convert" "$input" "$brush" --uv --one-brush --pow2 --bitmap-depth 8 --quiet; then
    check "$name: one brush reads back with 8-bit power-of-two bitmaps" \
      python3 "$checker" "$brush" --expect-depth 8 --expect-pow2 --texels "$brush.json"
    [ -f "$brush.json" ] && check "$name: one brush has textured polygons" has_textures "$brush.json"
    [ -f "$map.json" ] && [ -f "$brush.json" ] &&
      check "$name: same texture places in map and one brush" same_places "$map.json" "$brush.json"
  fi

  if check "$name: converts without --uv" "$convert" "$input" "$plain" --reader 3dmf --quiet; then
    check "$name: without --uv reads back" python3 "$checker" "$plain" --texels "$plain.json"
    [ -f "$plain.json" ] && check "$name: without --uv no polygon names a texture" \
      has_no_textures "$plain.json"
  fi

  if check "$name: converts with --uv --editor-frame" \
    "$convert" "$input" "$editor" --uv --editor-frame --quiet; then
    check "$name: editor frame reads back in the editor's form" \
      python3 "$checker" "$editor" --editor-frame --texels "$editor.json"
    [ -f "$map.json" ] && [ -f "$editor.json" ] &&
      check "$name: editor frame puts every corner on its texel" \
        same_places_by_point "$map.json" "$editor.json"
  fi

  if [ "$name" = uv-transform ]; then
    [ -f "$map.json" ] && check "uv-transform: map texels follow the UV transform" \
      uv_transform_texels "$map.json" 0
    [ -f "$brush.json" ] && check "uv-transform: one-brush texels follow the UV transform" \
      uv_transform_texels "$brush.json" 1
  fi
done

finish "textured samples"
