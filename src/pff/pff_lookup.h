// Finds directory records by name and dead space by size without walking the whole
// directory: adds into archives of tens of thousands of records stay cheap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dfm {

struct PffEntry;

class PffLookup {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Record `index` now holds `now`; `before` is what it held (nullptr when it is new,
  // which requires index == the number of records so far). Dead space that is not
  // `reusable` is never offered by FirstFit.
  void Set(std::size_t index, const PffEntry* before, const PffEntry& now, bool reusable);
  // Forgets the last record, which holds `last`.
  void PopBack(const PffEntry& last);

  // Ascending indices of the records whose names match `name` (ASCII letter case
  // ignored, all 16 bytes compared); nullptr when there are none.
  const std::vector<std::size_t>* Named(const std::array<char, 16>& name) const;
  // The first reusable dead-space record of at least `size` bytes, or kNone.
  std::size_t FirstFit(std::int32_t size) const;

 private:
  static constexpr std::size_t kBlock = 64;
  // A name upper-cased (ASCII), as the lookup's key: kept in place, no allocation.
  using Key = std::array<char, 16>;
  struct KeyHash {
    std::size_t operator()(const Key& key) const noexcept;
  };
  static Key Fold(const std::array<char, 16>& name);
  void AddName(std::size_t index, const std::array<char, 16>& name);
  void RemoveName(std::size_t index, const std::array<char, 16>& name);
  void SetFree(std::size_t index, std::int32_t size);
  void RecomputeBlock(std::size_t block);

  std::unordered_map<Key, std::vector<std::size_t>, KeyHash> by_name_;
  std::vector<std::int32_t> free_;       // per record: DataSize of dead space, else -1
  std::vector<std::int32_t> block_max_;  // per kBlock records: the largest free_ value
};

}  // namespace dfm
