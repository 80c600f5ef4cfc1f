#include "metafile/scene/Scene.h"

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "metafile/format/TypeCodes.h"
#include "metafile/scene/Attributes.h"
#include "metafile/scene/Transform.h"
#include "metafile/surfaces/Parametric.h"

namespace Kelvane::Metafile {

namespace {

// The kind of the element that names an object, as the format's custom
// element classes are named.
constexpr std::string_view kNameElement = "Apple Computer, Inc.:NameElement";

}  // namespace

bool IsShapeWithoutSurface(std::string_view kind) {
  return kind == "NURBCurve" || kind == "Ellipse" || kind == "Line" || kind == "PolyLine" ||
         kind == "Point" || kind == "Marker" || kind == "PixmapMarker";
}

namespace {

class Walk {
 public:
  Walk(const Document& document, SceneSink& sink, bool textures, Mapping mapping,
       SceneSummary& summary)
      : doc_(document),
        sink_(sink),
        textures_(textures),
        mapping_(mapping != Mapping::kNone),
        uvs_(mapping == Mapping::kTexturesAndUVs),
        summary_(summary) {}

  void Run() {
    if (doc_.top.empty()) return;
    State state;
    Sequence(doc_.top.front(), state, false);
  }

 private:
  [[noreturn]] void Fail(const Object& object, ErrorKind kind, const std::string& text) {
    throw RunError(kind, text, doc_.PlaceOf(object.start, &object));
  }

  // What a group saves and restores: the transform and the styles.
  struct State {
    Matrix4 matrix;
    Subdivision subdivision;
    // The texture of the group's surface shader (texture mapping only).
    std::optional<TextureUse> texture;
  };

  // Objects from `first` on, following `next`; with `oneGroup`, `first` is
  // a BeginGroup and the walk stops after its EndGroup. Leaving a group
  // restores the transform and styles it began with.
  void Sequence(std::size_t first, State& state, bool oneGroup) {
    std::vector<State> groups;
    for (std::size_t index = first; index != kNone; index = doc_.objects[index].next) {
      const Object& object = doc_.objects[index];
      if (object.kind == "BeginGroup") {
        groups.push_back(state);
        Textures(object, 1);  // a group's state may carry a shader
        continue;
      }
      if (object.kind == "EndGroup") {
        if (groups.empty()) {
          ++summary_.strayEndGroups;
          continue;
        }
        state = groups.back();
        groups.pop_back();
        if (oneGroup && groups.empty()) return;
        continue;
      }
      One(index, state, nullptr);
    }
    if (!groups.empty()) state = groups.front();  // groups left open end with the file
  }

  // One object as it stands in a sequence (or as a reference leads to it);
  // `container` holds its attributes, when it has any.
  void One(std::size_t index, State& state, const Object* container) {
    const Object& object = doc_.objects[index];
    // References may draw what draws them twice, doubling at each level:
    // a few dozen lines could ask for more objects than any model has.
    if (!following_.empty() && ++placements_ > kMaxPlacements) {
      Fail(object, ErrorKind::OutOfRange,
           "References draw this file's objects more than " + std::to_string(kMaxPlacements) +
               " times");
    }
    const std::string& kind = object.kind;
    if (kind == "Container") {
      Container(index, state);
      return;
    }
    if (kind == "Reference") {
      Follow(index, state);
      return;
    }
    const bool surface = IsSurfaceGeometry(kind);
    if (surface || IsParametricKind(kind)) {
      Geometry(object, surface, state, container);
      return;
    }
    if (IsTexture(kind)) {
      TextureObject(index);
      return;
    }
    if (IsTransformKind(kind)) {
      sink_.Reached(object);
      Matrix4 transform;
      bool reset = false;
      auto fields = doc_.FieldsOf(object);
      ReadTransform(kind, *fields, transform, reset);
      state.matrix = reset ? Matrix4{} : Multiply(transform, state.matrix);
      return;
    }
    if (kind == "SubdivisionStyle") {
      sink_.Reached(object);
      state.subdivision = ReadSubdivision(object);
      return;
    }
    if (IsShapeWithoutSurface(kind)) {
      ++summary_.noSurface[kind];
      return;
    }
    if (!IsKnownKind(kind)) {
      ++summary_.unknown[kind];
      return;
    }
    // Known objects without surface (attributes, styles, shaders, cameras,
    // lights, view hints): only textures inside them matter.
    Textures(object, 0);
  }

