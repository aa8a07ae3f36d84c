#include "dfmod/cli_dialogs.h"

#include <ostream>

namespace dfm::cli {

MsgAnswer CliDialogs::MessageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons, MsgIcon) {
  err_ << '[' << (title.empty() ? default_title_ : title) << "] " << text << '\n';
  if (buttons == MsgButtons::kOk || buttons == MsgButtons::kOkCancel) return MsgAnswer::kOk;
  return answers_.yes_no.value_or(MsgAnswer::kYes);
}

std::optional<std::string> CliDialogs::InputBox(const std::string&, const std::string&,
                                                const std::string& default_text) {
  return answers_.input.value_or(default_text);
}

std::optional<std::string> CliDialogs::BrowseForFolder(const std::string& title) {
  auto it = answers_.folders.find(title);
  if (it == answers_.folders.end()) return std::nullopt;
  return it->second;
}

}  // namespace dfm::cli
