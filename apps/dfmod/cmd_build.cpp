// dfmod build: puts a stub, the library slots, a mod's Main.zip and its length together.
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>

#include "base/ascii.h"
#include "dfmod/cli.h"
#include "dfmod/payload_report.h"
#include "platform/host.h"
#include "shell/payload.h"
#include "zip/zip_archive.h"

namespace dfm::cli {
namespace {

struct BuildOptions {
  std::optional<std::string> mod, zip, stub, libs_from, out;
};

// Empty when the arguments are usable, else what is wrong with them.
std::string ParseBuildArgs(const Args& args, BuildOptions& o) {
  const std::map<std::string, std::optional<std::string>*> slots = {{"--mod", &o.mod},
                                                                    {"--zip", &o.zip},
                                                                    {"--stub", &o.stub},
                                                                    {"--libs-from", &o.libs_from},
                                                                    {"-o", &o.out}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    auto it = slots.find(args[i]);
    if (it == slots.end()) return "build: unexpected argument '" + args[i] + "'";
    if (i + 1 >= args.size()) return "build: " + args[i] + " needs a value";
    if (it->second->has_value()) return "build: " + args[i] + " given twice";
    *it->second = args[++i];
  }
  if (o.mod.has_value() == o.zip.has_value())
    return "build: give exactly one of --mod DIR and --zip MAIN.ZIP";
  if (!o.out) return "build: -o OUT is required";
  return {};
}

// Every file below `dir`, keyed by its lower-case name: start-up extracts without folders,
// so two files of one name (in any letter case) would overwrite each other.
Status CollectFiles(FileSystem& fs, const std::string& dir,
                    std::map<std::string, std::string>& out) {
  auto entries = fs.ListDirectory(dir);
  if (!entries) return entries.failure();
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  for (const auto& e : *entries) {
    std::string path = dir + "/" + e.name;
    if (e.is_directory) {
      if (auto st = CollectFiles(fs, path, out); !st) return st;
      continue;
    }
    auto [it, added] = out.emplace(LowerAscii(e.name), path);
    if (!added)
      return Status::Fail(
          err::kFileAlreadyExists,
          "two files would both become " + e.name + " in Main.zip: " + it->second + " and " + path);
  }
  return {};
}

Result<Bytes> ZipModFolder(FileSystem& fs, std::string dir, std::size_t& count) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::map<std::string, std::string> files;
  if (auto st = CollectFiles(fs, dir, files); !st) return st.failure();
  if (files.empty()) return Failure{err::kFileNotFound, "no files in " + dir};
  ZipWriter writer;
  for (const auto& [key, path] : files) {
    auto data = ReadWholeFile(fs, path);
    if (!data) return data.failure();
    ZipAddOptions options;
    if (auto t = fs.ModifiedTime(path)) options.modified = *t;
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (auto st = writer.Add(name, std::move(*data), options); !st) return st.failure();
  }
  count = files.size();
  return writer.Finish();
}

Result<Bytes> ReadMainZip(FileSystem& fs, const std::string& path, std::size_t& count) {
  auto data = ReadWholeFile(fs, path);
  if (!data) return data.failure();
  auto archive = ZipArchive::FromBytes(*data);
  if (!archive)
    return Failure{err::kInvalidFileFormat,
                   path + " is not a ZIP archive (" + archive.failure().description + ")"};
  count = archive->EntryCount();
  return data;
}

Result<Bytes> LibrarySlots(FileSystem& fs, const std::optional<std::string>& installer) {
  if (!installer) return Bytes(kLibrarySlotsSize, 0);
  auto layout = ReadPayloadLayout(fs, *installer);
  if (!layout) return layout.failure();
  return ReadPayloadPiece(fs, *installer, layout->jpeg_library_offset, kLibrarySlotsSize);
}

// The installer program built beside dfmod.
Result<std::string> DefaultStub(FileSystem& fs) {
  auto self = MakeHostProcess()->ExecutablePath();
  if (!self) return self.failure();
  std::string stub = ProgramFolderOf(*self) + "DFModInstaller" +
                     (HostPathStyle() == PathStyle::kWindows ? ".exe" : "");
  if (!fs.FileLength(stub))
    return Failure{err::kFileNotFound,
                   "no installer program beside dfmod (" + stub + "); pass --stub FILE"};
  return stub;
}

// The output runs like the stub: its execute permissions are copied (POSIX only: Windows
// runs a program by its name).
void CopyExecuteBits(const std::string& from, const std::string& to) {
  if (HostPathStyle() == PathStyle::kWindows) return;
  namespace fs = std::filesystem;
  std::error_code ec;
  auto perms = fs::status(from, ec).permissions();
  if (ec) return;
  fs::permissions(to,
                  perms & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec),
                  fs::perm_options::add, ec);
}

}  // namespace

int Build(const Args& args, Io& io) {
  BuildOptions o;
  if (std::string problem = ParseBuildArgs(args, o); !problem.empty())
    return UsageError(io, problem);
  auto fs = MakeHostFileSystem();
  if (!o.stub) {
    auto stub = DefaultStub(*fs);
    if (!stub) return UsageError(io, "build: " + stub.failure().description);
    o.stub = *stub;
  }
  auto stub = ReadWholeFile(*fs, *o.stub);
  if (!stub) return UsageError(io, "build: stub: " + stub.failure().description);
  auto slots = LibrarySlots(*fs, o.libs_from);
  if (!slots) return UsageError(io, "build: --libs-from: " + slots.failure().description);
  std::size_t entries = 0;
  auto main_zip = o.mod ? ZipModFolder(*fs, *o.mod, entries) : ReadMainZip(*fs, *o.zip, entries);
  if (!main_zip) return UsageError(io, "build: " + main_zip.failure().description);

  if (auto st = WriteInstaller(*fs, *o.out, *stub, *slots, *main_zip); !st) {
    io.err << "dfmod: build: " << st.failure().description << "\n";
    return kExitFindings;
  }
  CopyExecuteBits(*o.stub, *o.out);
  auto layout = ReadPayloadLayout(*fs, *o.out);
  if (!layout) {
    io.err << "dfmod: build: " << layout.failure().description << "\n";
    return kExitFindings;
  }
  io.out << *o.out << ": " << layout->file_length << " bytes, Main.zip with " << entries
         << (entries == 1 ? " entry" : " entries") << ", library slots "
         << (o.libs_from ? "copied from " + *o.libs_from : std::string("zero-filled")) << "\n";
  PrintPayloadLayout(io.out, *layout);
  return kExitOk;
}

}  // namespace dfm::cli
