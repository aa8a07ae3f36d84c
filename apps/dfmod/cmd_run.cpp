// dfmod run INSTALLER [--game-folder V=DIR]... [--critical continue|abort] [--password PW]
// [--restore-dir DIR] [--no-restore-point]:
// runs an installer's start-up and install without a window.
#include <filesystem>

#include "dfmod/cli.h"
#include "common/headless_run.h"
#include "platform/host.h"

namespace dfm::cli {

int Run(const Args& args, Io& io) {
  RunOptions options;
  std::vector<std::string> operands;
  if (std::string problem = ParseRunOptions(args, options, operands); !problem.empty())
    return UsageError(io, "run", problem);
  if (operands.size() != 1) return UsageError(io, "run", "give exactly one INSTALLER");
  const std::string& installer = operands[0];
  if (std::string problem = InputFileProblem(installer); !problem.empty())
    return InputError(io, "run", installer, problem);
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(installer, ec);
  return RunInstallerUnattended(ec ? installer : absolute.string(), options, io);
}

}  // namespace dfm::cli
