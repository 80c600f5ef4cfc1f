#pragma once

// A polygon record as the writer made it before its arithmetic ran without
// a check after each step where no step can overflow, and before records
// were made in their batch's room: the same steps and text, with the
// former number form (NumberForm.h). The fuzz target compares the writer's
// records with these, byte for byte, and their errors.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/reference/NumberForm.h"
#include "text/RunError.h"
#include "vector/ModuleVector.h"

namespace Kelvane::Reference {

namespace Record {

constexpr std::string_view kLineEnd = "\r\n";
inline void AppendInteger(std::string& text, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

// Room for a vector form: three numbers, two commas, CR LF.
constexpr std::size_t kVectorRoom = 3 * Reference::kNumberRoom + 4;

// The vector form of v, CR LF included; returns its length. Made in place
// so that the caller's text grows by one append per vector.
inline std::size_t PutVector(char* form, const Vector3& v) {
  char* end = PutNumber(form, v.X);
  *end++ = ',';
  end = PutNumber(end, v.Y);
  *end++ = ',';
  end = PutNumber(end, v.Z);
  *end++ = '\r';
  *end++ = '\n';
  return static_cast<std::size_t>(end - form);
}

// Room for a whole record: the head line and eight lines of a word and a
// vector form each.
constexpr std::size_t kRecordRoom = 64 + 8 * (16 + kVectorRoom);

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

// BeginPolygon, leaving the origin's vector form in `origin` as well;
// returns its length.
inline std::size_t BeginPolygonKeepingOrigin(std::string& text, const Vector3& A, const Vector3& B,
                                             const Vector3& C, char* origin, std::int32_t& link) {
  text += "Begin Polygon Item=OUTSIDE ";
  text += "Link=";
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
  const std::size_t originLength = PutVector(origin, A);
  text += "Origin ";
  text.append(origin, originLength);
  const Vector3 normal = ModuleVector::TriangleNormal(A, B, C);
  text += "Normal ";
  text.append(form, PutVector(form, normal));
  const Vector3 u = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, A));
  text += "TextureU ";
  text.append(form, PutVector(form, u));
  const Vector3 v = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, C));
  text += "TextureV ";
  text.append(form, PutVector(form, v));
  return originLength;
}

inline void FormatVector(std::string& text, const Vector3& v) {
  char form[kVectorRoom];
  text.append(form, PutVector(form, v));
}

inline void WriteVertex(std::string& text, const Vector3& v) {
  text += "Vertex ";
  FormatVector(text, v);
}

inline void EndPolygon(std::string& text) {
  text += "End Polygon";
  text += kLineEnd;
}

// A triangle record as the writer made it, corners without forms.
inline void TriangleRecord(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                           std::int32_t& link) {
  if (link == INT32_MAX || !CannotOverflow(A, B, C)) {
    // A step may fail: the lines go into the text one by one, so that a
    // failure leaves the ones before it.
    char origin[kVectorRoom];
    const std::size_t originLength = BeginPolygonKeepingOrigin(text, A, B, C, origin, link);
    text += "Vertex ";
    text.append(origin, originLength);
    WriteVertex(text, B);
    WriteVertex(text, C);
    EndPolygon(text);
    return;
  }
  // Nothing can fail: the record is made in place and appended at once.
  const Vector3 normal = ModuleVector::TriangleNormal(A, B, C);
  const Vector3 u = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, A));
  const Vector3 v = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, C));
  char record[kRecordRoom];
  char* end = PutText(record, "Begin Polygon Item=OUTSIDE Link=");
  // The blank stands where a negative number's sign would be.
  if (link >= 0) *end++ = ' ';
  end = std::to_chars(end, end + 12, link).ptr;
  ++link;
  end = PutText(end, "\r\nOrigin ");
  const char* const origin = end;
  end += PutVector(end, A);
  const auto originLength = static_cast<std::size_t>(end - origin);
  end = PutText(end, "Normal ");
  end += PutVector(end, normal);
  end = PutText(end, "TextureU ");
  end += PutVector(end, u);
  end = PutText(end, "TextureV ");
  end += PutVector(end, v);
  // The first vertex is the origin again: its form is copied, not made twice.
  end = PutText(end, "Vertex ");
  std::memcpy(end, origin, originLength);
  end += originLength;
  end = PutText(end, "Vertex ");
  end += PutVector(end, B);
  end = PutText(end, "Vertex ");
  end += PutVector(end, C);
  end = PutText(end, "End Polygon\r\n");
  text.append(record, static_cast<std::size_t>(end - record));
}

}  // namespace Record

using Record::TriangleRecord;

}  // namespace Kelvane::Reference
