#include "t3d/Engines.h"

#include "t3d/NumberForm.h"

namespace Kelvane::Unreal {

namespace {

using NumberForm::AppendInteger;

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// "Brush_N", "Model_N" (UE3, UE4) or "BrushN", "ModelN" (UE1, UE2).
std::string Numbered(Engine engine, const char* stem, std::int32_t number) {
  std::string name = stem;
  if (TakesOnlyMaps(engine)) name += '_';
  AppendInteger(name, number);
  return name;
}

void AppendPolyFlags(std::string& text, std::int32_t polyFlags) {
  if (polyFlags == 0) return;
  text += "PolyFlags=";
  AppendInteger(text, polyFlags);
  text += "\r\n";
}

}  // namespace

std::string EditorName(std::string_view text, std::string_view fallback) {
  std::string name(text);
  for (char& c : name) {
    if (!IsNameCharacter(c)) c = '_';
  }
  if (name.find_first_not_of('_') == std::string::npos) return std::string(fallback);
  return name;
}

bool IsPackageName(std::string_view package) {
  if (package.empty()) return false;
  bool partStart = true;
  for (const char c : package) {
    if (c == '.') {
      if (partStart) return false;
      partStart = true;
      continue;
    }
    if (!IsNameCharacter(c)) return false;
    partStart = false;
  }
  return !partStart;
}

std::string TextureReference(Engine engine, std::string_view package, std::string_view name) {
  switch (engine) {
    case Engine::kUe2:
    case Engine::kUe3:
      return std::string(package) + "." + std::string(name);
    case Engine::kUe4: {
      std::string path = "/Game/" + std::string(package);
      for (char& c : path) {
        if (c == '.') c = '/';
      }
      return path + "/" + std::string(name) + "." + std::string(name);
    }
    case Engine::kNone:
    case Engine::kUe1:
      break;
  }
  return std::string(name);
}

void BeginEngineDocument(std::string& text, Engine engine, OutputMode mode,
                         const std::string& templatePath, std::string_view mapName) {
  switch (engine) {
    case Engine::kUe3:
      text = "Begin Map Name=" + std::string(mapName) + "\r\nBegin Level NAME=PersistentLevel\r\n";
      return;
    case Engine::kUe4:
      // What the editor's clipboard holds: it pastes and imports alike.
      text = "Begin Map\r\nBegin Level\r\n";
      return;
    case Engine::kNone:
    case Engine::kUe1:
    case Engine::kUe2:
      break;
  }
  BeginDocument(text, mode, templatePath);
}

void EndEngineDocument(std::string& text, Engine engine, OutputMode mode) {
  if (TakesOnlyMaps(engine)) {
    text = "End Level\r\nEnd Map";
    return;
  }
  EndDocument(text, mode);
}

void BeginEngineActor(std::string& text, Engine engine, const EngineBrush& brush,
                      std::int32_t polyFlags) {
  const std::string actor = Numbered(engine, "Brush", brush.number);
  const std::string model = Numbered(engine, "Model", brush.number);
  switch (engine) {
    case Engine::kUe3:
      text = "Begin Actor Class=Brush Name=" + actor +
             " Archetype=Brush'Engine.Default__Brush'\r\n"
             "Begin Object Class=BrushComponent Name=BrushComponent0 "
             "Archetype=BrushComponent'Engine.Default__Brush:BrushComponent0'\r\n"
             "End Object\r\n"
             "CsgOper=CSG_Add\r\n";
      AppendPolyFlags(text, polyFlags);
      text +=
          "BrushComponent=BrushComponent'BrushComponent0'\r\n"
          "CollisionComponent=BrushComponent'BrushComponent0'\r\n"
          "Components(0)=BrushComponent'BrushComponent0'\r\n";
      break;
    case Engine::kUe4:
      text = "Begin Actor Class=/Script/Engine.Brush Name=" + actor +
             " Archetype=/Script/Engine.Brush'/Script/Engine.Default__Brush'\r\n"
             "Begin Object Class=/Script/Engine.BrushComponent Name=\"BrushComponent0\" "
             "Archetype=/Script/Engine.BrushComponent'/Script/Engine.Default__Brush:"
             "BrushComponent0'\r\n"
             "End Object\r\n"
             "Begin Object Name=\"BrushComponent0\"\r\n"
             "Brush=Model'" +
             model +
             "'\r\n"
             "RelativeLocation=(X=0.000000,Y=0.000000,Z=0.000000)\r\n"
             "End Object\r\n"
             "BrushType=Brush_Add\r\n";
      AppendPolyFlags(text, polyFlags);
      break;
    case Engine::kNone:
    case Engine::kUe1:
    case Engine::kUe2:
      // The lines the UE1 and UE2 editors write for a brush actor.
      text = "Begin Actor Class=Brush Name=" + actor +
             "\r\n"
             "CsgOper=CSG_Add\r\n"
             "MainScale=(SheerAxis=SHEER_ZX)\r\n"
             "PostScale=(SheerAxis=SHEER_ZX)\r\n";
      AppendPolyFlags(text, polyFlags);
      text +=
          "Level=LevelInfo'MyLevel.LevelInfo0'\r\n"
          "Tag=Brush\r\n"
          "Region=(Zone=LevelInfo'MyLevel.LevelInfo0',iLeaf=-1)\r\n";
      break;
  }
  text += "Begin Brush Name=" + model + "\r\n";
}

void EndEngineActor(std::string& text, Engine engine, const EngineBrush& brush) {
  const std::string actor = Numbered(engine, "Brush", brush.number);
  const std::string model = Numbered(engine, "Model", brush.number);
  switch (engine) {
    case Engine::kUe3:
      text = "End Brush\r\nBrush=Model'" + model + "'\r\nName=" + actor + "\r\nEnd Actor\r\n";
      return;
    case Engine::kUe4:
      text = "End Brush\r\nBrush=Model'" + model +
             "'\r\nBrushComponent=BrushComponent0\r\nRootComponent=BrushComponent0\r\n"
             "ActorLabel=\"" +
             brush.label + "\"\r\nEnd Actor\r\n";
      return;
    case Engine::kNone:
    case Engine::kUe1:
    case Engine::kUe2:
      break;
  }
  text = "End Brush\r\nBrush=Model'MyLevel." + model + "'\r\nName=" + actor + "\r\nEnd Actor\r\n";
}

}  // namespace Kelvane::Unreal
