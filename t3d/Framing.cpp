#include "t3d/Framing.h"

#include <charconv>
#include <string_view>

#include "platform/Platform.h"
#include "t3d/NumberForm.h"
#include "text/Files.h"

namespace Kelvane::Unreal {

namespace {

using NumberForm::AppendInteger;

constexpr std::string_view kLineEnd = "\r\n";

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

void BeginDocument(std::string& text, OutputMode mode, const std::string& templatePath) {
  if (mode == kOneBrushMode) {
    text = "Begin PolyList\r\n";
  } else {
    text = TextRoutines::ReadWholeFile(templatePath);
  }
}

void EndDocument(std::string& text, OutputMode mode) {
  text = mode == kOneBrushMode ? "End PolyList" : "End Map";
}

void BeginPolyList(std::string& text) { text = "Begin PolyList\r\n"; }

void EndPolyList(std::string& text) { text = "End PolyList"; }

void BeginBrushActor(std::string& text, std::int32_t brushNumber, const Vector3& location,
                     std::int32_t polyFlags) {
  text = "Begin Actor Class=Brush Name=Brush";
  AppendInteger(text, brushNumber);
  text += "\r\nCsgOper=CSG_Add\r\n";
  if (polyFlags != 0) {
    text += "PolyFlags=";
    AppendInteger(text, polyFlags);
    text += kLineEnd;
  }
  text +=
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

}  // namespace Kelvane::Unreal
