// The installer program. Until its window exists it runs headless: start-up and the
// install on its own program file, as `dfmod run` does.
#include <iostream>

#include "dfmod/headless_run.h"

int main(int argc, char** argv) {
  dfm::cli::Args args(argv + 1, argv + argc);
  dfm::cli::Io io{std::cout, std::cerr};
  const int rc = dfm::cli::InstallerMain(args, io);
  std::cout.flush();
  return rc;
}
