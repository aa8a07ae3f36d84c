// Path tokens: Kyv_DF1_Location, Kyv_DF2_Location and Kyv_DF3_Location stand for the
// folders of the three games in the target words of Control.ini's commands.
#pragma once

#include <array>
#include <cassert>
#include <string>
#include <string_view>

#include "base/path_style.h"
#include "base/result.h"
#include "platform/dialogs.h"

namespace dfm {

// The word that marks an unknown folder.
inline constexpr char kNothing[] = "Nothing";

// Folder texts indexed by game version 1 (Delta Force), 2 (Delta Force 2) and
// 3 (Land Warrior). A known folder is kept exactly as obtained.
class GameFolders {
 public:
  GameFolders() { folders_.fill(kNothing); }
  std::string& operator[](int version) {
    assert(version >= 1 && version <= 3);
    return folders_[static_cast<std::size_t>(version - 1)];
  }
  const std::string& operator[](int version) const {
    assert(version >= 1 && version <= 3);
    return folders_[static_cast<std::size_t>(version - 1)];
  }
  friend bool operator==(const GameFolders&, const GameFolders&) = default;

 private:
  std::array<std::string, 3> folders_;
};

// Every token is this long and matches with exact case.
inline constexpr std::size_t kPathTokenLength = 16;

// "Kyv_DF<version>_Location". Requires 1 <= version <= 3.
std::string PathToken(int version);

// "Please Select Your Delta Force <version> Folder!": the folder browser's title and the
// folder label's prompt.
std::string SelectFolderPrompt(int version);

// Asks for a folder with `title` above the tree: the chosen folder as the host gives
// it, "Nothing" when the user cancels, or the browser's failure.
Result<std::string> BrowseForFolder(Dialogs& dialogs, const std::string& title);

// Replaces the first occurrence of the lowest-numbered token present in `text` by that
// game's folder and returns the result; `text` unchanged when it holds no token. Only
// one token is replaced per call. When the folder is unknown, the user is asked for it
// first through the folder browser; the answer (or "Nothing" when cancelled) is stored in
// `folders`, so a later call asks again only after a cancel. A browser that fails leaves
// the folder unknown and its failure is the result.
Result<std::string> ResolvePathTokens(std::string_view text, GameFolders& folders,
                                      Dialogs& dialogs);

// What one install run resolves its targets with: the window's game folders (an answer
// to the folder browser is kept there), the host's path style and the dialogs that ask
// for an unknown folder. The references outlive the run.
class PathTokens {
 public:
  PathTokens(GameFolders& folders, PathStyle style, Dialogs& dialogs)
      : folders_(folders), style_(style), dialogs_(dialogs) {}

  // ResolvePathTokens on `text`; on a POSIX path style every '\' then becomes '/'.
  Result<std::string> Resolve(std::string_view text) const;

 private:
  GameFolders& folders_;
  PathStyle style_;
  Dialogs& dialogs_;
};

}  // namespace dfm
