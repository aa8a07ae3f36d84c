// The installer program: its window where a display is present, otherwise the install
// without a window, as `dfmod run` does it.
#include <iostream>
#include <memory_resource>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "common/headless_run.h"
#include "common/host_registry.h"
#include "installer/window_run.h"
#include "platform/host.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Lines end in "\n" on every host, so scripts read the same output.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::pmr::set_default_resource(dfm::HostMemoryResource());
  dfm::cli::Args args(argv + 1, argv + argc);
  // The host's registry and toolkit are chosen here, for the whole program.
  dfm::cli::Io io{std::cout, std::cerr, dfm::cli::HostRegistry, dfm::cli::HostUninstallList};
  dfm::cli::WindowRun window;
  if (dfm::installer::kBuiltWithWindow) {
    window = [&io](const std::string& program_file, const dfm::cli::RunOptions& options) {
      return dfm::installer::RunInWindow(program_file, options, io.make_registry);
    };
  }
  dfm::cli::ModsWindowRun mods_window;
  if (dfm::installer::kBuiltWithWindow) mods_window = dfm::installer::RunInstalledModsWindow;
  const int rc = dfm::cli::InstallerMain(args, io, window, mods_window);
  std::cout.flush();
  return rc;
}
