// Micro-benchmarks of the routines every polygon passes through. Inputs come
// from the benchmark model generator, so the tokens and lines are the ones a
// conversion meets.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/ModelText.h"
#include "bench/reference/NumberForm.h"
#include "t3d/NumberForm.h"
#include "t3d/T3dWriter.h"
#include "text/Files.h"
#include "text/Numbers.h"
#include "text/Scanning.h"
#include "vector/ModuleVector.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

const std::string& ModelOf(std::int64_t triangles) {
  static std::string small = BenchModel::ModelText(100000, 7);
  static std::string large;
  if (triangles <= 100000) return small;
  if (large.empty()) large = BenchModel::ModelText(1000000, 7);
  return large;
}

// Every token of the model text with the delimiter that closed it, as
// NextToken hands them out; split into coordinates and whole numbers.
struct Tokens {
  std::vector<std::string> coordinates;
  std::vector<std::string> wholes;
};

const Tokens& ModelTokens() {
  static const Tokens tokens = [] {
    Tokens t;
    const std::string& text = ModelOf(100000);
    std::int32_t position = 1;
    const auto end = static_cast<std::int32_t>(text.size());
    while (position < end && t.coordinates.size() + t.wholes.size() < 400000) {
      const std::string_view token = TextRoutines::NextToken(text, position);
      ++position;
      if (token.empty() || !(token[0] == '-' || (token[0] >= '0' && token[0] <= '9'))) continue;
      const bool whole = token.find_first_of(".e") == std::string_view::npos;
      if (!whole) {
        t.coordinates.emplace_back(token);
      } else if (std::abs(TextRoutines::NumericValue(token)) <= 32767) {
        t.wholes.emplace_back(token);  // counts and indices
      }
    }
    return t;
  }();
  return tokens;
}

// Triangles as a model holds them after scaling by 20: corners anywhere
// within +-20000, edges of a few tens of units.
std::vector<Vector3> Corners() {
  std::vector<Vector3> corners;
  std::uint64_t state = 12345;
  auto next = [&](std::int64_t range) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(static_cast<std::int64_t>(state >> 33) % (2 * range) - range) /
           1000.0;
  };
  for (int i = 0; i < 1000; ++i) {
    const Vector3 a{next(20000000), next(20000000), next(20000000)};
    corners.push_back(a);
    for (int k = 0; k < 2; ++k)
      corners.push_back({a.X + next(40000), a.Y + next(40000), a.Z + next(40000)});
  }
  return corners;
}

void BM_NextToken(benchmark::State& state) {
  // A Polyhedron's vertex line: all numbers of an object on one line.
  std::string line;
  for (int i = 0; i < 4000; ++i) line += " -123.456789 7.25 1000.5";
  std::int64_t tokens = 0;
  for (auto _ : state) {
    std::int32_t position = 1;
    const auto end = static_cast<std::int32_t>(line.size());
    while (position < end) {
      benchmark::DoNotOptimize(TextRoutines::NextToken(line, position));
      ++tokens;
    }
  }
  state.SetItemsProcessed(tokens);
}
BENCHMARK(BM_NextToken);

void BM_NextLine(benchmark::State& state) {
  const std::string& text = ModelOf(100000);
  std::int64_t lines = 0;
  for (auto _ : state) {
    std::int32_t position = 1;
    const auto end = static_cast<std::int32_t>(text.size());
    while (position <= end) {
      benchmark::DoNotOptimize(TextRoutines::NextLine(text, position));
      ++lines;
    }
  }
  state.SetItemsProcessed(lines);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_NextLine);

void BM_NumericValueOfCoordinate(benchmark::State& state) {
  const std::vector<std::string>& tokens = ModelTokens().coordinates;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextRoutines::NumericValue(tokens[i]));
    if (++i == tokens.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_NumericValueOfCoordinate);

void BM_CountValueOfIndex(benchmark::State& state) {
  const std::vector<std::string>& tokens = ModelTokens().wholes;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextRoutines::CountValue(tokens[i]));
    if (++i == tokens.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_CountValueOfIndex);

