#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/run/DocumentFrame.h"
#include "app/run/Pass.h"
#include "app/run/ReportBuilder.h"
#include "app/run/RunSettings.h"
#include "app/run/RunSink.h"
#include "metafile/scene/Scene.h"
#include "t3d/EditorFrame.h"
#include "t3d/TextureAxes.h"

namespace Kelvane {

struct Image;
class BitmapSaver;

// The whole-format reader's pass: the text becomes a tree of objects before
// the first write (so a file that is no 3DMF file leaves an existing output
// as it was), then the scene walk hands each geometry object placed and
// each texture over, in file order. Each geometry object is one brush
// actor in a map; a texture is saved and has none.
class WholeFormatPass : public Pass, private Metafile::SceneSink {
 public:
  WholeFormatPass(std::string_view text, double scale, const RunSettings& settings, bool pictures,
                  DocumentFrame& frame, RunSink& sink, BitmapSaver& saver, ReportBuilder& report,
                  Image& picture);
  ~WholeFormatPass() override;

  void Run() override;
  std::int32_t ScanPosition() const override { return scanPosition_; }
  std::string PlaceOf(const RunError& error) const override;

 private:
  struct SavedTexture {
    std::string name;
    // How the engine's polygons name it (the name, with its package).
    std::string reference;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Saved with its mask (SavedPicture::masked): its polygons are masked.
    bool masked = false;
  };

  void Reached(const Metafile::Object& object) override;
  void Geometry(const Metafile::Object& object, Metafile::TriangleSet& set) override;
  void Texture(const Metafile::Object& object, const Image& decoded) override;

  // The saved texture the r-th triangle's texture was saved as, if any.
  const SavedTexture* SavedTextureOf(const Metafile::SurfaceMapping& mapping,
                                     std::uint32_t use) const;
  // The polygon flags that mask the r-th triangle in the engine's editor
  // (PF_Masked), when its texture was saved masked; else 0.
  std::int32_t MaskFlagOf(const Metafile::SurfaceMapping& mapping, std::size_t r) const;
  void WriteMappedPolygons(const Metafile::TriangleSet& set);
  void WriteEditorPolygons(const Metafile::TriangleSet& set);
  void WriteEditorTriangles(const Metafile::TriangleSet& set, Unreal::EditorCornerTable& corners,
                            bool turn);
  bool WriteEditorPolygon(const Metafile::TriangleSet& set, Unreal::EditorCornerTable& corners,
                          std::uint32_t* order, std::size_t count, std::size_t r,
                          std::size_t faceTriangles);

  std::string_view text_;
  double scale_;
  const RunSettings& settings_;
  bool pictures_;
  DocumentFrame& frame_;
  RunSink& sink_;
  BitmapSaver& saver_;
  ReportBuilder& report_;
  Image& picture_;
  std::unique_ptr<Metafile::Document> document_;
  const Metafile::Object* currentObject_ = nullptr;
  std::int32_t scanPosition_ = 1;
  std::int32_t spot_ = 0;
  std::unordered_map<const Metafile::Object*, SavedTexture> saved_;
};


}  // namespace Kelvane
