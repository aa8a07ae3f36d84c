// Builds ZIP archives for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zip/zip_archive.h"

namespace dfm::testing {

struct ZipSpec {
  std::string name;
  std::string data;
  ZipAddOptions options = {};
};

inline Bytes MakeZip(const std::vector<ZipSpec>& entries) {
  ZipWriter writer;
  for (const auto& e : entries)
    EXPECT_TRUE(writer.Add(e.name, Bytes(e.data.begin(), e.data.end()), e.options)) << e.name;
  auto bytes = writer.Finish();
  EXPECT_TRUE(bytes);
  return bytes ? *bytes : Bytes{};
}

inline std::string AsText(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

}  // namespace dfm::testing
