#include <iostream>

#include "dfmod/cli.h"

int main(int argc, char** argv) {
  dfm::cli::Args args(argv + 1, argv + argc);
  dfm::cli::Io io{std::cout, std::cerr};
  int rc = dfm::cli::Main(args, io);
  std::cout.flush();
  return rc;
}
