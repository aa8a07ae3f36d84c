#include "common/cli_dialogs.h"

#include <ostream>

namespace dfm::cli {

void CliDialogs::Answered(const std::string& answer, const std::string& source) {
  if (!source.empty()) err_ << "-> " << answer << " (" << source << ")\n";
}

MsgAnswer CliDialogs::MessageBox(const std::string& text, const std::string& title,
                                 MsgButtons buttons, MsgIcon) {
  err_ << '[' << (title.empty() ? default_title_ : title) << "] " << text << '\n';
  if (buttons == MsgButtons::kOk || buttons == MsgButtons::kOkCancel) return MsgAnswer::kOk;
  const MsgAnswer answer = answers_.yes_no.value_or(MsgAnswer::kYes);
  Answered(answer == MsgAnswer::kYes  ? "Yes"
           : answer == MsgAnswer::kNo ? "No"
                                      : "Cancel",
           answers_.yes_no_source);
  return answer;
}

std::optional<std::string> CliDialogs::InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& default_text) {
  if (!answers_.input_source.empty())
    err_ << '[' << (title.empty() ? default_title_ : title) << "] " << prompt << '\n';
  Answered(answers_.input ? "the text given" : "empty", answers_.input_source);
  return answers_.input.value_or(default_text);
}

Result<std::optional<std::string>> CliDialogs::BrowseForFolder(const std::string& title) {
  auto source = answers_.folder_sources.find(title);
  if (source != answers_.folder_sources.end())
    err_ << '[' << default_title_ << "] " << title << '\n';
  auto it = answers_.folders.find(title);
  const bool known = it != answers_.folders.end();
  if (source != answers_.folder_sources.end())
    Answered(known ? it->second : "cancelled", source->second);
  if (!known) return std::optional<std::string>();
  return std::optional<std::string>(it->second);
}

}  // namespace dfm::cli
