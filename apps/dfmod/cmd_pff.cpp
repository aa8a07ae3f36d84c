// dfmod pff: list, add to and extract from PFF archives.
//   pff list ARCHIVE [--json]
//   pff add ARCHIVE FILE...            (each file as the installer's pack command adds it)
//   pff extract ARCHIVE -o DIR [NAME...]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>

#include "base/ascii.h"
#include "common/cli_dialogs.h"
#include "dfmod/cli.h"
#include "pff/pff_archive.h"
#include "pff/pff_install.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "restore/restore_points.h"

namespace dfm::cli {
namespace {

// Printable ASCII as it is, every other byte as \xNN.
std::string Printable(std::string_view bytes) {
  std::string out;
  char buf[8];
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += ch;
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

void PrintJson(const PffDirectory& dir, std::ostream& out) {
  const PffHeader& h = dir.header();
  out << "{\"header_size\":" << h.header_size
      << ",\"signature\":" << JsonString(std::string_view(h.signature.data(), 4))
      << ",\"file_count\":" << h.file_count << ",\"record_size\":" << h.record_size
      << ",\"directory_offset\":" << h.directory_offset << ",\"entries\":[";
  for (std::size_t i = 0; i < dir.entries().size(); ++i) {
    const PffEntry& e = dir.entries()[i];
    out << (i ? "," : "") << "{\"index\":" << i << ",\"dead\":" << e.dead_flag
        << ",\"offset\":" << e.data_offset << ",\"size\":" << e.data_size
        << ",\"timestamp\":" << e.timestamp << ",\"name\":" << JsonString(PffNameText(e.name))
        << "}";
  }
  out << "]}\n";
}

void PrintTable(const PffDirectory& dir, std::ostream& out) {
  const PffHeader& h = dir.header();
  out << "header_size       " << h.header_size << "\n"
      << "signature         " << Printable(std::string_view(h.signature.data(), 4)) << "\n"
      << "file_count        " << h.file_count << "\n"
      << "record_size       " << h.record_size << " (records of " << dir.stride() << " bytes)\n"
      << "directory_offset  " << h.directory_offset << "\n";
  char line[128];
  std::snprintf(line, sizeof line, "%7s %4s %11s %11s %11s  %s\n", "index", "dead", "offset",
                "size", "timestamp", "name");
  out << line;
  for (std::size_t i = 0; i < dir.entries().size(); ++i) {
    const PffEntry& e = dir.entries()[i];
    std::snprintf(line, sizeof line, "%7zu %4d %11d %11d %11d  ", i, e.dead_flag, e.data_offset,
                  e.data_size, e.timestamp);
    out << line << Printable(PffNameText(e.name)) << "\n";
  }
}

bool IsOption(const std::string& a) {
  return a.size() > 1 && a[0] == '-';
}

// The archive's directory, or nullopt after reporting why it cannot be used.
std::optional<PffDirectory> ReadArchive(FileSystem& fs, const std::string& command,
                                        const std::string& archive, Io& io) {
  if (std::string problem = InputFileProblem(archive); !problem.empty()) {
    InputError(io, command, archive, problem);
    return std::nullopt;
  }
  auto dir = ReadPffArchive(fs, archive);
  if (!dir) {
    // A file that is not an archive is named so first, then why (its path said once).
    const Failure& f = dir.failure();
    std::string why = PathMessage(archive, f.description);
    if (why.rfind(archive + ": ", 0) == 0) why.erase(0, archive.size() + 2);
    if (f.code == err::kInvalidFileFormat || f.code == err::kInputPastEndOfFile)
      why = "not a PFF archive (" + why + ")";
    InputError(io, command, archive, why);
    return std::nullopt;
  }
  return std::move(*dir);
}

int List(const Args& args, Io& io) {
  std::optional<std::string> archive;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (IsOption(a)) {
      return UsageError(io, "pff list", "unknown option '" + a + "'");
    } else if (archive) {
      return UsageError(io, "pff list", "one archive at a time");
    } else {
      archive = a;
    }
  }
  if (!archive) return UsageError(io, "pff list", "expected ARCHIVE");
  auto fs = MakeHostFileSystem();
  auto dir = ReadArchive(*fs, "pff list", *archive, io);
  if (!dir) return kExitUsage;
  json ? PrintJson(*dir, io.out) : PrintTable(*dir, io.out);
  return kExitOk;
}

// A file named on the command line, as the installer's path rules read it: Windows takes
// "/" as a separator too, which those rules (made for Control.ini) do not, so a file given
// as "mod/one.pcx" would enter the archive as "mod/one.pcx".
std::string CommandLinePath(std::string path) {
  if (HostPathStyle() == PathStyle::kWindows) std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Every input is checked before the archive is touched: a missing or unusable FILE
// leaves the archive as it was.
int Add(const Args& args, Io& io) {
  for (const auto& a : args) {
    if (IsOption(a)) return UsageError(io, "pff add", "unknown option '" + a + "'");
  }
  if (args.size() < 2) return UsageError(io, "pff add", "expected ARCHIVE FILE...");
  bool unusable = false;
  for (const auto& path : args) {
    if (std::string problem = InputFileProblem(path); !problem.empty()) {
      InputError(io, "pff add", path, problem);
      unusable = true;
    }
  }
  if (unusable) return kExitUsage;
  auto fs = MakeHostFileSystem();
  CliDialogs dialogs(io.err, "dfmod");
  NullEventPump pump;
  // An install that a crash interrupted in the archive's folder is rolled back first.
  // The restore points' lock is held to the end: an install under way may be packing
  // into the same archive, and would write its directory over this entry.
  const std::string store = HostRestoreFolder();
  std::unique_ptr<FileLock> held;
  if (auto is_folder = fs->IsDirectory(store); !store.empty() && is_folder && *is_folder) {
    RestoreStore restore(*fs, store);
    std::error_code ec;
    const auto folder = std::filesystem::absolute(args[0], ec).parent_path().string();
    auto lock = restore.Lock();
    if (!lock && lock.failure().code == err::kFileAlreadyOpen) {
      io.err << "dfmod: pff add: another install or undo is under way with the restore points in "
             << store << "\n";
      return kExitUsage;
    }
    if (lock) held = std::move(*lock);
    if (held) {
      for (const UndoReport& r : restore.RecoverInterrupted({folder}, MakeHostClock()->Now()))
        io.err << "dfmod: " << RolledBackText(r, "\n") << "\n";
    }
  }
  PffArchiveTable table(*fs, dialogs, pump);
  bool failed = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const int handle = table.OpenFile(args[0]);
    pump.ProcessPendingEvents();
    if (!table.AddFile(handle, CommandLinePath(args[i]))) failed = true;
  }
  return failed ? kExitFindings : kExitOk;
}

// A name that can be used as a file name in the output folder as it is.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

struct ExtractArgs {
  std::string archive;
  std::string out_dir;
  std::vector<std::string> names;
};

std::optional<ExtractArgs> ParseExtract(const Args& args, Io& io) {
  ExtractArgs x;
  bool have_archive = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      x.out_dir = args[++i];
    } else if (IsOption(args[i])) {
      UsageError(io, "pff extract",
                 args[i] == "-o" ? "-o needs a value" : "unknown option '" + args[i] + "'");
      return std::nullopt;
    } else if (!have_archive) {
      x.archive = args[i];
      have_archive = true;
    } else {
      x.names.push_back(args[i]);
    }
  }
  if (!have_archive || x.out_dir.empty()) {
    UsageError(io, "pff extract", "expected ARCHIVE -o DIR [NAME...]");
    return std::nullopt;
  }
  return x;
}