  // A Container gives its first object the attributes after it; a shader
  // or attribute set of its own covers what follows it in its group.
  void Container(std::size_t index, State& state) {
    const Object& object = doc_.objects[index];
    if (object.children.empty()) return;
    const std::size_t inner = object.children.front();
    const std::string& innerKind = doc_.objects[inner].kind;
    if (innerKind == "BeginGroup" || innerKind == "EndGroup") {
      // A group cannot stand alone inside a container; its members do not.
      Textures(object, 0);
      return;
    }
    if (mapping_ && (innerKind == "TextureShader" || innerKind == "AttributeSet")) {
      const auto texture =
          innerKind == "TextureShader" ? ShaderTexture(index) : AttributeSetTexture(index);
      if (texture) state.texture = texture;
    }
    One(inner, state, &object);
    Textures(object, 1);
  }

  // A geometry object: decoded, placed in world space, mapped when asked
  // for, counted and handed to the sink.
  void Geometry(const Object& object, bool surface, const State& state, const Object* container) {
    const std::string& kind = object.kind;
    sink_.Reached(object);
    TriangleSet set;
    auto fields = doc_.FieldsOf(object);
    if (surface) {
      DecodeGeometry(kind, *fields, set);
    } else {
      DecodeParametric(kind, *fields, Caps(container), state.subdivision, set);
      if (kind == "NURBPatch" && container != nullptr && HasTrimLoops(*container)) {
        ++summary_.untrimmedPatches;
      }
    }
    set.mirrored = Mirrors(state.matrix);
    for (Vector3& p : set.points) {
      p = Apply(state.matrix, p);
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) {
        Fail(object, ErrorKind::Overflow,
             "A point of this " + kind + " is beyond the range of numbers once transformed");
      }
    }
    if (container != nullptr) set.name = NameOf(*container);
    if (mapping_) MapSurface(object, container, state, set);
    ++summary_.geometryObjects;
    summary_.triangles += set.triangles.size();
    summary_.zeroAreaTriangles += set.zeroAreaLeftOut;
    if (set.triangles.empty() && set.zeroAreaLeftOut > 0) ++summary_.noArea[kind];
    sink_.Geometry(object, set);
  }

  // The textures that cover a geometry object and the UVs of its points:
  // a TriMesh's surface shader array (one shader per triangle) before the
  // object's own attribute set, before its group's shader; UVs from a
  // TriMesh's vertex array or the vertex attribute sets of the other kinds,
  // shading UVs before surface UVs. Each texture is handed to the sink
  // before the object, so that its bitmap is known.
  void MapSurface(const Object& object, const Object* container, const State& state,
                  TriangleSet& set) {
    SurfaceMapping& mapping = set.mapping;
    std::optional<TextureUse> own = state.texture;
    const std::vector<std::size_t>* perTriangle = nullptr;
    std::vector<UV> shading;
    std::vector<UV> surface;
    const bool triMesh = object.kind == "TriMesh";
    const std::size_t children = container == nullptr ? 0 : container->children.size();
    for (std::size_t i = 1; i < children; ++i) {
      const std::size_t child = container->children[i];
      const Object& attribute = doc_.objects[child];
      if (attribute.kind == "AttributeArray") {
        if (!uvs_) continue;
        auto fields = doc_.FieldsOf(attribute);
        const AttributeArrayHead head = ReadAttributeArrayHead(*fields);
        if (!triMesh || head.place != kVertexArray) continue;
        if (head.type == kShadingUV) shading = ReadUVs(*fields, set.points.size());
        if (head.type == kSurfaceUV) surface = ReadUVs(*fields, set.points.size());
        continue;
      }
      // The object's own attribute set, or a reference to one.
      if (auto texture = AttributeSetTexture(child)) {
        own = texture;
        continue;
      }
      if (attribute.kind != "Container" || attribute.children.empty()) continue;
      const Object& first = doc_.objects[attribute.children.front()];
      if (first.kind == "VertexAttributeSetList" && !triMesh) {
        if (uvs_) VertexUVs(attribute, set.points.size(), shading, surface);
      } else if (first.kind == "AttributeArray" && triMesh) {
        auto fields = doc_.FieldsOf(first);
        const AttributeArrayHead head = ReadAttributeArrayHead(*fields);
        if (head.type != kSurfaceShader || head.place != kTriangleArray) continue;
        if (attribute.children.size() - 1 != set.triangles.size()) {
          Fail(attribute, ErrorKind::OutOfRange,
               "This TriMesh has " + std::to_string(set.triangles.size()) +
                   " triangles, but its shader array holds " +
                   std::to_string(attribute.children.size() - 1) + " shaders");
        }
        perTriangle = &attribute.children;
      }
    }
    mapping.uvs = shading.empty() ? std::move(surface) : std::move(shading);
    if (perTriangle != nullptr) {
      mapping.textureOf.reserve(set.triangles.size());
      for (std::size_t t = 0; t < set.triangles.size(); ++t) {
        auto texture = ShaderTexture((*perTriangle)[t + 1]);
        if (!texture) texture = own;
        mapping.textureOf.push_back(texture ? mapping.Add(*texture) : kNoTexture);
      }
    } else if (own) {
      mapping.Add(*own);
    }
    for (const TextureUse& use : mapping.textures) {
      TextureObject(static_cast<std::size_t>(use.texture - doc_.objects.data()));
    }
  }

