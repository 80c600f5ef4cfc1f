#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "T3dRecords.h"

namespace {

using Kelvane::Unreal::Engine;
using Kelvane::Unreal::Solidity;
using testing_support::Records;
using testing_support::RunFixture;

std::vector<std::string> LinesOf(const std::string& document) {
  std::vector<std::string> lines;
  std::istringstream in(document);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool ValidName(const std::string& name) {
  return !name.empty() && std::regex_match(name, std::regex("[A-Za-z0-9_]+"));
}

// A brush actor as an importer meets it: its lines outside the brush, its
// brush's name and polygon count.
struct Actor {
  std::vector<std::string> lines;
  std::string model;
  int polygons = 0;
  int Count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : lines) n += l == line;
    return n;
  }
  bool Has(const std::string& line) const { return Count(line) > 0; }
  std::string Value(const std::string& key) const {
    for (const std::string& l : lines) {
      if (l.rfind(key + "=", 0) == 0) return l.substr(key.size() + 1);
    }
    return {};
  }
};

// Reads a document as the engine's importer does and lists what it would
// refuse or drop (the rules of each editor generation): the wrapper it
// reads, each brush actor's lines, the reference to its own model after the
// model, unique and valid names, the texture references it looks up.
std::vector<std::string> Refusals(const std::string& document, Engine engine, bool oneBrush,
                                  Solidity solidity, const std::string& texture) {
  std::vector<std::string> problems;
  const std::vector<std::string> lines = LinesOf(document);
  auto refuse = [&](const std::string& why) { problems.push_back(why); };
  const bool mapsOnly = engine == Engine::kUe3 || engine == Engine::kUe4;
  std::vector<Actor> actors;
  Actor* actor = nullptr;
  bool inBrush = false;
  for (const std::string& line : lines) {
    if (line.rfind("Begin Actor", 0) == 0) {
      actors.emplace_back();
      actor = &actors.back();
    }
    if (actor == nullptr) continue;
    if (line.rfind("Begin Brush Name=", 0) == 0) {
      actor->model = line.substr(17);
      inBrush = true;
      continue;
    }
    if (line == "End Brush") {
      inBrush = false;
      continue;
    }
    if (inBrush) {
      actor->polygons += line.rfind("Begin Polygon", 0) == 0;
      continue;
    }
    actor->lines.push_back(line);
    if (line == "End Actor") actor = nullptr;
  }
  // The wrapper.
  std::vector<std::string> content;
  for (const std::string& line : lines) {
    if (!line.empty()) content.push_back(line);
  }
  if (mapsOnly) {
    const std::string level =
        engine == Engine::kUe3 ? "Begin Level NAME=PersistentLevel" : "Begin Level";
    if (content.size() < 4 || content[0].rfind("Begin Map", 0) != 0 || content[1] != level ||
        content[content.size() - 2] != "End Level" || content.back() != "End Map") {
      refuse("not inside Begin Map / " + level + " ... End Level / End Map");
    }
    if (oneBrush && actors.size() != 1) refuse("one brush is not one actor");
  } else if (oneBrush) {
    if (content.empty() || content.front() != "Begin PolyList" ||
        content.back() != "End PolyList" || !actors.empty()) {
      refuse("not a bare polygon list");
    }
  } else if (content.empty() || content.front() != "Begin Map" || content.back() != "End Map") {
    refuse("not a map");
  }
  // The brush actors: each one whole, each brush in one.
  int ends = 0;
  int brushes = 0;
  for (const std::string& line : lines) {
    ends += line == "End Actor";
    brushes += line.rfind("Begin Brush Name=", 0) == 0;
  }
  if (ends != static_cast<int>(actors.size()) || brushes != static_cast<int>(actors.size())) {
    refuse("actors not whole");
  }
  std::set<std::string> names;
  std::set<std::string> labels;
  const std::string flags = solidity == Solidity::kSemisolid  ? "32"
                            : solidity == Solidity::kNonsolid ? "8"
                                                              : "";
  for (const Actor& a : actors) {
    const std::string head = a.lines.empty() ? "" : a.lines.front();
    const std::smatch found = [&] {
      std::smatch m;
      std::regex_search(head, m, std::regex("Name=(\\S+)"));
      return m;
    }();
    const std::string name = found.size() > 1 ? found[1].str() : "";
    if (!ValidName(name) || !names.insert(name).second) refuse("actor name " + name);
    if (!ValidName(a.model) || !names.insert(a.model).second) refuse("model name " + a.model);
    if (a.Value("PolyFlags") != flags) refuse(name + ": PolyFlags " + a.Value("PolyFlags"));
    switch (engine) {
      case Engine::kNone:
      case Engine::kUe1:
      case Engine::kUe2:
        if (head != "Begin Actor Class=Brush Name=" + name) refuse(name + ": head " + head);
        if (!a.Has("CsgOper=CSG_Add")) refuse(name + ": not CSG_Add, deleted");
        if (a.Value("Brush") != "Model'MyLevel." + a.model + "'") refuse(name + ": no Brush=");
        if (!a.Has("Name=" + name)) refuse(name + ": no Name=");
        break;
      case Engine::kUe3:
        if (head.find(" Archetype=Brush'Engine.Default__Brush'") == std::string::npos)
          refuse(name + ": no archetype");
        if (!a.Has("Begin Object Class=BrushComponent Name=BrushComponent0 "
                   "Archetype=BrushComponent'Engine.Default__Brush:BrushComponent0'"))
          refuse(name + ": no BrushComponent");
        if (!a.Has("CsgOper=CSG_Add")) refuse(name + ": not CSG_Add");
        if (a.Value("Brush") != "Model'" + a.model + "'") refuse(name + ": no Brush=");
        break;
      case Engine::kUe4:
        if (head.rfind("Begin Actor Class=/Script/Engine.Brush Name=", 0) != 0 ||
            head.find(" Archetype=/Script/Engine.Brush'/Script/Engine.Default__Brush'") ==
                std::string::npos) {
          refuse(name + ": class or archetype not a path");
        }
        if (!a.Has("Begin Object Class=/Script/Engine.BrushComponent Name=\"BrushComponent0\" "
                   "Archetype=/Script/Engine.BrushComponent'/Script/"
                   "Engine.Default__Brush:BrushComponent0'") ||
            !a.Has("Begin Object Name=\"BrushComponent0\"") ||
            a.Count("Brush=Model'" + a.model + "'") != 2 ||
            !a.Has("RelativeLocation=(X=0.000000,Y=0.000000,Z=0.000000)")) {
          refuse(name + ": no BrushComponent0 naming its model");
        }
        if (a.Value("BrushType") != "Brush_Add") refuse(name + ": Brush_Default, destroyed");
        if (!a.Has("BrushComponent=BrushComponent0") || !a.Has("RootComponent=BrushComponent0"))
          refuse(name + ": no root component");
        {
          std::string label = a.Value("ActorLabel");
          if (label.size() < 3 || label.front() != '"' || label.back() != '"' ||
              !ValidName(label.substr(1, label.size() - 2)) || !labels.insert(label).second) {
            refuse(name + ": label " + label);
          }
        }
        break;
    }
  }
  // The polygons: corners the editor keeps, textures it looks up.
  for (const auto& record : Records(document)) {
    if (record.vertices.size() < 3 || record.vertices.size() > 16)
      refuse(std::to_string(record.vertices.size()) + " corners");
    if (!record.texture.empty() && record.texture != texture) {
      refuse("texture reference " + record.texture);
    }
  }
  return problems;
}

