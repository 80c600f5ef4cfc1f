#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/Options.h"

namespace {

using Kelvane::Cli::Action;
using Kelvane::Cli::Options;
using Kelvane::Cli::ParseArguments;
using Kelvane::Cli::UsageError;
using Args = std::vector<std::string>;

// What a command line sets, read back as one text, so a table row is short.
std::string Summary(const Options& o) {
  const Kelvane::RunSettings& s = o.settings;
  std::string text;
  for (const std::string& path : o.paths) text += "[" + path + "]";
  text += " scale=" + s.scale;
  if (s.oneBrush) text += " one-brush";
  if (!s.pictures) text += " no-pictures";
  if (s.wholeFormat) text += " 3dmf";
  if (o.keywordsAsked) text += " keywords";
  if (s.textureMapping) text += " uv";
  if (s.powerOfTwo) text += " pow2";
  if (s.engine != Kelvane::Unreal::Engine::kNone) text += " engine=" + std::to_string(static_cast<int>(s.engine));
  if (s.fit.Asked()) text += " fit=" + std::to_string(s.fit.Resolve());
  if (s.solidity != Kelvane::Unreal::Solidity::kSolid)
    text += " solidity=" + std::to_string(static_cast<int>(s.solidity));
  if (s.texturePackage != "MyLevel") text += " package=" + s.texturePackage;
  if (s.bitmapDepth != 24) text += " depth=" + std::to_string(s.bitmapDepth);
  if (!s.texturesFolder.empty()) text += " textures=" + s.texturesFolder;
  if (!s.templatePath.empty()) text += " template=" + s.templatePath;
  if (o.quiet) text += " quiet";
  if (o.outDirGiven) text += " out-dir=" + o.outDir;
  if (o.jobs != 0) text += " jobs=" + std::to_string(o.jobs);
  if (o.recursive) text += " recursive";
  if (!o.preview.empty()) text += " preview=" + o.preview;
  if (o.previewWidth != 800 || o.previewHeight != 600)
    text += " size=" + std::to_string(o.previewWidth) + "x" + std::to_string(o.previewHeight);
  if (o.resultLine) text += " result-line";
  return text;
}

TEST(OptionsTest, EachOptionInEachSpelling) {
  const struct {
    Args args;
    std::string expected;
  } cases[] = {
      {{"in.3dmf"}, "[in.3dmf] scale=20.0"},
      {{"in.3dmf", "out.t3d", "--one-brush", "--no-pictures", "-q"},
       "[in.3dmf][out.t3d] scale=20.0 one-brush no-pictures quiet"},
      // A value is taken as it stands: empty, or starting with "-".
      {{"--scale", "-2", "a"}, "[a] scale=-2"},
      {{"--scale=", "a"}, "[a] scale="},
      {{"a", "--reader", "3dmf", "--reader=keywords"}, "[a] scale=20.0 keywords"},
      {{"a", "--uv"}, "[a] scale=20.0 3dmf uv"},
      {{"a", "--pow2", "--reader", "3dmf"}, "[a] scale=20.0 3dmf pow2"},
      {{"a", "--bitmap-depth", "24", "--textures=t", "--template", "m.txt"},
       "[a] scale=20.0 textures=t template=m.txt"},
      {{"a", "b", "--out-dir", "o", "--jobs=3", "-r"},
       "[a][b] scale=20.0 out-dir=o jobs=3 recursive"},
      {{"a", "--preview", "p.png", "--preview-size", "64X48"},
       "[a] scale=20.0 preview=p.png size=64x48"},
      // After "--" every argument is a path, "-" included.
      {{"--", "--one-brush", "-"}, "[--one-brush][-] scale=20.0"},
      {{"a", "--result-line"}, "[a] scale=20.0 result-line"},
      {{"a", "--editor-frame", "--fit", "512"}, "[a] scale=20.0 engine=1 fit=512.000000"},
      {{"a", "--fit=0.5"}, "[a] scale=20.0 fit=0.500000"},
      {{"a", "--engine", "ue2", "--solidity=semisolid", "--texture-package", "Props.Crates"},
       "[a] scale=20.0 engine=2 solidity=1 package=Props.Crates"},
      {{"a", "--engine=ue1", "--editor-frame"}, "[a] scale=20.0 engine=1"},
  };
  for (const auto& c : cases) {
    const auto command = ParseArguments(c.args);
    EXPECT_EQ(command.action, Action::Convert);
    EXPECT_EQ(Summary(command.options), c.expected) << c.args.front();
  }
}

TEST(OptionsTest, RefusalsNameWhatIsWrong) {
  const struct {
    Args args;
    std::string message;
  } cases[] = {
      {{}, "no INPUT given"},
      {{"a", "--scale"}, "--scale needs a value"},
      {{"a", "--reader", "vrml"}, "--reader takes keywords or 3dmf, not \"vrml\""},
      {{"a", "--bitmap-depth", "16"}, "--bitmap-depth takes 8 or 24, not \"16\""},
      {{"a", "--jobs", "0"}, "--jobs takes a whole number from 1 to 256, not \"0\""},
      {{"a", "--jobs", "2x"}, "--jobs takes a whole number from 1 to 256, not \"2x\""},
      {{"a", "--out-dir="}, "--out-dir is empty"},
      {{"a", "--preview="}, "--preview is empty"},
      {{"a", "--preview-size", "0x5"},
       "--preview-size takes WIDTHxHEIGHT, each from 1 to 16384 pixels (like 800x600), not "
       "\"0x5\""},
      {{"a", "--preview-size", "640"},
       "--preview-size takes WIDTHxHEIGHT, each from 1 to 16384 pixels (like 800x600), not "
       "\"640\""},
      {{"a", "--fast"}, "unknown option --fast"},
      {{"a", "--fit", "0"}, "--fit takes a size above 0 in units, like 512, not \"0\""},
      {{"a", "--fit", "12m"}, "--fit takes a size above 0 in units, like 512, not \"12m\""},
      {{"a", "--scale", "2", "--fit", "5"},
       "--fit and --scale both set the size; give one of them"},
      {{"a", "--uv", "--reader", "keywords"}, "--uv needs --reader 3dmf"},
      {{"a", "--pow2", "--reader=keywords"}, "--pow2 needs --reader 3dmf"},
      {{"a", "--uv", "--no-pictures"},
       "--uv names the texture bitmaps, which --no-pictures leaves out"},
      {{"a", "--engine", "ue5"}, "--engine takes none, ue1, ue2, ue3 or ue4, not \"ue5\""},
      {{"a", "--engine", "ue3", "--texture-format", "tga"},
       "--texture-format takes bmp or png, not \"tga\""},
      {{"a", "--texture-format", "png"},
       "--texture-format chooses how an --engine saves its textures"},
      {{"a", "--engine", "ue1", "--bitmap-depth", "24"},
       "--engine ue1 saves 8-bit bitmaps, the only ones its editor imports; leave out "
       "--bitmap-depth 24"},
      {{"a", "--solidity", "soft"},
       "--solidity takes solid, semisolid or nonsolid, not \"soft\""},
      {{"a", "--editor-frame", "--engine", "ue3"}, "--editor-frame is --engine ue1; give one of them"},
      {{"a", "--engine", "ue4", "--template", "m.txt"},
       "--template is read for --engine ue1 and ue2 only: ue3 and ue4 documents read no map "
       "template"},
      {{"a", "--engine", "ue1", "--texture-package", "P"},
       "--texture-package names textures for --engine ue2, ue3 or ue4"},
      {{"a", "--engine", "ue2", "--texture-package", "P..Q"},
       "--texture-package takes a package name of letters, digits and _ (parts joined by dots, "
       "like MyLevel.Walls), not \"P..Q\""},
  };
  for (const auto& c : cases) {
    try {
      ParseArguments(c.args);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(OptionsTest, HelpAndVersionWinOverWhatFollows) {
  EXPECT_EQ(ParseArguments({"--help", "--fast"}).action, Action::Help);
  EXPECT_EQ(ParseArguments({"a", "-h"}).action, Action::Help);
  EXPECT_EQ(ParseArguments({"--version", "--reader", "x"}).action, Action::Version);
  // What stands before them is still checked.
  EXPECT_THROW(ParseArguments({"--fast", "--help"}), UsageError);
}

}  // namespace
