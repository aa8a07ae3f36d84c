// What an install left a file like: the byte ranges it wrote, and a fingerprint of
// those bytes, from which undo tells whether something else changed the file since.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "platform/file_system.h"

namespace dfm {

// Byte ranges [start, end) as a set of disjoint ranges.
class RangeSet {
 public:
  // The parts of [start, end) not in the set.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Missing(std::uint64_t start,
                                                               std::uint64_t end) const;
  void Add(std::uint64_t start, std::uint64_t end);
  const std::map<std::uint64_t, std::uint64_t>& ranges() const { return ranges_; }

 private:
  std::map<std::uint64_t, std::uint64_t> ranges_;
};

// What a file looked like when the install ended: whether it existed, its length, and
// a 64-bit fingerprint of the bytes the install wrote (of all of them when it wrote the
// whole file). The fingerprint is made with the function that made `like`, a digest
// read from a journal, or with the current one when `like` is empty.
struct AfterFingerprint {
  bool exists = false;
  std::uint64_t length = 0;
  std::string digest;
};
Result<AfterFingerprint> AfterState(FileSystem& fs, const std::string& path, bool whole,
                                    const RangeSet& written, const std::string& like = {});

// What a copy made, from the bytes as they pass (a CopyWatch): the current fingerprint of
// a file written whole, as AfterState would read it back from the copy.
class WholeFingerprint final : public CopyWatch {
 public:
  WholeFingerprint();
  ~WholeFingerprint() override;
  void Begin(std::uint64_t length) override;
  void Piece(const unsigned char* data, std::size_t size) override;
  // Nothing until Begin.
  std::optional<AfterFingerprint> Made() const;

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

// The current fingerprint of bytes held in memory, as AfterState spells it for a file
// written whole.
std::string BytesFingerprint(const Bytes& bytes);

}  // namespace dfm
