#include <iostream>
#include <memory_resource>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "common/host_registry.h"
#include "dfmod/cli.h"
#include "platform/host.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Lines end in "\n" on every host, so scripts read the same output.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::pmr::set_default_resource(dfm::HostMemoryResource());
  dfm::cli::Args args(argv + 1, argv + argc);
  dfm::cli::Io io{std::cout, std::cerr, dfm::cli::HostRegistry, dfm::cli::HostUninstallList};
  int rc = dfm::cli::Main(args, io);
  std::cout.flush();
  return rc;
}
