#pragma once

#include <string>
#include <string_view>

#include "app/run/ReportBuilder.h"
#include "app/run/RunSettings.h"
#include "app/run/RunSink.h"
#include "keyword/ReaderSink.h"
#include "t3d/T3dWriter.h"

namespace Kelvane {

// The texture name of a bitmap saved at `path`: its file name without the
// extension, each character other than a letter, digit or _ made a _.
std::string TextureNameOf(std::string_view path);

// A bitmap path as texture mapping saves it: the same folder, the file named
// after the texture name of `path`, so that the T3D's name is the bitmap's;
// its extension is `extension` (".bmp", ".png").
std::string TextureBitmapPath(const std::string& path, std::string_view extension = ".bmp");

// Where a texture went: its path (empty when it was not saved), and whether
// it was saved with its mask (an 8-bit bitmap whose palette entry 0 is its
// transparent pixels), so that its polygons are to be marked masked.
struct SavedPicture {
  std::string path;
  bool masked = false;
};

// Saves the textures a run reads: each is offered where the front end says
// (the run proposes "<output without extension>_<n>.bmp", or ".png" with
// RunSettings::texturePng, in the textures folder when one is set), and
// what stops its file (an empty picture, a path that is the run's own input
// or output, a write that fails) is a warning, and the run goes on.
// A picture is saved as a bitmap of the run's depth (its alpha left out);
// with RunSettings::textureAlpha a masked one (IsMasked) as the masked
// 8-bit bitmap (SaveMaskedBitmap); with RunSettings::texturePng as a PNG,
// with its alpha when it has any.
class BitmapSaver : public TextureSaver {
 public:
  BitmapSaver(const RunSettings& settings, RunSink& sink, const Unreal::T3dWriter& writer,
              ReportBuilder& report);

  std::string SaveTexture(const Image& picture) override { return Save(picture).path; }
  SavedPicture Save(const Image& picture);

 private:
  std::string ProposedBitmapPath(int number) const;

  const RunSettings& settings_;
  RunSink& sink_;
  const Unreal::T3dWriter& writer_;
  ReportBuilder& report_;
  int textures_ = 0;
};

}  // namespace Kelvane
