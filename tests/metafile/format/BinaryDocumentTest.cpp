#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "metafile/format/Document.h"
#include "metafile/format/TypeCodes.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

#ifndef KELVANE_SAMPLES_DIR
#define KELVANE_SAMPLES_DIR KELVANE_SOURCE_DIR "/tests/data/samples"
#endif

using Kelvane::ErrorKind;
using Kelvane::RunError;
using namespace Kelvane::Metafile;

namespace {

// Builds binary 3DMF bytes in either byte order.
class Bytes {
 public:
  explicit Bytes(bool little) : little_(little) {}

  Bytes& Put(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = 8 * (little_ ? i : size - 1 - i);
      data_ += static_cast<char>(value >> shift & 0xFF);
    }
    return *this;
  }
  Bytes& U8(std::uint8_t v) { return Put(v, 1); }
  Bytes& U16(std::uint16_t v) { return Put(v, 2); }
  Bytes& U32(std::uint32_t v) { return Put(v, 4); }
  Bytes& U64(std::uint64_t v) { return Put(v, 8); }
  Bytes& F32(float v) { return U32(std::bit_cast<std::uint32_t>(v)); }
  Bytes& Code(const char (&code)[5]) { return U32(FourCC(code)); }
  Bytes& Chars(std::string_view text) {
    data_ += text;
    return *this;
  }
  Bytes& Header(std::uint32_t flags = 0, std::uint64_t toc = 0, std::uint32_t size = 16) {
    return Code("3DMF").U32(size).U16(1).U16(6).U32(flags).U64(toc);
  }
  // An object of `code` whose data `body` writes; returns where it starts.
  std::size_t Object(std::uint32_t code, const std::function<void(Bytes&)>& body = {}) {
    const std::size_t start = data_.size();
    U32(code).U32(0);
    if (body) body(*this);
    Bytes size(little_);
    size.U32(static_cast<std::uint32_t>(data_.size() - start - 8));
    data_.replace(start + 4, 4, size.data_);
    return start;
  }
  std::size_t Object(const char (&code)[5], const std::function<void(Bytes&)>& body = {}) {
    return Object(FourCC(code), body);
  }
  void Patch64(std::size_t at, std::uint64_t value) {
    Bytes b(little_);
    b.U64(value);
    data_.replace(at, 8, b.data_);
  }
  std::size_t Size() const { return data_.size(); }
  const std::string& Data() const { return data_; }

 private:
  bool little_;
  std::string data_;
};

void Triangle(Bytes& b) {
  for (float v : {-1.5f, -1.5f, 0.0f, 0.0f, 1.5f, 0.0f, 1.5f, -1.5f, 0.0f}) b.F32(v);
}

std::vector<std::string> KindsOf(const Document& doc, const std::vector<std::size_t>& ids) {
  std::vector<std::string> kinds;
  for (std::size_t id : ids) kinds.push_back(doc.objects[id].kind);
  return kinds;
}

// The `next` links of one level must walk exactly its list.
void ExpectLinked(const Document& doc, const std::vector<std::size_t>& ids) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(doc.objects[ids[i]].next, i + 1 < ids.size() ? ids[i + 1] : kNone) << i;
  }
}

std::optional<RunError> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const RunError& error) {
    return error;
  }
  return std::nullopt;
}

