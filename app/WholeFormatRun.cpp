// The run with the whole-format reader: the file becomes a tree of objects
// first, then the scene walk hands each geometry object placed and each
// texture to the same writer and picture box as the keyword readers use.

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <unordered_map>

#include "app/ConversionRun.h"
#include "image/TexturePicture.h"
#include "platform/Platform.h"
#include "t3d/Unreal.h"
#include "t3d/WritePolygons.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace Kelvane {

namespace {

using ModuleVector::Vector3;

// A point of the model as a corner of the document, as every reader maps
// the axes; a function object, so that WritePolygons takes it inline.
constexpr auto CornerPoint = [](const Metafile::Point3& p) {
  return Unreal::MapAxes(p.x, p.y, p.z);
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
    run_.BeginObjectFrame();

    if (mapping_ && !set.mapping.textures.empty()) {
      WriteMappedPolygons(set);
    } else {
      WritePolygons(
          run_.writer_, run_.args_.scale, run_.args_.spot, set.points, CornerPoint, set.triangles,
          [](std::size_t) {}, [&](std::size_t) { run_.sink_.DoEvents(); });
    }

    run_.ShowProcessed();
    run_.EndObjectFrame();
  }

  void Texture(const Metafile::Object& object, const Metafile::Image& decoded) override {
    run_.currentObject_ = &object;
    const bool powerSides =
        Metafile::IsPowerOfTwo(decoded.width) && Metafile::IsPowerOfTwo(decoded.height);
    const bool resample = powerOfTwo_ && !powerSides;
    Metafile::Image resampled;
    if (resample) {
      resampled = Metafile::Resample(decoded, Metafile::NextPowerOfTwo(decoded.width),
                                     Metafile::NextPowerOfTwo(decoded.height));
    }
    const Metafile::Image& image = resample ? resampled : decoded;
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
    saved_[&object] = {name, image.width, image.height};
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

  ConversionRun& run_;
  bool mapping_;
  bool powerOfTwo_;
  std::unordered_map<const Metafile::Object*, SavedTexture> saved_;
};

void ConversionRun::RunWholeFormat(bool pictures) {
  report_.wholeFormat = true;
  // The whole structure is read before the first write: a file that is not
  // a 3DMF file at all leaves an existing output as it was.
  document_ = Metafile::ReadDocument(inputText_);

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
  void Texture(const Metafile::Object&, const Metafile::Image&) override {}
  std::size_t objects = 0;
};

}  // namespace

std::optional<std::size_t> ConversionRun::WholeFormatWouldRead() const {
  if (inputText_.empty()) return std::nullopt;
  try {
    const auto document = Metafile::ReadDocument(inputText_);
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
