#include "app/run/WholeFormatPass.h"

#include <array>
#include <cmath>
#include <limits>

#include "app/run/BitmapSaver.h"
#include "image/Image.h"
#include "keyword/ReaderSink.h"
#include "metafile/format/Document.h"
#include "platform/Platform.h"
#include "t3d/EditorFrame.h"
#include "t3d/Engines.h"
#include "t3d/PolygonRecords.h"
#include "t3d/T3dWriter.h"
#include "t3d/WritePolygons.h"
#include "vector/ModuleVector.h"

namespace Kelvane {

namespace {

// A point of the model as a corner of the document, as every reader maps
// the axes; function objects, so that WritePolygons takes them inline.
constexpr auto CornerPoint = [](const Vector3& p) { return Unreal::MapAxes(p.X, p.Y, p.Z); };
constexpr auto EditorPoint = [](const Vector3& p) {
  return Unreal::MapAxesToEditor(p.X, p.Y, p.Z);
};

// Whether every corner of the triangle has a UV (the object's UVs are
// none or one per point).
bool HasUVs(const Metafile::SurfaceMapping& mapping, const std::array<std::uint32_t, 3>& triangle) {
  if (mapping.uvs.empty()) return false;
  for (const std::uint32_t corner : triangle) {
    const Metafile::UV& uv = mapping.uvs[corner];
    if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) return false;
  }
  return true;
}

// Whether every corner lies at its texel on the axes.
bool OnTheAxes(const Unreal::TextureAxes& axes, const Unreal::EditorCorner* const* at,
               const double* s, const double* t, std::size_t count) {
  for (std::size_t k = 3; k < count; ++k) {
    const Vector3& p = at[k]->point;
    const Vector3 d{p.X - axes.origin.X, p.Y - axes.origin.Y, p.Z - axes.origin.Z};
    const double onU = d.X * axes.u.X + d.Y * axes.u.Y + d.Z * axes.u.Z;
    const double onV = d.X * axes.v.X + d.Y * axes.v.Y + d.Z * axes.v.Z;
    if (std::fabs(onU - s[k]) > 1e-3 * std::max(1.0, std::fabs(s[k])) ||
        std::fabs(onV - t[k]) > 1e-3 * std::max(1.0, std::fabs(t[k]))) {
      return false;
    }
  }
  return true;
}

bool HasUVs(const Metafile::SurfaceMapping& mapping, const std::uint32_t* order,
            std::size_t count) {
  if (mapping.uvs.empty()) return false;
  for (std::size_t k = 0; k < count; ++k) {
    const Metafile::UV& uv = mapping.uvs[order[k]];
    if (!std::isfinite(uv.u) || !std::isfinite(uv.v)) return false;
  }
  return true;
}

}  // namespace

WholeFormatPass::WholeFormatPass(std::string_view text, double scale, const RunSettings& settings,
                                 bool pictures, DocumentFrame& frame, RunSink& sink,
                                 BitmapSaver& saver, ReportBuilder& report, Image& picture)
    : text_(text),
      scale_(scale),
      settings_(settings),
      pictures_(pictures),
      frame_(frame),
      sink_(sink),
      saver_(saver),
      report_(report),
      picture_(picture) {}

WholeFormatPass::~WholeFormatPass() = default;

void WholeFormatPass::Run() {
  report_.ReadWholeFormat();
  // The whole structure is read before the first write: a file that is not
  // a 3DMF file at all leaves an existing output as it was.
  document_ = Metafile::ReadDocument(text_);
  report_.Warn(document_->warnings);

  frame_.WriteHead();
  // An engine's polygons of masked textures are flagged, so the textures
  // that cover them are looked up too, their UVs only when mapped.
  const Metafile::Mapping mapping = settings_.textureMapping ? Metafile::Mapping::kTexturesAndUVs
                                    : MasksByPolygonFlag(settings_.engine) && pictures_
                                        ? Metafile::Mapping::kTextures
                                        : Metafile::Mapping::kNone;
  Metafile::WalkScene(*document_, *this, pictures_, report_.LeftOut(), mapping);
  currentObject_ = nullptr;
  frame_.WriteTail();
}

std::string WholeFormatPass::PlaceOf(const RunError& error) const {
  if (!error.Place().empty()) return error.Place();
  if (document_ == nullptr || currentObject_ == nullptr) return {};
  return document_->PlaceOf(currentObject_->start, currentObject_);
}

void WholeFormatPass::Reached(const Metafile::Object& object) {
  currentObject_ = &object;
  // Progress shows where the walk stands in the input.
  scanPosition_ = object.start < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                      ? static_cast<std::int32_t>(object.start + 1)
                      : std::numeric_limits<std::int32_t>::max();
  sink_.ShowPosition(scanPosition_);
}

