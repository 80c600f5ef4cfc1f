#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "image/Palette.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using Result = testing_support::ProgramRun;

// Runs kelvane-convert with the arguments (quoted with Q where needed).
Result Convert(const TempDir&, const std::string& arguments) {
  return testing_support::RunConvert(arguments);
}

std::string Q(const std::string& text) { return "'" + text + "'"; }

const std::string kTriangle = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n";
// Three textures: 2 x 1, empty, 1 x 2.
const std::string kTextures =
    "PixmapTexture (\n2 1 6 24\n0x0000FF00FF00\n)\n"
    "PixmapTexture (\n0 0 0 24\n)\n"
    "PixmapTexture (\n1 2 3 24\n0xFF0000\n0x00FF00\n)\n";

TEST(CommandLineTest, ConvertsWithTheDefaultOutputAndTemplate) {
  TempDir dir;
  const std::string input = dir.File("ship.v2.3dmf");
  WriteFile(input, kTriangle);
  const Result result = Convert(dir, Q(input));
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string output = dir.File("ship.v2.t3d");
  EXPECT_EQ(result.out,
            "Wrote " + output + " (keyword reader): 1 polygon (20 x 20 x 0 units), 0 bitmaps\n");
  const std::string document = ReadFile(output);
  // The template that ships beside the program opens the map.
  EXPECT_EQ(document.rfind("Begin Map\r\n", 0), 0u);
  EXPECT_NE(document.find("\r\nBegin Actor Class=Brush Name=Brush2\r\n"), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 9), "End Map\r\n");
}

TEST(CommandLineTest, OptionsAndTheirValues) {
  TempDir dir;
  const std::string input = dir.File("in.3dmf");
  WriteFile(input, kTriangle);
  const std::string output = dir.File("out.t3d");
  const std::string templ = dir.File("t.txt");
  WriteFile(templ, "T");

  // A value starting with "-" is the scale's, not an option.
  Result result = Convert(dir, Q(input) + " " + Q(output) + " --one-brush --scale -2 --quiet");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_NE(ReadFile(output).find("Vertex -00002.00000,00000.00000,00000.00000\r\n"),
            std::string::npos);

  result = Convert(dir, Q(input) + " " + Q(output) + " --scale=3 --template " + Q(templ));
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string document = ReadFile(output);
  EXPECT_EQ(document.rfind("T\r\nBegin Actor", 0), 0u);
  EXPECT_NE(document.find("Vertex 00003.00000,00000.00000,00000.00000\r\n"), std::string::npos);
}

TEST(CommandLineTest, FailuresExitWithOneAndNameKindTextAndPlace) {
  TempDir dir;
  const std::string input = dir.File("in.3dmf");
  const std::string output = dir.File("out.t3d");
  WriteFile(input, "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 7\n");
  Result result = Convert(dir, Q(input) + " " + Q(output) + " --one-brush");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  // What was written stays, and the error says what it holds.
  EXPECT_EQ(result.err,
            "kelvane-convert: Out of range: Point index 7 is outside the table 0 to 2 (input line "
            "4, column 5); \"" + output + "\" holds the pieces this run wrote before the failure "
            "(0 polygons), without the document's end\n");
  EXPECT_EQ(ReadFile(output), "Begin PolyList\r\n\r\n");

  WriteFile(output, "kept");
  result = Convert(dir, Q(input) + " " + Q(output) + " --scale ''");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("kelvane-convert: Invalid scale: ", 0), 0u) << result.err;
  EXPECT_EQ(ReadFile(output), "kept");

  result = Convert(dir, Q(input) + " " + Q(input));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("kelvane-convert: Same file: ", 0), 0u) << result.err;

  result = Convert(dir, Q(dir.File("missing.3dmf")) + " " + Q(output));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("File error: Cannot open \"" + dir.File("missing.3dmf") +
                            "\": " + testing_support::kNoSuchFile),
            std::string::npos)
      << result.err;
}

