#include "t3d/PolygonRecords.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "t3d/NumberForm.h"
#include "text/RunError.h"
#include "vector/ModuleVector.h"

namespace Kelvane::Unreal {

namespace {

using NumberForm::AppendInteger;
using NumberForm::kVectorRoom;
using NumberForm::PutVector;

constexpr std::string_view kLineEnd = "\r\n";

static_assert(kTriangleRoom >= 64 + 8 * (16 + kVectorRoom),
              "a record: the head line and eight lines of a word and a vector form each");

char* PutText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// Whether no step of a record's arithmetic can overflow. With every
// coordinate within 10^150, differences stay within 2 * 10^150, products
// and squares of them within 4 * 10^300, sums of three such within a
// double's range, and a component divided by a length not above the length
// is at most about 1. NaN fails the test as well.
bool CannotOverflow(const Vector3& A, const Vector3& B, const Vector3& C) {
  constexpr double kLimit = 1e150;
  bool within = true;
  for (const double x : {A.X, A.Y, A.Z, B.X, B.Y, B.Z, C.X, C.Y, C.Z}) {
    within &= std::fabs(x) <= kLimit;
  }
  return within;
}

// BeginPolygon, leaving the origin's vector form in `origin` as well;
// returns its length.
// With a texture name, the head line names it; with axes, they replace the
// origin at A and the texture axes along the edges.
std::size_t BeginPolygonKeepingOrigin(std::string& text, const Vector3& A, const Vector3& B,
                                      const Vector3& C, char* origin, std::int32_t& link,
                                      std::string_view texture = {},
                                      const TextureAxes* axes = nullptr) {
  PutPolygonHead(text, texture);
  // The blank stands where a negative number's sign would be.
  if (link >= 0) text += ' ';
  AppendInteger(text, link);
  text += kLineEnd;
  if (link == INT32_MAX) {
    throw Kelvane::RunError(Kelvane::ErrorKind::Overflow,
                            "More than 2147483647 polygons in one document");
  }
  ++link;
  char form[kVectorRoom];
  const std::size_t originLength = PutVector(origin, axes != nullptr ? axes->origin : A);
  text += "Origin ";
  text.append(origin, originLength);
  const Vector3 normal = ModuleVector::TriangleNormal(A, B, C);
  text += "Normal ";
  text.append(form, PutVector(form, normal));
  const Vector3 u =
      axes != nullptr ? axes->u : ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, A));
  text += "TextureU ";
  text.append(form, PutVector(form, u));
  const Vector3 v =
      axes != nullptr ? axes->v : ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, C));
  text += "TextureV ";
  text.append(form, PutVector(form, v));
  return originLength;
}

}  // namespace

void BeginPolygon(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                  std::int32_t& link) {
  char origin[kVectorRoom];
  BeginPolygonKeepingOrigin(text, A, B, C, origin, link);
}

void WriteVertex(std::string& text, const Vector3& v) {
  text += "Vertex ";
  FormatVector(text, v);
}

void EndPolygon(std::string& text) {
  text += "End Polygon";
  text += kLineEnd;
}

void MakeCornerForm(CornerForm& form, const Vector3& corner) {
  form.length = 0;
  if (!(std::fabs(corner.X) < 100000.0 && std::fabs(corner.Y) < 100000.0 &&
        std::fabs(corner.Z) < 100000.0)) {
    return;
  }
  // Each number is at most "-100000.00000" (a value just below 100000 may
  // round up to it), so the form takes at most 43 characters, and the quick
  // way writes one more at most.
  static_assert(CornerForm::kRoom >= 3 * 13 + 4 + 1);
  form.length = static_cast<std::uint8_t>(PutVector(form.text, corner));
}

namespace {

// Puts a corner's vector form at `out`: copied when it is made already.
[[gnu::always_inline]] inline char* PutCorner(char* out, const Vector3& corner,
                                              const CornerForm* form) {
  if (form != nullptr && form->length != 0) {
    // The whole room is copied, a fixed size, which is quicker; what lies
    // past the form is overwritten by the next characters.
    std::memcpy(out, form->text, CornerForm::kRoom);
    return out + form->length;
  }
  return out + PutVector(out, corner);
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
  end += PutVector(end, axes.normal);
  end = PutText(end, "TextureU ");
  end += PutVector(end, axes.u);
  end = PutText(end, "TextureV ");
  end += PutVector(end, axes.v);
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

// A record whose steps may fail: its lines go into the text one by one, so
// that a failure leaves the ones before it.
void AppendRecordByLines(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                         std::int32_t& link) {
  char origin[kVectorRoom];
  const std::size_t originLength = BeginPolygonKeepingOrigin(text, A, B, C, origin, link);
  text += "Vertex ";
  text.append(origin, originLength);
  WriteVertex(text, B);
  WriteVertex(text, C);
  EndPolygon(text);
}

bool MadeWhole(const Vector3& A, const Vector3& B, const Vector3& C, std::int32_t link) {
  return link != INT32_MAX && CannotOverflow(A, B, C);
}

void WriteTriangleRecord(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                         const CornerForm* formA, const CornerForm* formB, const CornerForm* formC,
                         std::int32_t& link) {
  if (!MadeWhole(A, B, C, link)) {
    AppendRecordByLines(text, A, B, C, link);
    return;
  }
  char record[kTriangleRoom];
  LinkDigits digits{.value = link};
  const char* const end = PutWholeRecord(record, A, B, C, formA, formB, formC, digits);
  link = digits.value;
  text.append(record, static_cast<std::size_t>(end - record));
}

}  // namespace

namespace {

[[gnu::noinline]] char* PutRecordByLines(char* out, const Vector3& A, const Vector3& B,
                                         const Vector3& C, std::int32_t& link) {
  std::string text;
  AppendRecordByLines(text, A, B, C, link);
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace

char* PutTriangle(char* out, const FormedCorner& A, const FormedCorner& B, const FormedCorner& C,
                  LinkDigits& link) {
  // A corner with a form lies within 100000 of the origin, far inside the
  // bound that CannotOverflow checks.
  const bool formed = (A.form.length != 0) & (B.form.length != 0) & (C.form.length != 0);
  if (link.value != INT32_MAX && (formed || CannotOverflow(A.point, B.point, C.point))) [[likely]] {
    return PutWholeRecord(out, A.point, B.point, C.point, &A.form, &B.form, &C.form, link);
  }
  link.length = 0;
  return PutRecordByLines(out, A.point, B.point, C.point, link.value);
}

void AppendTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                    std::int32_t& link, const CornerForm* formA, const CornerForm* formB,
                    const CornerForm* formC) {
  WriteTriangleRecord(text, A, B, C, formA, formB, formC, link);
}

void AppendTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                            std::string_view texture, const TextureAxes* axes, std::int32_t& link) {
  char origin[kVectorRoom];
  BeginPolygonKeepingOrigin(text, A, B, C, origin, link, texture, axes);
  WriteVertex(text, A);
  WriteVertex(text, B);
  WriteVertex(text, C);
  EndPolygon(text);
}

}  // namespace Kelvane::Unreal
