// The installer program: its window where a display is present, otherwise the install
// without a window, as `dfmod run` does it.
#include <iostream>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "dfmod/headless_run.h"
#include "installer/window_run.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Lines end in "\n" on every host, so scripts read the same output.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  dfm::cli::Args args(argv + 1, argv + argc);
  dfm::cli::Io io{std::cout, std::cerr};
  const dfm::cli::WindowRun window =
      dfm::installer::kBuiltWithWindow ? dfm::installer::RunInWindow : dfm::cli::WindowRun();
  const int rc = dfm::cli::InstallerMain(args, io, window);
  std::cout.flush();
  return rc;
}