// Every usage error is one line that ends in "see --help", exit status 2,
// and nothing written; the same kind of mistake gets the same status
// whatever the option. A scale without a number at its start is the run's
// own check, as in the window: exit status 1.
TEST(CommandLineTest, UsageErrorsAreOneLineAndExitWithTwo) {
  TempDir dir;
  WriteFile(dir.File("in.3dmf"), kTriangle);
  std::filesystem::create_directory(Platform::PathOf(dir.File("folder")));
  std::filesystem::create_directory(Platform::PathOf(dir.File("models")));
  const std::string in = Q(dir.File("in.3dmf"));
  const std::string folder = dir.File("folder");
  const struct {
    std::string arguments;
    std::string line;  // after "kelvane-convert: ", before "; see --help"
  } cases[] = {
      {"", "no INPUT given"},
      {"--bogus " + in, "unknown option --bogus"},
      {in + " --scale", "--scale needs a value"},
      {in + " --fit abc", "--fit takes a size above 0 in units, like 512, not \"abc\""},
      {in + " --jobs 0 " + in, "--jobs takes a whole number from 1 to 256, not \"0\""},
      {in + " --reader vrml", "--reader takes auto, keywords or 3dmf, not \"vrml\""},
      {in + " --uv --reader keywords", "--uv needs --reader 3dmf"},
      // An existing folder as OUTPUT was once taken as a second input.
      {in + " " + Q(folder),
       "the OUTPUT \"" + folder + "\" is a folder; to write into it, give --out-dir \"" + folder +
           "\""},
      {Q(dir.File("models")),
       "no 3DMF model (.3dmf, .3dm, .q3d or .qd3d) in the folder \"" + dir.File("models") + "\""},
      {in + " " + Q(dir.File("b.3dmf")),
       "will not write a T3D document over \"" + dir.File("b.3dmf") +
           "\": it is a 3DMF model (its name ends in .3dmf); choose another OUTPUT, or give "
           "--out-dir DIR to convert both"},
      {in + " --textures " + in, "--textures \"" + dir.File("in.3dmf") + "\" is not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Result result = Convert(dir, c.arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "kelvane-convert: " + c.line + "; see --help\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("in.t3d"))));
    EXPECT_TRUE(std::filesystem::is_empty(Platform::PathOf(folder)));
  }
  const Result scale = Convert(dir, in + " --scale abc");
  EXPECT_EQ(scale.status, 1);
  EXPECT_EQ(scale.err,
            "kelvane-convert: Invalid scale: The scale \"abc\" does not start with a number\n");

  Result help = Convert(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kelvane-convert INPUT", 0), 0u);
  EXPECT_NE(help.out.find("(result, reader, polygons, bitmaps, seconds)"), std::string::npos);
  Result version = Convert(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kelvane-convert ", 0), 0u);
}

// --scale is read by the number at its start, as the window's box is: the
// document is the one that number gives, and the command line says when
// the text held more, or when the scale is 0.
TEST(CommandLineTest, AScaleThatIsNotWhollyANumberOrZeroWarns) {
  TempDir dir;
  const std::string input = dir.File("in.3dmf");
  WriteFile(input, kTriangle);
  const struct {
    const char* scale;
    const char* asNumber;  // the scale that writes the same document
    const char* warning;   // empty: none
  } cases[] = {
      {"1,5", "1", "--scale 1,5 was read as 1: only the number at its start counts"},
      {"2abc", "2", "--scale 2abc was read as 2: only the number at its start counts"},
      {"0x10", "0",
       "--scale 0x10 was read as 0: only the number at its start counts, and 0 puts every point "
       "at the origin"},
      {"1e5x", "100000", "--scale 1e5x was read as 100000: only the number at its start counts"},
      {"0", "0", "--scale 0 puts every point at the origin"},
      {"-0.0", "0", "--scale -0.0 puts every point at the origin"},
      {"2.5", "2.5", ""},
      {"-2", "-2", ""},
      {"1e5", "100000", ""},
      {"&H10", "16", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scale);
    const Result warned = Convert(dir, Q(input) + " " + Q(dir.File("a.t3d")) + " --scale=" +
                                           Q(c.scale) + " --quiet");
    const Result plain = Convert(dir, Q(input) + " " + Q(dir.File("b.t3d")) + " --scale=" +
                                          Q(c.asNumber) + " --quiet");
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.err, *c.warning ? "kelvane-convert: warning: " + std::string(c.warning) + "\n"
                                     : std::string());
    EXPECT_TRUE(ReadFile(dir.File("a.t3d")) == ReadFile(dir.File("b.t3d")));
    EXPECT_NE(ReadFile(dir.File("a.t3d")).find("Begin Polygon"), std::string::npos);
  }
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

TEST(CommandLineTest, TexturesAreNumberedInReadingOrder) {
  TempDir dir;
  const std::string input = dir.File("in.3dmf");
  WriteFile(input, kTriangle + kTextures);
  const std::string output = dir.File("out.t3d");
  Result result = Convert(dir, Q(input) + " " + Q(output));
  EXPECT_EQ(result.status, 0) << result.err;
  // The empty second texture counts but writes no file.
  EXPECT_NE(result.err.find("warning: texture 2 is 0 x 0 pixels: no bitmap written"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.out, "Wrote " + output + " (keyword reader): 1 polygon (20 x 20 x 0 units), " +
                            "2 bitmaps: " + dir.File("out_1.bmp") + ", " + dir.File("out_3.bmp") +
                            "\n");
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("out_2.bmp"))));

  // 24 bits a pixel, rows bottom up, each padded to four bytes.
  const std::string first = ReadFile(dir.File("out_1.bmp"));
  ASSERT_EQ(first.size(), 54u + 8u);
  EXPECT_EQ(first.substr(0, 2), "BM");
  EXPECT_EQ(Le32(first, 18), 2u);
  EXPECT_EQ(Le32(first, 22), 1u);
  EXPECT_EQ(first[28], 24);
  EXPECT_EQ(first.substr(54, 6), std::string("\x00\x00\xFF\x00\xFF\x00", 6));
  const std::string third = ReadFile(dir.File("out_3.bmp"));
  ASSERT_EQ(third.size(), 54u + 8u);
  EXPECT_EQ(third.substr(54, 3), std::string("\x00\xFF\x00", 3));  // bottom row: green
  EXPECT_EQ(third.substr(58, 3), std::string("\xFF\x00\x00", 3));  // top row: blue

  // Elsewhere with --textures, which is made as --out-dir is; a bitmap that
  // cannot be written there warns and the run goes on.
  result = Convert(dir, Q(input) + " " + Q(output) + " --textures " + Q(dir.File("pics/new")));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "kelvane-convert: warning: texture 2 is 0 x 0 pixels: no bitmap written\n");
  EXPECT_TRUE(std::filesystem::exists(Platform::PathOf(dir.File("pics/new/out_1.bmp"))));
  EXPECT_TRUE(std::filesystem::exists(Platform::PathOf(dir.File("pics/new/out_3.bmp"))));
  std::filesystem::create_directories(Platform::PathOf(dir.File("taken/out_1.bmp")));
  result = Convert(dir, Q(input) + " " + Q(output) + " --textures " + Q(dir.File("taken")));
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.err.find("warning: texture 1 not saved: Cannot write"), std::string::npos);
  EXPECT_NE(result.out.find(": 1 polygon (20 x 20 x 0 units), 1 bitmap: "), std::string::npos);
  // --no-pictures makes no folder for them.
  result = Convert(dir, Q(input) + " " + Q(output) + " --no-pictures --textures " +
                            Q(dir.File("unused")));
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("unused"))));

  result = Convert(dir, Q(input) + " " + Q(output) + " --no-pictures");
  EXPECT_EQ(result.out,
            "Wrote " + output + " (keyword reader): 1 polygon (20 x 20 x 0 units), 0 bitmaps\n");
}

}  // namespace

