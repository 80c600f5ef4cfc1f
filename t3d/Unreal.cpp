#include "t3d/Unreal.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/Platform.h"
#include "t3d/EditorFrame.h"
#include "text/RunError.h"
#include "text/Files.h"

namespace Kelvane::Unreal {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::uint64_t kScale = 100000;  // five decimals
__extension__ typedef unsigned __int128 UInt128;

void AppendInteger(std::string& text, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

// Room for one number in the number form: the longest is the largest
// double, 309 integer digits, with its sign and five decimals.
constexpr std::size_t kNumberRoom = 320;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes a number below 100000 as exactly five digits. v * ceil(2^32 /
// 10^4) holds v / 10^4 in its high 32 bits and the rest as a binary
// fraction precise enough that two steps of times 100 bring out the next
// four digits exactly, for every v below 100000.
char* PutFiveDigits(char* out, std::uint32_t value) {
  constexpr std::uint64_t kLow = 0xFFFFFFFF;
  std::uint64_t t = std::uint64_t{value} * 429497;
  out[0] = static_cast<char>('0' + (t >> 32));
  t = (t & kLow) * 100;
  std::memcpy(out + 1, kDigitPairs + 2 * (t >> 32), 2);
  t = (t & kLow) * 100;
  std::memcpy(out + 3, kDigitPairs + 2 * (t >> 32), 2);
  return out + 5;
}

// Writes an unsigned number padded with zeros to at least five digits.
char* PutPadded(char* out, UInt128 value) {
  if (value < 100000) return PutFiveDigits(out, static_cast<std::uint32_t>(value));
  char digits[40];
  int n = 0;
  while (value != 0) {
    digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  while (n > 0) *out++ = digits[--n];
  return out;
}

// The number form of any value, the slow way: rounded to five decimals
// from the double's exact binary value, half to even (as the C library's
// "%.5f" rounds), at least five integer digits, "-" only when the rounded
// form is not zero. Writes at most kNumberRoom characters.
[[gnu::noinline]] char* PutNumberAnyRange(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7FF) {  // not finite: the vector checks keep these out
    const std::string_view word = std::isnan(value) ? "nan" : (negative ? "-inf" : "inf");
    std::memcpy(out, word.data(), word.size());
    return out + word.size();
  }
  // |value| = mantissa * 2^exponent exactly.
  const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int exponent = (biased == 0 ? 1 : biased) - 1075;
  UInt128 scaled;  // |value| * 10^5, rounded half to even
  if (exponent >= 0) {
    if (exponent > 10) {
      // 2^63 and more: a whole number written in full, digit for digit.
      return std::to_chars(out, out + kNumberRoom, value, std::chars_format::fixed, 5).ptr;
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
  if (negative && scaled != 0) *out++ = '-';
  out = PutPadded(out, scaled / kScale);
  *out++ = '.';
  return PutFiveDigits(out, static_cast<std::uint32_t>(scaled % kScale));
}

// Three decimal digits of every number below 1000, four bytes each: the
// fourth lets a copy be one fixed-size store.
struct DigitTriples {
  char digits[1000][4];
};
constexpr DigitTriples MakeDigitTriples() {
  DigitTriples table{};
  for (int i = 0; i < 1000; ++i) {
    table.digits[i][0] = static_cast<char>('0' + i / 100);
    table.digits[i][1] = static_cast<char>('0' + i / 10 % 10);
    table.digits[i][2] = static_cast<char>('0' + i % 10);
  }
  return table;
}
constexpr DigitTriples kDigitTriples = MakeDigitTriples();

// Writes a number below 100000 as exactly five digits: two from the table
// of pairs, three from the table of triples. One byte past them is written
// too; the caller's room allows for it and the next character overwrites it.
inline char* PutFiveDigitsQuick(char* out, std::uint32_t value) {
  const std::uint32_t high = value / 1000;
  const std::uint32_t low = value - high * 1000;
  std::memcpy(out, kDigitPairs + 2 * high, 2);
  std::memcpy(out + 2, kDigitTriples.digits[low], 4);
  return out + 5;
}

// Writes a whole number from 100000 up (below 2^52 / 10^5, so at most 11
// digits), two digits at a time from the right.
[[gnu::noinline]] char* PutLongWhole(char* out, std::uint64_t value) {
  char digits[20];
  char* first = digits + sizeof digits;
  while (value >= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * value, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  const auto length = static_cast<std::size_t>(digits + sizeof digits - first);
  std::memcpy(out, first, length);
  return out + length;
}

// The number form, quickly for every value whose product with 10^5,
// rounded to a double, lies below 2^52: there every whole number and every
// half is a double, and rounding is monotonic, so the rounded product lies
// on the same side of each halfway point as the exact one, or on it. Only
// when it lies exactly on one can the exact product be on either side (or
// on it too, a tie for even): such values, and all others (2^52 / 10^5 is
// about 4.5 * 10^10), take the general way. The whole part and the
// fraction of the product are then exact.
//
// One byte past the form's end may be written too: the caller's room
// allows for it, and the next character overwrites it.
inline char* PutNumber(char* out, double value) {
  const double scaled = std::fabs(value) * 100000.0;
  if (!(scaled < 0x1p52)) return PutNumberAnyRange(out, value);  // NaN too
  // The nearest whole number, by the addition's own rounding: past 2^52 a
  // double holds whole numbers only. Taking 2^52 away again is exact, and
  // so is the difference to the product, which is a half only on a tie.
  const double rounded = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(rounded - scaled) == 0.5) return PutNumberAnyRange(out, value);
  const auto kept = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
  // The sign is as likely as not: stored always, kept only when it counts.
  *out = '-';
  out += std::signbit(value) & (kept != 0);
  if (kept < kScale) {
    // Below 1, as the components of a texture axis are: the whole part is
    // five zeros.
    std::memcpy(out, "00000.", 6);
    return PutFiveDigitsQuick(out + 6, static_cast<std::uint32_t>(kept));
  }
  // The quotient of a whole number below 2^52 by 10^5, rounded, never
  // reaches the next whole number: its fraction is at most 0.99999, farther
  // from 1 than half of a double's step there.
  const auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded / 100000.0));
  const auto decimals = static_cast<std::uint32_t>(kept - whole * kScale);
  out = whole < kScale ? PutFiveDigitsQuick(out, static_cast<std::uint32_t>(whole))
                       : PutLongWhole(out, whole);
  *out = '.';
  return PutFiveDigitsQuick(out + 1, decimals);
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

// Room for a vector form: three numbers, two commas, CR LF.
constexpr std::size_t kVectorRoom = 3 * kNumberRoom + 4;

// The vector form of v, CR LF included; returns its length. Made in place
// so that the caller's text grows by one append per vector.
[[gnu::always_inline]] inline std::size_t PutVector(char* form, const Vector3& v) {
  char* end = PutNumber(form, v.X);
  *end++ = ',';
  end = PutNumber(end, v.Y);
  *end++ = ',';
  end = PutNumber(end, v.Z);
  *end++ = '\r';
  *end++ = '\n';
  return static_cast<std::size_t>(end - form);
}

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

// StartMapFile.txt beside the executable, as the build tree has it; else <exe
// dir>/../share/kelvane/StartMapFile.txt, where an installed program (bin/ beside share/) finds it,
// so an installed tree works wherever it is moved. When neither exists the place beside the
// executable is returned, and the read's error names it.
std::string DefaultTemplatePath() {
  constexpr char kSeparator = Platform::kPathSeparator;
  const std::string directory = Platform::ProgramFolder();
  const std::string beside = directory + kSeparator + "StartMapFile.txt";
  if (Platform::Exists(beside)) return beside;
  // The program's folder has no links left in it, so the text's parent is
  // the real one; "/usr/bin" gives "/usr/share/...", not "/usr/bin/../share/...".
  const std::size_t slash = directory.find_last_of(Platform::kPathSeparators);
  const std::string parent =
      slash == std::string::npos ? directory + kSeparator + ".." : directory.substr(0, slash);
  const std::string installed =
      parent + kSeparator + "share" + kSeparator + "kelvane" + kSeparator + "StartMapFile.txt";
  if (Platform::Exists(installed)) return installed;
  return beside;
}

T3dWriter::T3dWriter(std::string outputPath, std::string templatePath)
    : outputPath_(std::move(outputPath)),
      templatePath_(templatePath.empty() ? DefaultTemplatePath() : std::move(templatePath)),
      targetPath_(outputPath_) {}

std::string SideFileName(const std::string& output, int n) {
  return n <= 1 ? output + ".partial" : output + "." + std::to_string(n) + ".partial";
}

void T3dWriter::StartDocument() {
  targetPath_ = outputPath_;
  sideWanted_ = Platform::IsRegularFile(outputPath_);
}

void T3dWriter::MakeSideFile() {
  namespace fs = std::filesystem;
  std::error_code error;
  // Through a link the file it leads to is replaced, as writing through it
  // would; the link stays.
  const fs::path output = Platform::PathOf(outputPath_);
  replacedPath_ = outputPath_;
  if (fs::is_symlink(output, error)) {
    const fs::path target = fs::canonical(output, error);
    if (!error) replacedPath_ = Platform::TextOf(target);
  }
  // A file the run could not write must not be replaced either: the same
  // refusal as writing it in place, and the earlier document stays.
  Platform::File check;
  int code = 0;
  if (!check.Open(replacedPath_, Platform::File::Mode::kAppend, code))
    ThrowFileError("Cannot write", outputPath_, code);
  check.Close(code);
  // A side file left by an earlier run may hold what the user still wants:
  // the next free name is taken instead, made new so that no other file is
  // ever written over.
  constexpr int kMostSideFiles = 100;
  for (int n = 1; n <= kMostSideFiles; ++n) {
    const std::string side = SideFileName(replacedPath_, n);
    Platform::File file;
    if (file.Open(side, Platform::File::Mode::kCreate, code)) {
      file.Close(code);
      targetPath_ = side;
      return;
    }
    if (!Platform::Exists(side)) ThrowFileError("Cannot write", side, code);
  }
  throw RunError(ErrorKind::FileError,
                 "Cannot write a side file beside \"" + outputPath_ + "\": \"" +
                     SideFileName(replacedPath_, 1) + "\" to \"" +
                     SideFileName(replacedPath_, kMostSideFiles) +
                     "\" are all taken; remove the ones no longer needed");
}

void T3dWriter::FinishDocument() {
  if (targetPath_ == outputPath_) return;
  int code = 0;
  if (!Platform::PutFileInPlace(targetPath_, replacedPath_, code)) {
    throw RunError(ErrorKind::FileError, "Cannot put \"" + targetPath_ + "\" in the place of \"" +
                                             outputPath_ + "\": " + Platform::ErrorText(code));
  }
  targetPath_ = outputPath_;
}

void Extent::Include(const Extent& other) {
  if (!other.any) return;
  Include(other.low);
  Include(other.high);
}

double Extent::LargestSide() const {
  if (!any) return 0;
  return std::max({high.X - low.X, high.Y - low.Y, high.Z - low.Z});
}

void T3dWriter::WriteEditorPolygon(std::string& text, const Vector3* corners, std::size_t count,
                                   const Vector3& normal, std::string_view texture,
                                   const TextureAxes* axes) {
  if (PolygonLinkCounter == INT32_MAX || brushLink_ == INT32_MAX) {
    throw RunError(ErrorKind::Overflow, "More than 2147483647 polygons");
  }
  Unreal::WriteEditorPolygon(text, brushLink_, corners, count, normal, texture, axes);
  ++brushLink_;
  ++PolygonLinkCounter;
  for (std::size_t k = 0; k < count; ++k) extent.Include(corners[k]);
}

void T3dWriter::BeginDocument(std::string& text, OutputMode mode) const {
  if (mode == kOneBrushMode) {
    text = "Begin PolyList\r\n";
  } else {
    text = TextRoutines::ReadWholeFile(templatePath_);
  }
}

void T3dWriter::WritePiece(std::string_view piece, bool append) {
  if (!writeFiles) return;
  if (!append && sideWanted_) {
    sideWanted_ = false;
    MakeSideFile();
    try {
      TextRoutines::WriteTextFile(targetPath_, piece, append);
    } catch (const RunError&) {
      // Not even the head went in: the side file holds nothing, and the
      // run made it, so it goes again as a new output would.
      Platform::RemoveFile(targetPath_);
      targetPath_ = outputPath_;
      throw;
    }
    return;
  }
  TextRoutines::WriteTextFile(targetPath_, piece, append);
}

void T3dWriter::AppendRecord(std::string_view record) const {
  if (!writeFiles) return;
  TextRoutines::WriteTextLine(targetPath_, record, true);
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
  char form[kNumberRoom];
  text.append(form, static_cast<std::size_t>(PutNumber(form, value) - form));
}

void FormatVector(std::string& text, const Vector3& v) {
  char form[kVectorRoom];
  text.append(form, PutVector(form, v));
}

void T3dWriter::BeginPolygon(std::string& text, const Vector3& A, const Vector3& B,
                             const Vector3& C) {
  char origin[kVectorRoom];
  BeginPolygonKeepingOrigin(text, A, B, C, origin, PolygonLinkCounter);
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

// Puts the link number's digits (a "-" first below zero) at `out`, whose
// room holds 12 characters, and moves on to the next number: its digits
// are the last ones counted up (nines become zeros and carry), made anew
// only when they would grow by a digit or are no count. The number must
// be below the largest (MadeWhole).
[[gnu::always_inline]] inline char* PutLink(char* out, LinkDigits& link) {
  if (link.length == 0) {
    link.length = static_cast<std::uint8_t>(
        std::to_chars(link.digits, link.digits + sizeof link.digits, link.value).ptr - link.digits);
  }
  std::memcpy(out, link.digits, sizeof link.digits);
  char* const end = out + link.length;
  ++link.value;
  char* last = link.digits + link.length - 1;
  if (link.value > 0) [[likely]] {
    while (*last == '9' && last > link.digits) *last-- = '0';
    if (*last != '9') {
      ++*last;
      return end;
    }
  }
  link.length = 0;
  return end;
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

void T3dWriter::WriteTriangle(std::string& text, const Vector3& A, const Vector3& B,
                              const Vector3& C) {
  WriteTriangleRecord(text, A, B, C, nullptr, nullptr, nullptr, PolygonLinkCounter);
}

void T3dWriter::WriteTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B,
                                      const Vector3& C, std::string_view texture,
                                      const TextureAxes* axes) {
  char origin[kVectorRoom];
  BeginPolygonKeepingOrigin(text, A, B, C, origin, PolygonLinkCounter, texture, axes);
  WriteVertex(text, A);
  WriteVertex(text, B);
  WriteVertex(text, C);
  EndPolygon(text);
}

bool MapTexture(const Vector3 (&corner)[3], const double (&s)[3], const double (&t)[3],
                TextureAxes& axes) {
  // Edges from the first corner, and how far s and t change along them.
  const double e1[3] = {corner[1].X - corner[0].X, corner[1].Y - corner[0].Y,
                        corner[1].Z - corner[0].Z};
  const double e2[3] = {corner[2].X - corner[0].X, corner[2].Y - corner[0].Y,
                        corner[2].Z - corner[0].Z};
  const double ds1 = s[1] - s[0], ds2 = s[2] - s[0];
  const double dt1 = t[1] - t[0], dt2 = t[2] - t[0];
  const double a = e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2];
  const double b = e1[0] * e2[0] + e1[1] * e2[1] + e1[2] * e2[2];
  const double c = e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2];
  // The triangle's area (squared, times 4) and its area in texels (times 2).
  const double gram = a * c - b * b;
  const double texels = ds1 * dt2 - ds2 * dt1;
  constexpr double kFlat = 1e-12;
  if (!(gram > kFlat * a * c) ||
      !(std::fabs(texels) > kFlat * (std::fabs(ds1 * dt2) + std::fabs(ds2 * dt1)))) {
    return false;
  }
  // An axis in the plane, x e1 + y e2, whose dot products with e1 and e2
  // are the changes d1 and d2: the Gram system.
  const auto axis = [&](double d1, double d2) {
    const double x = (c * d1 - b * d2) / gram;
    const double y = (a * d2 - b * d1) / gram;
    return Vector3{x * e1[0] + y * e2[0], x * e1[1] + y * e2[1], x * e1[2] + y * e2[2]};
  };
  axes.u = axis(ds1, ds2);
  axes.v = axis(dt1, dt2);
  // The origin corner[0] + x e1 + y e2 where s and t are both 0.
  const double x = (-s[0] * dt2 + t[0] * ds2) / texels;
  const double y = (-t[0] * ds1 + s[0] * dt1) / texels;
  axes.origin = {corner[0].X + x * e1[0] + y * e2[0], corner[0].Y + x * e1[1] + y * e2[1],
                 corner[0].Z + x * e1[2] + y * e2[2]};
  for (const Vector3* w : {&axes.origin, &axes.u, &axes.v}) {
    if (!std::isfinite(w->X) || !std::isfinite(w->Y) || !std::isfinite(w->Z)) return false;
  }
  return true;
}

void T3dWriter::WriteTriangle(std::string& text, const Vector3& A, const Vector3& B,
                              const Vector3& C, const CornerForm& formA, const CornerForm& formB,
                              const CornerForm& formC) {
  WriteTriangleRecord(text, A, B, C, &formA, &formB, &formC, PolygonLinkCounter);
}

}  // namespace Kelvane::Unreal
