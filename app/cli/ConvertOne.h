#pragma once

#include <string>

#include "app/cli/Options.h"

namespace Kelvane::Cli {

// A child's last stdout line under the hidden option --result-line:
// "<tag> converted|failed POLYGONS BITMAPS keywords|3dmf [ERROR TEXT]" (the
// reader that read it, or would have). A line of its own is sturdier than
// reading the counts back from the written document.
constexpr std::string_view kResultTag = "kelvane-convert-result";

// INPUT without its extension, followed by ".t3d".
std::string DefaultOutput(const std::string& input);

// Where an output's name came from, for what a refusal advises.
enum class OutputNamed { kGiven, kByDefault, kByBatch };

// The checks on an output and the preview picture that are the same for
// one conversion and for each of a batch; all before anything is written.
// Raises UsageError.
void CheckOutputs(const std::string& input, const std::string& output, const Options& options,
                  OutputNamed named);

// Makes the --textures folder when it is missing (with the pictures on), as
// --out-dir is made. Raises UsageError when it is no folder or cannot be made.
void MakeTexturesFolder(const Options& options);

// One conversion in this process: INPUT [OUTPUT]. Prints its progress,
// warnings, result and error; returns the exit status.
int ConvertOne(const Options& options);

}  // namespace Kelvane::Cli