void WholeFormatPass::Geometry(const Metafile::Object& object, Metafile::TriangleSet& set) {
  currentObject_ = &object;
  if (set.triangles.empty() && set.zeroAreaLeftOut > 0) {
    // A degenerate shape with nothing left to draw: no empty brush.
    report_.Warn(object.kind + " with no area left out (" +
                 document_->PlaceOf(object.start, &object) + ")");
    return;
  }
  frame_.BeginObject(set.name);
  if (settings_.EditorFrame()) {
    WriteEditorPolygons(set);
  } else if (settings_.textureMapping && !set.mapping.textures.empty()) {
    WriteMappedPolygons(set);
  } else {
    WritePolygons(
        frame_.Writer(), scale_, spot_, set.points, CornerPoint, set.triangles, [](std::size_t) {},
        [&](std::size_t) { sink_.DoEvents(); });
  }
  frame_.ShowProcessed();
  frame_.EndObject();
}

void WholeFormatPass::Texture(const Metafile::Object& object, const Image& decoded) {
  currentObject_ = &object;
  const bool powerSides = IsPowerOfTwo(decoded.width) && IsPowerOfTwo(decoded.height);
  const bool resample = settings_.powerOfTwo && !powerSides;
  const int width = resample ? NextPowerOfTwo(decoded.width) : decoded.width;
  const int height = resample ? NextPowerOfTwo(decoded.height) : decoded.height;
  CheckPictureSize(width, height);
  if (settings_.textureAlpha || decoded.alpha.empty()) {
    picture_ = resample ? Resample(decoded, width, height) : decoded;
  } else {
    // Without alpha the texture is resampled, saved and shown opaque, as
    // it always was.
    picture_ = decoded;
    picture_.alpha.clear();
    if (resample) picture_ = Resample(picture_, width, height);
  }
  sink_.ShowTexture(picture_);
  sink_.DoEvents();
  const SavedPicture saved = saver_.Save(picture_);
  const std::string& path = saved.path;
  if (path.empty()) return;
  const std::string name = TextureNameOf(path);
  saved_[&object] = {
      name, Unreal::TextureReference(settings_.engine, settings_.texturePackage, name),
      static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), saved.masked};
  if (!settings_.textureMapping) return;
  if (name != Platform::TextOf(Platform::PathOf(path).stem())) {
    report_.Warn("the bitmap \"" + path + "\" is named " + name +
                 " in the T3D document: a texture name takes only letters, digits and _");
  }
  if (!powerSides && !settings_.powerOfTwo) report_.NotPowerOfTwo(name, width, height);
}

std::int32_t WholeFormatPass::MaskFlagOf(const Metafile::SurfaceMapping& mapping,
                                         std::size_t r) const {
  if (!MasksByPolygonFlag(settings_.engine)) return 0;
  const SavedTexture* saved = SavedTextureOf(mapping, mapping.TextureOf(r));
  return saved != nullptr && saved->masked ? kMaskedPolygonFlag : 0;
}

const WholeFormatPass::SavedTexture* WholeFormatPass::SavedTextureOf(
    const Metafile::SurfaceMapping& mapping, std::uint32_t use) const {
  if (use == Metafile::kNoTexture) return nullptr;
  const auto found = saved_.find(mapping.textures[use].texture);
  return found == saved_.end() ? nullptr : &found->second;
}

// The polygons of a textured object, one by one: those whose texture was
// saved name it and, when their corners have UVs with area, carry the
// model's mapping; the others are written as any polygon.
void WholeFormatPass::WriteMappedPolygons(const Metafile::TriangleSet& set) {
  const Metafile::SurfaceMapping& mapping = set.mapping;
  std::string text;
  for (std::size_t r = 0; r < set.triangles.size(); ++r) {
    Vector3 corner[3];
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t index = set.triangles[r][static_cast<std::size_t>(k)];
      if (index >= set.points.size()) ThrowOutsideTable(index, set.points.size());
      corner[k] = CornerPoint(set.points[index]);
      if (scale_ != 1.0) corner[k] = ModuleVector::VectorScale(corner[k], scale_);
      frame_.Writer().IncludeCorner(corner[k]);
    }
    text.clear();
    const std::uint32_t use = mapping.TextureOf(r);
    const SavedTexture* saved = SavedTextureOf(mapping, use);
    if (saved == nullptr) {
      if (use != Metafile::kNoTexture) ++report_.Mapping().bitmapMissing;
      frame_.Writer().WriteTriangle(text, corner[0], corner[1], corner[2]);
    } else if (!HasUVs(mapping, set.triangles[r])) {
      ++report_.Mapping().withoutUV;
      frame_.Writer().WriteTexturedTriangle(text, corner[0], corner[1], corner[2], saved->name,
                                            nullptr);
    } else {
      double s[3];
      double t[3];
      for (int k = 0; k < 3; ++k) {
        const Metafile::UV uv = mapping.textures[use].transform.Apply(
            mapping.uvs[set.triangles[r][static_cast<std::size_t>(k)]]);
        s[k] = uv.u * saved->width;
        t[k] = (1 - uv.v) * saved->height;
      }
      Unreal::TextureAxes axes;
      const bool mapped = Unreal::MapTexture(corner, s, t, axes);
      ++(mapped ? report_.Mapping().mapped : report_.Mapping().flat);
      frame_.Writer().WriteTexturedTriangle(text, corner[0], corner[1], corner[2], saved->name,
                                            mapped ? &axes : nullptr);
    }
    text += "\r\n";
    frame_.Writer().AppendRecord(text);
    sink_.DoEvents();
  }
}

