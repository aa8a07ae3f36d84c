// The installer program: its window where a display is present, otherwise the install
// without a window, as `dfmod run` does it.
#include <iostream>

#include "dfmod/headless_run.h"
#include "installer/window_run.h"

int main(int argc, char** argv) {
  dfm::cli::Args args(argv + 1, argv + argc);
  dfm::cli::Io io{std::cout, std::cerr};
  const int rc = dfm::cli::InstallerMain(args, io, dfm::installer::RunInWindow);
  std::cout.flush();
  return rc;
}
