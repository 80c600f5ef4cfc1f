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
// after the texture name of `path`, so that the T3D's name is the bitmap's.
std::string TextureBitmapPath(const std::string& path);

// Saves the textures a run reads: each is offered where the front end says
// (the run proposes "<output without extension>_<n>.bmp", in the textures
// folder when one is set), and what stops its bitmap (an empty picture, a
// path that is the run's own input or output, a write that fails) is a
// warning, and the run goes on.
class BitmapSaver : public TextureSaver {
 public:
  BitmapSaver(const RunSettings& settings, RunSink& sink, const Unreal::T3dWriter& writer,
              ReportBuilder& report);

  std::string SaveTexture(const Image& picture) override;

 private:
  std::string ProposedBitmapPath(int number) const;

  const RunSettings& settings_;
  RunSink& sink_;
  const Unreal::T3dWriter& writer_;
  ReportBuilder& report_;
  int textures_ = 0;
};

}  // namespace Kelvane
