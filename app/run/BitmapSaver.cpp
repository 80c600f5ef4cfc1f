#include "app/run/BitmapSaver.h"

#include "image/Bitmap.h"
#include "image/Image.h"
#include "image/Png.h"
#include "platform/Platform.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane {

std::string TextureNameOf(std::string_view path) {
  std::string name = Platform::TextOf(Platform::PathOf(path).stem());
  for (char& c : name) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_') c = '_';
  }
  return name.empty() ? "texture" : name;
}

std::string TextureBitmapPath(const std::string& path, std::string_view extension) {
  return Platform::TextOf(Platform::PathOf(path).parent_path() /
                          Platform::PathOf(TextureNameOf(path) + std::string(extension)));
}

BitmapSaver::BitmapSaver(const RunSettings& settings, RunSink& sink,
                         const Unreal::T3dWriter& writer, ReportBuilder& report)
    : settings_(settings), sink_(sink), writer_(writer), report_(report) {}

std::string BitmapSaver::ProposedBitmapPath(int number) const {
  std::string base;
  try {
    base = TextRoutines::StripExtension(settings_.outputPath);
  } catch (const RunError&) {
    base = "texture";  // a name too long to take apart
  }
  if (!settings_.texturesFolder.empty()) {
    base = Platform::TextOf(Platform::PathOf(settings_.texturesFolder) /
                            Platform::PathOf(base).filename());
  }
  const std::string_view extension = settings_.texturePng ? ".png" : ".bmp";
  const std::string path = base + "_" + std::to_string(number) + std::string(extension);
  return settings_.textureMapping ? TextureBitmapPath(path, extension) : path;
}

SavedPicture BitmapSaver::Save(const Image& picture) {
  const int number = ++textures_;
  const std::string path = sink_.ChooseBitmapPath(number, ProposedBitmapPath(number));
  if (path.empty()) return {};
  const std::string texture = "texture " + std::to_string(number);
  if (picture.width == 0 || picture.height == 0) {
    report_.Warn(texture + " is " + std::to_string(picture.width) + " x " +
                 std::to_string(picture.height) + " pixels: no bitmap written");
    return {};
  }
  // Bitmap names come from the output's name, so an input or output that
  // happens to be called like one must not be written over.
  const std::string* const runFiles[] = {&settings_.inputPath, &settings_.outputPath,
                                         &writer_.TargetPath()};
  for (const std::string* file : runFiles) {
    if (Platform::SameFile(path, *file)) {
      report_.Warn(texture + " not saved: \"" + path + "\" is " +
                   (file == &settings_.inputPath ? "the input" : "the output"));
      return {};
    }
  }
  const bool masked = settings_.textureAlpha && !settings_.texturePng && IsMasked(picture);
  try {
    if (settings_.texturePng) {
      SavePng(picture, path);
    } else if (masked) {
      SaveMaskedBitmap(picture, path);
    } else {
      SaveBitmap(picture, path, settings_.bitmapDepth);
    }
  } catch (const RunError& e) {
    report_.Warn(texture + " not saved: " + e.what());
    return {};
  }
  report_.SavedBitmap(path);
  return {path, masked};
}

}  // namespace Kelvane
