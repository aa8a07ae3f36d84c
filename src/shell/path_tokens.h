// Path tokens: Kyv_DF1_Location, Kyv_DF2_Location and Kyv_DF3_Location stand for the
// folders of the three games in the target words of Control.ini's commands.
#pragma once

#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "shell/window_state.h"

namespace dfm {

// Every token is this long and matches with exact case.
inline constexpr std::size_t kPathTokenLength = 16;

// "Kyv_DF<version>_Location". Requires IsGameVersion(version).
std::string PathToken(int version);

// "Please Select Your Delta Force <version> Folder!": the folder browser's title and the
// folder label's prompt.
std::string SelectFolderPrompt(int version);

// Replaces the first occurrence of the lowest-numbered token present in `text` by that
// game's folder and returns the result; `text` unchanged when it holds no token. Only
// one token is replaced per call. When the folder is unknown, the user is asked for it
// first through the folder browser; the answer (or "Nothing" when cancelled) is stored in
// `folders`, so a later call asks again only after a cancel.
std::string ResolvePathTokens(std::string_view text, GameFolders& folders, Dialogs& dialogs);

}  // namespace dfm
