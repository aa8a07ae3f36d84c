#include "script/path_tokens.h"

#include <algorithm>

namespace dfm {

std::string PathToken(int version) {
  return "Kyv_DF" + std::to_string(version) + "_Location";
}

std::string SelectFolderPrompt(int version) {
  return "Please Select Your Delta Force " + std::to_string(version) + " Folder!";
}

std::string BrowseForFolder(Dialogs& dialogs, const std::string& title) {
  return dialogs.BrowseForFolder(title).value_or(kNothing);
}

std::string ResolvePathTokens(std::string_view text, GameFolders& folders, Dialogs& dialogs) {
  for (int version = 1; version <= 3; ++version) {
    std::size_t at = text.find(PathToken(version));
    if (at == std::string_view::npos) continue;
    std::string& folder = folders[version];
    if (folder == kNothing) folder = BrowseForFolder(dialogs, SelectFolderPrompt(version));
    std::string out(text.substr(0, at));
    out += folder;
    out += text.substr(at + kPathTokenLength);
    return out;
  }
  return std::string(text);
}

std::string PathTokens::Resolve(std::string_view text) const {
  std::string resolved = ResolvePathTokens(text, folders_, dialogs_);
  if (style_ == PathStyle::kPosix) std::replace(resolved.begin(), resolved.end(), '\\', '/');
  return resolved;
}

}  // namespace dfm
