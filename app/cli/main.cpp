// kelvane-convert: the conversion run from the command line. One file is
// converted in this process; many files each in a child process of this
// same program (Batch.h).

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/Batch.h"
#include "app/cli/ConvertOne.h"
#include "app/cli/Options.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  using namespace Kelvane::Cli;
  Kelvane::Platform::PrepareProcess();
  // The arguments as UTF-8 on every system.
  std::vector<std::string> arguments = Kelvane::Platform::Arguments(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  try {
    const Command command = ParseArguments(arguments);
    if (command.action == Action::Help) {
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    }
    if (command.action == Action::Version) {
      std::printf("kelvane-convert %s\n", kVersion);
      return 0;
    }
    const Options& options = command.options;
    // A batch's child takes its parent's options, which told their warnings.
    if (!options.resultLine) {
      for (const std::string& warning : options.warnings)
        std::fprintf(stderr, "kelvane-convert: warning: %s\n", warning.c_str());
    }
    if (IsBatch(options)) return ConvertMany(options);
    if (options.paths.size() > 2) throw UsageError("too many arguments: " + options.paths[2]);
    return ConvertOne(options);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kelvane-convert: %s; see --help\n", e.what());
    return 2;
  }
}
