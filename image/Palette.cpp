#include "image/Palette.h"

#ifdef KELVANE_PALETTE
#include <leptonica/allheaders.h>
#endif

#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "platform/Platform.h"
#include "text/RunError.h"

namespace Kelvane {

namespace {

#ifdef KELVANE_PALETTE
// The library's functions that the median cut calls.
struct Leptonica {
  decltype(&::setMsgSeverity) setMsgSeverity = nullptr;
  decltype(&::pixCreate) pixCreate = nullptr;
  decltype(&::pixDestroy) pixDestroy = nullptr;
  decltype(&::pixGetData) pixGetData = nullptr;
  decltype(&::pixGetWpl) pixGetWpl = nullptr;
  decltype(&::composeRGBPixel) composeRGBPixel = nullptr;
  decltype(&::pixMedianCutQuantGeneral) pixMedianCutQuantGeneral = nullptr;
  decltype(&::pixGetColormap) pixGetColormap = nullptr;
  decltype(&::pixGetDepth) pixGetDepth = nullptr;
  decltype(&::pixcmapGetCount) pixcmapGetCount = nullptr;
  decltype(&::pixcmapGetColor) pixcmapGetColor = nullptr;
};

#ifdef KELVANE_LEPTONICA_LIBRARY
// Loaded on the first texture of more than 256 colours: the library loads
// image libraries of its own (TIFF, PNG, JPEG, WebP...), which no other run
// needs, so a program that does not reduce colours starts without them.
struct LoadedLeptonica {
  Platform::SharedLibrary library;
  Leptonica functions;
  std::string failure;
};

const Leptonica& Library() {
  static const auto* const loaded = [] {
    auto* const result = new LoadedLeptonica;  // kept to the end of the program
    std::string reason;
    if (!result->library.Load(KELVANE_LEPTONICA_LIBRARY, reason)) {
      result->failure = reason;
      return result;
    }
    const auto find = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
          result->library.Function(name));
      if (function == nullptr && result->failure.empty())
        result->failure = "it has no " + std::string(name);
    };
    Leptonica& f = result->functions;
    find(f.setMsgSeverity, "setMsgSeverity");
    find(f.pixCreate, "pixCreate");
    find(f.pixDestroy, "pixDestroy");
    find(f.pixGetData, "pixGetData");
    find(f.pixGetWpl, "pixGetWpl");
    find(f.composeRGBPixel, "composeRGBPixel");
    find(f.pixMedianCutQuantGeneral, "pixMedianCutQuantGeneral");
    find(f.pixGetColormap, "pixGetColormap");
    find(f.pixGetDepth, "pixGetDepth");
    find(f.pixcmapGetCount, "pixcmapGetCount");
    find(f.pixcmapGetColor, "pixcmapGetColor");
    return result;
  }();
  if (!loaded->failure.empty()) {
    throw RunError(ErrorKind::FileError, "Reducing a texture to 256 colours needs the library " +
                                             std::string(KELVANE_LEPTONICA_LIBRARY) + ": " +
                                             loaded->failure);
  }
  return loaded->functions;
}
#else
// Linked in (the Windows build links it statically).
const Leptonica& Library() {
  static const Leptonica functions{&::setMsgSeverity,
                                   &::pixCreate,
                                   &::pixDestroy,
                                   &::pixGetData,
                                   &::pixGetWpl,
                                   &::composeRGBPixel,
                                   &::pixMedianCutQuantGeneral,
                                   &::pixGetColormap,
                                   &::pixGetDepth,
                                   &::pixcmapGetCount,
                                   &::pixcmapGetColor};
  return functions;
}
#endif

