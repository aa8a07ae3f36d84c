// dfmod.1: the overview and every subcommand's --help, set as a manual page. Nothing here is
// written a second time: the texts are those of the help table in cli.cpp.
#include <ostream>
#include <string>
#include <string_view>

#include "dfmod/cli.h"

namespace dfm::cli {
namespace {

// `text` safe for roff: backslashes and hyphens escaped, no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if ((c == '.' || c == '\'') && (out.empty() || out.back() == '\n')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

// One paragraph of a help text wrapped for the terminal: its lines joined by blanks.
std::string Joined(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else if (c != ' ' || (!out.empty() && out.back() != ' ')) {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// "  --opt VALUE   meaning\n" lines, a meaning carried on in deeper indented lines, as
// tagged paragraphs.
void PrintOptions(std::ostream& os, std::string_view options) {
  std::string tag, meaning;
  auto flush = [&] {
    if (!tag.empty()) os << ".TP\n.B " << Roff(tag) << "\n" << Roff(Joined(meaning)) << "\n";
  };
  while (!options.empty()) {
    std::string_view line = options.substr(0, options.find('\n'));
    options.remove_prefix(std::min(options.size(), line.size() + 1));
    if (line.size() > 2 && line[2] == '-') {
      flush();
      const std::size_t gap = line.find("  ", 2);
      tag = line.substr(2, gap - 2);
      meaning = gap == std::string_view::npos ? "" : line.substr(gap);
    } else {
      meaning += " ";
      meaning += line;
    }
  }
  flush();
}

void PrintCommand(std::ostream& os, const CommandHelp& h) {
  os << ".SS \"dfmod " << Roff(h.name) << "\"\n" << Roff(h.purpose) << ".\n.PP\n.nf\n";
  os << Roff(h.usage) << "\n.fi\n";
  PrintOptions(os, h.options);
  os << ".PP\nExit codes: " << Roff(h.exits) << ".\n.PP\nExample:\n.RS\n.nf\n"
     << Roff(h.example) << "\n.fi\n.RE\n";
}

}  // namespace

void PrintManPage(std::ostream& os) {
  os << ".TH DFMOD 1 \"\" \"dfmod " << Version() << "\" \"User Commands\"\n"
     << ".SH NAME\ndfmod \\- " << Roff(kPurpose) << "\n"
     << ".SH SYNOPSIS\n.B dfmod\n.I SUBCOMMAND ARGS...\n.br\n.B dfmod\n.I SUBCOMMAND\n"
        ".B \\-\\-help\n.br\n.B dfmod \\-\\-version\n"
     << ".SH DESCRIPTION\n.B dfmod\n"
     << Roff(kPurpose)
     << ". Each subcommand prints its usage, options, exit codes and an example with\n"
        ".BR \\-\\-help ;\n.B dfmod \\-\\-version\n"
        "prints the version and the installer programs\n.B dfmod build\nwould take.\n"
     << ".PP\n"
     << Roff(Joined(kGameFolderNote)) << "\n.SH SUBCOMMANDS\n";
  for (const CommandHelp& h : HelpTable()) PrintCommand(os, h);
  os << ".SH \"EXIT STATUS\"\n"
     << Roff(Joined(kExitCodeNote).substr(12)) << "\n"
     << ".SH \"SEE ALSO\"\nThe documents in /usr/share/doc/dfmod (cli.md: every subcommand in "
        "detail;\ncontrol\\-file.md and commands.md: the install script).\n";
}

}  // namespace dfm::cli
