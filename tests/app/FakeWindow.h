#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/RunWindow.h"
#include "image/TexturePicture.h"

namespace testing_support {

// A window for driving runs in tests: settings as fields, every caption and
// yield recorded, textures kept as copies when they are offered for saving.
class FakeWindow : public Kelvane::RunWindow {
 public:
  std::string scale = "20.0";
  std::string outFileName;
  std::string inFileName;
  int doPics = 1;
  int mapOrBrush = 0;
  int wholeFormat = 0;

  bool goEnabled = true;
  std::vector<std::string> labelPos;
  std::vector<std::string> labelProgress;
  long doEvents = 0;
  std::vector<Kelvane::TexturePicture> savedTextures;
  Kelvane::TexturePicture picture{5055, 4425, 2};

  std::string TextScale() override { return scale; }
  std::string TextOutFileName() override { return outFileName; }
  std::string TextInFileName() override { return inFileName; }
  int CheckDoPics() override { return doPics; }
  int CheckMapOrBrush() override { return mapOrBrush; }
  int CheckWholeFormat() override { return wholeFormat; }
  void SetCommandGoEnabled(bool enabled) override { goEnabled = enabled; }
  void SetLabelProgress(std::string_view caption) override { labelProgress.emplace_back(caption); }
  void SetLabelPos(std::string_view caption) override { labelPos.emplace_back(caption); }
  void DoEvents() override { ++doEvents; }
  Kelvane::TexturePicture& PictureTexture() override { return picture; }
  int textureMapping = 0;
  int powerOfTwo = 0;
  int CheckTextureMapping() override { return textureMapping; }
  int CheckPowerOfTwo() override { return powerOfTwo; }
  // Saved as "texture_N.bmp" (not written); `refuseSaving` saves none.
  bool refuseSaving = false;
  std::string SaveTexturePicture() override {
    savedTextures.push_back(picture);
    if (refuseSaving) return {};
    return "textures/texture_" + std::to_string(savedTextures.size()) + ".bmp";
  }
};

}  // namespace testing_support
