#include "preview/Preview.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/Bitmap.h"
#include "image/Png.h"
#include "platform/Platform.h"
#include "text/RunError.h"
#include "text/Files.h"
#include "vector/Vector3.h"

namespace Kelvane::Preview {

namespace {

// ---------------------------------------------------------------- reading

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view SkipBlanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

// Whether the text starts with `lowerPrefix` in any case.
bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
    if (Lower(text[i]) != lowerPrefix[i]) return false;
  return true;
}

// Takes the word `lowerWord` (any case) off the front of the text when a
// blank or the end follows it; the blanks after it go too.
bool TakeWord(std::string_view& text, std::string_view lowerWord) {
  if (!StartsWithNoCase(text, lowerWord)) return false;
  if (text.size() > lowerWord.size() && !IsBlank(text[lowerWord.size()])) return false;
  text = SkipBlanks(text.substr(lowerWord.size()));
  return true;
}

bool EqualsNoCase(std::string_view text, std::string_view lowerWord) {
  return text.size() == lowerWord.size() && StartsWithNoCase(text, lowerWord);
}

// The value of `name=value` among the blank-separated tokens of the text.
std::string_view TokenValue(std::string_view text, std::string_view lowerName) {
  while (!text.empty()) {
    text = SkipBlanks(text);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const std::string_view token = text.substr(0, end);
    if (StartsWithNoCase(token, lowerName) && token.size() > lowerName.size() &&
        token[lowerName.size()] == '=') {
      return token.substr(lowerName.size() + 1);
    }
    text.remove_prefix(end);
  }
  return {};
}

// A number at the front of the text (blanks before it skipped); the text
// moves past it.
bool TakeNumber(std::string_view& text, float& value) {
  text = SkipBlanks(text);
  const char* first = text.data();
  const char* const last = first + text.size();
  bool negative = false;
  if (first != last && (*first == '+' || *first == '-')) {
    negative = *first == '-';
    ++first;
  }
  // from_chars would also take "inf" and "nan"; a coordinate is digits.
  if (first == last || !((*first >= '0' && *first <= '9') || *first == '.')) return false;
  double number = 0;
  const auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc() || !(std::fabs(number) <= kLargestCoordinate)) return false;
  value = static_cast<float>(negative ? -number : number);
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

bool TakeComma(std::string_view& text) {
  text = SkipBlanks(text);
  if (text.empty() || text.front() != ',') return false;
  text.remove_prefix(1);
  return true;
}

// "X,Y,Z" and nothing but blanks after it.
bool ReadCorner(std::string_view text, float corner[3]) {
  return TakeNumber(text, corner[0]) && TakeComma(text) && TakeNumber(text, corner[1]) &&
         TakeComma(text) && TakeNumber(text, corner[2]) && SkipBlanks(text).empty();
}

// A polygon's flags: a decimal number (0 when it is none).
std::uint32_t FlagsOf(std::string_view text) {
  std::uint32_t flags = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), flags);
  return error == std::errc() && end == text.data() + text.size() ? flags : 0;
}

class T3dReader {
 public:
  void Line(std::string_view line, bool cutOff) {
    line = SkipBlanks(line);
    if (TakeWord(line, "vertex")) {
      if (!inPolygon_ || cutOff) return;
      float corner[3];
      if (ReadCorner(line, corner)) {
        model_.corners.insert(model_.corners.end(), corner, corner + 3);
        ++corners_;
      } else {
        damaged_ = true;
      }
    } else if (TakeWord(line, "begin")) {
      ClosePolygon();
      if (TakeWord(line, "polygon")) {
        OpenPolygon();
        const std::string_view name = TokenValue(line, "texture");
        if (!name.empty()) mapping_.texture = TextureIndex(name);
        mapping_.masked = (FlagsOf(TokenValue(line, "flags")) & kMaskedPolygon) != 0;
      } else if (TakeWord(line, "actor")) {
        inActor_ = true;
        brushActor_ = EqualsNoCase(TokenValue(line, "class"), "brush");
        adds_ = false;
      }
    } else if (TakeWord(line, "end")) {
      ClosePolygon();
      if (TakeWord(line, "actor")) inActor_ = false;
    } else if (inPolygon_ && TakeWord(line, "origin")) {
      if (!ReadCorner(line, mapping_.origin)) axesDamaged_ = true;
    } else if (inPolygon_ && TakeWord(line, "textureu")) {
      if (!ReadCorner(line, mapping_.u)) axesDamaged_ = true;
    } else if (inPolygon_ && TakeWord(line, "texturev")) {
      if (!ReadCorner(line, mapping_.v)) axesDamaged_ = true;
    } else if (StartsWithNoCase(line, "csgoper") && inActor_) {
      line = SkipBlanks(line.substr(7));
      if (!line.empty() && line.front() == '=') {
        line = SkipBlanks(line.substr(1));
        std::size_t end = 0;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        adds_ = EqualsNoCase(line.substr(0, end), "csg_add");
      }
    }
  }

