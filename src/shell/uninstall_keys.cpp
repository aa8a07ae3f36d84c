#include "shell/uninstall_keys.h"

#include <algorithm>
#include <map>
#include <set>

#include "base/path_utils.h"
#include "restore/install_stack.h"
#include "shell/payload.h"

namespace dfm {
namespace {

// A path as an uninstall string quotes it: a trailing separator would escape the quote.
std::string Quoted(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return "\"" + path + "\"";
}

std::vector<unsigned long long> VersionNumbers(const std::string& v) {
  std::vector<unsigned long long> out;
  std::size_t i = 0;
  while (i < v.size()) {
    unsigned long long n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) n = n * 10 + (v[i] - '0');
    out.push_back(n);
    if (i < v.size() && v[i] != '.') break;
    ++i;
  }
  return out;
}

}  // namespace

std::string UninstallDisplayName(const std::string& mod, int game, const std::string& installer) {
  std::string name = mod;
  if (name.empty() || name == kInitialModName) {
    name = GetFileName(installer);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
      std::string ext = name.substr(dot);
      for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if (ext == ".exe") name.resize(dot);
    }
  }
  return name + (game == 2 ? " (Delta Force 2 mod)" : " (Delta Force mod)");
}

std::uint64_t BytesWritten(const std::vector<JournalRecord>& records) {
  std::map<std::string, std::uint64_t> files;  // by folded path: the length left
  std::map<std::pair<std::string, std::string>, std::uint64_t> entries;
  std::set<std::string> archives;
  for (const JournalRecord& r : records) {
    if (r.kind == RecordKind::kAfter) files[FoldedPath(r.Text(0))] = r.Number(0) ? r.Number(1) : 0;
    if (r.kind != RecordKind::kEntry) continue;
    archives.insert(FoldedPath(r.Text(0)));
    entries[{FoldedPath(r.Text(0)), r.Text(1)}] = r.Number(2);
  }
  std::uint64_t bytes = 0;
  for (const auto& [path, length] : files) bytes += archives.count(path) ? 0 : length;
  for (const auto& [key, size] : entries) bytes += size;
  return bytes;
}

UninstallKey UninstallKeyFor(const RestorePointInfo& point, std::uint64_t bytes, int game,
                             const std::string& game_folder, const std::string& restore_folder,
                             const UninstallProgram& program) {
  std::string date = point.ended.substr(0, 10);  // "2026-12-07 ..." -> "20261207"
  date.erase(std::remove(date.begin(), date.end(), '-'), date.end());
  const std::string remove =
      Quoted(program.path) + " --remove " + point.id + " --restore-dir " + Quoted(restore_folder);
  const std::uint64_t kb = (bytes + 1023) / 1024;
  return {point.id,
          {{"DisplayName", UninstallDisplayName(point.mod, game, point.installer)},
           {"DisplayVersion", program.version},
           {"Publisher", kPublisher},
           {"InstallDate", date},
           {"InstallLocation", game_folder},
           {"DisplayIcon", program.path + ",0"},
           {"UninstallString", remove},
           {"QuietUninstallString", remove + " /quiet"},
           {kRestoreFolderValue, restore_folder}},
          {{"EstimatedSize", static_cast<std::uint32_t>(std::min<std::uint64_t>(kb, 0xFFFFFFFFu))},
           {"NoModify", 1},
           {"NoRepair", 1}}};
}

Status RegisterInstall(UninstallList& list, FileSystem& fs, const std::string& restore_folder,
                       const std::string& id, int game, const std::string& game_folder,
                       const UninstallProgram& program) {
  auto journal = ReadJournal(fs, AsFolder(AsFolder(restore_folder) + id) + kJournalName);
  if (!journal) return journal.failure();
  const RestorePointInfo point = DescribeJournal(id, journal->records);
  if (point.state != RestorePointInfo::State::kComplete)
    return Status::Fail(err::kInvalidProcedureCall, "The restore point " + id + " is not complete");
  return list.Register(UninstallKeyFor(point, BytesWritten(journal->records), game, game_folder,
                                       restore_folder, program));
}

void PruneUninstallList(UninstallList& list, FileSystem& fs) {
  auto keys = list.Keys(kRestoreFolderValue);
  if (!keys) return;
  std::map<std::string, std::vector<RestorePointInfo>> stores;
  std::set<std::string> unreadable;
  for (const auto& key : *keys) {
    const std::string& id = key.first;  // a lambda below reads it: no structured binding
    const std::string& folder = key.second;
    if (folder.empty() || unreadable.count(folder)) continue;
    if (!stores.count(folder)) {
      auto is_folder = fs.IsDirectory(folder);
      auto points = is_folder ? RestoreStore(fs, folder).List() : is_folder.failure();
      if (!points) {
        unreadable.insert(folder);
        continue;
      }
      stores[folder] = std::move(*points);
    }
    const auto& points = stores[folder];
    auto it = std::find_if(points.begin(), points.end(),
                           [&](const RestorePointInfo& p) { return p.id == id; });
    if (it == points.end() || (it->damage.empty() && !IsLive(*it))) (void)list.Remove(id);
  }
}

std::string ProgramVersionIn(const Bytes& program) {
  const std::string_view mark = kVersionMark;
  auto at = program.begin();
  while ((at = std::search(at, program.end(), mark.begin(), mark.end())) != program.end()) {
    at += mark.size();
    std::string version;
    for (; at != program.end() && ((*at >= '0' && *at <= '9') || *at == '.'); ++at)
      version += static_cast<char>(*at);
    if (!version.empty() && at != program.end() && *at == 0) return version;
  }
  return {};
}

bool IsOlderVersion(const std::string& a, const std::string& b) {
  return VersionNumbers(a) < VersionNumbers(b);
}

Status KeepProgramCopy(FileSystem& fs, const std::string& self, const std::string& copy,
                       const std::string& version) {
  if (auto old = ReadWholeFile(fs, copy)) {
    if (!IsOlderVersion(ProgramVersionIn(*old), version)) return {};
  } else if (old.failure().code != err::kFileNotFound) {
    return old.failure();
  }
  auto length = fs.FileLength(self);
  if (!length) return length.failure();
  // The program without a mod's payload, when it carries one: a trailer that fits and a
  // ZIP archive where it points (a program without a payload may end in any bytes).
  std::uint64_t stub = *length;
  if (auto layout = ReadPayloadLayout(fs, self); layout && layout->main_zip_length >= 22) {
    auto zip = ReadPayloadPiece(fs, self, layout->main_zip_offset, 2);
    if (zip && (*zip)[0] == 'P' && (*zip)[1] == 'K') stub = layout->jpeg_library_offset;
  }
  auto bytes = ReadPayloadPiece(fs, self, 0, stub);
  if (!bytes) return bytes.failure();
  if (Status st = WriteReplacing(fs, copy,
                                 [&](File& file) -> Status {
                                   if (Status w = file.WriteAt(0, bytes->data(), bytes->size()); !w)
                                     return w;
                                   return file.Sync();
                                 });
      !st)
    return st;
  return fs.SyncFolder(ProgramFolderOf(copy));
}

}  // namespace dfm
