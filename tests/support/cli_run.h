// Runs one dfmod subcommand in process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>

#include "dfmod/cli.h"

namespace dfm::testing {

struct CliOutcome {
  int code;
  std::string out;
  std::string err;
};

// `command` is one of the subcommand functions of dfmod/cli.h (cli::Pff, cli::Lint, ...).
inline CliOutcome RunCli(int (*command)(const cli::Args&, cli::Io&), const cli::Args& args) {
  std::ostringstream out, err;
  cli::Io io{out, err};
  const int code = command(args, io);
  return {code, out.str(), err.str()};
}

}  // namespace dfm::testing