// The polygons of an object in the editor's form: each face of the file
// that is flat and convex as one polygon, the other triangles one by one,
// all turned round (the editor's frame is the model's mirror image) unless
// the object was placed mirrored already.
void WholeFormatPass::WriteEditorPolygons(const Metafile::TriangleSet& set) {
  const double scale = scale_;
  // Every point mapped and scaled first, as a failure to scale one must
  // come before the object's first polygon; judged and formed once.
  Unreal::EditorCornerTable corners(set.points.size());
  for (std::size_t i = 0; i < set.points.size(); ++i) {
    Vector3 point = EditorPoint(set.points[i]);
    if (scale != 1.0) point = ModuleVector::VectorScale(point, scale);
    Unreal::MakeEditorCorner(corners[i], point);
  }
  const bool turn = !set.mirrored;
  if (set.faces.empty() && set.mapping.textures.empty()) {
    WriteEditorTriangles(set, corners, turn);
    return;
  }
  std::size_t nextFace = 0;
  std::uint32_t order[Unreal::kMostCorners];
  for (std::size_t r = 0; r < set.triangles.size();) {
    if (nextFace < set.faces.size() && set.faces[nextFace].firstTriangle == r) {
      const Metafile::SourceFace& face = set.faces[nextFace++];
      if (face.corners <= Unreal::kMostCorners) {
        // Turned round from the same first corner.
        for (std::uint32_t k = 0; k < face.corners; ++k) {
          order[k] =
              set.faceCorners[face.firstCorner + (turn ? (face.corners - k) % face.corners : k)];
        }
        if (WriteEditorPolygon(set, corners, order, face.corners, r, face.triangles)) {
          r += face.triangles;
          continue;
        }
      }
    }
    const auto& triangle = set.triangles[r];
    for (const std::uint32_t index : triangle) {
      if (index >= set.points.size()) ThrowOutsideTable(index, set.points.size());
    }
    order[0] = triangle[0];
    order[1] = turn ? triangle[2] : triangle[1];
    order[2] = turn ? triangle[1] : triangle[2];
    WriteEditorPolygon(set, corners, order, 3, r, 0);
    ++r;
  }
}

// The triangles of an object without faces or textures, one by
// one, as WriteEditorPolygon writes each such triangle: what is kept goes
// out, what the editor would not keep is left out and counted, a yield
// after each either way.
void WholeFormatPass::WriteEditorTriangles(const Metafile::TriangleSet& set,
                                           Unreal::EditorCornerTable& corners, bool turn) {
  Unreal::T3dWriter& writer = frame_.Writer();
  const std::array<std::uint32_t, 3>* const triangleAt = set.triangles.data();
  const std::size_t triangles = set.triangles.size();
  const std::size_t points = set.points.size();
  for (std::size_t r = 0; r < triangles; ++r) {
    const auto& triangle = triangleAt[r];
    for (const std::uint32_t index : triangle) {
      if (index >= points) ThrowOutsideTable(index, points);
    }
    const Unreal::EditorCorner* at[3] = {&corners[triangle[0]],
                                         &corners[turn ? triangle[2] : triangle[1]],
                                         &corners[turn ? triangle[1] : triangle[2]]};
    std::size_t count = 3;
    std::size_t merged = 0;
    Vector3 normal;
    if (!Unreal::EditorNormal(at[0]->point, at[1]->point, at[2]->point, normal)) {
      writer.LeaveOutZeroArea();
    } else {
      const Unreal::EditorVerdict verdict = Unreal::JudgeEditorCorners(at, nullptr, count, merged);
      if (verdict == Unreal::EditorVerdict::kTooFewCorners) {
        writer.LeaveOutCollapsed();
      } else if (verdict == Unreal::EditorVerdict::kOnALine) {
        writer.LeaveOutOnALine();
      } else {
        writer.MakeEditorRecord(at, 3, normal, {}, nullptr);
        writer.WriteRecord();
      }
    }
    sink_.DoEvents();
  }
}

