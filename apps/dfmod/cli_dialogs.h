// Dialogs for the command line: nobody is there to answer, so message boxes are printed
// and answered with their default button.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/dialogs.h"

namespace dfm::cli {

class CliDialogs : public Dialogs {
 public:
  // `default_title` stands in for an empty title.
  CliDialogs(std::ostream& err, std::string default_title)
      : err_(err), default_title_(std::move(default_title)) {}

  // Prints "[title] text" and a line break to the error stream, and answers with the
  // first button: OK for OK and OK/Cancel boxes, Yes for Yes/No and Yes/No/Cancel boxes.
  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override;
  // Answers with the default text, as if the user pressed OK at once.
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  // Cancelled: there is nobody to choose a folder.
  std::optional<std::string> BrowseForFolder(const std::string& title) override;

 private:
  std::ostream& err_;
  std::string default_title_;
};

}  // namespace dfm::cli