namespace {

TEST(CommandLineTest, TextureOptionsNameBitmapsForTheMapAndRefuseContradictions) {
  TempDir dir;
  const std::string input = dir.File("in.3dmf");
  WriteFile(input,
            ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/tx-24bit-little.3dmf"));
  for (const std::string arguments :
       {"--uv --reader keywords", "--pow2 --reader keywords", "--uv --no-pictures",
        "--bitmap-depth 16", "--bitmap-depth"}) {
    const Result result = Convert(dir, Q(input) + " " + arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_NE(result.err.find("; see --help\n"), std::string::npos) << arguments;
    EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("in.t3d")))) << arguments;
  }

  // A build without Leptonica says so instead of writing 24-bit bitmaps.
  const bool palette = Kelvane::PaletteInThisBuild();
  if (!palette) {
    const Result refused = Convert(dir, Q(input) + " --bitmap-depth 8");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--bitmap-depth 8 is not in this build"), std::string::npos);
  }

  // A texture name takes letters, digits and _ only: so does its bitmap.
  const std::string output = dir.File("my model-2.t3d");
  Result result =
      Convert(dir, Q(input) + " " + Q(output) + " --uv" + (palette ? " --bitmap-depth 8" : ""));
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string bitmap = dir.File("my_model_2_1.bmp");
  EXPECT_EQ(result.out, "Wrote " + output + " (whole-format reader): 3 polygons (40 x 0 x 60 units), 1 bitmap: " +
                            bitmap + "\n  3 polygons carry the model's texture mapping\n");
  EXPECT_NE(ReadFile(output).find("Begin Polygon Item=OUTSIDE Texture=my_model_2_1 Link= 0\r\n"),
            std::string::npos);
  const std::string bytes = ReadFile(bitmap);
  ASSERT_GE(bytes.size(), 54u);
  if (palette) {
    EXPECT_EQ(bytes[28], 8);         // 8 bits a pixel
    EXPECT_EQ(Le32(bytes, 46), 3u);  // the texture's three colours, exactly
  }
  EXPECT_TRUE(result.err.empty()) << result.err;  // 4 x 4: nothing to warn of

