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

namespace stdfs = std::filesystem;

struct BuildOptions {
  std::optional<std::string> mod, zip, stub, libs_from, out;
  bool allow_no_control = false;
};

// What to say about an argument that is no option: a folder is most likely the mod.
std::string Unexpected(const std::string& arg) {
  std::error_code ec;
  const char* hint = stdfs::is_directory(arg, ec) ? " (a mod folder is given as --mod DIR)"
                     : arg.size() > 4 && LowerAscii(arg.substr(arg.size() - 4)) == ".zip"
                         ? " (a ZIP archive is given as --zip MAIN.ZIP)"
                         : "";
  return "unexpected argument '" + arg + "'" + hint;
}

// Empty when the arguments are usable, else what is wrong with them.
std::string ParseBuildArgs(const Args& args, BuildOptions& o) {
  const std::map<std::string, std::optional<std::string>*> slots = {{"--mod", &o.mod},
                                                                    {"--zip", &o.zip},
                                                                    {"--stub", &o.stub},
                                                                    {"--libs-from", &o.libs_from},
                                                                    {"-o", &o.out}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--allow-no-control") {
      o.allow_no_control = true;
      continue;
    }
    auto it = slots.find(args[i]);
    if (it == slots.end()) {
      return args[i].size() > 1 && args[i][0] == '-' ? "unknown option '" + args[i] + "'"
                                                     : Unexpected(args[i]);
    }
    if (i + 1 >= args.size()) return args[i] + " needs a value";
    if (it->second->has_value()) return args[i] + " given twice";
    *it->second = args[++i];
  }
  if (o.mod.has_value() == o.zip.has_value())
    return "give exactly one of --mod DIR and --zip MAIN.ZIP";
  if (!o.out) return "-o OUT is required";
  return {};
}

bool Inside(const stdfs::path& root, const stdfs::path& p) {
  return std::mismatch(root.begin(), root.end(), p.begin(), p.end()).first == root.end();
}

// Every file below `dir`, keyed by its lower-case name: start-up extracts without folders,
// so two files of one name (in any letter case) would overwrite each other. `shown` is
// `dir` as the user spelled it. A symbolic link is taken only when it leads to a file
// inside the mod folder `root` (canonical); a linked folder is not entered (its files
// are found where they lie); FIFOs, devices and sockets are refused, since reading them
// could wait for ever.
Status CollectFiles(const stdfs::path& root, const stdfs::path& dir, const std::string& shown,
                    std::map<std::string, std::string>& out) {
  std::error_code ec;
  std::vector<stdfs::path> children;
  for (const auto& e : stdfs::directory_iterator(dir, ec)) children.push_back(e.path());
  if (ec)
    return Status::Fail(err::kPathNotFound, shown + ": cannot be listed (" + ec.message() + ")");
  std::sort(children.begin(), children.end());
  for (const stdfs::path& child : children) {
    const std::string name = child.filename().string();
    const std::string path = shown + "/" + name;
    auto refuse = [&](const char* why) {
      return Status::Fail(err::kBadFileName, path + ": " + why);
    };
    stdfs::file_status st = stdfs::symlink_status(child, ec);
    if (stdfs::is_symlink(st)) {
      const stdfs::path target = stdfs::weakly_canonical(child, ec);
      if (ec || !Inside(root, target)) return refuse("a symbolic link out of the mod folder");
      st = stdfs::status(child, ec);
      if (stdfs::is_directory(st)) continue;
    }
    if (stdfs::is_directory(st)) {
      if (auto sub = CollectFiles(root, child, path, out); !sub) return sub;
      continue;
    }
    if (!stdfs::is_regular_file(st)) return refuse("not a regular file");
    auto [it, added] = out.emplace(LowerAscii(name), path);
    if (!added)
      return Status::Fail(
          err::kFileAlreadyExists,
          "two files would both become " + name + " in Main.zip: " + it->second + " and " + path);
  }
  return {};
}

bool HasControlFile(const std::vector<std::string>& names) {
  return std::any_of(names.begin(), names.end(), [](const std::string& n) {
    return LowerAscii(n.substr(n.find_last_of("/\\") + 1)) == "control.ini";
  });
}

std::string NoControlFile(const char* where) {
  return std::string("no Control.ini ") + where +
         ": the installer could never start (--allow-no-control builds it anyway)";
}

Result<Bytes> ZipModFolder(FileSystem& fs, std::string dir, bool allow_no_control,
                           std::size_t& count) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  std::error_code ec;
  if (!stdfs::is_directory(dir, ec)) {
    return Failure{err::kPathNotFound,
                   dir + (stdfs::exists(dir, ec) ? ": not a folder" : ": not found")};
  }
  std::map<std::string, std::string> files;
  if (auto st = CollectFiles(stdfs::canonical(dir, ec), dir, dir, files); !st) return st.failure();
  if (files.empty()) return Failure{err::kFileNotFound, dir + ": holds no files"};
  std::vector<std::string> names;
  for (const auto& [key, path] : files) names.push_back(key);
  if (!allow_no_control && !HasControlFile(names))
    return Failure{err::kFileNotFound, dir + ": " + NoControlFile("in it")};
  ZipWriter writer;
  for (const auto& [key, path] : files) {
    auto data = ReadWholeFile(fs, path);
    if (!data) return Failure{data.failure().code, PathMessage(path, data.failure().description)};
    ZipAddOptions options;
    if (auto t = fs.ModifiedTime(path)) options.modified = *t;
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (auto st = writer.Add(name, std::move(*data), options); !st) return st.failure();
  }
  count = files.size();
  return writer.Finish();
}

