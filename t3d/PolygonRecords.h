#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "t3d/NumberForm.h"
#include "t3d/TextureAxes.h"
#include "vector/Vector3.h"

// The polygon records of the default frame: nine lines per triangle, its
// head line with the link number, Origin, Normal, TextureU, TextureV, three
// Vertex lines and "End Polygon", every number in the fixed form. Each
// routine appends to the caller's text and advances the link number it is
// given; a step whose arithmetic overflows is an overflow error, and the
// lines before it stay in the text.
namespace Kelvane::Unreal {

// A point read as a, b, c in the model becomes X = a, Y = -c, Z = b in the
// document.
inline Vector3 MapAxes(double a, double b, double c) { return {a, -c, b}; }

// A polygon record's head line up to its link number: "Begin Polygon
// Item=OUTSIDE ", with "Texture=NAME " when it names a texture, then "Link=".
inline void PutPolygonHead(std::string& text, std::string_view texture) {
  text += "Begin Polygon Item=OUTSIDE ";
  if (!texture.empty()) {
    text += "Texture=";
    text += texture;
    text += ' ';
  }
  text += "Link=";
}

void WriteVertex(std::string& text, const Vector3& v);
void EndPolygon(std::string& text);

// The head line, Origin, Normal, TextureU and TextureV of triangle A B C.
void BeginPolygon(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                  std::int32_t& link);

// The vector form of a corner that many polygons share, made once. Only a
// corner whose coordinates are all below 100000 in magnitude gets one, which
// is every corner of a model in practice; `length` is 0 for the others.
struct CornerForm {
  static constexpr std::size_t kRoom = 47;
  std::uint8_t length = 0;
  char text[kRoom];
};
void MakeCornerForm(CornerForm& form, const Vector3& corner);

// A corner with its form, made once for all the polygons that share it.
struct FormedCorner {
  Vector3 point;
  CornerForm form;
};

// The room a triangle record may take: the head line and eight lines of a
// word and a vector form each, with numbers of any size.
constexpr std::size_t kTriangleRoom = 8000;

// A triangle record made with its own link counter, for records made away
// from the writer (on a worker thread): the record WriteTriangle appends,
// made at `out` instead, which has room for kTriangleRoom characters;
// returns its end. A form of length 0 is made as usual. When a step fails,
// the error is raised and what stands at `out` is of no use.
char* PutTriangle(char* out, const FormedCorner& A, const FormedCorner& B, const FormedCorner& C,
                  LinkDigits& link);

// The whole record of triangle A B C; the forms, where given, are those of
// its corners (MakeCornerForm).
void AppendTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                    std::int32_t& link, const CornerForm* formA = nullptr,
                    const CornerForm* formB = nullptr, const CornerForm* formC = nullptr);

// A triangle record whose head line names its texture ("Begin Polygon
// Item=OUTSIDE Texture=NAME Link= N"); with axes, its Origin, TextureU and
// TextureV are those, else made from its edges as AppendTriangle makes them.
void AppendTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                            std::string_view texture, const TextureAxes* axes, std::int32_t& link);

}  // namespace Kelvane::Unreal
