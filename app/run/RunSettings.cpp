#include "app/run/RunSettings.h"

#include <utility>

#include "text/Numbers.h"
#include "text/RunError.h"

namespace Kelvane {

FitRequest FitRequest::Size(double size) {
  FitRequest request;
  request.size_ = size;
  return request;
}

FitRequest FitRequest::Typed(std::string text) {
  FitRequest request;
  request.typed_ = std::move(text);
  return request;
}

double FitRequest::Resolve() const {
  if (typed_.empty()) return size_;
  const double size = TextRoutines::NumericValue(typed_);
  if (!TextRoutines::StartsWithNumber(typed_) || !(size > 0)) {
    throw RunError(ErrorKind::InvalidScale,
                   "The size to fit " + Quote(typed_) + " is not a number above 0");
  }
  return size;
}

RunSettings WithEngineTextures(RunSettings settings) {
  using TextureFormat = RunSettings::TextureFormat;
  if (!settings.EditorFrame()) return settings;
  settings.textureAlpha = true;
  settings.texturePng =
      settings.textureFormat == TextureFormat::kPng ||
      (settings.textureFormat == TextureFormat::kEngine && Unreal::TakesOnlyMaps(settings.engine));
  if (settings.engine == Unreal::Engine::kUe1) settings.bitmapDepth = 8;
  return settings;
}

}  // namespace Kelvane
