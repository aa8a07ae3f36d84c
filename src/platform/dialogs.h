// Modal questions to the user. Hosts show real windows; the command line answers from
// options; tests record.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"

namespace dfm {

enum class MsgButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MsgIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };
enum class MsgAnswer { kOk, kCancel, kYes, kNo };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // An empty title means the program's default title.
  virtual MsgAnswer MessageBox(const std::string& text, const std::string& title = {},
                               MsgButtons buttons = MsgButtons::kOk,
                               MsgIcon icon = MsgIcon::kNone) = 0;
  // Text input; nullopt when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& prompt,
                                              const std::string& title = {},
                                              const std::string& default_text = {}) = 0;
  // Folder chooser with a caption above the tree: the folder chosen, nullopt when
  // cancelled, a failure when the chooser could not be shown.
  virtual Result<std::optional<std::string>> BrowseForFolder(const std::string& title) = 0;
};

}  // namespace dfm
