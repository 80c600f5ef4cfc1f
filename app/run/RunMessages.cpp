#include "app/run/RunMessages.h"

#include <charconv>
#include <cmath>
#include <map>

#include "text/Numbers.h"

namespace Kelvane {

namespace {

std::string Counted(std::int64_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// What the whole-format reader left out, one line each.
void AddLeftOut(const Metafile::SceneSummary& summary, std::vector<std::string>& notes) {
  const auto list = [](const std::map<std::string, std::size_t>& kinds) {
    std::string text;
    for (const auto& [kind, count] : kinds) {
      if (!text.empty()) text += ", ";
      text += std::to_string(count) + " " + kind;
    }
    return text;
  };
  if (!summary.noSurface.empty()) {
    notes.push_back("skipped shapes without surface (curves, lines, points): " +
                    list(summary.noSurface));
  }
  if (summary.untrimmedPatches > 0) {
    notes.push_back("trim curves not applied to " + std::to_string(summary.untrimmedPatches) +
                    " NURB patch" + (summary.untrimmedPatches == 1 ? "" : "es") +
                    ": the whole patch is converted");
  }
  if (!summary.unknown.empty()) {
    notes.push_back("skipped objects of kinds this reader does not know: " + list(summary.unknown));
  }
  if (summary.zeroAreaTriangles > 0) {
    notes.push_back("left out " +
                    Counted(static_cast<std::int64_t>(summary.zeroAreaTriangles), "triangle") +
                    " of zero area from degenerate shapes");
  }
  if (!summary.noArea.empty()) {
    notes.push_back("left out shapes with no area: " + list(summary.noArea));
  }
  if (summary.strayEndGroups > 0) {
    notes.push_back("ignored " + std::to_string(summary.strayEndGroups) +
                    " EndGroup that closed no group");
  }
}

// What became of the textured polygons.
void AddMapping(const MappingSummary& mapping, std::vector<std::string>& notes) {
  if (mapping.mapped > 0) {
    notes.push_back(Counted(mapping.mapped, "polygon") + " carry the model's texture mapping");
  }
  if (mapping.withoutUV > 0) {
    notes.push_back(Counted(mapping.withoutUV, "polygon") +
                    " of textured objects have corners without UVs: texture axes from their "
                    "edges");
  }
  if (mapping.flat > 0) {
    notes.push_back(Counted(mapping.flat, "polygon") +
                    " have UVs without area: texture axes from their edges");
  }
  if (mapping.bitmapMissing > 0) {
    notes.push_back(Counted(mapping.bitmapMissing, "polygon") +
                    " name no texture: their texture's bitmap was not saved");
  }
}

// What the editor frame left out or mended so that the editor keeps every
// polygon, and why.
void AddEditorMends(std::int64_t zeroArea, const Unreal::EditorMends& mends,
                    std::vector<std::string>& notes) {
  if (zeroArea > 0) {
    std::string note = "left out " + Counted(zeroArea, "triangle") + " of zero area";
    if (mends.onALine > 0) {
      note += " (" + std::to_string(mends.onALine) +
              " of them with corners on one line at the six decimals written)";
    }
    notes.push_back(note);
  }
  if (mends.collapsed > 0) {
    notes.push_back("left out " + Counted(mends.collapsed, "triangle") +
                    " whose corners lie within 0.002 units, which the editor takes for one point");
  }
  if (mends.mergedCorners > 0) {
    notes.push_back("merged " + Counted(mends.mergedCorners, "corner") +
                    " into a neighbour within 0.002 units, which the editor takes for the same "
                    "point");
  }
}

// " (X x Y x Z units)": the sides of the box around the corners written,
// to a hundredth; nothing when none was written.
std::string SizeOf(const Unreal::Extent& extent) {
  if (!extent.any) return {};
  const auto side = [](double low, double high) {
    return ShortNumber(std::round((high - low) * 100) / 100);
  };
  return " (" + side(extent.low.X, extent.high.X) + " x " + side(extent.low.Y, extent.high.Y) +
         " x " + side(extent.low.Z, extent.high.Z) + " units)";
}

// The bitmaps a summary line names; the rest are counted.
constexpr std::size_t kNamedBitmaps = 3;

// What a failed run left of the output, as the error line ends.
std::string WhatWasLeft(const RunReport& report) {
  const std::string& output = report.settings.outputPath;
  if (!report.sideFile.empty()) {
    if (!report.earlierOutput) {
      return "; \"" + output + "\" was not written, and what this run wrote is in \"" +
             report.sideFile + "\"";
    }
    return "; \"" + output + "\" is as it was" +
           (report.earlierOutputWhole
                ? std::string()
                : " (itself without a document's end, as a failed run leaves it)") +
           ", and what this run wrote is in \"" + report.sideFile + "\"";
  }
  if (const auto polygons = report.polygonsLeftInOutput) {
    return "; \"" + output + "\" holds the pieces this run wrote before the failure (" +
           Counted(*polygons, "polygon") + "), without the document's end";
  }
  return {};
}

}  // namespace

std::string ShortNumber(double value) { return TextRoutines::PlainDecimal(value); }

RunMessages MessagesOf(const RunReport& report, const OptionWords& words) {
  RunMessages messages;
  messages.warnings = report.warnings;
  for (const RunReport::OddTexture& odd : report.notPowerOfTwo) {
    messages.warnings.push_back(
        "the texture " + odd.name + " is " + std::to_string(odd.width) + " x " +
        std::to_string(odd.height) +
        " pixels; the editor imports textures whose sides are powers of two" +
        (words.powerOfTwo.empty() ? std::string() : " (" + words.powerOfTwo + " resamples it)"));
  }
  if (report.failure) {
    const RunFailure& failure = *report.failure;
    if (failure.outOfMemory) {
      messages.error = failure.text;
    } else {
      messages.error = std::string(KindName(failure.kind)) + ": " + failure.text;
      if (!failure.place.empty()) messages.error += " (" + failure.place + ")";
    }
    messages.error += WhatWasLeft(report);
  } else {
    messages.wrote = "Wrote " + report.settings.outputPath + " (" +
                     (report.wholeFormat ? "whole-format" : "keyword") + " reader): " +
                     Counted(report.polygons, "polygon") + SizeOf(report.extent) + ", " +
                     Counted(static_cast<std::int64_t>(report.bitmaps.size()), "bitmap");
    for (std::size_t i = 0; i < report.bitmaps.size() && i < kNamedBitmaps; ++i)
      messages.wrote += (i == 0 ? ": " : ", ") + report.bitmaps[i];
    if (report.bitmaps.size() > kNamedBitmaps)
      messages.wrote += " and " + std::to_string(report.bitmaps.size() - kNamedBitmaps) + " more";
    if (report.wholeFormat) AddLeftOut(report.leftOut, messages.notes);
    AddEditorMends(report.degenerateLeftOut, report.editorMends, messages.notes);
    if (report.settings.textureMapping) AddMapping(report.mapping, messages.notes);
  }
  const auto tryIt = [](const std::string& words) {
    return words.empty() ? std::string() : "; try " + words;
  };
  if (const auto objects = report.wholeFormatWouldRead) {
    messages.hint = "the whole-format reader reads this file (" +
                    Counted(static_cast<std::int64_t>(*objects), "geometry object") + ")" +
                    tryIt(words.wholeFormat);
  } else if (const auto polygons = report.keywordsWouldWrite) {
    messages.hint = "the keyword reader reads this file (" + Counted(*polygons, "polygon") + ")" +
                    tryIt(words.keywords);
  } else if (report.completed && report.polygons == 0 && report.bitmaps.empty()) {
    messages.empty = "nothing was converted: no polygon written, no texture saved";
  }
  return messages;
}

}  // namespace Kelvane
