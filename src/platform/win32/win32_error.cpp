#include "platform/win32/win32_error.h"

#include "platform/win32/windows_api.h"

#include "platform/file_system.h"

namespace dfm::win32 {

std::string SystemMessage(std::uint32_t error) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string out =
      n > 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(error);
  if (text != nullptr) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
    out.pop_back();
  return out;
}

namespace {

int CodeOf(std::uint32_t error) {
  switch (error) {
    // A missing folder on the way is a missing file, as POSIX reports it (ENOENT).
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return err::kFileNotFound;
    case ERROR_DIRECTORY:
      return err::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return err::kPermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return err::kFileAlreadyExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return err::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return err::kBadFileName;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return err::kDeviceIoError;
    case ERROR_TOO_MANY_OPEN_FILES:
      return err::kFileAlreadyOpen;
    default:
      return err::kPathFileAccessError;
  }
}

}  // namespace

Failure FileFailure(std::uint32_t error, const std::string& path) {
  const int code = CodeOf(error);
  return Failure{code, FileErrorText(code) + ": " + path + " (" + SystemMessage(error) + ")"};
}

}  // namespace dfm::win32
