// dfmod pff: list, add to and extract from PFF archives.
//   pff list ARCHIVE [--json]
//   pff add ARCHIVE FILE...            (each file as the installer's pack command adds it)
//   pff extract ARCHIVE -o DIR [NAME...]
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include <filesystem>
#include "base/path_utils.h"

#include "dfmod/cli.h"
#include "dfmod/cli_dialogs.h"
#include "pff/mod_kyv_pff.h"
#include "pff/pff_archive.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "restore/restore_points.h"
#include "script/file_exists.h"

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

int List(const Args& args, Io& io) {
  std::optional<std::string> archive;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(io, "pff list: unknown option '" + a + "'");
    } else if (archive) {
      return UsageError(io, "pff list: one archive at a time");
    } else {
      archive = a;
    }
  }
  if (!archive) return UsageError(io, "pff list: expected ARCHIVE");
  auto fs = MakeHostFileSystem();
  auto dir = ReadPffArchive(*fs, *archive);
  if (!dir) return UsageError(io, "pff: " + *archive + ": " + dir.failure().description);
  json ? PrintJson(*dir, io.out) : PrintTable(*dir, io.out);
  return kExitOk;
}

int Add(const Args& args, Io& io) {
  if (args.size() < 2) return UsageError(io, "pff add: expected ARCHIVE FILE...");
  auto fs = MakeHostFileSystem();
  CliDialogs dialogs(io.err, "dfmod");
  NullEventPump pump;
  const std::string& archive = args[0];
  if (!FileExists(*fs, dialogs, archive)) return UsageError(io, "pff: not found: " + archive);
  // An install that a crash interrupted in the archive's folder is rolled back first.
  if (const std::string store = HostRestoreFolder(); !store.empty()) {
    std::error_code ec;
    const auto folder = std::filesystem::absolute(archive, ec).parent_path().string();
    for (const UndoReport& r :
         RestoreStore(*fs, store).RecoverInterrupted({folder}, MakeHostClock()->Now()))
      io.err << "dfmod: " << RolledBackText(r) << "\n";
  }
  PffArchiveTable table(*fs, dialogs, pump);
  bool failed = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!FileExists(*fs, dialogs, args[i])) {
      io.err << "dfmod: pff: not found: " << args[i] << "\n";
      failed = true;
      continue;
    }
    const int handle = table.OpenFile(archive);
    pump.ProcessPendingEvents();
    if (!table.AddFile(handle, args[i])) failed = true;
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
    if (args[i] == "-o") {
      if (i + 1 == args.size()) break;
      x.out_dir = args[++i];
    } else if (!have_archive) {
      x.archive = args[i];
      have_archive = true;
    } else {
      x.names.push_back(args[i]);
    }
  }
  if (!have_archive || x.out_dir.empty()) {
    UsageError(io, "pff extract: expected ARCHIVE -o DIR [NAME...]");
    return std::nullopt;
  }
  return x;
}

// Writes one entry's data into the output folder; false after reporting a failure.
bool ExtractEntry(FileSystem& fs, File& archive, std::uint64_t length, const PffEntry& e,
                  const std::string& out_dir, Io& io) {
  const std::string name = PffNameText(e.name);
  auto fail = [&](const std::string& why) {
    io.err << "dfmod: pff: " << Printable(name) << ": " << why << "\n";
    return false;
  };
  if (!IsPlainFileName(name)) return fail("not a plain file name; not extracted");
  if (e.data_offset < 0 || e.data_size < 0 ||
      static_cast<std::uint64_t>(e.data_offset) + static_cast<std::uint64_t>(e.data_size) >
          length) {
    return fail("its data lies outside the archive; not extracted");
  }
  Bytes data(static_cast<std::size_t>(e.data_size));
  if (!data.empty()) {
    auto st = archive.ReadAt(static_cast<std::uint64_t>(e.data_offset), data.data(), data.size());
    if (!st) return fail(st.failure().description);
  }
  const char sep = out_dir.back() == '/' || out_dir.back() == '\\' ? '\0' : '/';
  const std::string target = sep ? out_dir + sep + name : out_dir + name;
  if (auto st = WriteWholeFile(fs, target, data); !st) return fail(st.failure().description);
  return true;
}

int Extract(const Args& args, Io& io) {
  auto x = ParseExtract(args, io);
  if (!x) return kExitUsage;
  auto fs = MakeHostFileSystem();
  auto dir = ReadPffArchive(*fs, x->archive);
  if (!dir) return UsageError(io, "pff: " + x->archive + ": " + dir.failure().description);
  auto file = fs->Open(x->archive, OpenMode::kRead);
  if (!file) return UsageError(io, "pff: " + file.failure().description);
  auto length = (*file)->Size();
  if (!length) return UsageError(io, "pff: " + length.failure().description);
  if (auto is_dir = fs->IsDirectory(x->out_dir); !is_dir || !*is_dir) {
    if (auto st = fs->MakeDirectory(x->out_dir); !st) {
      return UsageError(io, "pff: " + st.failure().description);
    }
  }
  bool failed = false;
  std::vector<bool> named_found(x->names.size(), false);
  for (const PffEntry& e : dir->entries()) {
    if (e.IsDeadSpace()) continue;
    bool wanted = x->names.empty();
    for (std::size_t i = 0; i < x->names.size(); ++i) {
      if (PffNamesMatch(e.name, MakePffName(x->names[i]))) wanted = named_found[i] = true;
    }
    if (wanted && !ExtractEntry(*fs, **file, *length, e, x->out_dir, io)) failed = true;
  }
  for (std::size_t i = 0; i < x->names.size(); ++i) {
    if (named_found[i]) continue;
    io.err << "dfmod: pff: no entry named " << x->names[i] << "\n";
    failed = true;
  }
  return failed ? kExitFindings : kExitOk;
}

}  // namespace

int Pff(const Args& args, Io& io) {
  if (args.empty()) return UsageError(io, "pff: expected list, add or extract");
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == "list") return List(rest, io);
  if (args[0] == "add") return Add(rest, io);
  if (args[0] == "extract") return Extract(rest, io);
  return UsageError(io, "pff: unknown command '" + args[0] + "'");
}

}  // namespace dfm::cli
