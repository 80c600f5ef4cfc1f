#pragma once

// What both whole-format fuzz targets check: a failed check aborts, which
// libFuzzer reports as a finding; the sink checks everything the scene walk
// hands over.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "metafile/format/Document.h"
#include "metafile/scene/Scene.h"
#include "text/RunError.h"

namespace Kelvane::Metafile {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "metafile check failed: %s\n", what.c_str());
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// Counts and checks everything the walk hands over.
class CheckingSink : public SceneSink {
 public:
  explicit CheckingSink(const Document& document) : document_(document) {}

  void Reached(const Object& object) override { CheckInTree(object); }

  void Geometry(const Object& object, TriangleSet& set) override {
    CheckInTree(object);
    for (const Vector3& p : set.points) {
      Check(std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z),
            "a point handed to the writer is not finite");
    }
    for (const auto& triangle : set.triangles) {
      for (const std::uint32_t corner : triangle) {
        Check(corner < set.points.size(), "a triangle corner lies outside the point table");
      }
    }
    const SurfaceMapping& mapping = set.mapping;
    Check(mapping.uvs.empty() || mapping.uvs.size() == set.points.size(),
          "the UVs do not match the points");
    Check(mapping.textureOf.empty() || mapping.textureOf.size() == set.triangles.size(),
          "the triangles' textures do not match the triangles");
    for (const std::uint32_t use : mapping.textureOf) {
      Check(use == kNoTexture || use < mapping.textures.size(),
            "a triangle names a texture the object does not have");
    }
    for (const TextureUse& use : mapping.textures) {
      CheckInTree(*use.texture);
      // Handed over before the object that uses it, when pictures are on.
      Check(!withPictures_ || texturesSeen_.count(use.texture) == 1,
            "a texture reached the writer after an object that uses it");
    }
    ++geometryObjects;
    triangles += set.triangles.size();
  }

  bool withPictures_ = true;

  void Texture(const Object& object, const Image& image) override {
    CheckInTree(object);
    Check(texturesSeen_.insert(&object).second, "a texture object was decoded twice");
    Check(image.width > 0 && image.height > 0, "an image of no pixels was handed over");
    Check(static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height) <=
              kMaxTexturePixels,
          "an image larger than the picture box can hold was handed over");
    Check(image.rgb.size() ==
              static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height),
          "an image's pixels do not match its width and height");
    for (const std::uint32_t pixel : image.rgb) Check(pixel <= 0xFFFFFF, "a pixel kept its alpha");
    Check(image.alpha.empty() || image.alpha.size() == image.rgb.size(),
          "an image's alpha does not match its pixels");
    Check(image.alpha.empty() || image.HasAlpha(), "an opaque image kept an alpha plane");
    ++textures;
  }

  std::size_t geometryObjects = 0;
  std::size_t triangles = 0;
  std::size_t textures = 0;

 private:
  void CheckInTree(const Object& object) const {
    const auto& all = document_.objects;
    Check(!all.empty() && &object >= all.data() && &object < all.data() + all.size(),
          "the walk handed over an object that is not in the tree");
  }

  const Document& document_;
  std::set<const Object*> texturesSeen_;
};

// The links both front ends must keep: every `next` and child leads
// forward inside the tree (the walk follows them without a guard), and the
// top level and the table of contents name objects of the tree.
void CheckLinks(const Document& document) {
  const std::size_t count = document.objects.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Object& object = document.objects[i];
    Check(object.next == kNone || (object.next > i && object.next < count),
          "an object's next link does not lead forward");
    for (const std::size_t child : object.children) {
      Check(child > i && child < count, "a child link does not lead forward");
    }
  }
  for (const std::size_t top : document.top) Check(top < count, "a top-level link is dangling");
  for (const auto& [id, target] : document.references) {
    Check(target < count, "a table of contents entry names no object");
  }
}

// Junk to put after an input, chosen by the input's own bytes: zeros (the
// padding a writer left), a copy of the input's last bytes (data written a
// second time), or bytes that look random. Lengths from 1 to 64, so that
// a binary rest may be too short for a type and size.
enum class JunkKind { kZeros, kCopy, kRandom };

JunkKind KindOfJunk(std::string_view input) { return static_cast<JunkKind>(input.size() % 3); }

