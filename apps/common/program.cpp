#include "common/program.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "shell/uninstall_keys.h"

namespace dfm::cli {
namespace {

// `text` in lines of at most 80 characters, each indented by two blanks.
std::string Wrapped(std::string_view text) {
  std::string out, line = " ";
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    if (line.size() + 1 + end > 80 && line.size() > 1) {
      out += line + "\n";
      line = " ";
    }
    line += " ";
    line += text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return out + line + "\n";
}

// The version behind the mark that ProgramVersionIn finds in the program's file.
constexpr char kMarkedVersion[] = "DFMod-version=" DFM_VERSION;
static_assert(std::string_view(kMarkedVersion).substr(0, sizeof kVersionMark - 1) == kVersionMark);

}  // namespace

const char* Version() {
  return kMarkedVersion + sizeof kVersionMark - 1;
}

void PrintHelp(std::ostream& os, const CommandHelp& h, std::string_view program) {
  const bool dfmod = program == "dfmod";
  os << program << (dfmod ? " " : "") << (dfmod ? h.name : "") << ": " << h.purpose << "\n\n";
  std::string_view usage = h.usage;
  for (const char* lead = "usage: "; !usage.empty(); lead = "       ") {
    const std::size_t end = usage.find('\n');
    os << lead << usage.substr(0, end) << "\n";
    usage = end == std::string_view::npos ? std::string_view() : usage.substr(end + 1);
  }
  os << "\noptions:\n"
     << h.options << "  -h, --help            this help\n"
     << (dfmod ? "" : "  --version             the program's version\n") << "\nexit codes:\n"
     << Wrapped(h.exits) << "\nexample:\n  " << h.example << "\n\nmore: docs/cli.md\n";
}

}  // namespace dfm::cli