// `name` with "~N" before its extension: the first spelling no entry has taken yet, in
// any letter case (a case-insensitive file system would put both entries in one file).
std::string FreeName(const std::string& name, std::set<std::string>& taken) {
  std::string candidate = name;
  const std::size_t dot = name.rfind('.');
  const std::size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
  for (int n = 2; taken.count(LowerAscii(candidate)) != 0; ++n) {
    candidate = name.substr(0, stem) + "~" + std::to_string(n) + name.substr(stem);
  }
  taken.insert(LowerAscii(candidate));
  return candidate;
}

class Extractor {
 public:
  Extractor(File& archive, std::uint64_t length, std::string out_dir, Io& io)
      : archive_(archive), length_(length), out_dir_(std::move(out_dir)), io_(io) {}

  // Writes one entry's data into the output folder; false after reporting a failure.
  bool Extract(const PffEntry& e) {
    const std::string name = PffNameText(e.name);
    if (!IsPlainFileName(name)) return Fail(name, "not a plain file name; not extracted");
    Bytes data(static_cast<std::size_t>(std::max(e.data_size, 0)));
    if (e.data_size != 0) {  // an empty entry's offset is never read
      if (e.data_offset < 0 || e.data_size < 0 ||
          static_cast<std::uint64_t>(e.data_offset) + static_cast<std::uint64_t>(e.data_size) >
              length_) {
        return Fail(name, "its data lies outside the archive; not extracted");
      }
      auto st =
          archive_.ReadAt(static_cast<std::uint64_t>(e.data_offset), data.data(), data.size());
      if (!st) return Fail(name, st.failure().description);
    }
    const std::string file = FreeName(name, taken_);
    if (file != name) {
      io_.out << Printable(name) << ": written as " << Printable(file)
              << ": an entry of the same name in another letter case came first\n";
    }
    return Write(name, file, data);
  }

