#include "dfmod/cli.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "common/headless_run.h"
#include "platform/host.h"

namespace dfm::cli {
namespace {

// One row per subcommand and per operation of one: adding a subcommand is a row here
// (its function is declared in cli.h). Rows without a function are operations their
// subcommand dispatches itself; their help is found by "subcommand operation".
struct Command {
  int (*run)(const Args&, Io&);
  CommandHelp help;
};

const Command kCommands[] = {
    {Lint,
     {"lint", "reports the lines of a Control.ini that the installer would refuse or ignore",
      "dfmod lint CONTROL.INI [--tokens]",
      "  --tokens              print the words of every line as the installer splits them\n",
      "0 nothing found; 1 findings printed; 2 bad usage or unreadable file",
      "dfmod lint DryCreek/Control.ini"}},
    {Pff,
     {"pff", "lists, adds to and extracts from a game's PFF archive",
      "dfmod pff list ARCHIVE [--json]\n"
      "dfmod pff add ARCHIVE FILE...\n"
      "dfmod pff extract ARCHIVE -o DIR [NAME...]",
      "", "as each operation says (dfmod pff list --help, ...)", "dfmod pff list Dflw.pff"}},
    {nullptr,
     {"pff list", "prints the header and every directory record of a PFF archive",
      "dfmod pff list ARCHIVE [--json]",
      "  --json                one line of JSON instead of the table\n",
      "0 listed; 2 bad usage, or the archive is missing or unreadable",
      "dfmod pff list Dflw.pff --json"}},
    {nullptr,
     {"pff add", "adds files to a PFF archive exactly as the install script's Pack lines do",
      "dfmod pff add ARCHIVE FILE...", "",
      "0 every file added; 1 an add failed (the others are still done); 2 bad usage, or the "
      "archive or a FILE is missing or unreadable (nothing is added)",
      "dfmod pff add Dflw.pff dc_tent1.3di dc_tent1.pcx"}},
    {nullptr,
     {"pff extract", "writes the live entries of a PFF archive, or the NAMEd ones, into DIR",
      "dfmod pff extract ARCHIVE -o DIR [NAME...]",
      "  -o DIR                the folder to write into (created when missing)\n",
      "0 everything extracted; 1 an entry could not be written or a NAME matched nothing; 2 bad "
      "usage, or the archive is missing or unreadable",
      "dfmod pff extract Dflw.pff -o out dc_tent1.pcx"}},
    {Image,
     {"image", "runs the installer's image conversions on files of this machine",
      "dfmod image jpg2tga IN.jpg OUT.tga\n"
      "dfmod image detailmap IN.tga OUT.pcx",
      "", "as each operation says (dfmod image jpg2tga --help, ...)",
      "dfmod image jpg2tga drycreek_c.jpg drycreek_c.tga"}},
    {nullptr,
     {"image jpg2tga", "converts a JPEG into the installer's 24-bit TGA",
      "dfmod image jpg2tga IN.jpg OUT.tga", "",
      "0 written; 1 the conversion failed; 2 bad usage or IN unusable",
      "dfmod image jpg2tga drycreek_c.jpg drycreek_c.tga"}},
    {nullptr,
     {"image detailmap", "derives the effect detail map (PCX) of a TGA",
      "dfmod image detailmap IN.tga OUT.pcx", "",
      "0 written; 1 the conversion failed; 2 bad usage or IN unusable",
      "dfmod image detailmap drycreek_c.tga drycreek_m.pcx"}},
    {Build,
     {"build", "writes an installer from a mod folder or a Main.zip",
      "dfmod build (--mod DIR | --zip MAIN.ZIP) [--stub FILE|windows] [--libs-from INSTALLER] "
      "[--allow-no-control] -o OUT",
      "  --mod DIR             every file below DIR, stored flat in Main.zip\n"
      "  --zip MAIN.ZIP        this archive as Main.zip, byte for byte\n"
      "  --stub FILE           the program in front (default: DFModInstaller beside dfmod,\n"
      "                        else in ../lib/dfmod/; dfmod --version names it)\n"
      "  --stub windows        the Windows installer program, DFModInstaller.exe, from there\n"
      "  --libs-from INSTALLER copy the two library slots from an installer (default: zeros)\n"
      "  --allow-no-control    build even without a Control.ini (the installer cannot start)\n"
      "  -o OUT                the installer to write\n",
      "0 written; 1 OUT could not be written; 2 bad usage or unusable input",
      "dfmod build --mod DryCreek -o DryCreekSetup"}},
    {Inspect,
     {"inspect", "shows what an installer carries, how its start-up reads it, and lint findings",
      "dfmod inspect INSTALLER", "",
      "0 clean; 1 Main.zip unreadable, start-up complained or lint found something; 2 bad usage "
      "or no payload",
      "dfmod inspect DryCreekSetup"}},
    {Run,
     {"run", "installs a mod from its installer without a window",
      "dfmod run INSTALLER [--game-folder V=DIR]... [--critical continue|abort] [--password PW] "
      "[--restore-dir DIR] [--no-restore-point]",
      kRunOptionsHelp, kRunExitsHelp,
      "dfmod run DryCreekSetup --game-folder \"3=/games/Land Warrior\""}},
    {Plan,
     {"plan", "rehearses an install in memory and lists what it would change",
      "dfmod plan INSTALLER [--game-folder V=DIR]... [--critical continue|abort] [--password PW] "
      "[--restore-dir DIR] [--json]",
      "  --game-folder V=DIR   the folder of game V, as dfmod run takes it\n"
      "  --critical ANSWER     the critical-file question's answer: continue (default) or abort\n"
      "  --password PW         the password of encrypted entries\n"
      "  --restore-dir DIR     the restore points whose installs it covers are named\n"
      "                        (default: as dfmod run)\n"
      "  --json                one line of JSON instead of the list\n",
      "0 no errors; 1 the run would count errors; 2 bad usage or unusable installer",
      "dfmod plan DryCreekSetup --game-folder \"3=/games/Land Warrior\""}},
    {Restore,
     {"restore", "lists the restore points of earlier installs, or undoes an install",
      "dfmod restore --list [GAME-FOLDER] [--json] [--restore-dir DIR]\n"
      "dfmod restore [ID] [--force] [--restore-dir DIR]\n"
      "dfmod restore --cascade ID [--force] [--restore-dir DIR]\n"
      "dfmod restore --salvage ID [--restore-dir DIR]",
      "  --list                the installs, newest first, and the later ones over each\n"
      "  --json                with --list: one line of JSON instead of the list\n"
      "  --force               also put back files changed since the install\n"
      "  --cascade             first every later install over ID, newest first\n"
      "  --salvage             from a damaged journal, only the files it wholly describes\n"
      "  --restore-dir DIR     the folder of restore points (default: DFMOD_RESTORE_DIR, else\n"
      "                        $XDG_DATA_HOME/dfmod/restore)\n",
      "0 undone; 1 files left alone, a step failed, a damaged journal, or nothing to undo; 2 bad "
      "usage or refused (undone already, or another install or undo under way)",
      "dfmod restore --list \"/games/Land Warrior\""}},
    {Detect,
     {"detect", "shows where the installer finds each game, and the folders it passed over",
      "dfmod detect [--json]", "  --json                one line of JSON instead of the text\n",
      "0 shown; 2 bad usage", "dfmod detect"}},
};

const Command* FindCommand(std::string_view name) {
  for (const auto& c : kCommands) {
    if (name == c.help.name) return &c;
  }
  return nullptr;
}

void PrintOverview(std::ostream& os) {
  os << "dfmod " << Version() << ": " << kPurpose
     << "\n\n"
        "usage: dfmod SUBCOMMAND ARGS...   (dfmod SUBCOMMAND --help: its usage and options)\n"
        "       dfmod --version\n\nsubcommands:\n";
  char line[64];
  for (const auto& c : kCommands) {
    std::snprintf(line, sizeof line, "  %-16s ", c.help.name);
    os << line << c.help.purpose << "\n";
  }
  os << "\n" << kGameFolderNote << kExitCodeNote << "Everything in detail: docs/cli.md\n";
}

// The version, then the stubs dfmod build would take without --stub (on Windows the host's
// stub is the Windows one).
void PrintVersion(std::ostream& os) {
  os << "dfmod " << Version() << "\n";
  auto self = MakeHostProcess()->ExecutablePath();
  auto fs = MakeHostFileSystem();
  for (StubKind kind : {StubKind::kHost, StubKind::kWindows}) {
    if (kind == StubKind::kWindows && HostPathStyle() == PathStyle::kWindows) break;
    auto stub = self ? FindStub(*fs, *self, kind) : Result<std::string>(self.failure());
    os << (kind == StubKind::kWindows ? "Windows stub: " : "stub: ")
       << (stub ? *stub : "none (dfmod build --stub FILE)") << "\n";
  }
}

// The row whose help `--help` asks for: "pff list" when such a row exists, else "pff".
const Command* HelpTarget(const Args& args) {
  if (args.size() > 1) {
    if (const Command* c = FindCommand(args[0] + " " + args[1])) return c;
  }
  return FindCommand(args[0]);
}

bool AsksForHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid UTF-8.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  std::size_t n = 0;
  unsigned cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return n;
}

}  // namespace

