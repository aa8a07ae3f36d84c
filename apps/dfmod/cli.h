// The dfmod command-line tool. Every subcommand is a function over its arguments and
// two streams, so tests run it in process.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace dfm::cli {

using Args = std::vector<std::string>;

struct Io {
  std::ostream& out;
  std::ostream& err;
};

// Exit codes shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // the work ran and found or hit failures
inline constexpr int kExitUsage = 2;     // bad usage or unusable input

// Prints "dfmod: <message>" on the error stream and returns kExitUsage.
int UsageError(Io& io, std::string_view message);

// A JSON string literal of 8-bit text: valid UTF-8 is kept, every other byte is
// written as \u00XX of its Latin-1 value.
std::string JsonString(std::string_view bytes);

// args excludes the subcommand's own name.
int Lint(const Args& args, Io& io);
int Pff(const Args& args, Io& io);
int Image(const Args& args, Io& io);
int Build(const Args& args, Io& io);
int Inspect(const Args& args, Io& io);
int Run(const Args& args, Io& io);
int Restore(const Args& args, Io& io);
int Plan(const Args& args, Io& io);

// args excludes the program name.
int Main(const Args& args, Io& io);

}  // namespace dfm::cli