  // UVs from a vertex attribute set list: a Container that begins with a
  // VertexAttributeSetList (how many vertices, which of them have a set:
  // those listed, or all but those listed) followed by their attribute
  // sets in vertex order. Points without a set get no UV (NaN).
  void VertexUVs(const Object& list, std::size_t points, std::vector<UV>& shading,
                 std::vector<UV>& surface) {
    const Object& head = doc_.objects[list.children.front()];
    auto fields = doc_.FieldsOf(head);
    const std::uint32_t vertices = fields->Uns32();
    const bool include = fields->Enum({{"Include", 0}, {"Exclude", 1}}) == 0;
    const std::uint32_t listed = fields->Uns32();
    if (vertices > points) {
      fields->Fail(ErrorKind::OutOfRange,
                   "A VertexAttributeSetList for " + std::to_string(vertices) +
                       " vertices, but its object has " + std::to_string(points));
    }
    fields->CheckCount(listed, 1, 4, "index");
    std::vector<bool> named(vertices, false);
    std::vector<std::uint32_t> order;
    for (std::uint32_t i = 0; i < listed; ++i) {
      const std::uint32_t index = fields->Uns32();
      if (index >= vertices) {
        fields->Fail(ErrorKind::OutOfRange, "Vertex index " + std::to_string(index) +
                                                " is outside the list's " +
                                                std::to_string(vertices) + " vertices");
      }
      named[index] = true;
      if (include) order.push_back(index);
    }
    if (!include) {
      for (std::uint32_t v = 0; v < vertices; ++v)
        if (!named[v]) order.push_back(v);
    }
    if (list.children.size() - 1 != order.size()) {
      Fail(list, ErrorKind::OutOfRange,
           "This attribute set list names " + std::to_string(order.size()) +
               " vertices but holds " + std::to_string(list.children.size() - 1) + " sets");
    }
    const UV none{std::nan(""), std::nan("")};
    for (std::size_t i = 0; i < order.size(); ++i) {
      std::size_t set = list.children[i + 1];
      if (doc_.objects[set].kind == "Reference") set = Target(set);
      const Object& attributes = doc_.objects[set];
      for (std::size_t e = 1; e < attributes.children.size(); ++e) {
        const Object& element = doc_.objects[attributes.children[e]];
        std::vector<UV>* into = element.kind == "ShadingUV"   ? &shading
                                : element.kind == "SurfaceUV" ? &surface
                                                              : nullptr;
        if (into == nullptr) continue;
        if (into->empty()) into->assign(points, none);
        auto uv = doc_.FieldsOf(element);
        (*into)[order[i]].u = uv->Float32();
        (*into)[order[i]].v = uv->Float32();
      }
    }
  }