std::vector<CommandHelp> HelpTable() {
  std::vector<CommandHelp> rows;
  for (const auto& c : kCommands) rows.push_back(c.help);
  return rows;
}

int UsageError(Io& io, std::string_view command, std::string_view message) {
  io.err << "dfmod: " << command << ": " << message << "; see 'dfmod " << command << " --help'\n";
  return kExitUsage;
}

std::string PathMessage(const std::string& path, const std::string& reason) {
  const std::string tag = ": " + path;
  const std::size_t at = reason.find(tag);
  const std::size_t after = at + tag.size();
  if (at != std::string::npos && (after == reason.size() || reason.compare(after, 2, " (") == 0)) {
    return path + ": " + reason.substr(0, at) + reason.substr(after);
  }
  if (reason.find(path) != std::string::npos) return reason;
  return path + ": " + reason;
}

int InputError(Io& io, std::string_view command, const std::string& path,
               const std::string& reason) {
  io.err << "dfmod: " << command << ": " << PathMessage(path, reason) << "\n";
  return kExitUsage;
}

std::string InputFileProblem(const std::string& path) {
  namespace stdfs = std::filesystem;
  std::error_code ec;
  const stdfs::file_status st = stdfs::status(path, ec);
  if (!stdfs::exists(st)) {
    // Not under this spelling: the installer's own lookup (any letter case, "\") may
    // still find it, as it finds the files Control.ini names.
    if (auto fs = MakeHostFileSystem(); !path.empty() && fs->FileLength(path)) {
      auto is_dir = fs->IsDirectory(path);
      return is_dir && *is_dir ? "is a folder" : "";
    }
    return "not found";
  }
  if (stdfs::is_directory(st)) return "is a folder";
  if (!stdfs::is_regular_file(st)) return "not a regular file";
  if (!std::ifstream(stdfs::path(path), std::ios::binary)) return "cannot be read";
  return {};
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  char buf[8];
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = Utf8Length(s, i);
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

int Main(const Args& args, Io& io) {
  if (args.empty()) {
    PrintOverview(io.err);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintOverview(io.out);
    return kExitOk;
  }
  if (args[0] == "--version") {
    PrintVersion(io.out);
    return kExitOk;
  }
  const Command* command = FindCommand(args[0]);
  if (command == nullptr || command->run == nullptr) {
    io.err << "dfmod: unknown subcommand '" << args[0] << "'; see 'dfmod --help'\n";
    return kExitUsage;
  }
  if (AsksForHelp(args)) {
    PrintHelp(io.out, HelpTarget(args)->help);
    return kExitOk;
  }
  return command->run(Args(args.begin() + 1, args.end()), io);
}

}  // namespace dfm::cli
