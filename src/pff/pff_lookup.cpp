#include "pff/pff_lookup.h"
#include "base/ascii.h"

#include <algorithm>
#include <functional>

#include "pff/pff_archive.h"

namespace dfm {

PffLookup::Key PffLookup::Fold(const std::array<char, 16>& name) {
  Key key = name;
  for (char& c : key) c = AsciiUpper(c);
  return key;
}

std::size_t PffLookup::KeyHash::operator()(const Key& key) const noexcept {
  return std::hash<std::string_view>{}(std::string_view(key.data(), key.size()));
}

void PffLookup::Set(std::size_t index, const PffEntry* before, const PffEntry& now, bool reusable) {
  if (before == nullptr) {
    AddName(index, now.name);
  } else if (!PffNamesMatch(before->name, now.name)) {
    RemoveName(index, before->name);
    AddName(index, now.name);
  }
  SetFree(index, now.IsDeadSpace() && reusable ? now.data_size : -1);
}

void PffLookup::PopBack(const PffEntry& last) {
  RemoveName(free_.size() - 1, last.name);
  free_.pop_back();
  if (free_.size() % kBlock == 0) {
    block_max_.pop_back();
  } else {
    RecomputeBlock(free_.size() / kBlock);
  }
}

const std::vector<std::size_t>* PffLookup::Named(const std::array<char, 16>& name) const {
  auto it = by_name_.find(Fold(name));
  return it == by_name_.end() ? nullptr : &it->second;
}

std::size_t PffLookup::FirstFit(std::int32_t size) const {
  for (std::size_t b = 0; b < block_max_.size(); ++b) {
    if (block_max_[b] < size) continue;
    const std::size_t end = std::min(free_.size(), (b + 1) * kBlock);
    for (std::size_t i = b * kBlock; i < end; ++i) {
      if (free_[i] >= size) return i;
    }
  }
  return kNone;
}

void PffLookup::AddName(std::size_t index, const std::array<char, 16>& name) {
  std::vector<std::size_t>& list = by_name_[Fold(name)];
  list.insert(std::lower_bound(list.begin(), list.end(), index), index);
}

void PffLookup::RemoveName(std::size_t index, const std::array<char, 16>& name) {
  auto it = by_name_.find(Fold(name));
  std::vector<std::size_t>& list = it->second;
  list.erase(std::lower_bound(list.begin(), list.end(), index));
  if (list.empty()) by_name_.erase(it);
}

void PffLookup::SetFree(std::size_t index, std::int32_t size) {
  if (index == free_.size()) {
    free_.push_back(size);
    if (index % kBlock == 0) block_max_.push_back(size);
  } else {
    free_[index] = size;
  }
  std::int32_t& block = block_max_[index / kBlock];
  if (size >= block) {
    block = size;
  } else {
    RecomputeBlock(index / kBlock);
  }
}

void PffLookup::RecomputeBlock(std::size_t block) {
  const auto first = free_.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
  const auto last =
      free_.begin() + static_cast<std::ptrdiff_t>(std::min(free_.size(), (block + 1) * kBlock));
  block_max_[block] = *std::max_element(first, last);
}

}  // namespace dfm