 private:
  bool Fail(const std::string& name, const std::string& why) {
    io_.err << "dfmod: pff extract: " << Printable(name) << ": " << why << "\n";
    return false;
  }

  // Writes the exact name (no letter-case lookup), never through what already stands there
  // other than a regular file.
  bool Write(const std::string& name, const std::string& file, const Bytes& data) {
    namespace stdfs = std::filesystem;
    const stdfs::path target = stdfs::path(out_dir_) / file;
    std::error_code ec;
    const stdfs::file_status st = stdfs::symlink_status(target, ec);
    if (stdfs::is_symlink(st)) return Fail(name, "a symbolic link stands in the way; not written");
    if (stdfs::exists(st) && !stdfs::is_regular_file(st))
      return Fail(name, "something other than a file stands in the way; not written");
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) return Fail(name, "could not be written to " + target.string());
    return true;
  }

  File& archive_;
  std::uint64_t length_;
  std::string out_dir_;
  Io& io_;
  std::set<std::string> taken_;
};

int Extract(const Args& args, Io& io) {
  auto x = ParseExtract(args, io);
  if (!x) return kExitUsage;
  auto fs = MakeHostFileSystem();
  auto dir = ReadArchive(*fs, "pff extract", x->archive, io);
  if (!dir) return kExitUsage;
  auto file = fs->Open(x->archive, OpenMode::kRead);
  auto length = file ? (*file)->Size() : Result<std::uint64_t>(file.failure());
  if (!length) return InputError(io, "pff extract", x->archive, length.failure().description);
  std::error_code ec;
  std::filesystem::create_directories(x->out_dir, ec);
  if (!std::filesystem::is_directory(x->out_dir, ec))
    return InputError(io, "pff extract", x->out_dir, "cannot be made a folder");
  Extractor extractor(**file, *length, x->out_dir, io);
  bool failed = false;
  std::vector<bool> named_found(x->names.size(), false);
  for (const PffEntry& e : dir->entries()) {
    if (e.IsDeadSpace()) continue;
    bool wanted = x->names.empty();
    for (std::size_t i = 0; i < x->names.size(); ++i) {
      if (PffNamesMatch(e.name, MakePffName(x->names[i]))) wanted = named_found[i] = true;
    }
    if (wanted && !extractor.Extract(e)) failed = true;
  }
  for (std::size_t i = 0; i < x->names.size(); ++i) {
    if (named_found[i]) continue;
    io.err << "dfmod: pff extract: no entry named " << x->names[i] << "\n";
    failed = true;
  }
  return failed ? kExitFindings : kExitOk;
}

}  // namespace

int Pff(const Args& args, Io& io) {
  const Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
  if (!args.empty() && args[0] == "list") return List(rest, io);
  if (!args.empty() && args[0] == "add") return Add(rest, io);
  if (!args.empty() && args[0] == "extract") return Extract(rest, io);
  return UsageError(io, "pff",
                    (args.empty() ? std::string("expected an operation")
                                  : "unknown operation '" + args[0] + "'") +
                        ": expected list, add or extract");
}

}  // namespace dfm::cli