// Quantizes `count` colours through the library's median cut to at most
// `most` colours: 5 significant bits per channel, no dithering. They are
// laid out in rows of `width` (the picture's own rows, or the opaque
// pixels of a masked one in order), the last row filled up with the first
// colours again; every colour's index is in the result.
PalettedImage MedianCut(const std::uint32_t* colours, std::size_t count, int width, int most) {
  const int height = static_cast<int>((count + static_cast<std::size_t>(width) - 1) /
                                      static_cast<std::size_t>(width));
  const Leptonica& lept = Library();
  struct PixDeleter {
    decltype(&::pixDestroy) destroy;
    void operator()(PIX* pix) const { destroy(&pix); }
  };
  using PixPointer = std::unique_ptr<PIX, PixDeleter>;
  const PixDeleter deleter{lept.pixDestroy};
  // The library reports its own failures on stderr; ours go through RunError.
  lept.setMsgSeverity(L_SEVERITY_NONE);
  PixPointer source(lept.pixCreate(width, height, 32), deleter);
  if (source == nullptr) {
    throw RunError(ErrorKind::InvalidArgument, "No memory for a picture of " +
                                                   std::to_string(width) + " x " +
                                                   std::to_string(height) + " pixels");
  }
  l_uint32* data = lept.pixGetData(source.get());
  const l_int32 wordsPerLine = lept.pixGetWpl(source.get());
  std::size_t next = 0;
  for (int y = 0; y < height; ++y) {
    l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wordsPerLine;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = colours[next++ % count];
      lept.composeRGBPixel((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, line + x);
    }
  }
  PixPointer quantized(lept.pixMedianCutQuantGeneral(source.get(), 0, 8, most, 0, 1, 0), deleter);
  PIXCMAP* colourMap = quantized == nullptr ? nullptr : lept.pixGetColormap(quantized.get());
  if (colourMap == nullptr || lept.pixGetDepth(quantized.get()) != 8) {
    throw RunError(ErrorKind::InvalidArgument,
                   "The texture's colours could not be reduced to a palette");
  }
  PalettedImage out;
  const int entries = lept.pixcmapGetCount(colourMap);
  for (int i = 0; i < entries && i < most; ++i) {
    l_int32 r = 0, g = 0, b = 0;
    lept.pixcmapGetColor(colourMap, i, &r, &g, &b);
    out.palette.push_back(static_cast<std::uint32_t>((r << 16) | (g << 8) | b));
  }
  out.indices.resize(count);
  const l_uint32* indices = lept.pixGetData(quantized.get());
  const l_int32 indexWords = lept.pixGetWpl(quantized.get());
  for (std::size_t k = 0; k < count; ++k) {
    const l_uint32* line =
        indices + static_cast<std::ptrdiff_t>(k / static_cast<std::size_t>(width)) * indexWords;
    const auto index =
        static_cast<std::uint8_t>(GET_DATA_BYTE(line, k % static_cast<std::size_t>(width)));
    out.indices[k] = index < out.palette.size() ? index : 0;
  }
  return out;
}
#else
[[noreturn]] PalettedImage MedianCut(const std::uint32_t*, std::size_t, int, int) {
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
      if (out.palette.size() == 256) {
        return MedianCut(image.rgb.data(), image.rgb.size(), image.width, 256);
      }
      at->second = static_cast<std::uint8_t>(out.palette.size());
      out.palette.push_back(colour & 0xFFFFFF);
    }
    out.indices.push_back(at->second);
  }
  return out;
}

PalettedImage ToMaskedPalette(const Image& image) {
  if (!image.Masked()) return ToPalette(image);
  const std::size_t count = image.rgb.size();
  // Entry 0 takes the colour most of the transparent pixels have: where the
  // bitmap is seen unmasked (a paint program, an unmasked polygon) it looks
  // as the texture does.
  std::unordered_map<std::uint32_t, std::size_t> clearColours;
  std::uint32_t clearColour = 0;
  std::size_t most = 0;
  std::vector<std::uint32_t> opaque;
  opaque.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t colour = image.rgb[i] & 0xFFFFFF;
    if (!image.Transparent(i)) {
      opaque.push_back(colour);
    } else if (const std::size_t n = ++clearColours[colour]; n > most) {
      most = n;
      clearColour = colour;
    }
  }
  PalettedImage out;
  out.palette.push_back(clearColour);
  out.indices.assign(count, 0);
  // The opaque pixels' own palette after entry 0: exact for 255 colours or
  // fewer, in the order they first appear, else their median cut to 255.
  std::unordered_map<std::uint32_t, std::uint8_t> known;
  std::vector<std::uint8_t> opaqueIndices;
  opaqueIndices.reserve(opaque.size());
  for (const std::uint32_t colour : opaque) {
    const auto [at, added] = known.try_emplace(colour, 0);
    if (added) {
      if (out.palette.size() == 256) {
        const PalettedImage cut = MedianCut(opaque.data(), opaque.size(), image.width, 255);
        out.palette.resize(1);
        out.palette.insert(out.palette.end(), cut.palette.begin(), cut.palette.end());
        opaqueIndices.clear();
        for (const std::uint8_t index : cut.indices)
          opaqueIndices.push_back(static_cast<std::uint8_t>(index + 1));
        break;
      }
      at->second = static_cast<std::uint8_t>(out.palette.size());
      out.palette.push_back(colour);
    }
    opaqueIndices.push_back(at->second);
  }
  std::size_t next = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (!image.Transparent(i)) out.indices[i] = opaqueIndices[next++];
  return out;
}

}  // namespace Kelvane
