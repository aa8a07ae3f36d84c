// A build without a window toolkit: the installer always runs without a window.
#include "installer/window_run.h"

namespace dfm::installer {

extern const bool kBuiltWithWindow = false;

std::optional<int> RunInWindow(const std::string&, const cli::RunOptions&,
                               const cli::RegistryFactory&) {
  return std::nullopt;
}

std::optional<int> RunInstalledModsWindow(const std::string&, const std::string&) {
  return std::nullopt;
}

}  // namespace dfm::installer
