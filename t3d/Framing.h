#pragma once

#include <cstdint>
#include <string>

#include "vector/Vector3.h"

// The document level of a T3D document: its head and tail, and in a map
// the brush actor that frames each object's polygon list. Each routine
// replaces the caller's text with its piece; every line ends in CR LF.
namespace Kelvane::Unreal {

// 2: one brush (a bare polygon list); any other value: a map of brush actors.
using OutputMode = std::int16_t;
constexpr OutputMode kMapMode = 1;
constexpr OutputMode kOneBrushMode = 2;

// The map template's usual place: "StartMapFile.txt" in the directory of the
// running executable, or, when it is not there, in "../share/kelvane/" from
// that directory (an installed program).
std::string DefaultTemplatePath();

// Mode 2: "Begin PolyList"; any other mode: the template at
// `templatePath`, as read.
void BeginDocument(std::string& text, OutputMode mode, const std::string& templatePath);
void EndDocument(std::string& text, OutputMode mode);
void BeginPolyList(std::string& text);
void EndPolyList(std::string& text);
// The actor's head; `polyFlags`, when not 0, on a line of its own after
// the CsgOper line (the brush's solidity).
void BeginBrushActor(std::string& text, std::int32_t brushNumber, const Vector3& location,
                     std::int32_t polyFlags = 0);
void EndBrushActor(std::string& text, std::int32_t brushNumber);

}  // namespace Kelvane::Unreal