// The textured crate of the examples and a triangle, at scale 1, as each
// engine writes them.
struct EngineRun {
  RunFixture fixture;
  std::string document;
  EngineRun(Engine engine, bool oneBrush, Solidity solidity, const std::string& package = {}) {
    fixture.window.engine = engine;
    fixture.window.mapOrBrush = oneBrush ? 1 : 0;
    fixture.window.textureMapping = 1;
    fixture.window.solidity = solidity;
    if (!package.empty()) fixture.window.texturePackage = package;
    fixture.window.scale = "1";
    // The crate and a plain triangle: two actors in a map.
    const std::string model =
        testing_support::ReadFile(std::string(KELVANE_SOURCE_DIR) + "/examples/uv/crate-uv.3dmf") +
        "TriMesh (\n1 0 0 0 3 0\n0 1 2\n5 0 0\n6 0 0\n5 1 0\n"
        "5 0 0 6 1 0 False\n)\n";
    const auto kind = fixture.Run(model);
    EXPECT_EQ(kind, std::nullopt) << fixture.message;
    document = fixture.Output();
  }
};

TEST(EnginesTest, EachEngineWritesWhatItsImporterTakes) {
  const struct {
    Engine engine;
    const char* package;
    const char* texture;
  } engines[] = {
      {Engine::kUe1, "", "texture_1"},
      {Engine::kUe2, "", "MyLevel.texture_1"},
      {Engine::kUe2, "Props.Crates", "Props.Crates.texture_1"},
      {Engine::kUe3, "", "MyLevel.texture_1"},
      {Engine::kUe4, "Props.Crates", "/Game/Props/Crates/texture_1.texture_1"},
  };
  for (const auto& e : engines) {
    for (const bool oneBrush : {false, true}) {
      for (const Solidity solidity :
           {Solidity::kSolid, Solidity::kSemisolid, Solidity::kNonsolid}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(e.engine)) + e.package +
                     (oneBrush ? " one brush " : " map ") +
                     std::to_string(static_cast<int>(solidity)));
        EngineRun run(e.engine, oneBrush, solidity, e.package);
        const auto records = Records(run.document);
        ASSERT_EQ(records.size(), 13u);  // the crate's twelve triangles and one
        const bool actors = !oneBrush || e.engine == Engine::kUe3 || e.engine == Engine::kUe4;
        // A one-brush document without an actor has no place for PolyFlags.
        const Solidity expected = actors ? solidity : Solidity::kSolid;
        EXPECT_EQ(Refusals(run.document, e.engine, oneBrush, expected, e.texture),
                  std::vector<std::string>{})
            << run.document;
        // Every line the rules ask for is needed: without it the importer refuses.
        if (solidity != Solidity::kSolid || !actors) continue;
        for (const std::string& line : LinesOf(run.document)) {
          if (line.empty() || line.rfind("Begin Polygon", 0) == 0 ||
              line.find_first_of("+-0123456789") == 0 || line.rfind("Origin", 0) == 0 ||
              line.rfind("Normal", 0) == 0 || line.rfind("Texture", 0) == 0 ||
              line.rfind("Vertex", 0) == 0 || line == "End Polygon" || line.rfind("Tag=", 0) == 0 ||
              line.rfind("Level=", 0) == 0 || line.rfind("Region=", 0) == 0 ||
              line.rfind("MainScale", 0) == 0 || line.rfind("PostScale", 0) == 0 ||
              line.rfind("CollisionComponent", 0) == 0 || line.rfind("Components(0)", 0) == 0 ||
              line.rfind("BrushComponent=B", 0) == 0 || line == "End Object" ||
              line == "Begin PolyList" || line == "End PolyList" ||
              (e.engine == Engine::kUe3 && line.rfind("Name=", 0) == 0)) {
            continue;  // lines the rules leave to the editor's defaults
          }
          std::string cut = run.document;
          cut.erase(cut.find(line + "\r\n"), line.size() + 2);
          EXPECT_NE(Refusals(cut, e.engine, oneBrush, expected, e.texture),
                    std::vector<std::string>{})
              << "taken without: " << line;
        }
      }
    }
  }
}

