// Failures as values: a numeric code and a description, never an exception across
// the platform boundary.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace dfm {

// Run-time error numbers. The installer's messages quote these codes, so they follow
// the classic BASIC run-time error table.
namespace err {
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kBadFileMode = 54;
inline constexpr int kFileAlreadyOpen = 55;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kInputPastEndOfFile = 62;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kNotSameDevice = 74;  // a rename across volumes
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kInvalidFileFormat = 321;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kInvalidPicture = 481;
}  // namespace err

struct Failure {
  int code = 0;
  std::string description;

  friend bool operator==(const Failure&, const Failure&) = default;
};

// Either a value or a Failure.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}            // NOLINT: implicit by design
  Result(Failure failure) : v_(std::move(failure)) {}  // NOLINT
  static Result Fail(int code, std::string description) {
    return Result(Failure{code, std::move(description)});
  }

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & {
    assert(ok());
    return std::get<0>(v_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(v_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(v_));
  }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Failure& failure() const {
    assert(!ok());
    return std::get<1>(v_);
  }

 private:
  std::variant<T, Failure> v_;
};

// Success or a Failure.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : f_(std::move(failure)) {}  // NOLINT: implicit by design
  static Status Ok() { return {}; }
  static Status Fail(int code, std::string description) {
    return Status(Failure{code, std::move(description)});
  }

  bool ok() const { return !f_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Failure& failure() const {
    assert(!ok());
    return *f_;
  }

 private:
  std::optional<Failure> f_;
};

}  // namespace dfm
