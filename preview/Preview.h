#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/Image.h"

// A picture of what a T3D document holds: its polygons read back from the
// written text, flat-shaded and lit from the viewer, fitted to the view.
// Plain C++: the command line draws it without a display, the window shows
// the same picture.
namespace Kelvane::Preview {

// Where a texture lies on a polygon: texel (s, t) of a point P is
// ((P - origin) . u, (P - origin) . v).
struct TextureMapping {
  std::int32_t texture = -1;  // index into Model::textureNames; -1: none
  float origin[3] = {0, 0, 0};
  float u[3] = {0, 0, 0};
  float v[3] = {0, 0, 0};
  // The polygon's flags carry PF_Masked ("Flags=" with bit 2 set): its 8-bit
  // texture's palette entry 0 is see-through.
  bool masked = false;
};

// The polygon flag that makes palette entry 0 of an 8-bit texture
// see-through (UE1 and UE2).
constexpr std::uint32_t kMaskedPolygon = 2;

// The polygons of a T3D document: each polygon's corners in order.
struct Model {
  std::vector<float> corners;              // x, y, z of every corner, polygon after polygon
  std::vector<std::uint32_t> cornerCount;  // corners of each polygon
  // The textures polygons name ("Texture=NAME"), each once; and when any
  // polygon names one, every polygon's mapping (else empty).
  std::vector<std::string> textureNames;
  std::vector<TextureMapping> mappings;
};

// Reads every "Begin Polygon" ... "End Polygon" record of the text (its
// "Vertex" lines); other lines are passed over. Lines end in LF, CR LF or
// CR; keywords are read in any case, as Unreal reads them.
// - Only brushes that add to the level are the model: inside a brush actor
//   ("Begin Actor Class=Brush") polygons count when the actor says
//   "CsgOper=CSG_Add" before them. The map template's builder brush (no
//   CsgOper) and its subtracted room, a cube around everything, are not the
//   model and would hide it. Polygons outside actors (one brush) all count.
// - A record with fewer than three corners, or with a Vertex line that is
//   not three numbers of at most kLargestCoordinate, is left out whole.
// - A record that the next Begin or End line or the end of the text cuts
//   off keeps the corners it has; a last Vertex line without its line break
//   may be cut in a number and is not read.
Model ReadT3d(std::string_view text);

// The largest coordinate taken; beyond it a corner is unreadable.
constexpr double kLargestCoordinate = 1e30;

// ReadT3d of the file at `path`; a file that cannot be read raises RunError
// (FileError).
Model ReadT3dFile(const std::string& path);

// A texture as the preview draws it. Its see-through texels are those whose
// alpha is below half: a PNG's own, on every polygon that shows it, or
// palette entry 0 of an 8-bit bitmap (alpha 0 there), on the polygons
// marked masked alone, as the editors show them.
struct Texture {
  Image picture;
  bool onlyWhereMasked = false;
};

// The model's textures: for each name, NAME.bmp in `folder` when it is a
// bitmap ReadBitmap reads (at most kMaxSide a side), else NAME.png when it
// is a PNG ReadPng reads (the bitmaps a run saves come first, as before;
// the PNGs are what a run saves for the later editors), else empty (its
// polygons are drawn plain).
std::vector<Texture> LoadTextures(const Model& model, const std::string& folder);

// Where the viewer stands: turned by yaw and pitch (radians) around the
// model's centre, zoomed by `zoom` (1: the model fills the view).
struct View {
  double yaw = 0.785398163397448;  // the fixed three-quarter angle
  double pitch = -0.523598775598299;
  double zoom = 1.0;
};

// The background and the two ends of the faces' colour scale (edge-on and
// facing the viewer).
constexpr std::uint32_t kBackground = 0x1B1F27;
constexpr std::uint32_t kEdgeOn = 0x3A4456;
constexpr std::uint32_t kFacing = 0xCFDCEE;

// The line drawn where one face stands in front of another, and the least
// step in depth that draws it, in pixels of the picture.
constexpr std::uint32_t kOutline = 0x10131A;
constexpr double kOutlineJump = 6;

// The largest width or height Render draws.
constexpr int kMaxSide = 8192;

// Draws the model as Unreal places it: Z up, X forward and Y to the right
// at yaw 0 and pitch 0; a negative pitch looks down. The projection is
// orthographic; at zoom 1 the model's outline at this angle fills the
// picture but for a margin of kMargin of each side. Every polygon is drawn
// as a fan of triangles from its first corner, both faces, with a depth
// buffer; each triangle is shaded by |normal . view direction| between
// kEdgeOn and kFacing. Where the model's depth steps by more than
// kOutlineJump between two neighbouring pixels, the nearer one is drawn in
// kOutline. A size outside 1 to kMaxSide gives an empty picture (0 x 0); a
// model without polygons, the background alone.
// With `textures` (LoadTextures), a polygon whose texture is there shows it
// as its mapping lays it (repeated beyond its sides), darkened from
// kTextureFacing facing the viewer to kTextureEdgeOn edge-on; where its
// texels are see-through (Texture), what lies behind it shows.
Image Render(const Model& model, int width, int height, const View& view = View{},
             const std::vector<Texture>* textures = nullptr);

constexpr double kTextureFacing = 1.0;
constexpr double kTextureEdgeOn = 0.45;

constexpr double kMargin = 0.05;

// Reads the T3D document at `t3dPath` and the bitmaps of its textures beside
// it, renders it from the fixed angle and saves the picture as a PNG
// (SavePng); file faults raise RunError (FileError), a size outside 1 to
// kMaxSide raises RunError (InvalidArgument).
void WritePreviewPng(const std::string& t3dPath, const std::string& pngPath, int width, int height);

}  // namespace Kelvane::Preview
