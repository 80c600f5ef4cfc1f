#pragma once

#include <cstdint>
#include <string>

#include "t3d/Engines.h"

namespace Kelvane {

// A size to fit the model to, as it was asked for: a number (the command
// line's --fit, checked where it was read) or the text of a window's box,
// which the run reads as it reads the scale.
class FitRequest {
 public:
  FitRequest() = default;  // no size to fit: the scale is used
  static FitRequest Size(double size);
  static FitRequest Typed(std::string text);

  bool Asked() const { return size_ > 0 || !typed_.empty(); }
  // The size asked for. A typed text is read once here: one whose leading
  // number is missing or not above 0 is an invalid scale, one too large for
  // a double an overflow.
  double Resolve() const;

 private:
  double size_ = 0;
  std::string typed_;
};

// Everything a run takes once, as it starts: the window's boxes, or the
// command line's options.
struct RunSettings {
  std::string inputPath{};
  std::string outputPath{};
  // The scale as typed: its leading number is the factor.
  std::string scale = "20.0";
  // All objects into one brush instead of a map of brush actors. A window
  // is asked again during the run (RunSink::OneBrushNow).
  bool oneBrush = false;
  // Read and save the textures.
  bool pictures = true;
  // Read the whole 3DMF format instead of searching object keywords; a
  // binary file is read so whatever this says.
  bool wholeFormat = false;
  // Polygons of textured objects name their texture and carry the model's
  // own mapping (whole-format reader, textures saved).
  bool textureMapping = false;
  // Textures whose sides are not powers of two are resampled to the next
  // ones up (whole-format reader).
  bool powerOfTwo = false;
  // The editor generation the document is written for (t3d/Engines.h);
  // every engine writes the polygons as the editor does (the editor frame,
  // t3d/EditorFrame.h): not mirrored, faces outward, unit normals, whole
  // faces. kNone: the default document.
  Unreal::Engine engine = Unreal::Engine::kNone;
  // How solid the converted brushes are (their actors' PolyFlags).
  Unreal::Solidity solidity = Unreal::Solidity::kSolid;
  // The package the engines' texture references name (ue2, ue3, ue4).
  std::string texturePackage{Unreal::kDefaultTexturePackage};
  // When asked: the model is scaled so that its largest side is that many
  // units, and `scale` is not used.
  FitRequest fit{};
  // Bits a pixel of the saved bitmaps: 24, or 8 with a palette.
  int bitmapDepth = 24;
  // The form the engine's textures are saved in, as asked (--texture-format):
  // kEngine is the engine's own (bitmaps for ue1 and ue2, PNG for ue3 and
  // ue4). The run turns it into `textureAlpha` and `texturePng`
  // (WithEngineTextures).
  enum class TextureFormat { kEngine, kBmp, kPng };
  TextureFormat textureFormat = TextureFormat::kEngine;
  // Textures keep their alpha (whole-format reader): a masked texture is
  // saved as an 8-bit bitmap whose palette entry 0 is its transparent
  // pixels whatever `bitmapDepth` says, a PNG keeps the alpha, the
  // power-of-two resampling keeps the mask hard and the picture box shows
  // it. Off, every texture is resampled, saved and shown opaque, as it
  // always was.
  bool textureAlpha = false;
  // Textures are saved as PNG files ("NAME.png", named as the bitmaps are)
  // instead of bitmaps; `bitmapDepth` does not apply.
  bool texturePng = false;
  // The folder the bitmaps are proposed in; empty: the output's.
  std::string texturesFolder{};
  // The map template; empty: StartMapFile.txt where the program finds it.
  std::string templatePath{};

  bool EditorFrame() const { return engine != Unreal::Engine::kNone; }
};

// The settings with the engine's textures: every engine keeps their alpha
// (a masked texture saved as an 8-bit bitmap whose palette entry 0 is its
// transparent pixels, or as an RGBA PNG) and saves them in its format; the
// UE1 editor imports 8-bit bitmaps only. The default document's textures
// are as they always were.
RunSettings WithEngineTextures(RunSettings settings);

// Whether an engine's editor shows a polygon masked by its flags (PF_Masked,
// 2: palette entry 0 of an 8-bit texture is transparent): UE1 and UE2; UE3
// and UE4 use the bits for other things and read a PNG's alpha instead.
constexpr bool MasksByPolygonFlag(Unreal::Engine engine) {
  return engine == Unreal::Engine::kUe1 || engine == Unreal::Engine::kUe2;
}
inline constexpr std::int32_t kMaskedPolygonFlag = 2;

}  // namespace Kelvane