  // --uv reads with the 3DMF reader by itself, also in a batch's children.
  std::filesystem::create_directory(Platform::PathOf(dir.File("out")));
  result = Convert(dir, Q(input) + " --uv --out-dir " + Q(dir.File("out")));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(ReadFile(dir.File("out/in.t3d")).find("Texture=in_1 Link= 0"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(Platform::PathOf(dir.File("out/in_1.bmp"))));
}

// Bytes that hold no 3DMF object give an empty document, as the format
// allows, and a line on stderr that says nothing was converted; a batch
// marks the file "empty" and names it once on that line. The whole-format
// reader refuses them.
TEST(CommandLineTest, AnInputWithoutObjectsSaysSo) {
  TempDir dir;
  std::string random;
  std::uint32_t state = 2463534242u;
  for (int i = 0; i < 4096; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    random += static_cast<char>(state & 0xFF);
  }
  const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02", 26) +
                          std::string(40, '\0');
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"random.3dmf", random}, {"empty.3dmf", ""}, {"pic.3dmf", png}};
  std::string inputs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string input = dir.File(c.name);
    WriteFile(input, c.bytes);
    inputs += " " + Q(input);
    const std::string output = dir.File(std::string(c.name, std::strlen(c.name) - 5) + ".t3d");
    Result result = Convert(dir, Q(input));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Wrote " + output + " (keyword reader): 0 polygons, 0 bitmaps\n");
    EXPECT_EQ(result.err,
              "kelvane-convert: nothing was converted: no polygon written, no texture saved\n");
    EXPECT_EQ(ReadFile(output), ReadFile(KELVANE_SOURCE_DIR "/StartMapFile.txt") + "\r\nEnd Map\r\n");
    result = Convert(dir, Q(input) + " --reader 3dmf");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("kelvane-convert: Invalid argument: ", 0), 0u) << result.err;
  }
  WriteFile(dir.File("good.3dmf"), kTriangle);
  const Result batch = Convert(dir, Q(dir.File("good.3dmf")) + inputs + " --jobs 1");
  EXPECT_EQ(batch.status, 0) << batch.err;
  const std::string dot = std::string(".t3d: ");
  for (const char* name : {"random", "empty", "pic"}) {
    EXPECT_NE(batch.out.find(name + dot + "empty (keyword reader), 0 polygons, 0 bitmaps"),
              std::string::npos)
        << batch.out;
    const std::string input = dir.File(std::string(name) + ".3dmf");
    EXPECT_NE(batch.err.find("kelvane-convert: " + input +
                             ": nothing was converted: no polygon written, no texture saved\n"),
              std::string::npos)
        << batch.err;
  }
  EXPECT_NE(batch.out.find("good.t3d: converted (keyword reader), 1 polygon, 0 bitmaps"),
            std::string::npos)
      << batch.out;
  EXPECT_NE(batch.out.find("Total: 4 files, 4 converted (3 empty), 0 failed, 1 polygon, 0 bitmaps"),
            std::string::npos)
      << batch.out;
}

