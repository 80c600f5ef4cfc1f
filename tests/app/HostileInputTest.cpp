#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TestSupport.h"
#include "app/run/ConversionRun.h"
#include "app/FakeWindow.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// Inputs that once made a run misbehave. Each must end, as a whole
// document or with the program's own error; ctest's time limit on this
// suite turns a hang into a failure.
TEST(HostileInputTest, CountsAtTheTopOfTheirRangeEndTheRun) {
  struct Case {
    const char* name;
    std::string input;
    std::size_t polygons;
  };
  const Case cases[] = {
      // 32767 lines to pass over (most of them past the end of the text).
      {"Polyhedron skip count 32767", "Polyhedron (\n3 32767 1\n0 0 0 1 0 0 0 1 0\n0 1 2\n)\n", 1},
      {"TriMesh edge count 32767", "TriMesh (\n1 0 32767 0 3 0\n0 1 2\n)\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FakeWindow window;
    window.inFileName = dir.File("in.3dmf");
    window.outFileName = dir.File("out.t3d");
    window.mapOrBrush = 1;
    WriteFile(window.inFileName, c.input);
    Kelvane::ConversionRun run(window.Settings(), window);
    ASSERT_TRUE(run.CommandGo_Click().completed);
    const std::string output = ReadFile(window.outFileName);
    EXPECT_EQ(Count(output, "Begin Polygon"), c.polygons);
    EXPECT_TRUE(output.ends_with("End PolyList\r\n"));
    EXPECT_EQ(window.labelPos.back(), "Done");
  }
}

}  // namespace
