#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "t3d/Framing.h"

// The documents of the editor generations (--engine): the wrappers, the
// brush actors and the texture references each generation's importer takes
// as its own (UE1: Unreal, UT99, Deus Ex; UE2: UT2004, Unreal 2; UE3: UDK;
// UE4: UE4 and UE5). Every engine writes its polygons in the editor frame
// (EditorFrame.h); the default document (kNone) is framed by Framing.h.
namespace Kelvane::Unreal {

enum class Engine { kNone, kUe1, kUe2, kUe3, kUe4 };

// How the converted brushes take part in the world's BSP: solid, or as
// detail geometry that does not cut it.
enum class Solidity { kSolid, kSemisolid, kNonsolid };

// The brush actor's PolyFlags for a solidity: PF_Semisolid 32, PF_NotSolid
// 8; 0 for solid, which writes no line.
constexpr std::int32_t PolyFlagsOf(Solidity solidity) {
  return solidity == Solidity::kSemisolid ? 32 : solidity == Solidity::kNonsolid ? 8 : 0;
}

// UE3 and UE4 import no bare polygon list: their one brush is one actor in
// a map, and they read no map template.
constexpr bool TakesOnlyMaps(Engine engine) {
  return engine == Engine::kUe3 || engine == Engine::kUe4;
}

// A name the editors take for a brush, a model or a label: letters, digits
// and _, every other byte made a _; `fallback` when none is left.
std::string EditorName(std::string_view text, std::string_view fallback);

// The package name texture references use by default.
inline constexpr std::string_view kDefaultTexturePackage = "MyLevel";

// Whether `package` names a texture package: names of letters, digits and
// _ joined by single dots ("MyLevel", "MyLevel.Walls").
bool IsPackageName(std::string_view package);

// How a polygon of an engine's document names the texture whose bitmap is
// `name`: UE1 the name alone, UE2 and UE3 "PACKAGE.NAME", UE4 the material
// path "/Game/PACKAGE/NAME.NAME" (a package's dots become folders).
std::string TextureReference(Engine engine, std::string_view package, std::string_view name);

// One brush of a document: its number (2, 3, ... as the frame counts them)
// and the label an editor shows for it (UE4's ActorLabel).
struct EngineBrush {
  std::int32_t number = 2;
  std::string label;
};

// The document's head: UE3 and UE4 the map and level lines; the others as
// BeginDocument.
void BeginEngineDocument(std::string& text, Engine engine, OutputMode mode,
                         const std::string& templatePath, std::string_view mapName);
// The document's tail: UE3 and UE4 the level's and the map's ends; the
// others as EndDocument.
void EndEngineDocument(std::string& text, Engine engine, OutputMode mode);
// The brush actor's lines up to its "Begin Brush" line, with its PolyFlags
// when they are not 0; each line ends in CR LF.
void BeginEngineActor(std::string& text, Engine engine, const EngineBrush& brush,
                      std::int32_t polyFlags);
// From "End Brush" to "End Actor": the actor's reference to its own model
// comes after the model (the UE1 editor crashes on one before it).
void EndEngineActor(std::string& text, Engine engine, const EngineBrush& brush);

}  // namespace Kelvane::Unreal
