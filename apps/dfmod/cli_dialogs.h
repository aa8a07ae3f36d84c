// Dialogs for the command line: nobody is there to answer, so message boxes are printed
// and answered with their default button, or as the command's options say.
#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace dfm::cli {

// Answers given beforehand, on the command line.
struct CliAnswers {
  // The answer to every Yes/No and Yes/No/Cancel box; nullopt: Yes, the first button.
  std::optional<MsgAnswer> yes_no;
  // The text for every input box; nullopt: its default text, as if OK was pressed at once.
  std::optional<std::string> input;
  // The folder for each folder browser, by its title; any other browser is cancelled.
  std::map<std::string, std::string> folders;
};

class CliDialogs : public Dialogs {
 public:
  // `default_title` stands in for an empty title.
  CliDialogs(std::ostream& err, std::string default_title, CliAnswers answers = {})
      : err_(err), default_title_(std::move(default_title)), answers_(std::move(answers)) {}

  // Prints "[title] text" and a line break to the error stream, and answers OK for OK and
  // OK/Cancel boxes, and the Yes/No answer for the others.
  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  std::ostream& err_;
  std::string default_title_;
  CliAnswers answers_;
};

}  // namespace dfm::cli