std::string ReadSample(const std::string& name) {
  std::ifstream in(std::string(KELVANE_SAMPLES_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name << " is missing from " << KELVANE_SAMPLES_DIR;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const bool kOrders[] = {false, true};

TEST(TypeCodesTest, EveryKindAndCodeAppearsOnceAndRoundTrips) {
  std::set<std::uint32_t> codes;
  std::set<std::string_view> kinds;
  for (const TypeCode& entry : TypeCodeTable()) {
    EXPECT_TRUE(codes.insert(entry.code).second) << entry.kind;
    EXPECT_TRUE(kinds.insert(entry.kind).second) << entry.kind;
    EXPECT_EQ(KindOfCode(entry.code), entry.kind);
    EXPECT_EQ(CodeOfKind(entry.kind), entry.code);
  }
}

TEST(TypeCodesTest, KindsTheConverterActsOn) {
  const std::pair<const char*, const char*> cases[] = {
      {"tmsh", "TriMesh"},         {"mesh", "Mesh"},          {"plhd", "Polyhedron"},
      {"trng", "Triangle"},        {"plyg", "Polygon"},       {"gpgn", "GeneralPolygon"},
      {"trig", "TriGrid"},         {"box ", "Box"},           {"cntr", "Container"},
      {"bgng", "BeginGroup"},      {"endg", "EndGroup"},      {"rfrn", "Reference"},
      {"toc ", "TableOfContents"}, {"dspg", "DisplayGroup"},  {"mtrx", "Matrix"},
      {"txpm", "PixmapTexture"},   {"txmm", "MipmapTexture"}, {"txsu", "TextureShader"},
      {"attr", "AttributeSet"},    {"kdif", "DiffuseColor"},  {"vasl", "VertexAttributeSetList"},
      {"atar", "AttributeArray"},  {"type", "Type"},          {"shdr", "ShaderData"},
  };
  for (const auto& [code, kind] : cases) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(code[0]) << 24 | code[1] << 16 | code[2] << 8 | code[3];
    EXPECT_EQ(KindOfCode(value), kind) << code;
    EXPECT_TRUE(IsKnownKind(kind)) << kind;
  }
  EXPECT_EQ(KindOfCode(FourCC("abcd")), "");
  EXPECT_EQ(KindOfCode(0), "");
  EXPECT_EQ(CodeOfKind("trimesh"), 0u);  // the spelling must be exact
  EXPECT_FALSE(IsKnownKind(""));
}

TEST(TypeCodesTest, CodeTextShowsUnprintableBytesInHex) {
  EXPECT_EQ(CodeText(FourCC("tmsh")), "'tmsh'");
  EXPECT_EQ(CodeText(FourCC("toc ")), "'toc '");
  EXPECT_EQ(CodeText(0xF0656E61), "'\\xF0ena'");
  EXPECT_EQ(CodeText(0x0000007F), "'\\x00\\x00\\x00\\x7F'");
  EXPECT_EQ(CodeText(0x615C6263), "'a\\x5Cbc'");
}

TEST(BinaryDocumentTest, HeaderInEitherByteOrderWithEachFlag) {
  for (bool little : kOrders) {
    for (std::uint32_t flags : {0u, 1u, 2u, 3u}) {
      SCOPED_TRACE(std::to_string(little) + " flags " + std::to_string(flags));
      Bytes b(little);
      b.Header(flags);
      b.Object("trng", Triangle);
      EXPECT_EQ(b.Data().substr(0, 4), little ? "FMD3" : "3DMF");
      const auto doc = ReadBinaryDocument(b.Data());
      EXPECT_EQ(doc->form, Form::Binary);
      ASSERT_EQ(doc->top.size(), 1u);
      const Object& triangle = doc->objects[doc->top[0]];
      EXPECT_EQ(triangle.kind, "Triangle");
      EXPECT_EQ(triangle.code, FourCC("trng"));
      EXPECT_EQ(triangle.start, 24u);
      EXPECT_EQ(triangle.dataBegin, 32u);
      EXPECT_EQ(triangle.dataEnd, 68u);
      EXPECT_TRUE(doc->references.empty());
    }
  }
}

TEST(BinaryDocumentTest, ContainerDataHoldsItsObjectAndAttributes) {
  for (bool little : kOrders) {
    SCOPED_TRACE(little);
    Bytes b(little);
    b.Header();
    b.Object("mtrx", [](Bytes& m) {
      for (int i = 0; i < 16; ++i) m.F32(i % 5 == 0 ? 1.0f : 0.0f);
    });
    const std::size_t outer = b.Object("cntr", [](Bytes& c) {
      c.Object("trng", Triangle);
      c.Object("cntr", [](Bytes& set) {
        set.Object("attr");
        set.Object("kdif", [](Bytes& d) { d.F32(0.25f).F32(0.5f).F32(1.0f); });
      });
    });
    const auto doc = ReadBinaryDocument(b.Data());
    EXPECT_EQ(KindsOf(*doc, doc->top), (std::vector<std::string>{"Matrix", "Container"}));
    ExpectLinked(*doc, doc->top);
    const Object& container = doc->objects[doc->top[1]];
    EXPECT_EQ(container.start, outer);
    EXPECT_EQ(container.dataEnd, b.Size());
    EXPECT_EQ(KindsOf(*doc, container.children),
              (std::vector<std::string>{"Triangle", "Container"}));
    ExpectLinked(*doc, container.children);
    const Object& triangle = doc->objects[container.children[0]];
    EXPECT_EQ(triangle.start, outer + 8);
    EXPECT_EQ(triangle.dataEnd - triangle.dataBegin, 36u);
    const Object& set = doc->objects[container.children[1]];
    EXPECT_EQ(KindsOf(*doc, set.children),
              (std::vector<std::string>{"AttributeSet", "DiffuseColor"}));
    ExpectLinked(*doc, set.children);
    const auto color = doc->FieldsOf(doc->objects[set.children[1]]);
    EXPECT_EQ(color->Float32(), 0.25);
    EXPECT_EQ(color->Float32(), 0.5);
    EXPECT_EQ(color->Float32(), 1.0);
    EXPECT_TRUE(color->AtEnd());
  }
}

TEST(BinaryDocumentTest, BeginGroupDataHoldsTheGroupAndItsState) {
  for (bool little : kOrders) {
    SCOPED_TRACE(little);
    Bytes b(little);
    b.Header();
    b.Object("bgng", [](Bytes& g) {
      g.Object("dspg");
      g.Object("dgst", [](Bytes& s) { s.U32(1); });
    });
    b.Object("trng", Triangle);
    b.Object("endg");
    const auto doc = ReadBinaryDocument(b.Data());
    EXPECT_EQ(KindsOf(*doc, doc->top),
              (std::vector<std::string>{"BeginGroup", "Triangle", "EndGroup"}));
    ExpectLinked(*doc, doc->top);
    const Object& begin = doc->objects[doc->top[0]];
    EXPECT_EQ(KindsOf(*doc, begin.children),
              (std::vector<std::string>{"DisplayGroup", "DisplayGroupState"}));
    EXPECT_EQ(doc->FieldsOf(doc->objects[begin.children[1]])->Uns32(), 1u);
  }
}

TEST(BinaryDocumentTest, UnknownAndCustomObjectsAreNamedAndSkippedBySize) {
  for (bool little : kOrders) {
    SCOPED_TRACE(little);
    Bytes b(little);
    b.Header();
    b.Object("abcd", [](Bytes& u) { u.U32(0xFFFFFFFF).U32(0x636E7472).U32(8); });
    b.Object(0x01626364, [](Bytes& u) { u.U32(7); });
    b.Object("type", [](Bytes& t) { t.U32(0xFFFFFFFE).Chars("MyCo:Widget").U8(0); });
    b.Object(0xFFFFFFFE, [](Bytes& w) { w.U32(3); });
    b.Object(0xFFFFFFFD);
    const std::size_t triangle = b.Object("trng", Triangle);
    const auto doc = ReadBinaryDocument(b.Data());
    EXPECT_EQ(KindsOf(*doc, doc->top),
              (std::vector<std::string>{"'abcd'", "'\\x01bcd'", "Type", "MyCo:Widget",
                                        "'\\xFF\\xFF\\xFF\\xFD'", "Triangle"}));
    ExpectLinked(*doc, doc->top);
    EXPECT_TRUE(doc->objects[doc->top[0]].children.empty());  // not read as objects
    EXPECT_EQ(doc->objects[doc->top[3]].code, 0xFFFFFFFEu);
    EXPECT_EQ(doc->objects[doc->top[5]].start, triangle);
  }
}

// Tables of contents: the header points at one, which may point at the next.
struct TocCase {
  const char* name;
  std::uint32_t entryType;
  bool headerPointsAtTable;
};

TEST(BinaryDocumentTest, ReferencesResolveThroughTheTablesOfContents) {
  const TocCase cases[] = {
      {"type 0 entries", 0, true},
      {"type 1 entries", 1, true},
      {"no pointer in the header", 1, false},
  };
  for (const TocCase& c : cases) {
    for (bool little : kOrders) {
      SCOPED_TRACE(std::string(c.name) + (little ? " little" : " big"));
      Bytes b(little);
      b.Header(2);
      const std::size_t box = b.Object("cntr", [](Bytes& k) { k.Object("box "); });
      const std::size_t triangle = b.Object("trng", Triangle);
      b.Object("rfrn", [](Bytes& r) { r.U32(1); });
      const std::uint32_t entrySize = c.entryType == 0 ? 12 : 16;
      auto table = [&](std::uint64_t next,
                       std::vector<std::pair<std::uint32_t, std::uint64_t>> entries) {
        return b.Object("toc ", [&](Bytes& t) {
          t.U64(next).U32(3).U32(0xFFFFFFFF).U32(c.entryType).U32(entrySize);
          t.U32(static_cast<std::uint32_t>(entries.size()));
          for (const auto& [id, location] : entries) {
            t.U32(id).U64(location);
            if (c.entryType == 1) t.U32(FourCC("cntr"));
          }
        });
      };
      // The second table lists an entry that is no object's start, and one
      // beyond the input: both are left out. The good entry comes last, so
      // that an entry read at the wrong width shows.
      const std::size_t second = table(0, {{3, triangle + 4}, {4, 1u << 20}, {2, triangle}});
      const std::size_t first = table(second, {{1, box}});
      if (c.headerPointsAtTable) b.Patch64(16, first);
      const auto doc = ReadBinaryDocument(b.Data());
      ASSERT_EQ(doc->references.size(), 2u);
      EXPECT_EQ(doc->objects[doc->references.at(1)].start, box);
      EXPECT_EQ(doc->objects[doc->references.at(2)].start, triangle);
      EXPECT_EQ(KindsOf(*doc, doc->top),
                (std::vector<std::string>{"Container", "Triangle", "Reference", "TableOfContents",
                                          "TableOfContents"}));
    }
  }
}

TEST(BinaryDocumentTest, FieldsReadEachKindInTheFilesByteOrder) {
  for (bool little : kOrders) {
    SCOPED_TRACE(little);
    Bytes b(little);
    b.Header();
    b.Object("tmsh", [](Bytes& d) {
      d.U32(0xA1B2C3D4).U32(static_cast<std::uint32_t>(-5)).F32(-0.25f);
      d.U32(2).U32(0x5).U32(1).U32(0);
      d.Chars("abc").U8(0);                          // 4 bytes, no padding
      d.Chars("hello").U8(0).U16(0);                 // 6 bytes, padded to 8
      d.Chars("\x01\x02\x03\x04\x05").U8(0).U16(0);  // 5 raw bytes, padded to 8
      d.U16(0xBEEF).U8(0x7F).U8(200);
    });
    const auto doc = ReadBinaryDocument(b.Data());
    const auto f = doc->FieldsOf(doc->objects[doc->top[0]]);
    EXPECT_EQ(f->Uns32(), 0xA1B2C3D4u);
    EXPECT_EQ(f->Int32(), -5);
    EXPECT_EQ(f->Float32(), -0.25);
    EXPECT_EQ(f->Enum({{"Both", 0}, {"Culled", 1}, {"Flipped", 2}}), 2u);
    EXPECT_EQ(f->Flags({{"Top", 1}}), 5u);
    EXPECT_TRUE(f->Boolean());
    EXPECT_FALSE(f->Boolean());
    EXPECT_EQ(f->String(), "abc");
    EXPECT_EQ(f->String(), "hello");
    std::vector<std::uint8_t> raw{9};
    f->RawData(5, raw);
    EXPECT_EQ(raw, (std::vector<std::uint8_t>{9, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(f->AtEnd());
    f->CheckCount(2, 1, 2, "pair");  // exactly the 4 bytes left
    EXPECT_EQ(f->Uns16(), 0xBEEF);
    EXPECT_EQ(f->Uns8(), 0x7F);
    EXPECT_EQ(f->Uns8(), 200);
    EXPECT_TRUE(f->AtEnd());
  }
}

TEST(BinaryDocumentTest, IndexWidthFollowsTheTableSize) {
  const std::pair<std::uint64_t, std::uint32_t> cases[] = {
      {1, 1}, {255, 1}, {256, 2}, {65535, 2}, {65536, 4}, {std::uint64_t{1} << 40, 4},
  };
  for (const auto& [tableSize, width] : cases) {
    for (bool little : kOrders) {
      SCOPED_TRACE(std::to_string(tableSize) + (little ? " little" : " big"));
      const auto index = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(tableSize - 1, std::numeric_limits<std::uint32_t>::max()));
      Bytes b(little);
      b.Header();
      b.Object("tmsh", [&, w = width](Bytes& d) { d.Put(index, static_cast<int>(w)).U8(0xAB); });
      const auto doc = ReadBinaryDocument(b.Data());
      const auto f = doc->FieldsOf(doc->objects[doc->top[0]]);
      EXPECT_EQ(f->IndexBytes(tableSize), width);
      EXPECT_EQ(f->Index(tableSize), index);
      EXPECT_EQ(f->Uns8(), 0xAB);  // the index took exactly its width
    }
  }
}

TEST(BinaryDocumentTest, StringsAndRawDataArePaddedToFourBytes) {
  for (bool little : kOrders) {
    for (const std::string text : {"", "abc", "abcd", "hello"}) {
      SCOPED_TRACE(text + (little ? " little" : " big"));
      const std::size_t padded = (text.size() + 1 + 3) / 4 * 4;
      Bytes b(little);
      b.Header();
      b.Object("strc", [&](Bytes& d) {
        d.Chars(text).Chars(std::string(padded - text.size(), '\0')).U32(77);
        d.Chars(text).Chars(std::string((4 - text.size() % 4) % 4, '\0')).U32(88);
      });
      const auto doc = ReadBinaryDocument(b.Data());
      const auto f = doc->FieldsOf(doc->objects[doc->top[0]]);
      EXPECT_EQ(f->String(), text);
      EXPECT_EQ(f->Uns32(), 77u);
      std::vector<std::uint8_t> raw;
      f->RawData(text.size(), raw);
      EXPECT_EQ(std::string(raw.begin(), raw.end()), text);
      EXPECT_EQ(f->Uns32(), 88u);
    }
  }
}

TEST(BinaryDocumentTest, PaddingMissingAtTheObjectsEndIsNoError) {
  Bytes b(false);
  b.Header();
  b.Object("strc", [](Bytes& d) { d.Chars("hello").U8(0); });
  const auto doc = ReadBinaryDocument(b.Data());
  const auto f = doc->FieldsOf(doc->objects[doc->top[0]]);
  EXPECT_EQ(f->String(), "hello");
  EXPECT_TRUE(f->AtEnd());
}

TEST(BinaryDocumentTest, NestingUpToTheLimitIsRead) {
  Bytes b(false);
  b.Header();
  std::function<void(Bytes&, int)> nest = [&](Bytes& d, int depth) {
    if (depth > 0) d.Object("cntr", [&](Bytes& in) { nest(in, depth - 1); });
  };
  nest(b, kMaxNesting);
  const auto doc = ReadBinaryDocument(b.Data());
  EXPECT_EQ(doc->objects.size(), static_cast<std::size_t>(kMaxNesting));
  EXPECT_TRUE(doc->objects.back().children.empty());
}

TEST(BinaryDocumentTest, TriangleSample) {
  const std::string input = ReadSample("binary-Triangle.3dmf");
  const auto doc = ReadBinaryDocument(input);
  EXPECT_EQ(KindsOf(*doc, doc->top),
            (std::vector<std::string>{"InterpolationStyle", "Matrix", "Container"}));
  ExpectLinked(*doc, doc->top);
  const Object& matrix = doc->objects[doc->top[1]];
  EXPECT_EQ(matrix.start, 36u);
  EXPECT_EQ(matrix.dataEnd - matrix.dataBegin, 64u);
  const Object& container = doc->objects[doc->top[2]];
  EXPECT_EQ(container.dataEnd, input.size());
  EXPECT_EQ(KindsOf(*doc, container.children), (std::vector<std::string>{"Triangle", "Container"}));
  const auto f = doc->FieldsOf(doc->objects[container.children[0]]);
  for (double expected : {-1.5, -1.5, 0.0, 0.0, 1.5, 0.0, 1.5, -1.5, 0.0}) {
    EXPECT_EQ(f->Float32(), expected);
  }
  EXPECT_TRUE(f->AtEnd());
  const Object& vertexAttributes = doc->objects[container.children[1]];
  EXPECT_EQ(
      KindsOf(*doc, vertexAttributes.children),
      (std::vector<std::string>{"VertexAttributeSetList", "Container", "Container", "Container"}));
  for (std::size_t i = 1; i < 4; ++i) {
    const Object& set = doc->objects[vertexAttributes.children[i]];
    EXPECT_EQ(KindsOf(*doc, set.children),
              (std::vector<std::string>{"AttributeSet", "DiffuseColor"}));
  }
  EXPECT_TRUE(doc->references.empty());
}

TEST(BinaryDocumentTest, LogoSample) {
  const std::string input = ReadSample("binary-Quesa-Logo.3dmf");
  const auto doc = ReadBinaryDocument(input);
  EXPECT_EQ(KindsOf(*doc, doc->top),
            (std::vector<std::string>{"Container", "SubdivisionStyle", "Rotate", "Container",
                                      "Container", "Container"}));
  ExpectLinked(*doc, doc->top);
  const Object& hints = doc->objects[doc->top[0]];
  EXPECT_EQ(KindsOf(*doc, hints.children),
            (std::vector<std::string>{"ViewHints", "Container", "Container", "Container"}));
  EXPECT_EQ(KindsOf(*doc, doc->objects[hints.children[1]].children),
            (std::vector<std::string>{"ViewAngleAspectCamera", "CameraPlacement", "CameraRange",
                                      "CameraViewPort"}));
  EXPECT_EQ(KindsOf(*doc, doc->objects[hints.children[2]].children),
            (std::vector<std::string>{"AmbientLight", "LightData"}));
  EXPECT_EQ(KindsOf(*doc, doc->objects[hints.children[3]].children),
            (std::vector<std::string>{"DirectionalLight", "LightData"}));
  const std::vector<std::string> shapes = {"Torus", "Ellipsoid", "Cone"};
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const Object& shape = doc->objects[doc->top[3 + i]];
    EXPECT_EQ(doc->objects[shape.children.front()].kind, shapes[i]);
    EXPECT_EQ(doc->objects[shape.children.back()].kind, "Container");
  }
  EXPECT_EQ(doc->objects[doc->top.back()].dataEnd, input.size());
}

// Bad input: each case is built in both byte orders.
struct BadInput {
  const char* name;
  std::function<void(Bytes&)> build;
  ErrorKind kind;
  std::string place;
  std::string message;  // a part of the text
};

TEST(BinaryDocumentTest, BadInputIsRefusedWithItsPlace) {
  auto nest = [](int depth) {
    return [depth](Bytes& b) {
      b.Header();
      std::function<void(Bytes&, int)> inner = [&](Bytes& d, int left) {
        if (left > 0) d.Object("cntr", [&](Bytes& in) { inner(in, left - 1); });
      };
      inner(b, depth);
    };
  };
  auto tocPointingAt = [](std::uint64_t target) {
    return [target](Bytes& b) {
      b.Header(0, target);
      b.Object("trng", Triangle);
      b.Object("toc ", [](Bytes& t) { t.U64(0).U32(1).U32(0).U32(0).U32(12).U32(0); });
    };
  };
  const BadInput cases[] = {
      {"not a binary metafile", [](Bytes& b) { b.Chars("3DMetafile ( 1 6 Normal )"); },
       ErrorKind::InvalidArgument, "byte 0 of the input", "does not begin with"},
      {"truncated header", [](Bytes& b) { b.Code("3DMF").U32(16).U16(1); }, ErrorKind::OutOfRange,
       "byte 10 of the input", "ends inside its metafile header"},
      {"header size", [](Bytes& b) { b.Header(0, 0, 20); }, ErrorKind::InvalidArgument,
       "byte 4 of the input", "gives its size as 20 bytes"},
      {"unknown flags", [](Bytes& b) { b.Header(4); }, ErrorKind::InvalidArgument,
       "byte 12 of the input", "flags 4"},
      {"size beyond its container",
       [](Bytes& b) { b.Header().Code("cntr").U32(16).Code("trng").U32(36).U64(0); },
       ErrorKind::OutOfRange, "byte 36 of the input, in a Triangle ('trng')",
       "the data of the Container ('cntr') object at byte 24 has only 8 left"},
      // A top-level container whose size fits holds its objects to the
      // byte: one cut short inside it is an error, not an unread rest.
      {"object cut short inside a container",
       [](Bytes& b) { b.Header().Code("cntr").U32(13).Code("trng").U32(0).U32(0).U8(0); },
       ErrorKind::OutOfRange, "byte 40 of the input, in a Container ('cntr')",
       "is cut short: its type and size take 8 bytes, the data of the Container ('cntr') object "
       "at byte 24 has only 5 left"},
      {"object header cut by its container",
       [](Bytes& b) { b.Header().Code("cntr").U32(4).Code("trng"); }, ErrorKind::OutOfRange,
       "byte 32 of the input, in a Container ('cntr')", "has only 4 left"},
      {"nesting too deep", nest(kMaxNesting + 1), ErrorKind::OutOfRange,
       "byte " + std::to_string(24 + 8 * kMaxNesting) + " of the input, in a Container ('cntr')",
       "nests objects deeper than 256 levels"},
      {"table pointer beyond the input", tocPointingAt(5000), ErrorKind::OutOfRange,
       "byte 16 of the input", "gives byte 5000, beyond the end of the input"},
      {"table pointer at no table", tocPointingAt(24), ErrorKind::InvalidArgument,
       "byte 16 of the input", "where no TableOfContents ('toc ') object begins"},
      {"table chain loop",
       [](Bytes& b) {
         b.Header(0, 24);
         b.Object("toc ", [](Bytes& t) { t.U64(24).U32(1).U32(0).U32(0).U32(12).U32(0); });
       },
       ErrorKind::InvalidArgument, "byte 32 of the input, in a TableOfContents ('toc ')",
       "form a loop: the pointer at byte 32 leads back to the table at byte 24"},
      {"table entry size",
       [](Bytes& b) {
         b.Header(0, 24);
         b.Object("toc ", [](Bytes& t) { t.U64(0).U32(1).U32(0).U32(1).U32(12).U32(0); });
       },
       ErrorKind::InvalidArgument, "byte 52 of the input, in a TableOfContents ('toc ')",
       "size of 12 bytes; they take 16"},
      {"table entries beyond its data",
       [](Bytes& b) {
         b.Header(0, 24);
         b.Object("toc ", [](Bytes& t) { t.U64(0).U32(1).U32(0).U32(0).U32(12).U32(2); });
       },
       ErrorKind::OutOfRange, "byte 60 of the input, in a TableOfContents ('toc ')",
       "counts 2 table of contents entries of 12 bytes each, but only 0 bytes are left"},
  };
  for (const BadInput& c : cases) {
    for (bool little : kOrders) {
      SCOPED_TRACE(std::string(c.name) + (little ? " little" : " big"));
      Bytes b(little);
      c.build(b);
      const auto error = ErrorOf([&] { ReadBinaryDocument(b.Data()); });
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->Kind(), c.kind) << error->what();
      EXPECT_EQ(error->Place(), c.place) << error->what();
      EXPECT_NE(std::string(error->what()).find(c.message), std::string::npos) << error->what();
    }
  }
}

// Bytes after the last object that begin no object: what a file holds when
// its writer padded it or wrote a texture's data twice.
struct TrailingCase {
  const char* name;
  std::function<void(Bytes&)> junk;
  std::string detail;  // the warning's words after "were not read: "
};

// The bytes of a texture's pixels (ARGB16, the top bit clear in some), as
// a second copy of them would stand after the last object.
void Pixels(Bytes& b) {
  for (int i = 0; i < 64; ++i) b.U16(static_cast<std::uint16_t>(i % 3 == 0 ? 0x7C1F : 0x83E0));
}

TEST(BinaryDocumentTest, BytesAfterTheLastObjectAreLeftUnreadWithAWarning) {
  const TrailingCase cases[] = {
      {"zeros", [](Bytes& b) { b.U64(0).U64(0).U64(0); },
       "the rest begins with a type of 0, which no object has"},
      {"zeros, then a texture's pixels",
       [](Bytes& b) {
         b.U64(0).U64(0);
         Pixels(b);
       },
       "the rest begins with a type of 0, which no object has"},
      {"a texture's pixels", Pixels, "the rest begins with an object '"},
      {"fewer bytes than a type and size", [](Bytes& b) { b.Code("trng").U8(0); },
       "too few for an object's type and size, which take 8 bytes"},
      {"a known object whose size runs past the end", [](Bytes& b) { b.Code("trng").U32(5).U32(0); },
       "the rest begins with a Triangle ('trng') that claims 5 bytes of data, where only 4 follow "
       "its size"},
      {"a container whose size runs past the end",
       [](Bytes& b) { b.Code("cntr").U32(400).Code("trng").U32(36); },
       "the rest begins with a Container ('cntr') that claims 400 bytes of data, where only 8 "
       "follow its size"},
      {"random bytes",
       [](Bytes& b) {
         std::mt19937 random(30);
         for (int i = 0; i < 100; ++i) b.U8(static_cast<std::uint8_t>(random()));
       },
       "the rest begins with an object "},
  };
  for (const TrailingCase& c : cases) {
    for (bool little : kOrders) {
      SCOPED_TRACE(std::string(c.name) + (little ? " little" : " big"));
      Bytes b(little);
      b.Header();
      b.Object("cntr", [](Bytes& in) {
        in.Object("trng", Triangle);
        in.Object("attr");
      });
      b.Object("trng", Triangle);
      const std::size_t end = b.Size();
      c.junk(b);
      const auto doc = ReadBinaryDocument(b.Data());
      // Everything before the rest is read as it would be without it.
      EXPECT_EQ(KindsOf(*doc, doc->top), (std::vector<std::string>{"Container", "Triangle"}));
      EXPECT_EQ(KindsOf(*doc, doc->objects[doc->top[0]].children),
                (std::vector<std::string>{"Triangle", "AttributeSet"}));
      EXPECT_EQ(doc->objects[doc->top[1]].dataEnd, end);
      ASSERT_EQ(doc->warnings.size(), 1u);
      const std::string& warning = doc->warnings[0];
      EXPECT_EQ(warning.rfind("the last " + std::to_string(b.Size() - end) +
                                  " bytes of the input were not read: " + c.detail,
                              0),
                0u)
          << warning;
      const std::string place = " (byte " + std::to_string(end) + " of the input)";
      EXPECT_EQ(warning.substr(warning.size() - std::min(warning.size(), place.size())), place)
          << warning;
    }
  }
  // Zeros inside a container are objects of an unknown type, as before.
  Bytes b(false);
  b.Header();
  b.Object("cntr", [](Bytes& in) {
    in.Object("trng", Triangle);
    in.U64(0);
  });
  const auto doc = ReadBinaryDocument(b.Data());
  EXPECT_TRUE(doc->warnings.empty());
  EXPECT_EQ(KindsOf(*doc, doc->objects[doc->top[0]].children),
            (std::vector<std::string>{"Triangle", "'\\x00\\x00\\x00\\x00'"}));
}

// Bad data in an object: the data (after the TriMesh's type and size at
// byte 24) and what a decoder reads from it.
struct BadField {
  const char* name;
  std::function<void(Bytes&)> data;
  std::function<void(Fields&)> read;
  ErrorKind kind;
  std::size_t placeByte;
  std::string message;
};

TEST(BinaryDocumentTest, BadFieldsAreRefusedWithTheirPlace) {
  const BadField cases[] = {
      {"past the object's data", [](Bytes& d) { d.U16(1); }, [](Fields& f) { f.Uns32(); },
       ErrorKind::OutOfRange, 32,
       "The TriMesh ('tmsh') object at byte 24 ends before its data: an Uns32 needs 4 bytes at "
       "byte 32, but the object ends at byte 34."},
      {"index past the data", [](Bytes& d) { d.U32(0).U16(1); },
       [](Fields& f) {
         f.Uns32();
         f.Index(70000);
       },
       ErrorKind::OutOfRange, 36, "an index needs 4 bytes at byte 36"},
      {"NaN", [](Bytes& d) { d.U32(0x7FC00000); }, [](Fields& f) { f.Float32(); },
       ErrorKind::Overflow, 32, "not a finite number"},
      {"infinity", [](Bytes& d) { d.F32(1).U32(0xFF800000); },
       [](Fields& f) {
         f.Float32();
         f.Float32();
       },
       ErrorKind::Overflow, 36, "not a finite number"},
      {"enumeration", [](Bytes& d) { d.U32(3); },
       [](Fields& f) {
         f.Enum({{"Both", 0}, {"Culled", 1}});
       },
       ErrorKind::InvalidArgument, 32,
       "holds the value 3 where one of Both (0), Culled (1) is expected"},
      {"boolean", [](Bytes& d) { d.U32(2); }, [](Fields& f) { f.Boolean(); },
       ErrorKind::InvalidArgument, 32, "where a Boolean (0 or 1) is expected"},
      {"string without its end", [](Bytes& d) { d.Chars("abcd"); }, [](Fields& f) { f.String(); },
       ErrorKind::OutOfRange, 32, "has no NUL byte"},
      {"raw data past the data", [](Bytes& d) { d.U32(0); },
       [](Fields& f) {
         std::vector<std::uint8_t> out;
         f.RawData(5, out);
       },
       ErrorKind::OutOfRange, 32, "5 bytes of raw data at byte 32 run past"},
      {"count the data cannot hold", [](Bytes& d) { d.U32(0).U32(0).U32(0).U32(0); },
       [](Fields& f) {
         f.Uns32();
         f.CheckCount(2, 3, 12, "point");
       },
       ErrorKind::OutOfRange, 36, "counts 2 point entries of 12 bytes each, but only 12 bytes"},
      {"failure after a read", [](Bytes& d) { d.U32(9).U32(0); },
       [](Fields& f) {
         f.Uns32();
         f.Fail(ErrorKind::OutOfRange, "index 9 is outside");
       },
       ErrorKind::OutOfRange, 32, "index 9 is outside"},
      {"failure before any read", [](Bytes& d) { d.U32(9); },
       [](Fields& f) { f.Fail(ErrorKind::InvalidArgument, "no good"); }, ErrorKind::InvalidArgument,
       32, "no good"},
  };
  for (const BadField& c : cases) {
    for (bool little : kOrders) {
      SCOPED_TRACE(std::string(c.name) + (little ? " little" : " big"));
      Bytes b(little);
      b.Header();
      b.Object("tmsh", c.data);
      const auto doc = ReadBinaryDocument(b.Data());
      const auto fields = doc->FieldsOf(doc->objects[doc->top[0]]);
      const auto error = ErrorOf([&] { c.read(*fields); });
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->Kind(), c.kind) << error->what();
      EXPECT_EQ(error->Place(),
                "byte " + std::to_string(c.placeByte) + " of the input, in a TriMesh ('tmsh')");
      EXPECT_NE(std::string(error->what()).find(c.message), std::string::npos) << error->what();
    }
  }
}

TEST(BinaryDocumentTest, PlacesNameTheObject) {
  Bytes b(false);
  b.Header();
  b.Object("attr");
  b.Object("abcd");
  const auto doc = ReadBinaryDocument(b.Data());
  EXPECT_EQ(doc->PlaceOf(7), "byte 7 of the input");
  EXPECT_EQ(doc->PlaceOf(24, &doc->objects[0]),
            "byte 24 of the input, in an AttributeSet ('attr')");
  EXPECT_EQ(doc->PlaceOf(32, &doc->objects[1]), "byte 32 of the input, in an object 'abcd'");
  EXPECT_EQ(doc->FieldsOf(doc->objects[1])->Place(), "byte 40 of the input, in an object 'abcd'");
}

}  // namespace
