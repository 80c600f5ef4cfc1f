#include "t3d/Unreal.h"

#include <unistd.h>

#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <string_view>

#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace Unreal {

std::int32_t PolygonLinkCounter = 0;

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::uint64_t kScale = 100000;  // five decimals
__extension__ typedef unsigned __int128 UInt128;

std::string& ConfiguredTemplatePath() {
  static std::string path;
  return path;
}

std::string ExecutableDirectory() {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return ".";
  buffer.resize(static_cast<std::size_t>(n));
  const std::size_t slash = buffer.rfind('/');
  return slash == std::string::npos ? "." : buffer.substr(0, slash);
}

void AppendInteger(std::string& text, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

// Appends an unsigned integer padded with zeros to at least `width` digits.
void AppendPadded(std::string& text, std::uint64_t value, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) text += digits[--n];
}

// A location component in its general decimal form; zero is "0".
void AppendGeneral(std::string& text, double value) {
  if (value == 0) {
    text += '0';
    return;
  }
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

}  // namespace

void SetTemplatePath(const std::string& path) { ConfiguredTemplatePath() = path; }

std::string TemplatePath() {
  const std::string& configured = ConfiguredTemplatePath();
  if (!configured.empty()) return configured;
  return ExecutableDirectory() + "/StartMapFile.txt";
}

void BeginDocument(std::string& text, OutputMode mode) {
  if (mode == kOneBrushMode) {
    text = "Begin PolyList\r\n";
  } else {
    text = TextRoutines::ReadWholeFile(TemplatePath());
  }
}

void EndDocument(std::string& text, OutputMode mode) {
  text = mode == kOneBrushMode ? "End PolyList" : "End Map";
}

void BeginPolyList(std::string& text) { text = "Begin PolyList\r\n"; }

void EndPolyList(std::string& text) { text = "End PolyList"; }

void BeginBrushActor(std::string& text, std::int32_t brushNumber, const Vector3& location) {
  text = "Begin Actor Class=Brush Name=Brush";
  AppendInteger(text, brushNumber);
  text +=
      "\r\nCsgOper=CSG_Add\r\n"
      "MainScale= (SheerAxis=SHEER_ZX)\r\n"
      "postScale= (SheerAxis=SHEER_ZX)\r\n"
      "LODBias=1\r\n"
      "Level=LevelInfo 'MyLevel.LevelInfo0'\r\n"
      "Tag=Brush\r\n"
      "Region=(Zone=LevelInfo'MyLevel.LevelInfo0',iLeaf=-1)\r\n"
      "Location=(X=";
  AppendGeneral(text, location.X);
  text += ",Y=";
  AppendGeneral(text, location.Y);
  text += ",Z=";
  AppendGeneral(text, location.Z);
  text += ")\r\nBegin Brush Name=Model";
  AppendInteger(text, brushNumber);
  text += kLineEnd;
}

void EndBrushActor(std::string& text, std::int32_t brushNumber) {
  text = "End Brush\r\nBrush=Model 'MyLevel.Model";
  AppendInteger(text, brushNumber);
  text += "'\r\nName=Brush";
  AppendInteger(text, brushNumber);
  text += "\r\nEnd Actor\r\n";
}

void AppendNumber(std::string& text, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7FF) {  // not finite: the vector checks keep these out
    text += std::isnan(value) ? "nan" : (negative ? "-inf" : "inf");
    return;
  }
  // |value| = mantissa * 2^exponent exactly.
  const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int exponent = (biased == 0 ? 1 : biased) - 1075;
  UInt128 scaled;  // |value| * 10^5, rounded half to even
  if (exponent >= 0) {
    if (exponent > 10) {
      // 2^63 and more: a whole number written in full, digit for digit.
      char digits[400];
      const auto end =
          std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 5);
      text.append(digits, end.ptr);
      return;
    }
    scaled = static_cast<UInt128>(mantissa << exponent) * kScale;
  } else {
    const int shift = -exponent;
    const UInt128 product = static_cast<UInt128>(mantissa) * kScale;
    if (shift >= 127) {
      scaled = 0;  // below 2^-56: far under half of the last decimal
    } else {
      const UInt128 one = 1;
      scaled = product >> shift;
      const UInt128 rest = product & ((one << shift) - 1);
      const UInt128 half = one << (shift - 1);
      if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
    }
  }
  if (negative && scaled != 0) text += '-';
  AppendPadded(text, static_cast<std::uint64_t>(scaled / kScale), 5);
  text += '.';
  AppendPadded(text, static_cast<std::uint64_t>(scaled % kScale), 5);
}

void FormatVector(std::string& text, const Vector3& v) {
  AppendNumber(text, v.X);
  text += ',';
  AppendNumber(text, v.Y);
  text += ',';
  AppendNumber(text, v.Z);
  text += kLineEnd;
}

void BeginPolygon(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C) {
  text += "Begin Polygon Item=OUTSIDE Link=";
  // The blank stands where a negative number's sign would be.
  if (PolygonLinkCounter >= 0) text += ' ';
  AppendInteger(text, PolygonLinkCounter);
  text += kLineEnd;
  if (PolygonLinkCounter == INT32_MAX) {
    throw Kelvane::RunError(Kelvane::ErrorKind::Overflow,
                            "More than 2147483647 polygons in one document");
  }
  ++PolygonLinkCounter;
  text += "Origin ";
  FormatVector(text, A);
  const Vector3 normal = ModuleVector::TriangleNormal(A, B, C);
  text += "Normal ";
  FormatVector(text, normal);
  const Vector3 u = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, A));
  text += "TextureU ";
  FormatVector(text, u);
  const Vector3 v = ModuleVector::VectorNormalize(ModuleVector::VectorSubtract(B, C));
  text += "TextureV ";
  FormatVector(text, v);
}

void WriteVertex(std::string& text, const Vector3& v) {
  text += "Vertex ";
  FormatVector(text, v);
}

void EndPolygon(std::string& text) {
  text += "End Polygon";
  text += kLineEnd;
}

void WriteTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C) {
  BeginPolygon(text, A, B, C);
  WriteVertex(text, A);
  WriteVertex(text, B);
  WriteVertex(text, C);
  EndPolygon(text);
}

}  // namespace Unreal
