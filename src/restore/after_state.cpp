#include "restore/after_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace dfm {

std::vector<std::pair<std::uint64_t, std::uint64_t>> RangeSet::Missing(std::uint64_t start,
                                                                       std::uint64_t end) const {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
  auto it = ranges_.upper_bound(start);
  if (it != ranges_.begin() && std::prev(it)->second > start) start = std::prev(it)->second;
  for (; start < end; ++it) {
    const std::uint64_t next = it == ranges_.end() ? end : std::min(end, it->first);
    if (next > start) out.emplace_back(start, next);
    if (it == ranges_.end()) break;
    start = std::max(start, it->second);
  }
  return out;
}

void RangeSet::Add(std::uint64_t start, std::uint64_t end) {
  if (start >= end) return;
  auto it = ranges_.upper_bound(start);
  if (it != ranges_.begin() && std::prev(it)->second >= start) {
    --it;
    start = it->first;
  }
  while (it != ranges_.end() && it->first <= end) {
    end = std::max(end, it->second);
    it = ranges_.erase(it);
  }
  ranges_.emplace(start, end);
}

namespace {

// Fingerprints of restore points made by earlier versions, still checked with the function
// that made them.
//
// The first fingerprint: one 64-bit lane over the written bytes, word by word. Restore
// points made with it (16 hex digits) are still checked with it.
class WordFingerprint {
 public:
  explicit WordFingerprint(std::uint64_t length) : hash_(0x9E3779B97F4A7C15u ^ length) {}
  void BeginRange(std::uint64_t start, std::uint64_t) { hash_ = (hash_ ^ start) * 0x100000001B3u; }
  // Pieces of one range, each but the last a multiple of 8 bytes long.
  void Add(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      hash_ = ((hash_ ^ word) * 0x9E3779B97F4A7C15u) ^ (hash_ >> 29);
    }
    for (; i < n; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001B3u;
  }
  void EndRange() {}
  std::string Digest() const { return Hex(hash_); }

  static std::string Hex(std::uint64_t v) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(v));
    return hex;
  }

 private:
  std::uint64_t hash_;
};

// Four independent lanes of multiply-rotate rounds over 32-byte stripes, so that the
// processor works on four words at once; the lanes, the stripe's leftover bytes and the
// range's start are folded into one value at the end of each range. Spelled "x4:" and
// 16 hex digits.
class LaneFingerprint {
 public:
  static constexpr char kPrefix[] = "x4:";
  explicit LaneFingerprint(std::uint64_t length) : hash_(Round(kSeed, length)) {}
  void BeginRange(std::uint64_t start, std::uint64_t) {
    hash_ = Round(hash_, start);
    for (int i = 0; i < 4; ++i) lane_[i] = kSeed + static_cast<std::uint64_t>(i) * kP1;
  }
  // Pieces of one range, each but the last a multiple of 32 bytes long.
  void Add(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
      for (int k = 0; k < 4; ++k) lane_[k] = Round(lane_[k], Word(p + i + 8 * k));
    }
    for (; i + 8 <= n; i += 8) hash_ = Round(hash_, Word(p + i));
    for (; i < n; ++i) hash_ = Round(hash_, p[i]);
  }
  void EndRange() {
    for (std::uint64_t v : lane_) hash_ = Round(hash_, v);
  }
  std::string Digest() const {
    std::uint64_t h = hash_;
    h = (h ^ (h >> 33)) * kP2;
    h = (h ^ (h >> 29)) * kP1;
    return kPrefix + WordFingerprint::Hex(h ^ (h >> 32));
  }

 private:
  static constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87u, kP2 = 0xC2B2AE3D27D4EB4Fu,
                                 kSeed = 0x27D4EB2F165667C5u;
  static std::uint64_t Word(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  }
  static std::uint64_t Round(std::uint64_t acc, std::uint64_t input) {
    acc += input * kP2;
    return ((acc << 31) | (acc >> 33)) * kP1;
  }
  std::uint64_t hash_;
  std::uint64_t lane_[4] = {};
};

