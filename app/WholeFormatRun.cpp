// The run with the whole-format reader: the file becomes a tree of objects
// first, then the scene walk hands each geometry object placed and each
// texture to the same writer and picture box as the keyword readers use.

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <unordered_map>

#include "app/ConversionRun.h"
#include "image/Image.h"
#include "image/TexturePicture.h"
#include "platform/Platform.h"
#include "t3d/Unreal.h"
#include "t3d/WritePolygons.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace Kelvane {

namespace {


// A point of the model as a corner of the document, as every reader maps
// the axes; function objects, so that WritePolygons takes them inline.
constexpr auto CornerPoint = [](const Vector3& p) { return Unreal::MapAxes(p.X, p.Y, p.Z); };
constexpr auto EditorPoint = [](const Vector3& p) {
  return Unreal::MapAxesToEditor(p.X, p.Y, p.Z);
};

}  // namespace

std::string TextureNameOf(std::string_view path) {
  std::string name = Platform::TextOf(Platform::PathOf(path).stem());
  for (char& c : name) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') c = '_';
  }
  return name.empty() ? "texture" : name;
}

std::string TextureBitmapPath(const std::string& path) {
  return Platform::TextOf(Platform::PathOf(path).parent_path() /
                          Platform::PathOf(TextureNameOf(path) + ".bmp"));
}

class ConversionRun::MetafileSink : public Metafile::SceneSink {
 public:
  explicit MetafileSink(ConversionRun& run)
      : run_(run), mapping_(run.settings_.textureMapping), powerOfTwo_(run.settings_.powerOfTwo) {}

  void Reached(const Metafile::Object& object) override {
    run_.currentObject_ = &object;
    // Progress shows where the walk stands in the input.
    run_.args_.scanPosition =
        object.start < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
            ? static_cast<std::int32_t>(object.start + 1)
            : std::numeric_limits<std::int32_t>::max();
    run_.sink_.ShowPosition(run_.args_.scanPosition);
  }

  void Geometry(const Metafile::Object& object, Metafile::TriangleSet& set) override {
    run_.currentObject_ = &object;
    if (set.triangles.empty() && set.zeroAreaLeftOut > 0) {
      // A degenerate shape with nothing left to draw: no empty brush.
      run_.report_.warnings.push_back(object.kind + " with no area left out (" +
                                      run_.document_->PlaceOf(object.start, &object) + ")");
      return;
    }
    run_.BeginObjectFrame();

    if (run_.settings_.editorFrame) {
      WriteEditorPolygons(set);
    } else if (mapping_ && !set.mapping.textures.empty()) {
      WriteMappedPolygons(set);
    } else {
      WritePolygons(
          run_.writer_, run_.args_.scale, run_.args_.spot, set.points, CornerPoint, set.triangles,
          [](std::size_t) {}, [&](std::size_t) { run_.sink_.DoEvents(); });
    }

    run_.ShowProcessed();
    run_.EndObjectFrame();
  }

