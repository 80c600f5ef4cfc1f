#pragma once

#include <sstream>
#include <string>
#include <vector>

// Polygon records read back from a written T3D document, in either number
// form, for tests that check what lies where.
namespace testing_support {

struct Vec {
  double x = 0, y = 0, z = 0;
};

// One polygon record as written.
struct Record {
  std::string head;
  std::string texture;  // empty: none named
  Vec origin, normal, u, v;
  std::vector<Vec> vertices;
  std::string text;  // the whole record
};

inline Vec ParseVector(const std::string& text) {
  Vec v;
  char comma = 0;
  std::istringstream in(text);
  in >> v.x >> comma >> v.y >> comma >> v.z;
  return v;
}

inline std::vector<Record> Records(const std::string& document) {
  std::vector<Record> records;
  std::istringstream in(document);
  std::string line;
  Record* open = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Begin Polygon", 0) == 0) {
      records.emplace_back();
      open = &records.back();
      open->head = line;
      const std::size_t at = line.find("Texture=");
      if (at != std::string::npos) {
        open->texture = line.substr(at + 8, line.find(' ', at) - at - 8);
      }
    }
    if (open == nullptr) continue;
    open->text += line + "\n";
    const std::size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "Origin") open->origin = ParseVector(rest);
    if (key == "Normal") open->normal = ParseVector(rest);
    if (key == "TextureU") open->u = ParseVector(rest);
    if (key == "TextureV") open->v = ParseVector(rest);
    if (key == "Vertex") open->vertices.push_back(ParseVector(rest));
    if (line == "End Polygon") open = nullptr;
  }
  return records;
}

inline double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec Minus(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

}  // namespace testing_support
