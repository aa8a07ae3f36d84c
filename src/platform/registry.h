// The Windows registry as the core reads it: five calls shaped after the system's own
// (open a key, query a value, enumerate subkeys, enumerate values, close). Results are the
// system's error numbers, not failures: a missing key or value is an ordinary answer.
// Texts are 8-bit; string data comes back as the 8-bit ("A") calls give it, with its
// terminating zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace dfm {

// Key handles, the predefined roots included, are 32-bit numbers as the installer keeps them.
using RegKey = std::int32_t;

namespace reg {
// Predefined roots.
inline constexpr RegKey kClassesRoot = static_cast<RegKey>(0x80000000u);
inline constexpr RegKey kCurrentUser = static_cast<RegKey>(0x80000001u);
inline constexpr RegKey kLocalMachine = static_cast<RegKey>(0x80000002u);
inline constexpr RegKey kUsers = static_cast<RegKey>(0x80000003u);

// Status numbers.
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kInvalidHandle = 6;
inline constexpr std::int32_t kMoreData = 234;
inline constexpr std::int32_t kNoMoreItems = 259;

// Value types.
inline constexpr std::uint32_t kString = 1;
inline constexpr std::uint32_t kExpandString = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiString = 7;
}  // namespace reg

struct RegValue {
  std::uint32_t type = 0;
  Bytes data;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens `path` ("\"-separated, any letter case) below `root` for reading only. The
  // Windows host reads the 32-bit view, where the games' installers registered; a
  // registry of a 64-bit Wine prefix looks below Software\Wow6432Node first.
  // kSuccess and a new handle in `key`, or kFileNotFound / kAccessDenied / kInvalidHandle.
  virtual std::int32_t OpenKey(RegKey root, const std::string& path, RegKey& key) = 0;

  // Reads value `name` ("" is the key's default value). kMoreData when its data is longer
  // than `capacity` bytes (then `out.data` is unspecified), kFileNotFound when missing.
  virtual std::int32_t QueryValue(RegKey key, const std::string& name, std::size_t capacity,
                                  RegValue& out) = 0;

  // The name of subkey number `index` (0-based, in the registry's order). kNoMoreItems past
  // the last; kMoreData when the name and its zero byte exceed `capacity`.
  virtual std::int32_t EnumKey(RegKey key, std::uint32_t index, std::size_t capacity,
                               std::string& name) = 0;

  // The name of value number `index`. kMoreData when the name with its zero byte exceeds
  // `name_capacity` or the data exceeds `data_capacity`; kNoMoreItems past the last.
  virtual std::int32_t EnumValue(RegKey key, std::uint32_t index, std::size_t name_capacity,
                                 std::size_t data_capacity, std::string& name) = 0;

  // kSuccess, or kInvalidHandle for a handle that is not open.
  virtual std::int32_t CloseKey(RegKey key) = 0;
};

}  // namespace dfm