// The current fingerprint: XXH3-64 of the file's length, then of each range's start, end
// (8 bytes each, little-endian) and bytes. Spelled "xxh3:" and 16 hex digits.
class Xxh3Fingerprint {
 public:
  static constexpr char kPrefix[] = "xxh3:";
  explicit Xxh3Fingerprint(std::uint64_t length) {
    XXH3_INITSTATE(&state_);
    XXH3_64bits_reset(&state_);
    Put(length);
  }
  void BeginRange(std::uint64_t start, std::uint64_t end) {
    Put(start);
    Put(end);
  }
  void Add(const unsigned char* p, std::size_t n) { XXH3_64bits_update(&state_, p, n); }
  void EndRange() {}
  std::string Digest() const { return kPrefix + WordFingerprint::Hex(XXH3_64bits_digest(&state_)); }

 private:
  void Put(std::uint64_t v) {
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    XXH3_64bits_update(&state_, b, sizeof b);
  }
  XXH3_state_t state_;
};

// Reads the ranges in pieces of one buffer, reused, and hands them to `fingerprint`.
template <class F>
Status FingerprintRanges(File& file, std::uint64_t length, const RangeSet& ranges, F& fingerprint) {
  // One piece of at most 1 MB, a multiple of 32, and no more than the longest range needs.
  std::uint64_t longest = 0;
  for (const auto& [a, b] : ranges.ranges()) {
    if (a < length) longest = std::max(longest, std::min(b, length) - a);
  }
  Bytes buffer(static_cast<std::size_t>(
      std::min<std::uint64_t>(1 << 20, (longest + 31) & ~std::uint64_t{31})));
  for (const auto& [a, b] : ranges.ranges()) {
    if (a >= length) break;
    const std::uint64_t end = std::min(b, length);
    fingerprint.BeginRange(a, end);
    for (std::uint64_t at = a; at < end; at += buffer.size()) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
      if (auto st = file.ReadAt(at, buffer.data(), n); !st) return st;
      fingerprint.Add(buffer.data(), n);
    }
    fingerprint.EndRange();
  }
  return {};
}

}  // namespace

Result<AfterFingerprint> AfterState(FileSystem& fs, const std::string& path, bool whole,
                                    const RangeSet& written, const std::string& like) {
  AfterFingerprint out;
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) {
    if (file.failure().code != err::kFileNotFound) return file.failure();
    return out;
  }
  auto length = (*file)->Size();
  if (!length) return length.failure();
  out.exists = true;
  out.length = *length;
  RangeSet all;
  all.Add(0, *length);
  const RangeSet& ranges = whole ? all : written;
  auto run = [&](auto&& f) {
    Status st = FingerprintRanges(**file, *length, ranges, f);
    out.digest = f.Digest();
    return st;
  };
  const auto made_by = [&](const char* prefix) { return like.rfind(prefix, 0) == 0; };
  const Status read = like.empty() || made_by(Xxh3Fingerprint::kPrefix)
                          ? run(Xxh3Fingerprint(*length))
                      : made_by(LaneFingerprint::kPrefix) ? run(LaneFingerprint(*length))
                                                          : run(WordFingerprint(*length));
  if (!read) return read.failure();
  return out;
}

struct WholeFingerprint::Stream {
  explicit Stream(std::uint64_t length) : fingerprint(length), length(length) {}
  Xxh3Fingerprint fingerprint;
  std::uint64_t length;
};

WholeFingerprint::WholeFingerprint() = default;
WholeFingerprint::~WholeFingerprint() = default;

// As AfterState reads a file written whole: one range, [0, length), when not empty.
void WholeFingerprint::Begin(std::uint64_t length) {
  stream_ = std::make_unique<Stream>(length);
  if (length > 0) stream_->fingerprint.BeginRange(0, length);
}

void WholeFingerprint::Piece(const unsigned char* data, std::size_t size) {
  if (stream_) stream_->fingerprint.Add(data, size);
}

std::optional<AfterFingerprint> WholeFingerprint::Made() const {
  if (!stream_) return std::nullopt;
  return AfterFingerprint{true, stream_->length, stream_->fingerprint.Digest()};
}

std::string BytesFingerprint(const Bytes& bytes) {
  Xxh3Fingerprint f(bytes.size());
  f.BeginRange(0, bytes.size());
  f.Add(bytes.data(), bytes.size());
  return f.Digest();
}

}  // namespace dfm