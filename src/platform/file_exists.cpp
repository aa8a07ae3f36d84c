#include "platform/file_exists.h"

namespace dfm {

bool FileExists(FileSystem& fs, Dialogs& dialogs, const std::string& path) {
  auto length = fs.FileLength(path);
  if (length) return true;
  const Failure& f = length.failure();
  if (f.code == err::kFileNotFound || f.code == err::kPathNotFound) return false;
  dialogs.MessageBox("Error in FileExists\r\n" + f.description);
  return false;
}

}  // namespace dfm