TEST(EnginesTest, TheEditorFrameIsUe1AndTheDefaultDocumentOnlyGainsItsSolidity) {
  const std::string model = "TriMesh (\n2 0 0 0 4 0\n0 1 2\n0 2 3\n0 0 0 1 0 0 1 1 0 0 1 0\n)\n";
  RunFixture frame;
  frame.window.editorFrame = 1;
  ASSERT_EQ(frame.Run(model), std::nullopt);
  RunFixture ue1;
  ue1.window.engine = Engine::kUe1;
  ASSERT_EQ(ue1.Run(model), std::nullopt);
  EXPECT_EQ(frame.Output(), ue1.Output());

  RunFixture plain;
  ASSERT_EQ(plain.Run(model + model), std::nullopt);
  for (const auto& [solidity, line] : {std::pair{Solidity::kSemisolid, "PolyFlags=32\r\n"},
                                       std::pair{Solidity::kNonsolid, "PolyFlags=8\r\n"}}) {
    RunFixture flagged;
    flagged.window.solidity = solidity;
    ASSERT_EQ(flagged.Run(model + model), std::nullopt);
    std::string expected = plain.Output();
    for (std::size_t at = 0;
         (at = expected.find("CsgOper=CSG_Add\r\n", at)) != std::string::npos;) {
      at += 17;
      expected.insert(at, line);
    }
    EXPECT_EQ(flagged.Output(), expected);
  }
}

