#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// How a whole record is made, inline so that the readers' loop holds it
// (PutTriangle).
namespace Records {

inline char* PutText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// Whether no step of a record's arithmetic can overflow. With every
// coordinate within 10^150, differences stay within 2 * 10^150, products
// and squares of them within 4 * 10^300, sums of three such within a
// double's range, and a component divided by a length not above the length
// is at most about 1. NaN fails the test as well.
inline bool CannotOverflow(const Vector3& A, const Vector3& B, const Vector3& C) {
  constexpr double kLimit = 1e150;
  bool within = true;
  for (const double x : {A.X, A.Y, A.Z, B.X, B.Y, B.Z, C.X, C.Y, C.Z}) {
    within &= std::fabs(x) <= kLimit;
  }
  return within;
}

// Puts a corner's vector form at `out`: copied when it is made already.
[[gnu::always_inline]] inline char* PutCorner(char* out, const Vector3& corner,
                                              const CornerForm* form) {
  if (form != nullptr && form->length != 0) {
    // The whole room is copied, a fixed size, which is quicker; what lies
    // past the form is overwritten by the next characters.
    std::memcpy(out, form->text, CornerForm::kRoom);
    return out + form->length;
  }
  return out + NumberForm::PutVector(out, corner);
}

// The arithmetic of a record whose steps cannot overflow (CannotOverflow):
// the same steps as ModuleVector's, in the same order, without checking
// each result. The two edges from B serve the normal and both texture axes.
struct RecordAxes {
  Vector3 normal;
  Vector3 u;
  Vector3 v;
};

[[gnu::always_inline]] inline Vector3 UnitOrZero(const Vector3& w) {
  const double length = std::sqrt((w.X * w.X + w.Y * w.Y) + w.Z * w.Z);
  if (length == 0) return {0, 0, 0};
  return {w.X / length, w.Y / length, w.Z / length};
}

[[gnu::always_inline]] inline RecordAxes AxesOf(const Vector3& A, const Vector3& B,
                                                const Vector3& C) {
  const Vector3 e1{A.X - B.X, A.Y - B.Y, A.Z - B.Z};
  const Vector3 e2{C.X - B.X, C.Y - B.Y, C.Z - B.Z};
  RecordAxes axes;
  axes.normal = {e1.Y * e2.Z - e1.Z * e2.Y, e1.Z * e2.X - e1.X * e2.Z, e1.X * e2.Y - e1.Y * e2.X};
  axes.u = UnitOrZero(e1);
  axes.v = UnitOrZero(e2);
  return axes;
}

// The record of a triangle whose steps cannot fail (CannotOverflow, a link
// number below the largest), made at `out` in one pass.
[[gnu::always_inline]] inline char* PutWholeRecord(char* out, const Vector3& A, const Vector3& B,
                                                   const Vector3& C, const CornerForm* formA,
                                                   const CornerForm* formB, const CornerForm* formC,
                                                   LinkDigits& link) {
  const RecordAxes axes = AxesOf(A, B, C);
  char* end = PutText(out, "Begin Polygon Item=OUTSIDE Link=");
  // The blank stands where a negative number's sign would be.
  *end = ' ';
  end += link.value >= 0;
  end = PutLink(end, link);
  end = PutText(end, "\r\nOrigin ");
  const char* const origin = end;
  end = PutCorner(end, A, formA);
  const auto originLength = static_cast<std::size_t>(end - origin);
  end = PutText(end, "Normal ");
  end += NumberForm::PutVector(end, axes.normal);
  // The texture axes are unit vectors (or zero).
  end = PutText(end, "TextureU ");
  end += NumberForm::PutUnitVector(end, axes.u);
  end = PutText(end, "TextureV ");
  end += NumberForm::PutUnitVector(end, axes.v);
  // The first vertex is the origin again: copied, not made twice.
  end = PutText(end, "Vertex ");
  if (formA != nullptr && formA->length != 0) {
    std::memcpy(end, formA->text, CornerForm::kRoom);
  } else {
    std::memcpy(end, origin, originLength);
  }
  end += originLength;
  end = PutText(end, "Vertex ");
  end = PutCorner(end, B, formB);
  end = PutText(end, "Vertex ");
  end = PutCorner(end, C, formC);
  return PutText(end, "End Polygon\r\n");
}

// A record whose steps may fail, made line by line (its lines as
// AppendTriangle appends them) and copied to `out`.
[[gnu::noinline]] char* PutRecordByLines(char* out, const Vector3& A, const Vector3& B,
                                         const Vector3& C, std::int32_t& link);

}  // namespace Records

// A triangle record made with its own link counter, for records made away
// from the writer (on a worker thread): the record WriteTriangle appends,
// made at `out` instead, which has room for kTriangleRoom characters;
// returns its end. A form of length 0 is made as usual. When a step fails,
// the error is raised and what stands at `out` is of no use.
[[gnu::always_inline]] inline char* PutTriangle(char* out, const FormedCorner& A,
                                               const FormedCorner& B,
                         const FormedCorner& C, LinkDigits& link) {
  // A corner with a form lies within 100000 of the origin, far inside the
  // bound that CannotOverflow checks.
  const bool formed = (A.form.length != 0) & (B.form.length != 0) & (C.form.length != 0);
  if (link.value != INT32_MAX &&
      (formed || Records::CannotOverflow(A.point, B.point, C.point))) [[likely]] {
    return Records::PutWholeRecord(out, A.point, B.point, C.point, &A.form, &B.form, &C.form,
                                   link);
  }
  link.length = 0;
  return Records::PutRecordByLines(out, A.point, B.point, C.point, link.value);
}

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
