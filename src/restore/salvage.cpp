// Salvaging a damaged journal: the records that still pass their checks, found again
// past each damaged stretch, put back the files they wholly describe.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "base/path_utils.h"
#include "restore/restore_points.h"
#include "restore/undo.h"

namespace dfm {
namespace {

constexpr std::size_t kFrame = 1 + 4 + 4;  // kind, size, check

// The whole record at `at`, if one starts there and passes its check.
std::optional<JournalRecord> RecordAt(const Bytes& bytes, std::size_t at, RecordCheck check,
                                      std::size_t& size) {
  if (bytes.size() - at < kFrame) return std::nullopt;
  const unsigned char* p = bytes.data() + at;
  size = kFrame + (p[1] | p[2] << 8 | p[3] << 16 | std::size_t{p[4]} << 24);
  if (bytes.size() - at < size) return std::nullopt;
  auto one = DecodeRecords(Bytes(p, p + size), check);
  if (!one || one->records.size() != 1 || one->torn_tail) return std::nullopt;
  return std::move(one->records[0]);
}

}  // namespace

// A file is put back only when no damaged stretch lies between its first record and its
// after state (so none of its records can be lost) and it is as the install left it.
Result<UndoReport> RestoreStore::Salvage(const std::string& id) {
  const std::string folder = AsFolder(folder_) + id;
  if (Load(id).damage.empty()) {
    return Failure{err::kInvalidProcedureCall,
                   "The restore point " + id + " is not damaged: undo it without --salvage"};
  }
  auto bytes = ReadWholeFile(fs_, AsFolder(folder) + kJournalName);
  if (!bytes) return bytes.failure();
  std::vector<JournalRecord> records;
  std::vector<int> stretch;  // how many damaged stretches lie before each record
  int gaps = 0;
  const JournalFormat format = FormatOf(*bytes);
  for (std::size_t at = format.start, size = 0; at < bytes->size();) {
    if (auto r = RecordAt(*bytes, at, format.check, size)) {
      records.push_back(std::move(*r));
      stretch.push_back(gaps);
      at += size;
      continue;
    }
    if (stretch.empty() || stretch.back() == gaps) ++gaps;
    ++at;
  }
  UndoReport report;
  report.id = id;
  std::map<std::string, int> first;  // folded path: the stretch of its first record
  std::set<std::string> keep, all;
  std::vector<std::pair<std::string, std::string>> moves;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    const std::string key = FoldedPath(r.Text(0));
    if (r.kind == RecordKind::kBegin) report.mod = r.Text(0);
    if (r.kind == RecordKind::kTouched) {
      first.emplace(key, stretch[i]);
      all.insert(key);
    }
    if (r.kind == RecordKind::kRenamed) moves.emplace_back(key, FoldedPath(r.Text(1)));
    if (r.kind == RecordKind::kAfter && (!first.count(key) || first[key] != stretch[i]))
      keep.insert(key);
  }
  for (const auto& key : all) {
    if (!first.count(key)) keep.insert(key);
  }
  // Files with no after state in the intact records, or changed since, are left.
  std::set<std::string> judged;
  for (const JournalRecord& r : records) {
    if (r.kind == RecordKind::kAfter) judged.insert(FoldedPath(r.Text(0)));
  }
  for (const auto& key : all) {
    if (!judged.count(key)) keep.insert(key);
  }
  for (const auto& path : ChangedSince(fs_, records, {})) keep.insert(FoldedPath(path));
  // The two names of a move go back together or not at all.
  for (bool more = true; more;) {
    more = false;
    for (const auto& [a, b] : moves) {
      if (keep.count(a) != keep.count(b)) {
        keep.insert(a);
        keep.insert(b);
        more = true;
      }
    }
  }
  if (auto missing = MissingStashes(fs_, records, {}, keep); !missing.empty()) {
    std::string list;
    for (const auto& m : missing) list += (list.empty() ? "" : ", ") + m;
    return Failure{err::kFileNotFound, "The originals to put back are missing: " + list};
  }
  UndoOutcome outcome;
  ApplyUndo(fs_, records, {}, keep, nullptr, outcome);
  report.failures = outcome.failures;
  for (const auto& key : keep) {
    if (all.count(key)) outcome.left.insert(key);
  }
  report.left = outcome.left.size();
  report.files = all.size() - std::min(all.size(), report.left);
  return report;
}

}  // namespace dfm
