#include "script/path_tokens.h"

#include <algorithm>
#include <utility>

namespace dfm {

std::string PathToken(int version) {
  return "Kyv_DF" + std::to_string(version) + "_Location";
}

std::string SelectFolderPrompt(int version) {
  return "Please Select Your Delta Force " + std::to_string(version) + " Folder!";
}

Result<std::string> BrowseForFolder(Dialogs& dialogs, const std::string& title) {
  auto chosen = dialogs.BrowseForFolder(title);
  if (!chosen) return chosen.failure();
  return chosen->value_or(kNothing);
}

Result<std::string> ResolvePathTokens(std::string_view text, GameFolders& folders,
                                      Dialogs& dialogs) {
  for (int version = 1; version <= 3; ++version) {
    std::size_t at = text.find(PathToken(version));
    if (at == std::string_view::npos) continue;
    std::string& folder = folders[version];
    if (folder == kNothing) {
      auto chosen = BrowseForFolder(dialogs, SelectFolderPrompt(version));
      if (!chosen) return chosen.failure();
      folder = std::move(*chosen);
    }
    std::string out(text.substr(0, at));
    out += folder;
    out += text.substr(at + kPathTokenLength);
    return out;
  }
  return std::string(text);
}

Result<std::string> PathTokens::Resolve(std::string_view text) const {
  auto resolved = ResolvePathTokens(text, folders_, dialogs_);
  if (resolved && style_ == PathStyle::kPosix)
    std::replace(resolved->begin(), resolved->end(), '\\', '/');
  return resolved;
}

}  // namespace dfm