  // `found(container)` for the Container that `index` is, or that
  // References lead to, when it begins with an object of `firstKind`;
  // nothing otherwise.
  template <typename Found>
  std::optional<TextureUse> ThroughReferences(std::size_t index, std::string_view firstKind,
                                              Found found) {
    const Object& object = doc_.objects[index];
    if (object.kind == "Reference") {
      const std::size_t target = Target(index);
      Enter(index, target);
      auto texture = ThroughReferences(target, firstKind, found);
      following_.pop_back();
      return texture;
    }
    if (object.kind != "Container" || object.children.empty() ||
        doc_.objects[object.children.front()].kind != firstKind) {
      return std::nullopt;
    }
    return found(object);
  }

  // The texture of a texture shader: a Container that begins with a
  // TextureShader and holds a texture (or a reference to one) and perhaps
  // a ShaderUVTransform.
  std::optional<TextureUse> ShaderTexture(std::size_t index) {
    return ThroughReferences(index, "TextureShader",
                             [&](const Object& shader) -> std::optional<TextureUse> {
                               TextureUse use;
                               for (std::size_t i = 1; i < shader.children.size(); ++i) {
                                 std::size_t child = shader.children[i];
                                 if (doc_.objects[child].kind == "Reference") child = Target(child);
                                 const Object& element = doc_.objects[child];
                                 if (IsTexture(element.kind)) {
                                   use.texture = &element;
                                 } else if (element.kind == "ShaderUVTransform") {
                                   auto fields = doc_.FieldsOf(element);
                                   use.transform = ReadUVTransform(*fields);
                                 }
                               }
                               if (use.texture == nullptr) return std::nullopt;
                               return use;
                             });
  }

  // The texture of the first texture shader in an attribute set: a
  // Container that begins with an AttributeSet.
  std::optional<TextureUse> AttributeSetTexture(std::size_t index) {
    return ThroughReferences(index, "AttributeSet",
                             [&](const Object& set) -> std::optional<TextureUse> {
                               for (std::size_t i = 1; i < set.children.size(); ++i) {
                                 if (auto texture = ShaderTexture(set.children[i])) return texture;
                               }
                               return std::nullopt;
                             });
  }

  // The caps a parametric object's Caps attribute asks for.
  std::uint32_t Caps(const Object* container) {
    if (container == nullptr) return 0;
    for (std::size_t i = 1; i < container->children.size(); ++i) {
      const Object& attribute = doc_.objects[container->children[i]];
      if (attribute.kind != "Caps") continue;
      auto fields = doc_.FieldsOf(attribute);
      return fields->Flags({{"Top", kCapTop}, {"Bottom", kCapBottom}, {"Interior", kCapInterior}});
    }
    return 0;
  }

  // Whether a NURB patch's container holds trim loops, which are not cut.
  // The name a Container's name element gives its object: the element's
  // string, or that of the CString inside it. A name is an extra: one that
  // cannot be read is no name, and the object converts as it would without.
  std::string NameOf(const Object& container) {
    for (std::size_t i = 1; i < container.children.size(); ++i) {
      const Object& element = doc_.objects[container.children[i]];
      if (element.kind != kNameElement) continue;
      const Object& holder =
          !element.children.empty() && doc_.objects[element.children.front()].kind == "CString"
              ? doc_.objects[element.children.front()]
              : element;
      try {
        return doc_.FieldsOf(holder)->String();
      } catch (const RunError&) {
        return {};
      }
    }
    return {};
  }

  bool HasTrimLoops(const Object& container) {
    for (std::size_t i = 1; i < container.children.size(); ++i) {
      if (doc_.objects[container.children[i]].kind.find("Trim") != std::string::npos) return true;
    }
    return false;
  }

  // A SubdivisionStyle: Constant counts from 1 to kMaxSubdivision, a
  // positive length (WorldSpace) or size (ScreenSpace).
  Subdivision ReadSubdivision(const Object& object) {
    auto fields = doc_.FieldsOf(object);
    Subdivision style;
    style.given = true;
    style.method = fields->Enum({{"Constant", 0}, {"WorldSpace", 1}, {"ScreenSpace", 2}});
    if (style.method == 0) {
      // Constant counts are whole numbers (Int32 in binary); the other
      // methods take one size (Float32).
      style.c1 = fields->Int32();
      style.c2 = fields->AtEnd() ? style.c1 : fields->Int32();
    } else {
      style.c1 = fields->Float32();
      style.c2 = style.c1;
    }
    if (style.method == 0) {
      for (double count : {style.c1, style.c2}) {
        if (!(count >= 1) || count > kMaxSubdivision) {
          fields->Fail(ErrorKind::OutOfRange, "A subdivision count of " + Number(count) +
                                                  " is outside 1 to " +
                                                  std::to_string(kMaxSubdivision));
        }
      }
    } else if (!(style.c1 > 0)) {
      fields->Fail(ErrorKind::OutOfRange,
                   "A subdivision size of " + Number(style.c1) + " is not above 0");
    }
    return style;
  }

