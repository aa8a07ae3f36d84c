#include "shell/path_tokens.h"

namespace dfm {

std::string PathToken(int version) {
  return "Kyv_DF" + std::to_string(version) + "_Location";
}

std::string SelectFolderPrompt(int version) {
  return "Please Select Your Delta Force " + std::to_string(version) + " Folder!";
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

}  // namespace dfm
