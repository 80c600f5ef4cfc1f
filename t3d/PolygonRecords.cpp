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
using Records::PutText;

constexpr std::string_view kLineEnd = "\r\n";

static_assert(kTriangleRoom >= 64 + 8 * (16 + kVectorRoom),
              "a record: the head line and eight lines of a word and a vector form each");

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
  return link != INT32_MAX && Records::CannotOverflow(A, B, C);
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
  const char* const end = Records::PutWholeRecord(record, A, B, C, formA, formB, formC, digits);
  link = digits.value;
  text.append(record, static_cast<std::size_t>(end - record));
}

}  // namespace

namespace Records {

char* PutRecordByLines(char* out, const Vector3& A, const Vector3& B, const Vector3& C,
                       std::int32_t& link) {
  std::string text;
  AppendRecordByLines(text, A, B, C, link);
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace Records

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