  void Texture(const Metafile::Object& object, const Image& decoded) override {
    run_.currentObject_ = &object;
    const bool powerSides = IsPowerOfTwo(decoded.width) && IsPowerOfTwo(decoded.height);
    const bool resample = powerOfTwo_ && !powerSides;
    Image resampled;
    if (resample) {
      resampled = Resample(decoded, NextPowerOfTwo(decoded.width), NextPowerOfTwo(decoded.height));
    }
    const Image& image = resample ? resampled : decoded;
    TexturePicture& picture = run_.sink_.PictureTexture();
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    picture.SetOuterSizeTwips(
        picture.OuterWidthTwips() + TexturePicture::PixelsToTwips(width - picture.InnerWidth()),
        picture.OuterHeightTwips() + TexturePicture::PixelsToTwips(height - picture.InnerHeight()));
    run_.sink_.DoEvents();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        picture.SetPixel(
            x, y,
            image.rgb[static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)]);
      }
      run_.sink_.DoEvents();
    }
    picture.Touch();
    const std::string path = run_.SaveTexturePicture();
    if (path.empty() || !mapping_) return;
    const std::string name = TextureNameOf(path);
    saved_[&object] = {name, static_cast<std::uint32_t>(image.width),
                       static_cast<std::uint32_t>(image.height)};
    if (name != Platform::TextOf(Platform::PathOf(path).stem())) {
      run_.report_.warnings.push_back("the bitmap \"" + path + "\" is named " + name +
                                      " in the T3D document: a texture name takes only letters, "
                                      "digits and _");
    }
    if (!powerSides && !powerOfTwo_) {
      run_.report_.warnings.push_back("the texture " + name + " is " + std::to_string(image.width) +
                                      " x " + std::to_string(image.height) +
                                      " pixels; the editor imports textures whose sides are powers "
                                      "of two (the power-of-two option resamples it)");
    }
  }

 private:
  struct SavedTexture {
    std::string name;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
  };

  // Whether every corner of the triangle has a UV (the object's UVs are
  // none or one per point).
  static bool HasUVs(const Metafile::SurfaceMapping& mapping,
                     const std::array<std::uint32_t, 3>& triangle) {
    if (mapping.uvs.empty()) return false;
    for (const std::uint32_t corner : triangle) {
      const Metafile::UV& uv = mapping.uvs[corner];
      if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) return false;
    }
    return true;
  }

  // The polygons of a textured object, one by one: those whose texture was
  // saved name it and, when their corners have UVs with area, carry the
  // model's mapping; the others are written as any polygon.
  void WriteMappedPolygons(const Metafile::TriangleSet& set) {
    const Metafile::SurfaceMapping& mapping = set.mapping;
    std::string text;
    for (std::size_t r = 0; r < set.triangles.size(); ++r) {
      Vector3 corner[3];
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t index = set.triangles[r][static_cast<std::size_t>(k)];
        if (index >= set.points.size()) ThrowOutsideTable(index, set.points.size());
        corner[k] = CornerPoint(set.points[index]);
        const double scale = run_.args_.scale;
        if (scale != 1.0) corner[k] = ModuleVector::VectorScale(corner[k], scale);
        run_.writer_.extent.Include(corner[k]);
      }
      text.clear();
      const std::uint32_t use = mapping.TextureOf(r);
      const SavedTexture* saved = nullptr;
      if (use != Metafile::kNoTexture) {
        const auto found = saved_.find(mapping.textures[use].texture);
        if (found != saved_.end()) saved = &found->second;
      }
      if (saved == nullptr) {
        if (use != Metafile::kNoTexture) ++run_.report_.mapping.bitmapMissing;
        run_.writer_.WriteTriangle(text, corner[0], corner[1], corner[2]);
      } else if (!HasUVs(mapping, set.triangles[r])) {
        ++run_.report_.mapping.withoutUV;
        run_.writer_.WriteTexturedTriangle(text, corner[0], corner[1], corner[2], saved->name,
                                           nullptr);
      } else {
        double s[3];
        double t[3];
        for (int k = 0; k < 3; ++k) {
          const Metafile::UV uv = mapping.textures[use].transform.Apply(
              mapping.uvs[set.triangles[r][static_cast<std::size_t>(k)]]);
          s[k] = uv.u * saved->width;
          t[k] = (1 - uv.v) * saved->height;
        }
        Unreal::TextureAxes axes;
        const bool mapped = Unreal::MapTexture(corner, s, t, axes);
        ++(mapped ? run_.report_.mapping.mapped : run_.report_.mapping.flat);
        run_.writer_.WriteTexturedTriangle(text, corner[0], corner[1], corner[2], saved->name,
                                           mapped ? &axes : nullptr);
      }
      text += "\r\n";
      run_.writer_.AppendRecord(text);
      run_.sink_.DoEvents();
    }
  }

  // The polygons of an object in the editor's form: each face of the file
  // that is flat and convex as one polygon, the other triangles one by one,
  // all turned round (the editor's frame is the model's mirror image) unless
  // the object was placed mirrored already.
  void WriteEditorPolygons(const Metafile::TriangleSet& set) {
    const double scale = run_.args_.scale;
    std::vector<Vector3> corners(set.points.size());
    for (std::size_t i = 0; i < corners.size(); ++i) {
      corners[i] = EditorPoint(set.points[i]);
      if (scale != 1.0) corners[i] = ModuleVector::VectorScale(corners[i], scale);
    }
    const bool turn = !set.mirrored;
    std::size_t nextFace = 0;
    std::uint32_t order[Unreal::kMostCorners];
    for (std::size_t r = 0; r < set.triangles.size();) {
      if (nextFace < set.faces.size() && set.faces[nextFace].firstTriangle == r) {
        const Metafile::SourceFace& face = set.faces[nextFace++];
        if (face.corners <= Unreal::kMostCorners) {
          // Turned round from the same first corner.
          for (std::uint32_t k = 0; k < face.corners; ++k) {
            order[k] =
                set.faceCorners[face.firstCorner + (turn ? (face.corners - k) % face.corners : k)];
          }
          if (WriteEditorPolygon(set, corners, order, face.corners, r, face.triangles)) {
            r += face.triangles;
            continue;
          }
        }
      }
      const auto& triangle = set.triangles[r];
      for (const std::uint32_t index : triangle) {
        if (index >= set.points.size()) ThrowOutsideTable(index, set.points.size());
      }
      order[0] = triangle[0];
      order[1] = turn ? triangle[2] : triangle[1];
      order[2] = turn ? triangle[1] : triangle[2];
      WriteEditorPolygon(set, corners, order, 3, r, 0);
      ++r;
    }
  }

  // One editor polygon of the corners `order[0, count)`, textured as
  // triangle `r` is. A face (`faceTriangles` > 0) is written only when it
  // is flat and convex, its triangles share one texture and its UVs lie on
  // one plane of the texture; otherwise nothing is written and false
  // returned. A triangle of zero area is left out and counted.
  bool WriteEditorPolygon(const Metafile::TriangleSet& set, const std::vector<Vector3>& corners,
                          const std::uint32_t* order, std::size_t count, std::size_t r,
                          std::size_t faceTriangles) {
    Vector3 at[Unreal::kMostCorners];
    for (std::size_t k = 0; k < count; ++k) at[k] = corners[order[k]];
    const bool face = faceTriangles > 0;
    Vector3 normal;
    if (face ? !Unreal::FlatAndConvex(at, count, normal)
             : !Unreal::EditorNormal(at[0], at[1], at[2], normal)) {
      if (face) return false;
      ++run_.writer_.zeroAreaLeftOut;
      run_.sink_.DoEvents();
      return true;
    }
    const Metafile::SurfaceMapping& mapping = set.mapping;
    std::string_view name;
    Unreal::TextureAxes axes;
    const Unreal::TextureAxes* mapped = nullptr;
    std::int64_t* counter = nullptr;
    if (mapping_ && !mapping.textures.empty()) {
      const std::uint32_t use = mapping.TextureOf(r);
      for (std::size_t i = 1; i < faceTriangles; ++i) {
        if (mapping.TextureOf(r + i) != use) return false;
      }
      const SavedTexture* saved = nullptr;
      if (use != Metafile::kNoTexture) {
        const auto found = saved_.find(mapping.textures[use].texture);
        if (found != saved_.end()) saved = &found->second;
      }
      MappingSummary& summary = run_.report_.mapping;
      if (saved == nullptr) {
        if (use != Metafile::kNoTexture) counter = &summary.bitmapMissing;
      } else if (!HasUVs(mapping, order, count)) {
        name = saved->name;
        counter = &summary.withoutUV;
      } else {
        double s[Unreal::kMostCorners];
        double t[Unreal::kMostCorners];
        for (std::size_t k = 0; k < count; ++k) {
          const Metafile::UV uv = mapping.textures[use].transform.Apply(mapping.uvs[order[k]]);
          s[k] = uv.u * saved->width;
          t[k] = (1 - uv.v) * saved->height;
        }
        const Vector3 first[3] = {at[0], at[1], at[2]};
        const double firstS[3] = {s[0], s[1], s[2]};
        const double firstT[3] = {t[0], t[1], t[2]};
        const bool solved =
            Unreal::MapTexture(first, firstS, firstT, axes) && OnTheAxes(axes, at, s, t, count);
        if (face && !solved) return false;
        name = saved->name;
        mapped = solved ? &axes : nullptr;
        counter = solved ? &summary.mapped : &summary.flat;
      }
    }
    if (counter != nullptr) ++*counter;
    std::string text;
    run_.writer_.WriteEditorPolygon(text, at, count, normal, name, mapped);
    text += "\r\n";
    run_.writer_.AppendRecord(text);
    run_.sink_.DoEvents();
    return true;
  }

  // Whether every corner lies at its texel on the axes.
  static bool OnTheAxes(const Unreal::TextureAxes& axes, const Vector3* at, const double* s,
                        const double* t, std::size_t count) {
    for (std::size_t k = 3; k < count; ++k) {
      const Vector3 d{at[k].X - axes.origin.X, at[k].Y - axes.origin.Y, at[k].Z - axes.origin.Z};
      const double onU = d.X * axes.u.X + d.Y * axes.u.Y + d.Z * axes.u.Z;
      const double onV = d.X * axes.v.X + d.Y * axes.v.Y + d.Z * axes.v.Z;
      if (std::fabs(onU - s[k]) > 1e-3 * std::max(1.0, std::fabs(s[k])) ||
          std::fabs(onV - t[k]) > 1e-3 * std::max(1.0, std::fabs(t[k]))) {
        return false;
      }
    }
    return true;
  }

  static bool HasUVs(const Metafile::SurfaceMapping& mapping, const std::uint32_t* order,
                     std::size_t count) {
    if (mapping.uvs.empty()) return false;
    for (std::size_t k = 0; k < count; ++k) {
      const Metafile::UV& uv = mapping.uvs[order[k]];
      if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) return false;
    }
    return true;
  }

  ConversionRun& run_;
  bool mapping_;
  bool powerOfTwo_;
  std::unordered_map<const Metafile::Object*, SavedTexture> saved_;
};

