// The dfmod command-line tool. Every subcommand is a function over its arguments and
// two streams, so tests run it in process.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"
#include "base/result.h"
#include "common/program.h"
#include "platform/file_system.h"

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

// The installer program dfmod build puts in front of a payload: this host's, or the
// Windows one (`--stub windows`).
enum class StubKind { kHost, kWindows };

// Where dfmod looks for a stub, in order: beside the program file `self`, then in
// ../lib/dfmod/ relative to its folder (where the packages put it).
std::vector<std::string> StubPlaces(std::string_view self, StubKind kind,
                                    PathStyle style = HostPathStyle());

// The first of StubPlaces that holds a file; otherwise a failure naming every place tried.
Result<std::string> FindStub(FileSystem& fs, std::string_view self, StubKind kind);

// What `dfmod --help` says around its list of subcommands; the manual page says it too.
inline constexpr const char* kPurpose =
    "builds, inspects, lints and runs installers of Delta Force mods";
inline constexpr const char* kGameFolderNote =
    "V=DIR (run, and the installer program itself) gives the folder of game V:\n"
    "  1 Delta Force, 2 Delta Force 2, 3 Land Warrior.\n";
inline constexpr const char* kExitCodeNote =
    "exit codes: 0 done; 1 ran, with findings or failures; 2 bad usage or unusable input,\n"
    "  nothing done; 3 (run) the installer could not start.\n";

// The help of every subcommand and operation, in the order `dfmod --help` lists them.
std::vector<CommandHelp> HelpTable();

// The manual page dfmod.1 (roff), made from the same texts as --help.
void PrintManPage(std::ostream& os);

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