  Model Finish() {
    ClosePolygon();
    return std::move(model_);
  }

 private:
  void OpenPolygon() {
    inPolygon_ = true;
    damaged_ = false;
    axesDamaged_ = false;
    mapping_ = TextureMapping{};
    corners_ = 0;
    start_ = model_.corners.size();
  }

  std::int32_t TextureIndex(std::string_view name) {
    for (std::size_t i = 0; i < model_.textureNames.size(); ++i)
      if (model_.textureNames[i] == name) return static_cast<std::int32_t>(i);
    model_.textureNames.emplace_back(name);
    return static_cast<std::int32_t>(model_.textureNames.size() - 1);
  }

  void ClosePolygon() {
    if (!inPolygon_) return;
    inPolygon_ = false;
    const bool counts = !(inActor_ && brushActor_ && !adds_);
    if (counts && !damaged_ && corners_ >= 3) {
      model_.cornerCount.push_back(corners_);
      // Mappings are kept once a polygon names a texture, for every polygon.
      if (axesDamaged_) mapping_.texture = -1;
      if (mapping_.texture >= 0 && !mapped_) {
        mapped_ = true;
        model_.mappings.resize(model_.cornerCount.size() - 1);
      }
      if (mapped_) model_.mappings.push_back(mapping_);
    } else {
      model_.corners.resize(start_);
    }
  }

  Model model_;
  bool inPolygon_ = false;
  bool damaged_ = false;
  bool axesDamaged_ = false;
  bool mapped_ = false;  // a polygon has named a texture
  TextureMapping mapping_;
  std::uint32_t corners_ = 0;
  std::size_t start_ = 0;
  bool inActor_ = false;
  bool brushActor_ = false;
  bool adds_ = false;
};

// ---------------------------------------------------------------- drawing

struct Point {
  double x;  // pixels, to the right
  double y;  // pixels, down
  float z;   // depth, growing away from the viewer
};

// One edge's function: the cross product of the edge with the way to a
// pixel centre, positive inside the triangle. A centre on an edge counts
// for both triangles that share it, so none falls between them.
struct Edge {
  Edge(const Point& from, const Point& to, double orientation)
      : ox(from.x), oy(from.y), dx(to.x - from.x), dy(to.y - from.y), sign(orientation) {}
  double Row(double py) const { return dx * (py - oy); }
  double At(double row, double px) const { return sign * (row - dy * (px - ox)); }

  double ox, oy, dx, dy, sign;
};

// What a shade gives for a see-through pixel: nothing is drawn there, and
// what lies behind shows.
constexpr std::uint32_t kSeeThrough = 0xFF000000;

class Rasterizer {
 public:
  explicit Rasterizer(Image& picture)
      : picture_(picture), depth_(picture.rgb.size(), std::numeric_limits<float>::infinity()) {}

  void Triangle(const Point& a, const Point& b, const Point& c, std::uint32_t colour) {
    Triangle(a, b, c, [colour](double, double, double) { return colour; });
  }

