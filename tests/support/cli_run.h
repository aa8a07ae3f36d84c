// Runs a dfmod subcommand in process and keeps its exit code and what it printed.
#pragma once

#include <sstream>
#include <string>

#include "common/host_registry.h"
#include "dfmod/cli.h"

namespace dfm::cli {

struct CliOutcome {
  int code;
  std::string out, err;
};

// Runs one subcommand (Pff, Lint, ...) in process and keeps what it printed.
inline CliOutcome RunCli(int (*command)(const Args&, Io&), const Args& args) {
  std::ostringstream out, err;
  Io io{out, err, HostRegistry};
  const int code = command(args, io);
  return {code, out.str(), err.str()};
}

// `text` with every `key` replaced by `value`.
inline std::string Fill(std::string text, const std::string& key, const std::string& value) {
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
  return text;
}

}  // namespace dfm::cli