// The corners of a record as written, in millionths.
std::vector<std::array<std::int64_t, 3>> WrittenCorners(const std::string& record) {
  std::vector<std::array<std::int64_t, 3>> corners;
  std::istringstream in(record);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Vertex ", 0) != 0) continue;
    std::array<std::int64_t, 3> c{};
    std::istringstream numbers(line.substr(7));
    for (auto& m : c) {
      std::string n;
      std::getline(numbers, n, ',');
      const std::size_t point = n.find('.');
      m = std::stoll(n.substr(0, point)) * 1000000 +
          (n[0] == '-' ? -1 : 1) * std::stoll(n.substr(point + 1, 6));
    }
    corners.push_back(c);
  }
  return corners;
}

TEST(EnginesTest, NoEngineWritesAPolygonItsEditorWouldDropOrMend) {
  // A flat 20-corner face, a needle whose third corner is off the line by
  // less than the last written decimal, a triangle two of whose corners lie
  // within 0.002 units, and a square with a corner doubled that closely.
  std::string model = "3DMetafile ( 1 6 Normal toc> )\nPolygon ( 20\n";
  for (int k = 0; k < 20; ++k) {
    const double a = 6.283185307179586 * k / 20;
    model += std::to_string(10 * std::cos(a)) + " 0 " + std::to_string(10 * std::sin(a)) + "\n";
  }
  model +=
      ")\nTriangle ( 0 0 0  1 0 0  2 0 0.0000001 )\n"
      "Triangle ( 0 0 0  5 0 0  5.001 0 0.0015 )\n"
      "Triangle ( 0 0 0  5 0 0  0 0 5 )\n"
      "Polygon ( 5  0 0 10  4 0 10  4.001 0 10.001  4 0 14  0 0 14 )\n";
  for (const Engine engine : {Engine::kUe1, Engine::kUe2, Engine::kUe3, Engine::kUe4}) {
    SCOPED_TRACE(static_cast<int>(engine));
    RunFixture fixture;
    fixture.window.engine = engine;
    fixture.window.scale = "1";
    fixture.window.wholeFormat = 1;
    ASSERT_EQ(fixture.Run(model), std::nullopt) << fixture.message;
    const auto records = Records(fixture.Output());
    // The 20-gon as triangles, the sound triangle, the square as one.
    ASSERT_EQ(records.size(), 18u + 1u + 1u);
    EXPECT_EQ(records.back().vertices.size(), 4u);
    for (const auto& record : records) {
      const auto c = WrittenCorners(record.text);
      ASSERT_LE(c.size(), 16u);
      for (std::size_t i = 0; i < c.size(); ++i) {
        const auto& a = c[i];
        const auto& b = c[(i + 1) % c.size()];
        EXPECT_FALSE(std::abs(a[0] - b[0]) < 2000 && std::abs(a[1] - b[1]) < 2000 &&
                     std::abs(a[2] - b[2]) < 2000)
            << record.text;
      }
      // Not on one line as written: the cross product of two edges.
      __extension__ typedef __int128 Int128;
      const Int128 e1[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
      const Int128 e2[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1], c[2][2] - c[0][2]};
      EXPECT_TRUE(e1[1] * e2[2] != e1[2] * e2[1] || e1[2] * e2[0] != e1[0] * e2[2] ||
                  e1[0] * e2[1] != e1[1] * e2[0])
          << record.text;
    }
    EXPECT_EQ(fixture.report.editorMends.onALine, 1);
    EXPECT_EQ(fixture.report.degenerateLeftOut, 1);
    EXPECT_EQ(fixture.report.editorMends.collapsed, 1);
    EXPECT_EQ(fixture.report.editorMends.mergedCorners, 1);
  }
}

}  // namespace