  // `shade(wa, wb, wc)` gives the colour of a pixel from the shares of the
  // three corners in it (summing to 1).
  template <typename Shade>
  void Triangle(const Point& a, const Point& b, const Point& c, Shade shade) {
    const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (!(area != 0) || !std::isfinite(area)) return;
    const double minX = std::min({a.x, b.x, c.x});
    const double maxX = std::max({a.x, b.x, c.x});
    const double minY = std::min({a.y, b.y, c.y});
    const double maxY = std::max({a.y, b.y, c.y});
    // Pixel centres lie at i + 0.5.
    const double firstX = std::max(0.0, std::ceil(minX - 0.5));
    const double lastX = std::min(picture_.width - 1.0, std::floor(maxX - 0.5));
    const double firstY = std::max(0.0, std::ceil(minY - 0.5));
    const double lastY = std::min(picture_.height - 1.0, std::floor(maxY - 0.5));
    if (!(firstX <= lastX && firstY <= lastY)) return;

    const double orientation = area > 0 ? 1.0 : -1.0;
    const Edge toA(b, c, orientation);  // its value is a's share of the pixel
    const Edge toB(c, a, orientation);
    const Edge toC(a, b, orientation);
    const double scale = 1.0 / std::fabs(area);
    const int x0 = static_cast<int>(firstX);
    const int x1 = static_cast<int>(lastX);
    for (int y = static_cast<int>(firstY); y <= static_cast<int>(lastY); ++y) {
      const double py = y + 0.5;
      const double rowA = toA.Row(py);
      const double rowB = toB.Row(py);
      const double rowC = toC.Row(py);
      const std::size_t row =
          static_cast<std::size_t>(y) * static_cast<std::size_t>(picture_.width);
      for (int x = x0; x <= x1; ++x) {
        const double px = x + 0.5;
        const double wa = toA.At(rowA, px);
        const double wb = toB.At(rowB, px);
        const double wc = toC.At(rowC, px);
        if (wa < 0 || wb < 0 || wc < 0) continue;
        const float z = static_cast<float>((wa * a.z + wb * b.z + wc * c.z) * scale);
        float& nearest = depth_[row + static_cast<std::size_t>(x)];
        if (z < nearest) {
          const std::uint32_t colour = shade(wa * scale, wb * scale, wc * scale);
          if (colour == kSeeThrough) continue;
          nearest = z;
          picture_.rgb[row + static_cast<std::size_t>(x)] = colour;
        }
      }
    }
  }

  // Marks the near side of every step in depth larger than `jump` between
  // two neighbouring pixels of the model. Faces that lie parallel are lit
  // alike; where one stands in front of another, this line tells them apart.
  void Outline(float jump, std::uint32_t colour) {
    const int width = picture_.width;
    const std::size_t size = depth_.size();
    std::vector<std::size_t> marked;
    auto compare = [&](std::size_t p, std::size_t q) {
      const float a = depth_[p], b = depth_[q];
      if (std::isinf(a) || std::isinf(b)) return;  // the background has its own edge
      if (a + jump < b) marked.push_back(p);
      if (b + jump < a) marked.push_back(q);
    };
    for (std::size_t p = 0; p < size; ++p) {
      if (static_cast<int>(p % static_cast<std::size_t>(width)) + 1 < width) compare(p, p + 1);
      if (p + static_cast<std::size_t>(width) < size)
        compare(p, p + static_cast<std::size_t>(width));
    }
    for (const std::size_t p : marked) picture_.rgb[p] = colour;
  }

 private:
  Image& picture_;
  std::vector<float> depth_;  // per pixel, beside the picture's colours
};

std::uint32_t Blend(std::uint32_t from, std::uint32_t to, double share) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double a = (from >> shift) & 0xFF;
    const double b = (to >> shift) & 0xFF;
    out |= static_cast<std::uint32_t>(std::lround(a + (b - a) * share)) << shift;
  }
  return out;
}

// The viewer's axes in the model's space: to the right, up, and the way it
// looks.
struct Axes {
  Vector3 right;
  Vector3 up;
  Vector3 ahead;
};

Axes AxesOf(double yaw, double pitch) {
  const double cy = std::cos(yaw), sy = std::sin(yaw);
  const double cp = std::cos(pitch), sp = std::sin(pitch);
  // Unreal's frame is left-handed: right = up x ahead.
  return {{-sy, cy, 0}, {-sp * cy, -sp * sy, cp}, {cp * cy, cp * sy, sp}};
}

