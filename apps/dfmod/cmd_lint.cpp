// dfmod lint CONTROL.INI [--tokens]: reports the lines of a control file that the
// installer would refuse or ignore, or prints the words of every line.
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "script/control_file.h"
#include "script/lint.h"

namespace dfm::cli {
namespace {

struct LintOptions {
  std::string path;
  bool tokens = false;
};

// Parses the arguments; an error message when they are unusable.
std::variant<LintOptions, std::string> ParseLintArgs(const Args& args) {
  LintOptions options;
  bool have_path = false;
  bool options_done = false;
  for (const std::string& a : args) {
    if (!options_done && a == "--tokens") {
      options.tokens = true;
    } else if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      return "unknown option '" + a + "'";
    } else if (have_path) {
      return "more than one control file given";
    } else {
      options.path = a;
      have_path = true;
    }
  }
  if (!have_path) return std::string("no control file given");
  return options;
}

void PrintTokens(const std::vector<std::string>& lines, std::ostream& out) {
  for (const std::string& line : lines) {
    auto words = SplitLine(line);
    // A line too long for the tokenizer has no words: it shows as an empty array.
    out << '[';
    if (words) {
      for (std::size_t i = 0; i < words->size(); ++i) {
        if (i > 0) out << ',';
        out << JsonString((*words)[i]);
      }
    }
    out << "]\n";
  }
}

}  // namespace

int Lint(const Args& args, Io& io) {
  auto parsed = ParseLintArgs(args);
  if (auto* message = std::get_if<std::string>(&parsed)) return UsageError(io, "lint", *message);
  const LintOptions& options = std::get<LintOptions>(parsed);
  if (std::string problem = InputFileProblem(options.path); !problem.empty())
    return InputError(io, "lint", options.path, problem);

  auto fs = MakeHostFileSystem();
  auto lines = ReadControlLines(*fs, options.path);
  if (!lines) {
    return InputError(io, "lint", options.path, lines.failure().description);
  }
  if (options.tokens) {
    PrintTokens(*lines, io.out);
    return kExitOk;
  }
  auto findings = LintControlLines(*lines);
  for (const LintFinding& f : findings) {
    io.out << options.path << ':' << f.line << ": " << f.message << '\n';
  }
  return findings.empty() ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
