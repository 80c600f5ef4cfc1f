#pragma once

#include <initializer_list>
#include <string>

#include "FakeWindow.h"
#include "TestSupport.h"
#include "app/run/ConversionRun.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace testing_support {

// Lines joined with CR LF after each.
inline std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// The short template the run tests use, so documents stay readable.
inline const std::string kTemplate = "Begin Map\r\n";

inline std::string ActorHead(int n) {
  const std::string number = std::to_string(n);
  return "Begin Actor Class=Brush Name=Brush" + number +
         "\r\nCsgOper=CSG_Add\r\nMainScale= (SheerAxis=SHEER_ZX)\r\n"
         "postScale= (SheerAxis=SHEER_ZX)\r\nLODBias=1\r\n"
         "Level=LevelInfo 'MyLevel.LevelInfo0'\r\nTag=Brush\r\n"
         "Region=(Zone=LevelInfo'MyLevel.LevelInfo0',iLeaf=-1)\r\n"
         "Location=(X=0,Y=0,Z=0)\r\nBegin Brush Name=Model" +
         number + "\r\n\r\nBegin PolyList\r\n\r\n";
}

inline std::string ActorTail(int n) {
  const std::string number = std::to_string(n);
  return "End PolyList\r\nEnd Brush\r\nBrush=Model 'MyLevel.Model" + number + "'\r\nName=Brush" +
         number + "\r\nEnd Actor\r\n\r\n";
}

// A map document: the template, then one actor per object's records.
inline std::string MapDocument(std::initializer_list<std::string> objects) {
  std::string text = kTemplate + "\r\n";
  int n = 2;
  for (const std::string& records : objects) {
    text += ActorHead(n) + records + ActorTail(n);
    ++n;
  }
  return text + "End Map\r\n";
}

inline std::string OneBrushDocument(const std::string& records) {
  return "Begin PolyList\r\n\r\n" + records + "End PolyList\r\n";
}

// A run over one input, with the template and output in a fresh folder.
class RunFixture {
 public:
  RunFixture() {
    WriteFile(dir.File("StartMapFile.txt"), kTemplate);
    window.templatePath = dir.File("StartMapFile.txt");
    window.inFileName = dir.File("in.3dmf");
    window.outFileName = dir.File("out.t3d");
    window.bitmapFolder = Platform::TextOf(dir.Path());
  }

  // Runs on the input; returns the error's kind when the run fails.
  std::optional<Kelvane::ErrorKind> Run(const std::string& input) {
    WriteFile(window.inFileName, input);
    return RunAgain();
  }
  // Runs on the input file as it stands.
  std::optional<Kelvane::ErrorKind> RunAgain() {
    Kelvane::ConversionRun run(window.Settings(), window);
    report = run.CommandGo_Click();
    if (!report.failure) return std::nullopt;
    message = report.failure->text;
    return report.failure->kind;
  }
  std::string Output() const { return ReadFile(window.outFileName); }
  // Where the failed run stood, as its message names it; empty when unknown.
  std::string Place() const { return report.failure ? report.failure->place : std::string(); }

  TempDir dir;
  FakeWindow window;
  Kelvane::RunReport report;
  std::string message;
};

}  // namespace testing_support
