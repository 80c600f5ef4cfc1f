#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vector/ModuleVector.h"

// The T3D writer: the document's head and tail, brush actor frames, polygon
// lists and polygon records. Document-level routines replace the caller's
// text with their piece; polygon-level routines append to it. Every line ends
// in CR LF.
namespace Kelvane::Unreal {


// 2: one brush (a bare polygon list); any other value: a map of brush actors.
using OutputMode = std::int16_t;
constexpr OutputMode kMapMode = 1;
constexpr OutputMode kOneBrushMode = 2;

// A point read as a, b, c in the model becomes X = a, Y = -c, Z = b in the
// document.
inline Vector3 MapAxes(double a, double b, double c) { return {a, -c, b}; }

// The map template's usual place: "StartMapFile.txt" in the directory of the
// running executable, or, when it is not there, in "../share/kelvane/" from
// that directory (an installed program).
std::string DefaultTemplatePath();

void EndDocument(std::string& text, OutputMode mode);
void BeginPolyList(std::string& text);
void EndPolyList(std::string& text);
void BeginBrushActor(std::string& text, std::int32_t brushNumber, const Vector3& location);
void EndBrushActor(std::string& text, std::int32_t brushNumber);

// The fixed number form "00000.00000": rounded to five decimals from the
// double's exact value (ties to even), the integer part padded to five
// digits, "-" only in front of a value whose rounded form is not zero.
void AppendNumber(std::string& text, double value);

void FormatVector(std::string& text, const Vector3& v);
void WriteVertex(std::string& text, const Vector3& v);
void EndPolygon(std::string& text);

// Where a texture lies on a polygon, in the editor's convention: a point P
// of the polygon's plane is at texel (s, t) = ((P - origin) . u,
// (P - origin) . v), s to the right and t down from the texture's top left
// corner; u and v lie in the plane.
struct TextureAxes {
  Vector3 origin;
  Vector3 u;
  Vector3 v;
};

// The axes that put each corner k of a triangle at texel (s[k], t[k]).
// False, leaving `axes` unspecified, when the triangle or its texels have
// no area, or a result is not finite.
bool MapTexture(const Vector3 (&corner)[3], const double (&s)[3], const double (&t)[3],
                TextureAxes& axes);

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

// A link number of records made one after another, with its decimal
// digits once they are made, so that each next number only counts them up.
struct LinkDigits {
  std::int32_t value = 0;
  std::uint8_t length = 0;  // 0: the digits are not made yet
  char digits[12] = {};
};

// A triangle record made with its own link counter, for records made away
// from the writer (on a worker thread): the record WriteTriangle appends,
// made at `out` instead, which has room for kTriangleRoom characters;
// returns its end. A form of length 0 is made as usual. When a step fails,
// the error is raised and what stands at `out` is of no use.
char* PutTriangle(char* out, const FormedCorner& A, const FormedCorner& B, const FormedCorner& C,
                  LinkDigits& link);

// The box around the corners written, in the document's units.
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

struct Extent {
  bool any = false;
  Vector3 low{0, 0, 0};
  Vector3 high{0, 0, 0};
  // Inline: every corner a reader makes passes here.
  void Include(const Vector3& corner) {
    if (!any) {
      low = high = corner;
      any = true;
      return;
    }
    low = {std::min(low.X, corner.X), std::min(low.Y, corner.Y), std::min(low.Z, corner.Z)};
    high = {std::max(high.X, corner.X), std::max(high.Y, corner.Y), std::max(high.Z, corner.Z)};
  }
  void Include(const Extent& other);
  // The largest of the box's three sides; 0 when empty.
  double LargestSide() const;
};

// The T3D document one run writes: the polygon records' numbering, the map
// template and the output file. Each piece of text is made into a string the
// caller passes (document-level routines replace it, polygon records append
// to it) and written to the file at once, so the file is complete up to the
// last piece at every moment.
class T3dWriter {
 public:
  // An empty template path means DefaultTemplatePath().
  explicit T3dWriter(std::string outputPath, std::string templatePath = {});

  // Numbers the polygon records: written into each record's head line, then
  // increased. It starts at 0 with the document.
  std::int32_t PolygonLinkCounter = 0;

  const std::string& OutputPath() const { return outputPath_; }
  const std::string& TemplatePath() const { return templatePath_; }

  // Mode 2: "Begin PolyList"; any other mode: the template, as read.
  void BeginDocument(std::string& text, OutputMode mode) const;
  void BeginPolygon(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C);
  void WriteTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C);
  // The same for corners that come with their forms (MakeCornerForm).
  void WriteTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                     const CornerForm& formA, const CornerForm& formB, const CornerForm& formC);
  // A triangle record whose head line names its texture ("Begin Polygon
  // Item=OUTSIDE Texture=NAME Link= N"); with axes, its Origin, TextureU and
  // TextureV are those, else made from its edges as WriteTriangle makes them.
  void WriteTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B,
                             const Vector3& C, std::string_view texture, const TextureAxes* axes);
  // A polygon in the editor's form (EditorFrame.h), numbered within its
  // brush; it counts in PolygonLinkCounter too.
  void WriteEditorPolygon(std::string& text, const Vector3* corners, std::size_t count,
                          const Vector3& normal, std::string_view texture,
                          const TextureAxes* axes);
  // A brush begins: the editor's polygon numbers start again at 0.
  void StartBrush() { brushLink_ = 0; }

  // The corners written so far (kept by whoever writes them).
  Extent extent;
  // False: pieces are made and counted but not written (a run that only
  // measures the model).
  bool writeFiles = true;
  // Polygons of zero area left out (the editor's form writes none).
  std::int64_t zeroAreaLeftOut = 0;

  // Writes a piece to the output followed by CR LF: the first piece of a
  // document replaces the file (append false), every later one is appended.
  void WritePiece(std::string_view piece, bool append);
  // Appends text that already ends its last line (a polygon record and the
  // empty line after it).
  void AppendRecord(std::string_view record) const;

  // Begins a document that must not cost the user an earlier one: when the
  // output is an existing file, the pieces go to a side file beside it
  // instead (SideFileName), made new with the first piece, and only
  // FinishDocument puts it in the output's place. A run that fails leaves
  // the earlier document as it was. Without an existing file the pieces go
  // to the output itself, as without this call.
  void StartDocument();
  // After the last piece: the side file, if any, replaces the output in
  // one step (Platform::PutFileInPlace). A file error when it cannot; the
  // side file then keeps the whole document.
  void FinishDocument();
  // Where the pieces go: the output, or the side file.
  const std::string& TargetPath() const { return targetPath_; }
  // The side file that holds this document while it has not replaced the
  // output; empty when there is none.
  std::string SideFile() const { return targetPath_ == outputPath_ ? std::string() : targetPath_; }

 private:
  void MakeSideFile();

  std::string outputPath_;
  std::string templatePath_;
  std::string targetPath_;
  // The file a side file replaces: the output, or where its link leads.
  std::string replacedPath_;
  bool sideWanted_ = false;
  std::int32_t brushLink_ = 0;
};

// The name of side file `n` (from 1) beside `output`: "OUTPUT.partial", then
// "OUTPUT.2.partial", ... A name that does not end in ".t3d" keeps an
// unfinished document out of the editor's import dialog, and the number
// keeps the side file of an earlier failed run.
std::string SideFileName(const std::string& output, int n);

}  // namespace Kelvane::Unreal
