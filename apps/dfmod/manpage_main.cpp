// dfmod-manpage FILE: writes the manual page dfmod.1 into FILE. The build runs it; the
// packages ship what it writes.
#include <fstream>
#include <iostream>

#include "dfmod/cli.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: dfmod-manpage FILE\n";
    return dfm::cli::kExitUsage;
  }
  std::ofstream out(argv[1], std::ios::binary);
  dfm::cli::PrintManPage(out);
  out.close();
  if (!out) std::cerr << "dfmod-manpage: " << argv[1] << ": cannot be written\n";
  return out ? dfm::cli::kExitOk : dfm::cli::kExitFindings;
}
