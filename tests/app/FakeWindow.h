#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/run/RunReport.h"
#include "app/run/RunSink.h"
#include "image/Image.h"

namespace testing_support {

// A window for driving runs in tests: settings as fields, every caption and
// yield recorded, textures kept as copies when they are offered for saving.
class FakeWindow : public Kelvane::CaptionSink {
 public:
  std::string scale = "20.0";
  std::string outFileName;
  std::string inFileName;
  int doPics = 1;
  int mapOrBrush = 0;
  int wholeFormat = 0;
  int textureMapping = 0;
  int powerOfTwo = 0;
  int editorFrame = 0;  // the editor frame: --engine ue1
  Kelvane::Unreal::Engine engine = Kelvane::Unreal::Engine::kNone;
  Kelvane::Unreal::Solidity solidity = Kelvane::Unreal::Solidity::kSolid;
  std::string texturePackage{Kelvane::Unreal::kDefaultTexturePackage};
  int bitmapDepth = 24;
  int textureAlpha = 0;
  int texturePng = 0;
  Kelvane::RunSettings::TextureFormat textureFormat = Kelvane::RunSettings::TextureFormat::kEngine;
  std::string fit;

  // The settings a run starts with, from the fields above.
  Kelvane::RunSettings Settings() const {
    return {.inputPath = inFileName,
            .outputPath = outFileName,
            .scale = scale,
            .oneBrush = mapOrBrush == 1,
            .pictures = doPics != 0,
            .wholeFormat = wholeFormat != 0,
            .textureMapping = textureMapping != 0,
            .powerOfTwo = powerOfTwo != 0,
            .engine = editorFrame != 0 ? Kelvane::Unreal::Engine::kUe1 : engine,
            .solidity = solidity,
            .texturePackage = texturePackage,
            .fit = Kelvane::FitRequest::Typed(fit),
            .bitmapDepth = bitmapDepth,
            .textureFormat = textureFormat,
            .textureAlpha = textureAlpha != 0,
            .texturePng = texturePng != 0,
            .templatePath = templatePath};
  }

  std::string templatePath;
  bool goEnabled = true;
  std::vector<std::string> labelPos;
  std::vector<std::string> labelProgress;
  long doEvents = 0;
  std::vector<Kelvane::Image> savedTextures;
  // The texture the run shows, as it paints it.
  const Kelvane::Image* picture = nullptr;

  bool OneBrushNow(bool) override { return mapOrBrush == 1; }
  void ShowRunning(bool running) override { goEnabled = !running; }
  void SetProgressCaption(std::string_view caption) override { labelProgress.emplace_back(caption); }
  void SetPositionCaption(std::string_view caption) override { labelPos.emplace_back(caption); }
  void DoEvents() override { ++doEvents; }
  void ShowTexture(const Kelvane::Image& shown) override { picture = &shown; }
  // Saved as "texture_N.bmp" (or ".png", as the run proposes) in
  // `bitmapFolder` (the run writes it there); `refuseSaving` saves none, as
  // a Cancel does.
  std::string bitmapFolder = ".";
  bool refuseSaving = false;
  std::string ChooseBitmapPath(int, const std::string& proposed) override {
    savedTextures.push_back(picture != nullptr ? *picture : Kelvane::Image());
    if (refuseSaving) return {};
    const bool png = proposed.size() >= 4 && proposed.compare(proposed.size() - 4, 4, ".png") == 0;
    return bitmapFolder + "/texture_" + std::to_string(savedTextures.size()) +
           (png ? ".png" : ".bmp");
  }
};

}  // namespace testing_support