void ConversionRun::RunWholeFormat(bool pictures) {
  report_.wholeFormat = true;
  // The whole structure is read before the first write: a file that is not
  // a 3DMF file at all leaves an existing output as it was.
  document_ = Metafile::ReadDocument(args_.inputText);
  report_.warnings.insert(report_.warnings.end(), document_->warnings.begin(),
                          document_->warnings.end());

  WriteDocumentHead();

  MetafileSink sink(*this);
  Metafile::WalkScene(*document_, sink, pictures, report_.leftOut, settings_.textureMapping);
  currentObject_ = nullptr;
  WriteDocumentTail();
}

namespace {

// Counts what the walk would convert, writing nothing.
class CountingSink : public Metafile::SceneSink {
 public:
  void Reached(const Metafile::Object&) override {}
  void Geometry(const Metafile::Object&, Metafile::TriangleSet&) override { ++objects; }
  void Texture(const Metafile::Object&, const Image&) override {}
  std::size_t objects = 0;
};

}  // namespace

std::optional<std::size_t> ConversionRun::WholeFormatWouldRead() const {
  if (args_.inputText.empty()) return std::nullopt;
  try {
    const auto document = Metafile::ReadDocument(args_.inputText);
    CountingSink counter;
    Metafile::SceneSummary summary;
    Metafile::WalkScene(*document, counter, false, summary);
    if (counter.objects == 0) return std::nullopt;
    return counter.objects;
  } catch (const RunError&) {
    return std::nullopt;
  }
}

}  // namespace Kelvane