// Three floats of the model (a corner, or a texture axis) as a vector.
Vector3 VectorOf(const float* p) { return {p[0], p[1], p[2]}; }

// A corner in the viewer's frame: along its right, up and ahead axes.
Vector3 InView(const Axes& axes, const float* p) {
  const Vector3 corner = VectorOf(p);
  return {Dot(axes.right, corner), Dot(axes.up, corner), Dot(axes.ahead, corner)};
}

// The corners ReadT3d takes; larger ones would overflow the depths.
bool Readable(const float* p) {
  return std::fabs(p[0]) <= kLargestCoordinate && std::fabs(p[1]) <= kLargestCoordinate &&
         std::fabs(p[2]) <= kLargestCoordinate;
}

// Calls `visit(first corner, count)` for every polygon that has three
// corners or more, all of them in the table and readable. (ReadT3d makes
// no other; a model made by hand may.)
template <typename Visit>
void ForEachPolygon(const Model& model, Visit visit) {
  const std::size_t total = model.corners.size() / 3;
  std::size_t next = 0;
  for (std::size_t polygon = 0; polygon < model.cornerCount.size(); ++polygon) {
    const std::uint32_t count = model.cornerCount[polygon];
    if (count > total - next) return;
    const float* first = model.corners.data() + next * 3;
    next += count;
    if (count < 3) continue;
    bool readable = true;
    for (std::uint32_t i = 0; i < count; ++i) readable = readable && Readable(first + 3 * i);
    if (readable) visit(first, count, polygon);
  }
}

// The index of the texel of a texture at (s, t), the texture repeated in
// both ways.
std::size_t TexelIndex(const Image& texture, double s, double t) {
  const auto wrap = [](double at, int size) {
    const double cell = std::floor(at);
    if (!std::isfinite(cell)) return 0;
    double rest = std::fmod(cell, static_cast<double>(size));
    if (rest < 0) rest += size;
    return static_cast<int>(rest);
  };
  const int x = wrap(s, texture.width);
  const int y = wrap(t, texture.height);
  return texture.IndexOf(x, y);
}

// Where the model stands in the picture: its middle in the viewer's frame
// (depths measured from it keep float's precision for models far from the
// origin) and the pixels per model unit.
struct Framing {
  Vector3 middle;
  double scale = 1;
};

// Fits the model's outline at this angle (rather than a sphere around the
// model, so that a flat or long model fills the picture too) into the
// picture less its margins, then zooms. False for a model with no polygon
// to draw.
bool FrameModel(const Model& model, const Axes& axes, int width, int height, double zoom,
                Framing& framing) {
  Vector3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL};
  Vector3 high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  ForEachPolygon(model, [&](const float* p, std::uint32_t count, std::size_t) {
    for (std::uint32_t i = 0; i < count; ++i, p += 3) {
      const Vector3 v = InView(axes, p);
      low = {std::min(low.X, v.X), std::min(low.Y, v.Y), std::min(low.Z, v.Z)};
      high = {std::max(high.X, v.X), std::max(high.Y, v.Y), std::max(high.Z, v.Z)};
    }
  });
  if (!(low.X <= high.X)) return false;

  const double spanX = high.X - low.X;
  const double spanY = high.Y - low.Y;
  const double roomX = width * (1 - 2 * kMargin);
  const double roomY = height * (1 - 2 * kMargin);
  double scale = 1;
  if (spanX > 0 && spanY > 0) {
    scale = std::min(roomX / spanX, roomY / spanY);
  } else if (spanX > 0) {
    scale = roomX / spanX;
  } else if (spanY > 0) {
    scale = roomY / spanY;
  }
  framing.scale = scale * zoom;
  framing.middle = (low + high) / 2;
  return true;
}

// Draws the model's polygons, each as a fan from its first corner, shaded
// by how squarely it faces the viewer, textured where it has a texture.
class Painter {
 public:
  Painter(Image& picture, const Axes& axes, const Framing& framing, const Model& model,
          const std::vector<Texture>* textures)
      : raster_(picture),
        axes_(axes),
        framing_(framing),
        model_(model),
        textures_(textures),
        halfWidth_(picture.width / 2.0),
        halfHeight_(picture.height / 2.0) {
    for (std::size_t i = 0; i < shades_.size(); ++i) {
      shades_[i] = Blend(kEdgeOn, kFacing, i / 255.0);
    }
  }