void BM_NumberForm(benchmark::State& state) {
  const std::vector<Vector3> corners = Corners();
  std::string text;
  std::size_t i = 0;
  for (auto _ : state) {
    text.clear();
    Unreal::AppendNumber(text, corners[i].X);
    benchmark::DoNotOptimize(text.data());
    if (++i == corners.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_NumberForm);

// Values of every magnitude, as the number form meets them and beyond:
// random bits (every exponent), decimals of up to twelve digits, the
// halfway points of the fifth decimal with their neighbours, and edges of
// the quick ways (powers of two, 10^5, 2^52 / 10^5).
const std::vector<double>& FullRange() {
  static const std::vector<double> values = [] {
    std::vector<double> v;
    std::uint64_t state = 20261208;
    auto next = [&] {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      return state;
    };
    for (int i = 0; i < 20000; ++i) {
      const std::uint64_t bits = next();
      v.push_back(std::bit_cast<double>(bits));
      const double decimal =
          static_cast<double>(static_cast<std::int64_t>(bits % 2000000000001) - 1000000000000) /
          std::pow(10.0, static_cast<int>((bits >> 48) % 13));
      v.push_back(decimal);
      const double tie = (std::floor(decimal * 1e5) + 0.5) / 1e5;
      v.push_back(tie);
      v.push_back(std::nextafter(tie, 0.0));
      v.push_back(-std::nextafter(tie, 1e300));
    }
    for (int k = -60; k <= 70; ++k) {
      for (const double edge : {std::ldexp(1.0, k), 1e5, 0x1p52 / 1e5}) {
        v.push_back(edge);
        v.push_back(-std::nextafter(edge, 0.0));
      }
    }
    return v;
  }();
  return values;
}

// The number form over the full range, each value checked byte for byte
// against the former form (bench/reference/NumberForm.h) before the
// timing: a difference stops the benchmark with an error.
void BM_NumberFormFullRange(benchmark::State& state) {
  const std::vector<double>& values = FullRange();
  std::string text;
  char before[Reference::kNumberRoom + 8];
  for (const double value : values) {
    text.clear();
    Unreal::AppendNumber(text, value);
    const char* const end = Reference::PutNumber(before, value);
    if (text != std::string_view(before, static_cast<std::size_t>(end - before))) {
      state.SkipWithError(("the number form differs from the former one for " + text).c_str());
      return;
    }
  }
  std::size_t i = 0;
  for (auto _ : state) {
    text.clear();
    Unreal::AppendNumber(text, values[i]);
    benchmark::DoNotOptimize(text.data());
    if (++i == values.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_NumberFormFullRange);

// The former number form on the same values, for comparison.
void BM_FormerNumberFormFullRange(benchmark::State& state) {
  const std::vector<double>& values = FullRange();
  char form[Reference::kNumberRoom + 8];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Reference::PutNumber(form, values[i]));
    if (++i == values.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FormerNumberFormFullRange);

void BM_FormatVector(benchmark::State& state) {
  const std::vector<Vector3> corners = Corners();
  std::string text;
  std::size_t i = 0;
  for (auto _ : state) {
    text.clear();
    Unreal::FormatVector(text, corners[i]);
    benchmark::DoNotOptimize(text.data());
    if (++i == corners.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FormatVector);

void BM_WriteTriangle(benchmark::State& state) {
  const std::vector<Vector3> corners = Corners();
  std::string text;
  std::size_t i = 0;
  Unreal::T3dWriter writer("");
  for (auto _ : state) {
    text.clear();
    writer.WriteTriangle(text, corners[i], corners[i + 1], corners[i + 2]);
    benchmark::DoNotOptimize(text.data());
    i += 3;
    if (i == corners.size()) i = 0;
    if (writer.PolygonLinkCounter() > 2000000000) writer.SetPolygonLinkCounter(0);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_WriteTriangle);

// The write phase of a reader on a mesh: corners taken from a grid of
// points that neighbouring triangles share, scaled, made into records.
void BM_PolygonsOfAMesh(benchmark::State& state) {
  constexpr int kColumns = 123;
  constexpr int kRows = 122;
  std::vector<Vector3> points;
  std::uint64_t seed = 99;
  auto jitter = [&] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(static_cast<std::int64_t>(seed >> 40) % 500001 - 250000) / 1e6;
  };
  for (int j = 0; j <= kRows; ++j) {
    for (int i = 0; i <= kColumns; ++i) {
      points.push_back({-1000 + 1.5 * i + jitter(), -(-1000 + 1.5 * j + jitter()), 40 * jitter()});
    }
  }
  struct Row {
    int corner[3];
  };
  std::vector<Row> rows;
  for (int j = 0; j < kRows; ++j) {
    for (int i = 0; i < kColumns; ++i) {
      const int v00 = j * (kColumns + 1) + i;
      rows.push_back({{v00, v00 + 1, v00 + kColumns + 2}});
      rows.push_back({{v00, v00 + kColumns + 2, v00 + kColumns + 1}});
    }
  }
  std::string piece;
  std::size_t r = 0;
  Unreal::T3dWriter writer("");
  for (auto _ : state) {
    Vector3 corner[3];
    for (int k = 0; k < 3; ++k)
      corner[k] = ModuleVector::VectorScale(points[rows[r].corner[k]], 20.0);
    piece.clear();
    writer.WriteTriangle(piece, corner[0], corner[1], corner[2]);
    benchmark::DoNotOptimize(piece.data());
    if (++r == rows.size()) r = 0;
    if (writer.PolygonLinkCounter() > 2000000000) writer.SetPolygonLinkCounter(0);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_PolygonsOfAMesh);

// The run's search for a keyword that lies far ahead: the whole of a
// 1 M-triangle model, which holds no texture.
void BM_KeywordSearch(benchmark::State& state) {
  const std::string_view text = ModelOf(1000000);
  for (auto _ : state) benchmark::DoNotOptimize(text.find("PixmapTexture ("));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_KeywordSearch);

// The cost no conversion may remove: one polygon appended with its own
// open, write and close.
void BM_WriteTextLineAppend(benchmark::State& state) {
  char pattern[] = "/tmp/kelvane-microbench-XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  ::close(fd);
  const std::string path = pattern;
  std::string piece;
  Unreal::T3dWriter writer(path);
  writer.WriteTriangle(piece, {1, 2, 3}, {4, 5, 6}, {7, 8, 10});
  piece += "\r\n";  // a polygon carries its line end, as the readers write it
  std::int64_t count = 0;
  for (auto _ : state) {
    TextRoutines::WriteTextLine(path, piece, true);
    // Keep the file small, as the page cache would otherwise fill up.
    if (++count % 100000 == 0) TextRoutines::WriteTextFile(path, "", false);
  }
  ::unlink(path.c_str());
  state.SetItemsProcessed(count);
  state.SetBytesProcessed(count * static_cast<std::int64_t>(piece.size()));
}
BENCHMARK(BM_WriteTextLineAppend);

}  // namespace

BENCHMARK_MAIN();
