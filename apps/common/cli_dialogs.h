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
  // Where the answers come from. When given, each question is followed by a line
  // "-> <answer> (<source>)" on the error stream: the Yes/No answer's source, the input
  // text's source, and each folder browser's by its title (for cancelled ones too).
  std::string yes_no_source;
  std::string input_source;
  std::map<std::string, std::string> folder_sources;
};

class CliDialogs : public Dialogs {
 public:
  // `default_title` stands in for an empty title.
  CliDialogs(std::ostream& err, std::string default_title, CliAnswers answers = {})
      : err_(err), default_title_(std::move(default_title)), answers_(std::move(answers)) {}

  // Prints "[title] text" and a line break to the error stream, and answers OK for OK and
  // OK/Cancel boxes, and the Yes/No answer for the others (printed when its source is known).
  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override;
  // Prints the prompt as a question when its answer's source is known.
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  // Prints the browser's title as a question when its answer's source is known.
  Result<std::optional<std::string>> BrowseForFolder(const std::string& title) override;

 private:
  void Answered(const std::string& answer, const std::string& source);

  std::ostream& err_;
  std::string default_title_;
  CliAnswers answers_;
};

}  // namespace dfm::cli