  void Polygon(const float* p, std::uint32_t count, std::size_t polygon) {
    const TextureMapping* mapping = nullptr;
    const Texture* texture = TextureOf(polygon, mapping);
    const Placed first = Place(p);
    Placed previous = Place(p + 3);
    const float* previousCorner = p + 3;
    for (std::uint32_t i = 2; i < count; ++i) {
      const Placed next = Place(p + 3 * i);
      const float* nextCorner = p + 3 * i;
      const Vector3 normal = Cross(previous.view - first.view, next.view - first.view);
      const double length = Length(normal);
      if (length > 0 && std::isfinite(length)) {
        const double facing = std::min(1.0, std::fabs(normal.Z) / length);
        if (texture != nullptr) {
          const float* corners[3] = {p, previousCorner, nextCorner};
          Textured({first.point, previous.point, next.point}, corners, *mapping, *texture, facing);
        } else {
          raster_.Triangle(first.point, previous.point, next.point,
                           shades_[static_cast<std::size_t>(std::lround(facing * 255))]);
        }
      }
      previous = next;
      previousCorner = nextCorner;
    }
  }

  void Outline() { raster_.Outline(static_cast<float>(kOutlineJump / framing_.scale), kOutline); }

 private:
  // A corner in the viewer's frame (model units) and on the picture.
  struct Placed {
    Vector3 view;
    Point point;
  };

  Placed Place(const float* p) const {
    Placed placed{InView(axes_, p) - framing_.middle, {}};
    placed.point = {halfWidth_ + placed.view.X * framing_.scale,
                    halfHeight_ - placed.view.Y * framing_.scale,
                    static_cast<float>(placed.view.Z)};
    return placed;
  }

  // The texture the polygon shows, when it has one and it was loaded.
  const Texture* TextureOf(std::size_t polygon, const TextureMapping*& mapping) const {
    if (textures_ == nullptr || polygon >= model_.mappings.size()) return nullptr;
    mapping = &model_.mappings[polygon];
    const auto index = static_cast<std::size_t>(mapping->texture);
    if (mapping->texture < 0 || index >= textures_->size()) return nullptr;
    const Image& picture = (*textures_)[index].picture;
    if (picture.Empty() || picture.rgb.size() != static_cast<std::size_t>(picture.width) *
                                                     static_cast<std::size_t>(picture.height)) {
      return nullptr;
    }
    return &(*textures_)[index];
  }

  // Texels at the corners; inside, shared out as the picture shares the
  // corners (exact, the projection being orthographic).
  void Textured(const std::array<Point, 3>& at, const float* const corners[3],
                const TextureMapping& mapping, const Texture& texture, double facing) {
    double s[3], t[3];
    for (int k = 0; k < 3; ++k) {
      const Vector3 offset = VectorOf(corners[k]) - VectorOf(mapping.origin);
      s[k] = Dot(offset, VectorOf(mapping.u));
      t[k] = Dot(offset, VectorOf(mapping.v));
    }
    const double light = kTextureEdgeOn + (kTextureFacing - kTextureEdgeOn) * facing;
    const Image& picture = texture.picture;
    const bool seeThrough =
        picture.alpha.size() == picture.rgb.size() && (mapping.masked || !texture.onlyWhereMasked);
    raster_.Triangle(at[0], at[1], at[2], [&](double wa, double wb, double wc) {
      const std::size_t texel =
          TexelIndex(picture, wa * s[0] + wb * s[1] + wc * s[2], wa * t[0] + wb * t[1] + wc * t[2]);
      if (seeThrough && picture.Transparent(texel)) return kSeeThrough;
      return Blend(0, picture.rgb[texel], light);
    });
  }

  Rasterizer raster_;
  const Axes& axes_;
  const Framing& framing_;
  const Model& model_;
  const std::vector<Texture>* textures_;
  double halfWidth_;
  double halfHeight_;
  std::array<std::uint32_t, 256> shades_{};
};

}  // namespace