std::string JunkFor(std::string_view input) {
  const std::size_t length =
      1 + (input.empty() ? 0 : static_cast<unsigned char>(input.back())) % 64;
  switch (KindOfJunk(input)) {
    case JunkKind::kZeros:
      return std::string(length, '\0');
    case JunkKind::kCopy:
      return std::string(input.substr(input.size() - std::min(length, input.size())));
    case JunkKind::kRandom:
    default: {
      std::string junk;
      std::uint32_t state = 2166136261u;
      for (const char c : input) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
      for (std::size_t i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        junk += static_cast<char>(state >> 24);
      }
      return junk;
    }
  }
}

// Whether `with` holds the objects of `alone` as they are: the same
// objects, first in its list, and the same top level before any more. The
// last top-level object alone may lead on to objects of the junk.
bool ObjectsKept(const Document& alone, const Document& with) {
  if (with.objects.size() < alone.objects.size() || with.top.size() < alone.top.size()) {
    return false;
  }
  const std::size_t last = alone.top.empty() ? kNone : alone.top.back();
  for (std::size_t i = 0; i < alone.objects.size(); ++i) {
    const Object& a = alone.objects[i];
    const Object& b = with.objects[i];
    if (a.kind != b.kind || a.code != b.code || a.start != b.start || a.dataBegin != b.dataBegin ||
        a.dataEnd != b.dataEnd || a.children != b.children || (i != last && a.next != b.next)) {
      return false;
    }
  }
  for (std::size_t i = 0; i < alone.top.size(); ++i) {
    if (alone.top[i] != with.top[i]) return false;
  }
  return true;
}

// Walks with pictures on and off: the pictures option must not change the
// geometry that comes out when the walk ends well.
// `checkError` checks an error the walk with pictures raised.
template <typename CheckErrorFn>
void WalkBothWays(const Document& document, CheckErrorFn checkError) {
  CheckingSink withPictures(document);
  SceneSummary summary;
  try {
    WalkScene(document, withPictures, true, summary);
  } catch (const Kelvane::RunError& e) {
    checkError(e);
    return;
  }
  Check(summary.geometryObjects == withPictures.geometryObjects,
        "the summary counts other geometry objects than the sink got");
  Check(summary.triangles == withPictures.triangles,
        "the summary counts other triangles than the sink got");
  Check(summary.textures == withPictures.textures,
        "the summary counts other textures than the sink got");

  CheckingSink withoutPictures(document);
  withoutPictures.withPictures_ = false;
  SceneSummary plain;
  try {
    WalkScene(document, withoutPictures, false, plain);
  } catch (const Kelvane::RunError& e) {
    Fail(std::string("a walk without pictures failed where one with pictures did not: ") +
         e.what());
  }
  Check(withoutPictures.textures == 0, "a texture was decoded with pictures off");
  Check(withoutPictures.triangles == withPictures.triangles,
        "pictures off gave other triangles than pictures on");

  // With texture mapping the walk may find faults of the mapping's own
  // objects; otherwise it hands over the same triangles.
  CheckingSink mapped(document);
  SceneSummary mappedSummary;
  try {
    WalkScene(document, mapped, true, mappedSummary, Mapping::kTexturesAndUVs);
  } catch (const Kelvane::RunError& e) {
    checkError(e);
    return;
  }
  Check(mapped.triangles == withPictures.triangles,
        "texture mapping gave other triangles than the plain walk");
}

// Zeros after a whole file: the same objects, and one warning that gives
// the unread rest's length and ends with `place`, where the rest begins.
void CheckZerosAfter(const Document& alone, const Document& with, std::size_t zeros,
                     const std::string& place) {
  Check(with.objects.size() == alone.objects.size(), "zeros after a file were read as objects");
  Check(with.warnings.size() == 1, "zeros after a file gave no warning");
  const std::string& warning = with.warnings[0];
  Check(warning.size() >= place.size() &&
            warning.compare(warning.size() - place.size(), place.size(), place) == 0,
        "the unread rest's warning names another place");
  const std::string count =
      zeros == 1 ? "the last byte " : "the last " + std::to_string(zeros) + " bytes ";
  Check(warning.rfind(count, 0) == 0, "the unread rest's warning gives another length");
}

}  // namespace
}  // namespace Kelvane::Metafile