// One editor polygon of the corners `order[0, count)`, textured as
// triangle `r` is; `order` is compacted as corners are merged. A face
// (`faceTriangles` > 0) is written only when it is flat and convex, its
// triangles share one texture and its UVs lie on one plane of the texture;
// otherwise nothing is written and false returned. A triangle of zero area
// is left out and counted.
bool WholeFormatPass::WriteEditorPolygon(const Metafile::TriangleSet& set,
                                         Unreal::EditorCornerTable& corners, std::uint32_t* order,
                                         std::size_t count, std::size_t r,
                                         std::size_t faceTriangles) {
  const Unreal::EditorCorner* at[Unreal::kMostCorners];
  for (std::size_t k = 0; k < count; ++k) at[k] = &corners[order[k]];
  const bool face = faceTriangles > 0;
  Unreal::T3dWriter& writer = frame_.Writer();
  // The corners as the editor reads them back: a face it would not keep as
  // it stands goes as its triangles instead; a triangle with area that is
  // none to the editor is left out.
  std::size_t merged = 0;
  Vector3 normal;
  Unreal::EditorVerdict verdict = Unreal::EditorVerdict::kKept;
  bool area = false;
  if (face) {
    verdict = Unreal::JudgeEditorCorners(at, order, count, merged);
    if (verdict != Unreal::EditorVerdict::kKept || !Unreal::FlatAndConvex(at, count, normal)) {
      return false;
    }
    area = true;
  } else {
    area = Unreal::EditorNormal(at[0]->point, at[1]->point, at[2]->point, normal);
    if (area) verdict = Unreal::JudgeEditorCorners(at, order, count, merged);
  }
  if (!area || verdict != Unreal::EditorVerdict::kKept) {
    if (!area) {
      writer.LeaveOutZeroArea();
    } else if (verdict == Unreal::EditorVerdict::kTooFewCorners) {
      writer.LeaveOutCollapsed();
    } else {
      writer.LeaveOutOnALine();
    }
    sink_.DoEvents();
    return true;
  }
  const Metafile::SurfaceMapping& mapping = set.mapping;
  std::string_view name;
  Unreal::TextureAxes axes;
  const Unreal::TextureAxes* mapped = nullptr;
  std::int64_t* counter = nullptr;
  std::int32_t flags = 0;
  if (!mapping.textures.empty()) {
    // A face's triangles share one texture; without texture mapping, one
    // masking is enough.
    const std::uint32_t use = mapping.TextureOf(r);
    for (std::size_t i = 1; i < faceTriangles; ++i) {
      if (settings_.textureMapping ? mapping.TextureOf(r + i) != use
                                   : MaskFlagOf(mapping, r + i) != MaskFlagOf(mapping, r)) {
        return false;
      }
    }
    flags = MaskFlagOf(mapping, r);
  }
  if (settings_.textureMapping && !mapping.textures.empty()) {
    const std::uint32_t use = mapping.TextureOf(r);
    const SavedTexture* saved = SavedTextureOf(mapping, use);
    MappingSummary& summary = report_.Mapping();
    if (saved == nullptr) {
      if (use != Metafile::kNoTexture) counter = &summary.bitmapMissing;
    } else if (!HasUVs(mapping, order, count)) {
      name = saved->reference;
      counter = &summary.withoutUV;
    } else {
      double s[Unreal::kMostCorners];
      double t[Unreal::kMostCorners];
      for (std::size_t k = 0; k < count; ++k) {
        const Metafile::UV uv = mapping.textures[use].transform.Apply(mapping.uvs[order[k]]);
        s[k] = uv.u * saved->width;
        t[k] = (1 - uv.v) * saved->height;
      }
      const Vector3 first[3] = {at[0]->point, at[1]->point, at[2]->point};
      const double firstS[3] = {s[0], s[1], s[2]};
      const double firstT[3] = {t[0], t[1], t[2]};
      const bool solved =
          Unreal::MapTexture(first, firstS, firstT, axes) && OnTheAxes(axes, at, s, t, count);
      if (face && !solved) return false;
      name = saved->reference;
      mapped = solved ? &axes : nullptr;
      counter = solved ? &summary.mapped : &summary.flat;
    }
  }
  if (counter != nullptr) ++*counter;
  writer.CountMergedCorners(merged);
  writer.MakeEditorRecord(at, count, normal, name, mapped, flags);
  writer.WriteRecord();
  sink_.DoEvents();
  return true;
}

}  // namespace Kelvane
