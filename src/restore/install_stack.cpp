#include "restore/install_stack.h"

#include <algorithm>
#include <iterator>

#include "base/ascii.h"
#include "base/path_utils.h"
#include "pff/pff_archive.h"
#include "restore/restore_points.h"

namespace dfm {
namespace {

std::vector<ItemKey> Common(const std::set<ItemKey>& a, const std::set<ItemKey>& b) {
  std::vector<ItemKey> out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

std::vector<RestorePointInfo>::const_iterator Find(const std::vector<RestorePointInfo>& points,
                                                   const std::string& id) {
  return std::find_if(points.begin(), points.end(),
                      [&](const RestorePointInfo& p) { return p.id == id; });
}

std::string Counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

ItemKey FileItem(std::string_view path) {
  return {FoldedPath(path), {}};
}

ItemKey EntryItem(std::string_view archive, std::string_view name) {
  const PffName bytes = MakePffName(name);
  return {FoldedPath(archive), UpperAscii(std::string_view(bytes.data(), bytes.size()))};
}

std::set<ItemKey> ItemsOf(const std::vector<JournalRecord>& records) {
  std::set<ItemKey> items;
  std::set<std::string> archives;
  for (const JournalRecord& r : records) {
    if (r.kind == RecordKind::kEntry) {
      items.insert(EntryItem(r.Text(0), r.Text(1)));
      archives.insert(FoldedPath(r.Text(0)));
    }
  }
  // A file absent before the install and after it (a temporary name) changed nothing.
  std::set<std::string> absent_before, absent_after;
  for (const JournalRecord& r : records) {
    if (r.kind == RecordKind::kTouched && r.Number(0) == 0)
      absent_before.insert(FoldedPath(r.Text(0)));
    if (r.kind == RecordKind::kAfter && r.Number(0) == 0)
      absent_after.insert(FoldedPath(r.Text(0)));
  }
  for (const JournalRecord& r : records) {
    std::vector<std::string> paths;
    if (r.kind == RecordKind::kTouched) paths = {r.Text(0)};
    if (r.kind == RecordKind::kRenamed) paths = {r.Text(0), r.Text(1)};
    for (const std::string& path : paths) {
      const std::string key = FoldedPath(path);
      if (!archives.count(key) && !(absent_before.count(key) && absent_after.count(key)))
        items.insert({key, {}});
    }
  }
  return items;
}

std::string CountText(const std::vector<ItemKey>& items) {
  const auto entries = static_cast<std::size_t>(
      std::count_if(items.begin(), items.end(), [](const ItemKey& k) { return k.is_entry(); }));
  const std::size_t files = items.size() - entries;
  if (files == 0) return Counted(entries, "entry", "entries");
  if (entries == 0) return Counted(files, "file", "files");
  return Counted(files, "file", "files") + ", " + Counted(entries, "entry", "entries");
}

bool IsLive(const RestorePointInfo& p) {
  return p.damage.empty() && (p.state == RestorePointInfo::State::kComplete ||
                              p.state == RestorePointInfo::State::kInterrupted);
}

std::vector<Cover> CoveredBy(const std::vector<RestorePointInfo>& points, const std::string& id) {
  std::vector<Cover> out;
  const auto at = Find(points, id);
  if (at == points.end()) return out;
  for (auto later = std::make_reverse_iterator(at); later != points.rend(); ++later) {
    if (!IsLive(*later)) continue;
    if (auto common = Common(at->items, later->items); !common.empty())
      out.push_back({later->id, later->mod, std::move(common)});
  }
  return out;
}

const RestorePointInfo* Above(const std::vector<RestorePointInfo>& points, const std::string& id,
                              const ItemKey& item) {
  for (auto later = std::make_reverse_iterator(Find(points, id)); later != points.rend(); ++later) {
    if (IsLive(*later) && later->items.count(item)) return &*later;
  }
  return nullptr;
}

std::vector<Cover> Covering(const std::vector<RestorePointInfo>& points,
                            const std::set<ItemKey>& items) {
  std::vector<Cover> out;
  for (const RestorePointInfo& p : points) {
    if (!IsLive(p)) continue;
    if (auto common = Common(items, p.items); !common.empty())
      out.push_back({p.id, p.mod, std::move(common)});
  }
  return out;
}

std::uint64_t SequenceOf(const JournalRecord& begin) {
  return begin.Number(0);
}

std::uint64_t ReadSequence(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return 0;
  auto length = (*file)->Size();
  if (!length) return 0;
  // The begin record, behind the format record where there is one:
  // kind u8 | body size u32 | body | check u32.
  Bytes head;
  for (int records = 0; records < 2; ++records) {
    unsigned char at[5];
    if (head.size() + 5 > *length || !(*file)->ReadAt(head.size(), at, 5)) return 0;
    std::uint32_t size = 0;
    for (int i = 4; i >= 1; --i) size = size << 8 | at[i];
    const std::uint64_t end = head.size() + 9 + std::uint64_t{size};
    if (end > *length) return 0;
    const std::size_t start = head.size();
    head.resize(static_cast<std::size_t>(end));
    if (!(*file)->ReadAt(start, head.data() + start, head.size() - start)) return 0;
    if (at[0] != static_cast<unsigned char>(RecordKind::kFormat)) break;
  }
  auto decoded = DecodeJournal(head);
  if (!decoded || decoded->records.empty() || decoded->records[0].kind != RecordKind::kBegin)
    return 0;
  return SequenceOf(decoded->records[0]);
}

Result<std::uint64_t> NextSequence(FileSystem& fs, const std::string& store) {
  std::uint64_t highest = 0;
  auto entries = fs.ListDirectory(store);
  if (!entries) return entries.failure();
  for (const DirEntry& e : *entries) {
    if (e.is_directory)
      highest =
          std::max(highest, ReadSequence(fs, AsFolder(AsFolder(store) + e.name) + kJournalName));
  }
  return highest + 1;
}

}  // namespace dfm
