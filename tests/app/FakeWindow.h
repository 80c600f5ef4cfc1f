#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/RunReport.h"
#include "app/RunSink.h"
#include "image/TexturePicture.h"

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
  int editorFrame = 0;
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
            .editorFrame = editorFrame != 0,
            .fit = fit,
            .templatePath = templatePath};
  }

  std::string templatePath;
  bool goEnabled = true;
  std::vector<std::string> labelPos;
  std::vector<std::string> labelProgress;
  long doEvents = 0;
  std::vector<Kelvane::TexturePicture> savedTextures;
  Kelvane::TexturePicture picture{5055, 4425, 2};

  bool OneBrushNow(bool) override { return mapOrBrush == 1; }
  void SetGoEnabled(bool enabled) override { goEnabled = enabled; }
  void SetLabelProgress(std::string_view caption) override { labelProgress.emplace_back(caption); }
  void SetLabelPos(std::string_view caption) override { labelPos.emplace_back(caption); }
  void DoEvents() override { ++doEvents; }
  Kelvane::TexturePicture& PictureTexture() override { return picture; }
  // Saved as "texture_N.bmp" in `bitmapFolder` (the run writes it there);
  // `refuseSaving` saves none, as a Cancel does.
  std::string bitmapFolder = ".";
  bool refuseSaving = false;
  std::string ChooseBitmapPath(int, const std::string&) override {
    savedTextures.push_back(picture);
    if (refuseSaving) return {};
    return bitmapFolder + "/texture_" + std::to_string(savedTextures.size()) + ".bmp";
  }
};

}  // namespace testing_support
