// The dfmod command-line tool. Every subcommand is a function over its arguments and
// two streams, so tests run it in process.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "common/program.h"

namespace dfm {
struct Cover;
}

namespace dfm::cli {

// Prints "dfmod: <command>: <message>; see 'dfmod <command> --help'" and returns kExitUsage.
int UsageError(Io& io, std::string_view command, std::string_view message);

// Prints "dfmod: <command>: <path>: <reason>" (the path once: see PathMessage) and returns
// kExitUsage.
int InputError(Io& io, std::string_view command, const std::string& path,
               const std::string& reason);

// "<path>: <reason>" with the path named once. A reason of the form "Label: <path> (detail)"
// becomes "<path>: Label (detail)"; a reason that names the path elsewhere is kept as it is.
std::string PathMessage(const std::string& path, const std::string& reason);

// Empty when `path` names a regular file (symbolic links followed) that can be opened for
// reading; otherwise why not: "not found", "is a folder", "not a regular file" (a FIFO, a
// device: reading it could wait for ever) or "cannot be read". Paths use this host's rules
// exactly (no letter-case lookup): they come from the command line.
std::string InputFileProblem(const std::string& path);

// A JSON string literal of 8-bit text: valid UTF-8 is kept, every other byte is
// written as \u00XX of its Latin-1 value.
std::string JsonString(std::string_view bytes);

// {"id":...,"mod":...,"files":N,"entries":N}: a later install over some items.
std::string CoverJson(const Cover& cover);

// args excludes the subcommand's own name (and, for pff and image, the operation's).
int Lint(const Args& args, Io& io);
int Pff(const Args& args, Io& io);
int Image(const Args& args, Io& io);
int Build(const Args& args, Io& io);
int Inspect(const Args& args, Io& io);
int Run(const Args& args, Io& io);
int Restore(const Args& args, Io& io);
int Plan(const Args& args, Io& io);
int Detect(const Args& args, Io& io);

// args excludes the program name. `--help` or `-h` anywhere before `--` prints the help
// of the subcommand (and operation) named in front of it.
int Main(const Args& args, Io& io);

}  // namespace dfm::cli
