// What an install keeps of each archive entry it adds, for undoing it entry by entry
// when a later install shares the archive: before the first add of a name is written,
// the live entry it replaces (stored name, timestamp and bytes) or that there was none;
// once the install ends, what it left (stored name, timestamp, size and a fingerprint of
// the data), read back from the archive. Each costs in proportion to the install's own
// entries. The before record needs no sync of its own: the replaced bytes stay in the
// archive as dead space until an add overwrites them, and every such write first makes
// the journal durable (it saves the range it replaces).
#include <algorithm>

#include "base/ascii.h"
#include "base/path_utils.h"
#include "pff/pff_entries.h"
#include "restore/after_state.h"
#include "restore/mod_stack.h"
#include "restore/restore_points.h"

namespace dfm {

std::string EntryKey(const PffName& name) {
  std::string key(name.begin(), name.end());
  for (char& c : key) c = AsciiUpper(c);
  return key;
}

std::string EntryDigest(const Bytes& data) {
  return BytesFingerprint(data);
}

Status ActiveRestorePoint::NoteBefore(const std::string& archive, const PffName& name,
                                      const PffEntry* replaced, const Bytes& bytes) {
  const std::string path = fs_->Absolute(archive);
  auto key = std::make_pair(FoldedPath(path), EntryKey(name));
  if (!noted_.insert(key).second) return {};
  entries_.emplace_back(path, key.second);
  JournalRecord r{RecordKind::kEntryBefore,
                  {path, replaced ? std::string(replaced->name.begin(), replaced->name.end())
                                  : std::string(name.begin(), name.end())},
                  {replaced ? 1u : 0u,
                   replaced ? static_cast<std::uint32_t>(replaced->timestamp) : 0u, bytes.size()},
                  replaced ? bytes : Bytes()};
  return journal_->Append(r);
}

Status ActiveRestorePoint::RecordEntryAfters() {
  std::string read_path;
  Result<PffDirectory> dir = Failure{err::kFileNotFound, ""};
  auto entries = entries_;  // each archive read once
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [archive, key] : entries) {
    if (archive != read_path) {
      dir = ReadPffArchive(*fs_, archive);
      read_path = archive;
    }
    JournalRecord r{RecordKind::kEntryAfter, {archive, key, ""}, {0, 0, 0}, {}};
    PffName name{};
    std::copy(key.begin(), key.end(), name.begin());
    const std::size_t at = dir ? dir->FindLive(name) : PffLookup::kNone;
    if (at != PffLookup::kNone) {
      const PffEntry& e = dir->entries()[at];
      auto data = ReadPffData(*fs_, archive, e);
      if (!data) return data.failure();
      r.texts = {archive, std::string(e.name.begin(), e.name.end()), EntryDigest(*data)};
      r.numbers = {1, static_cast<std::uint32_t>(e.timestamp), data->size()};
    }
    if (auto st = journal_->Append(r); !st) return st;
  }
  return {};
}

}  // namespace dfm