// A failed run says what it left: without an earlier output, the pieces it
// wrote into OUTPUT and their polygons; over an earlier output, that it is
// as it was (or, when that was itself left unfinished by a failed run, that
// it still is) and where the side file is. In a batch too.
TEST(CommandLineTest, AFailedRunSaysWhatItLeftOfTheOutput) {
  TempDir dir;
  const std::string input = dir.File("bad.3dmf");
  const std::string output = dir.File("bad.t3d");
  WriteFile(input, kTriangle + "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 7\n");
  const std::string error =
      "kelvane-convert: Out of range: Point index 7 is outside the table 0 to 2 (input line 9, "
      "column 5)";
  const std::string whole = "Begin Map\r\nthe good document of yesterday\r\nEnd Map\r\n";
  const struct {
    const char* name;
    bool earlier;  // an output stands there before the run
    std::string earlierBytes;
    std::string errorEnd;
    std::string sideFile;
  } cases[] = {
      {"no earlier output", false, "",
       "; \"" + output + "\" holds the pieces this run wrote before the failure (1 polygon), "
       "without the document's end", ""},
      // The second run meets what the first left.
      {"over the pieces of the run before", true, "",
       "; \"" + output + "\" is as it was (itself without a document's end, as a failed run "
       "leaves it), and what this run wrote is in \"" + output + ".partial\"",
       output + ".partial"},
      {"over a whole document", true, whole,
       "; \"" + output + "\" is as it was, and what this run wrote is in \"" + output +
           ".2.partial\"",
       output + ".2.partial"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.earlierBytes.empty()) WriteFile(output, c.earlierBytes);
    const std::string before = c.earlier ? ReadFile(output) : "";
    const Result result = Convert(dir, Q(input));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, error + c.errorEnd + "\n");
    if (c.earlier) {
      EXPECT_EQ(ReadFile(output), before);
      EXPECT_NE(ReadFile(c.sideFile).find("Begin Polygon"), std::string::npos);
    } else {
      EXPECT_NE(ReadFile(output).find("Begin Polygon"), std::string::npos);
      EXPECT_EQ(ReadFile(output).find("End Map"), std::string::npos);
    }
  }

  WriteFile(dir.File("good.3dmf"), kTriangle);
  const Result result = Convert(dir, Q(input) + " " + Q(dir.File("good.3dmf")) + " --out-dir " +
                                         Q(Platform::TextOf(dir.Path())));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\"" + output + "\" is as it was, and what this run wrote is in \"" +
                            output + ".3.partial\""),
            std::string::npos)
      << result.out;
  EXPECT_EQ(ReadFile(output), whole);
}

}  // namespace
