// What both programs share on their command line: the arguments, the two streams and the
// host's registry a run reads, the exit codes, the version and the layout of `--help`.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/uninstall_list.h"

namespace dfm::cli {

using Args = std::vector<std::string>;

// Makes the registry the games registered in; each program's main picks the host's.
using RegistryFactory = std::function<std::unique_ptr<Registry>()>;

// Makes Windows' uninstall list; empty, or a null list, where the host has none.
using UninstallListFactory = std::function<std::unique_ptr<UninstallList>()>;

struct Io {
  std::ostream& out;
  std::ostream& err;
  RegistryFactory make_registry;
  UninstallListFactory make_uninstall_list = {};
};

// Exit codes shared by all subcommands (docs/cli.md, "Exit codes").
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // the work ran and found or hit failures
inline constexpr int kExitUsage = 2;     // bad usage or unusable input: nothing was done

// The project's version, as CMake knows it.
const char* Version();

// What `--help` prints for one subcommand or operation ("build", "pff list") or for the
// installer program. Every text is plain ASCII; multi-line texts end each line with \n.
struct CommandHelp {
  const char* name;
  const char* purpose;  // one line, shown in the overview too
  const char* usage;    // the synopsis lines after "usage: ", one per form
  const char* options;  // "  --opt VALUE   meaning\n" lines; "" for none
  const char* exits;    // the exit codes that apply
  const char* example;
};

// Prints `help` for `program` ("dfmod" or the installer program's name).
void PrintHelp(std::ostream& os, const CommandHelp& help, std::string_view program = "dfmod");

}  // namespace dfm::cli
