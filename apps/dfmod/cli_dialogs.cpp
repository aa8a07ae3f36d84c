#include "dfmod/cli_dialogs.h"

#include <ostream>

namespace dfm::cli {

MsgAnswer CliDialogs::MessageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons, MsgIcon) {
  err_ << '[' << (title.empty() ? default_title_ : title) << "] " << text << '\n';
  return buttons == MsgButtons::kOk || buttons == MsgButtons::kOkCancel ? MsgAnswer::kOk
                                                                        : MsgAnswer::kYes;
}

std::optional<std::string> CliDialogs::InputBox(const std::string&, const std::string&,
                                                const std::string& default_text) {
  return default_text;
}

std::optional<std::string> CliDialogs::BrowseForFolder(const std::string&) {
  return std::nullopt;
}

}  // namespace dfm::cli
