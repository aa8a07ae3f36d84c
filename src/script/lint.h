// Checks a control file the way its two readers see it: every line that start-up or the
// script run would refuse, pass over or ignore gets one finding, with the reason.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"

namespace dfm {

// Why a line does not do what it seems to say, in the order the checks are made.
enum class LintIssue {
  kLineTooLong,         // longer than kMaxLineLength: an error of the line, nothing runs
  kLineFeedInLine,      // a lone LF does not end a line (file saved with LF line ends)
  kReservedName,        // a word ends with "control.ini" or the credits file: refused
  kCommandTooShort,     // fewer words than the command needs: skipped (1 word) or refused
  kNulInWord,           // a word holds a NUL byte: the file system refuses the name
  kTargetNotMeant,      // a command's target (word 3) is empty or a remark marker
  kHeaderTooShort,      // fewer words than the header key needs: passed over
  kColourOutOfRange,    // a colour value of 256 or more: the line is ignored
  kNumberOverflow,      // the whole number does not fit its field: start-up reports an error
  kInvalidGameVersion,  // df_version selects no game: the installer stops at start-up
  kUnknownKeyword,      // neither reader knows the keyword: ignored by both
  kNoGameVersion,       // (whole file) no df_version line with a value
};

struct LintFinding {
  std::size_t line = 0;  // 1-based; 0 for a finding about the whole file
  LintIssue issue = LintIssue::kUnknownKeyword;
  std::string message;  // one line of text, no line breaks
};

// The credits file name the script run guards against: the file-name part of word 2 of
// the last "credits" line with two or more words; empty when there is none.
std::string CreditsFileName(const std::vector<std::string>& lines,
                            PathStyle style = HostPathStyle());

// Findings for `lines` (as ReadControlLines gives them): at most one per line, in line
// order, then the whole-file finding if any. Blank lines and remark lines (first word
// beginning with "//") are not findings unless the script run would refuse them.
std::vector<LintFinding> LintControlLines(const std::vector<std::string>& lines,
                                          PathStyle style = HostPathStyle());

}  // namespace dfm
