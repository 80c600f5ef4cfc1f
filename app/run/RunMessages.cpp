#include "app/run/RunMessages.h"

#include <charconv>
#include <cmath>
#include <map>

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

}  // namespace

std::string ShortNumber(double value) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

RunMessages MessagesOf(const RunReport& report, std::string_view askWholeFormat) {
  RunMessages messages;
  messages.warnings = report.warnings;
  if (report.failure) {
    const RunFailure& failure = *report.failure;
    if (failure.outOfMemory) {
      messages.error = failure.text;
    } else {
      messages.error = std::string(KindName(failure.kind)) + ": " + failure.text;
      if (!failure.place.empty()) messages.error += " (" + failure.place + ")";
    }
    if (!report.sideFile.empty()) {
      messages.error += "; \"" + report.settings.outputPath +
                        (report.earlierOutput ? "\" is as it was" : "\" was not written") +
                        ", and what this run wrote is in \"" + report.sideFile + "\"";
    }
  } else {
    messages.wrote = "Wrote " + report.settings.outputPath + ": " +
                     Counted(report.polygons, "polygon") + SizeOf(report.extent) + ", " +
                     Counted(static_cast<std::int64_t>(report.bitmaps.size()), "bitmap");
    for (std::size_t i = 0; i < report.bitmaps.size(); ++i)
      messages.wrote += (i == 0 ? ": " : ", ") + report.bitmaps[i];
    if (report.wholeFormat) AddLeftOut(report.leftOut, messages.notes);
    AddEditorMends(report.degenerateLeftOut, report.editorMends, messages.notes);
    if (report.settings.textureMapping) AddMapping(report.mapping, messages.notes);
  }
  if (const auto objects = report.wholeFormatWouldRead) {
    messages.hint = "the 3DMF reader reads this file (" + Counted(*objects, "geometry object") +
                    "); try " + std::string(askWholeFormat);
  } else if (report.completed && report.polygons == 0 && report.bitmaps.empty()) {
    const std::string& input = report.settings.inputPath;
    messages.empty =
        report.wholeFormat
            ? "nothing was converted from " + input + ": no polygon written, no texture saved"
            : "no 3DMF object found in " + input + "; is it a 3DMF file?";
  }
  return messages;
}

}  // namespace Kelvane