Model ReadT3d(std::string_view text) {
  T3dReader reader;
  const char* const end = text.data() + text.size();
  const char* at = text.data();
  // The next LF is kept, not searched for again at each line of a file
  // whose lines end in CR alone.
  const char* lineFeed = nullptr;
  while (at < end) {
    if (lineFeed == nullptr || lineFeed < at) {
      lineFeed =
          static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
      if (lineFeed == nullptr) lineFeed = end;
    }
    const char* stop = lineFeed;
    const auto* carriageReturn =
        static_cast<const char*>(std::memchr(at, '\r', static_cast<std::size_t>(stop - at)));
    if (carriageReturn != nullptr) stop = carriageReturn;
    reader.Line(std::string_view(at, static_cast<std::size_t>(stop - at)), stop == end);
    if (stop == end) break;
    at = stop + 1;
  }
  return reader.Finish();
}

Model ReadT3dFile(const std::string& path) { return ReadT3d(TextRoutines::ReadWholeFile(path)); }

namespace {

// NAME.bmp as a texture: an 8-bit bitmap's palette entry 0 is its mask.
Texture BitmapTexture(const std::string& path) {
  Texture texture;
  texture.onlyWhereMasked = true;
  std::vector<std::uint8_t> indices;
  try {
    texture.picture = ReadBitmap(TextRoutines::ReadWholeFile(path), kMaxSide, &indices);
  } catch (const RunError&) {
    return {};
  }
  if (indices.size() == texture.picture.rgb.size() && !indices.empty()) {
    texture.picture.alpha.resize(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
      texture.picture.alpha[i] = indices[i] == 0 ? 0 : 255;
    }
  }
  return texture;
}

// NAME.png as a texture: its alpha is its mask.
Texture PngTexture(const std::string& path) {
  Texture texture;
  try {
    texture.picture = ReadPng(TextRoutines::ReadWholeFile(path), kMaxSide);
  } catch (const RunError&) {
    return {};
  }
  return texture;
}

}  // namespace

std::vector<Texture> LoadTextures(const Model& model, const std::string& folder) {
  std::vector<Texture> textures;
  const std::string base = (folder.empty() ? std::string(".") : folder) + Platform::kPathSeparator;
  for (const std::string& name : model.textureNames) {
    Texture texture = BitmapTexture(base + name + ".bmp");
    if (texture.picture.Empty()) texture = PngTexture(base + name + ".png");
    textures.push_back(std::move(texture));
  }
  return textures;
}

Image Render(const Model& model, int width, int height, const View& view,
             const std::vector<Texture>* textures) {
  Image picture;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                     kBackground);

  const View standard;
  const double yaw = std::isfinite(view.yaw) ? view.yaw : standard.yaw;
  const double pitch = std::isfinite(view.pitch) ? view.pitch : standard.pitch;
  const double zoom = std::isfinite(view.zoom) && view.zoom > 0 ? view.zoom : standard.zoom;
  const Axes axes = AxesOf(yaw, pitch);
  Framing framing;
  if (!FrameModel(model, axes, width, height, zoom, framing)) return picture;
  Painter painter(picture, axes, framing, model, textures);
  ForEachPolygon(model, [&](const float* p, std::uint32_t count, std::size_t polygon) {
    painter.Polygon(p, count, polygon);
  });
  painter.Outline();
  return picture;
}

void WritePreviewPng(const std::string& t3dPath, const std::string& pngPath, int width,
                     int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    throw RunError(ErrorKind::InvalidArgument, "The preview size " + std::to_string(width) + " x " +
                                                   std::to_string(height) + " is outside 1 to " +
                                                   std::to_string(kMaxSide) + " pixels a side");
  }
  const Model model = ReadT3dFile(t3dPath);
  const std::size_t slash = t3dPath.find_last_of(Platform::kPathSeparators);
  const std::vector<Texture> textures =
      LoadTextures(model, slash == std::string::npos ? "." : t3dPath.substr(0, slash));
  SavePng(Render(model, width, height, View{}, &textures), pngPath);
}

}  // namespace Kelvane::Preview
