// The run with the whole-format reader: the file becomes a tree of objects
// first, then the scene walk hands each geometry object placed and each
// texture to the same writer and picture box as the keyword readers use.

#include <limits>

#include "app/ConversionRun.h"
#include "readers/ReaderSupport.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace Kelvane {

namespace Metafile {
// A point of the model as a corner: X = a, Y = -c, Z = b, as every reader
// maps the axes. Found by WritePolygons through the point's namespace.
inline Vector3 CornerPoint(const Point3& p) { return MapAxes(p.x, p.y, p.z); }
}  // namespace Metafile

class ConversionRun::MetafileSink : public Metafile::SceneSink {
 public:
  MetafileSink(ConversionRun& run, double scale)
      : run_(run), args_{run.inputText_,  run.scanPosition_, scale,
                         run.outputPath_, run.window_,       run.spot_} {}

  void Reached(const Metafile::Object& object) override {
    run_.currentObject_ = &object;
    // Progress shows where the walk stands in the input.
    run_.scanPosition_ =
        object.start < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
            ? static_cast<std::int32_t>(object.start + 1)
            : std::numeric_limits<std::int32_t>::max();
    ShowCurpos(args_);
  }

  void Geometry(const Metafile::Object& object, Metafile::TriangleSet& set) override {
    run_.currentObject_ = &object;
    ++run_.objectsTaken_;
    run_.BeginObjectFrame();

    WritePolygons(
        args_, set.points, set.triangles, [](std::size_t) {},
        [&](std::size_t) { run_.window_.DoEvents(); });

    run_.ShowProcessed();
    run_.EndObjectFrame();
  }

  void Texture(const Metafile::Object& object, const Metafile::Image& image) override {
    run_.currentObject_ = &object;
    ++run_.objectsTaken_;
    TexturePicture& picture = run_.window_.PictureTexture();
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    picture.SetOuterSizeTwips(
        picture.OuterWidthTwips() + TexturePicture::PixelsToTwips(width - picture.InnerWidth()),
        picture.OuterHeightTwips() + TexturePicture::PixelsToTwips(height - picture.InnerHeight()));
    run_.window_.DoEvents();
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        picture.SetPixel(
            x, y,
            image.rgb[static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)]);
      }
      run_.window_.DoEvents();
    }
    picture.Touch();
    run_.window_.SaveTexturePicture();
  }

 private:
  ConversionRun& run_;
  ReaderArgs args_;
};

void ConversionRun::RunWholeFormat(double scale, bool pictures) {
  wholeFormat_ = true;
  // The whole structure is read before the first write: a file that is not
  // a 3DMF file at all leaves an existing output as it was.
  document_ = Metafile::ReadDocument(inputText_);

  WriteDocumentHead();

  MetafileSink sink(*this, scale);
  Metafile::WalkScene(*document_, sink, pictures, summary_);
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
  if (wholeFormat_ || inputText_.empty()) return std::nullopt;
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