Result<Bytes> ReadMainZip(FileSystem& fs, const std::string& path, bool allow_no_control,
                          std::size_t& count) {
  if (std::string problem = InputFileProblem(path); !problem.empty())
    return Failure{err::kFileNotFound, path + ": " + problem};
  auto data = ReadWholeFile(fs, path);
  if (!data) return Failure{data.failure().code, PathMessage(path, data.failure().description)};
  auto archive = ZipArchive::FromBytes(*data);
  if (!archive)
    return Failure{err::kInvalidFileFormat,
                   path + ": not a ZIP archive (" + archive.failure().description + ")"};
  count = archive->EntryCount();
  std::vector<std::string> names;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (auto e = archive->Entry(i)) names.push_back(e->name);
  }
  if (!allow_no_control && !HasControlFile(names))
    return Failure{err::kFileNotFound, path + ": " + NoControlFile("among its entries")};
  return data;
}

Result<Bytes> LibrarySlots(FileSystem& fs, const std::optional<std::string>& installer) {
  if (!installer) return Bytes(kLibrarySlotsSize, 0);
  auto layout = ReadPayloadLayout(fs, *installer);
  if (!layout) return layout.failure();
  return ReadPayloadPiece(fs, *installer, layout->jpeg_library_offset, kLibrarySlotsSize);
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

std::vector<std::string> StubPlaces(std::string_view self, StubKind kind, PathStyle style) {
  const char sep = style == PathStyle::kWindows ? '\\' : '/';
  const std::string name = kind == StubKind::kWindows || style == PathStyle::kWindows
                               ? "DFModInstaller.exe"
                               : "DFModInstaller";
  std::string folder = ProgramFolderOf(self, style);
  std::vector<std::string> places{folder + name};
  // The folder above: "/usr/bin/" gives "/usr/"; a root or a bare name has none.
  folder.pop_back();
  const std::size_t cut = folder.find_last_of(style == PathStyle::kWindows ? "\\" : "\\/");
  if (cut != std::string::npos && folder.find_first_not_of(".", cut + 1) != std::string::npos)
    places.push_back(folder.substr(0, cut + 1) + "lib" + sep + "dfmod" + sep + name);
  return places;
}

Result<std::string> FindStub(FileSystem& fs, std::string_view self, StubKind kind) {
  const std::vector<std::string> places = StubPlaces(self, kind);
  std::string tried;
  for (const std::string& place : places) {
    if (fs.FileLength(place)) return place;
    tried += (tried.empty() ? "" : ", ") + place;
  }
  return Failure{err::kFileNotFound, std::string("no ") +
                                         (kind == StubKind::kWindows ? "Windows " : "") +
                                         "installer program beside dfmod or in ../lib/dfmod (" +
                                         tried + "); pass --stub FILE"};
}

int Build(const Args& args, Io& io) {
  BuildOptions o;
  if (std::string problem = ParseBuildArgs(args, o); !problem.empty())
    return UsageError(io, "build", problem);
  auto fs = MakeHostFileSystem();
  if (!o.stub || *o.stub == "windows") {
    auto self = MakeHostProcess()->ExecutablePath();
    auto stub = self ? FindStub(*fs, *self, o.stub ? StubKind::kWindows : StubKind::kHost)
                     : Result<std::string>(self.failure());
    if (!stub) {
      io.err << "dfmod: build: " << stub.failure().description << "\n";
      return kExitUsage;
    }
    o.stub = *stub;
  }
  for (const auto* input : {&o.stub, &o.libs_from}) {
    if (!*input) continue;
    if (std::string problem = InputFileProblem(**input); !problem.empty())
      return InputError(io, "build", **input, problem);
  }
  auto stub = ReadWholeFile(*fs, *o.stub);
  if (!stub) return InputError(io, "build", *o.stub, stub.failure().description);
  auto slots = LibrarySlots(*fs, o.libs_from);
  if (!slots) return InputError(io, "build", *o.libs_from, slots.failure().description);
  std::size_t entries = 0;
  auto main_zip = o.mod ? ZipModFolder(*fs, *o.mod, o.allow_no_control, entries)
                        : ReadMainZip(*fs, *o.zip, o.allow_no_control, entries);
  if (!main_zip) {
    io.err << "dfmod: build: " << main_zip.failure().description << "\n";
    return kExitUsage;
  }

  if (auto st = WriteInstaller(*fs, *o.out, *stub, *slots, *main_zip); !st) {
    io.err << "dfmod: build: " << PathMessage(*o.out, st.failure().description) << "\n";
    return kExitFindings;
  }
  CopyExecuteBits(*o.stub, *o.out);
  auto layout = ReadPayloadLayout(*fs, *o.out);
  if (!layout) {
    io.err << "dfmod: build: " << PathMessage(*o.out, layout.failure().description) << "\n";
    return kExitFindings;
  }
  io.out << *o.out << ": " << layout->file_length << " bytes, Main.zip with " << entries
         << (entries == 1 ? " entry" : " entries") << ", library slots "
         << (o.libs_from ? "copied from " + *o.libs_from : std::string("zero-filled")) << "\n";
  PrintPayloadLayout(io.out, *layout);
  return kExitOk;
}

}  // namespace dfm::cli