  static std::string Number(double value) {
    std::string text = std::to_string(value);
    while (text.size() > 1 && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
  }

  // Textures among the children of `object` from child `from` on, at any
  // depth, references included.
  void Textures(const Object& object, std::size_t from) {
    // Each object is searched once: a texture is handed over once anyway,
    // and references to one attribute set from many places would otherwise
    // search it again for each path that leads there.
    const std::size_t self = static_cast<std::size_t>(&object - doc_.objects.data());
    if (from == 0 && !searched_.insert(self).second) return;
    for (std::size_t i = from; i < object.children.size(); ++i) {
      const std::size_t child = object.children[i];
      const Object& inner = doc_.objects[child];
      if (IsTexture(inner.kind)) {
        TextureObject(child);
      } else if (inner.kind == "Reference") {
        const std::size_t target = Target(child);
        if (!Enter(child, target)) continue;
        if (IsTexture(doc_.objects[target].kind)) TextureObject(target);
        Textures(doc_.objects[target], 0);
        following_.pop_back();
      } else {
        Textures(inner, 0);
      }
    }
  }

  void TextureObject(std::size_t index) {
    if (!textures_ || !texturesDone_.insert(index).second) return;
    const Object& object = doc_.objects[index];
    sink_.Reached(object);
    Image image;
    auto fields = doc_.FieldsOf(object);
    DecodeTexture(object.kind, *fields, image);
    ++summary_.textures;
    sink_.Texture(object, image);
  }

  // The object a Reference leads to.
  std::size_t Target(std::size_t referenceIndex) {
    const Object& reference = doc_.objects[referenceIndex];
    auto fields = doc_.FieldsOf(reference);
    const std::uint32_t id = fields->Uns32();
    const auto found = doc_.references.find(id);
    if (found == doc_.references.end()) {
      Fail(reference, ErrorKind::OutOfRange,
           "Reference " + std::to_string(id) + " names no entry of the table of contents");
    }
    return found->second;
  }

  // Notes that a reference is being followed; false when it leads into
  // itself, which is an error, or too deep.
  bool Enter(std::size_t referenceIndex, std::size_t target) {
    const Object& reference = doc_.objects[referenceIndex];
    for (std::size_t open : following_) {
      if (open == target) {
        Fail(reference, ErrorKind::InvalidArgument,
             "This Reference leads back into an object that refers to it: a cycle of "
             "references");
      }
    }
    if (following_.size() >= static_cast<std::size_t>(kMaxNesting)) {
      Fail(reference, ErrorKind::OutOfRange,
           "References lead into one another more than " + std::to_string(kMaxNesting) + " deep");
    }
    following_.push_back(target);
    return true;
  }

  void Follow(std::size_t referenceIndex, State& state) {
    const std::size_t target = Target(referenceIndex);
    Enter(referenceIndex, target);
    if (doc_.objects[target].kind == "BeginGroup") {
      // A group drawn through a reference: its members up to its EndGroup,
      // with the transform restored after it.
      Sequence(target, state, true);
    } else {
      One(target, state, nullptr);
    }
    following_.pop_back();
  }

  const Document& doc_;
  SceneSink& sink_;
  bool textures_;
  bool mapping_;
  bool uvs_;  // the UVs of the points too
  SceneSummary& summary_;
  std::vector<std::size_t> following_;
  std::set<std::size_t> texturesDone_;
  std::set<std::size_t> searched_;
  std::uint64_t placements_ = 0;
};

}  // namespace

void WalkScene(const Document& document, SceneSink& sink, bool textures, SceneSummary& summary,
               Mapping mapping) {
  Walk(document, sink, textures, mapping, summary).Run();
}

}  // namespace Kelvane::Metafile
