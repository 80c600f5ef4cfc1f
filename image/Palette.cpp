#include "image/Palette.h"

#ifdef KELVANE_PALETTE
#include <leptonica/allheaders.h>
#endif

#include <memory>
#include <unordered_map>

#include "text/RunError.h"

namespace Kelvane {

namespace {

#ifdef KELVANE_PALETTE
struct PixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPointer = std::unique_ptr<PIX, PixDeleter>;

// Quantizes through the library's median cut: 5 significant bits per
// channel, no dithering.
PalettedImage MedianCut(const Image& image) {
  const int width = image.width;
  const int height = image.height;
  // The library reports its own failures on stderr; ours go through RunError.
  setMsgSeverity(L_SEVERITY_NONE);
  PixPointer source(pixCreate(width, height, 32));
  if (source == nullptr) {
    throw RunError(ErrorKind::InvalidArgument, "No memory for a picture of " +
                                                   std::to_string(width) + " x " +
                                                   std::to_string(height) + " pixels");
  }
  l_uint32* data = pixGetData(source.get());
  const l_int32 wordsPerLine = pixGetWpl(source.get());
  for (int y = 0; y < height; ++y) {
    l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wordsPerLine;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = image.Pixel(x, y);
      composeRGBPixel((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, line + x);
    }
  }
  PixPointer quantized(pixMedianCutQuantGeneral(source.get(), 0, 8, 256, 0, 1, 0));
  PIXCMAP* colours = quantized == nullptr ? nullptr : pixGetColormap(quantized.get());
  if (colours == nullptr || pixGetDepth(quantized.get()) != 8) {
    throw RunError(ErrorKind::InvalidArgument,
                   "The texture's colours could not be reduced to a palette");
  }
  PalettedImage out;
  const int count = pixcmapGetCount(colours);
  for (int i = 0; i < count && i < 256; ++i) {
    l_int32 r = 0, g = 0, b = 0;
    pixcmapGetColor(colours, i, &r, &g, &b);
    out.palette.push_back(static_cast<std::uint32_t>((r << 16) | (g << 8) | b));
  }
  out.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const l_uint32* indices = pixGetData(quantized.get());
  const l_int32 indexWords = pixGetWpl(quantized.get());
  for (int y = 0; y < height; ++y) {
    const l_uint32* line = indices + static_cast<std::ptrdiff_t>(y) * indexWords;
    for (int x = 0; x < width; ++x) {
      const auto index = static_cast<std::uint8_t>(GET_DATA_BYTE(line, x));
      out.indices[image.IndexOf(x, y)] = index < out.palette.size() ? index : 0;
    }
  }
  return out;
}
#else
[[noreturn]] PalettedImage MedianCut(const Image&) {
  throw RunError(ErrorKind::InvalidArgument,
                 "Reducing a texture of more than 256 colours is not in this build");
}
#endif

}  // namespace

#ifdef KELVANE_PALETTE
bool PaletteInThisBuild() { return true; }
#else
bool PaletteInThisBuild() { return false; }
#endif

PalettedImage ToPalette(const Image& image) {
  PalettedImage out;
  std::unordered_map<std::uint32_t, std::uint8_t> known;
  out.indices.reserve(image.rgb.size());
  for (const std::uint32_t colour : image.rgb) {
    const auto [at, added] = known.try_emplace(colour & 0xFFFFFF, 0);
    if (added) {
      if (out.palette.size() == 256) return MedianCut(image);
      at->second = static_cast<std::uint8_t>(out.palette.size());
      out.palette.push_back(colour & 0xFFFFFF);
    }
    out.indices.push_back(at->second);
  }
  return out;
}

}  // namespace Kelvane
