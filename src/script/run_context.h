// One install run's state (line number, counters, the line being run) and the steps that
// every command shares: entries, counting, the not-found and too-short entries, and the
// per-line failure entry.
#pragma once

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "pff/pff_install.h"
#include "platform/platform.h"
#include "script/install_window.h"
#include "script/path_tokens.h"

namespace dfm {

// How a command leaves the run: go on with the next line, or abort (the user chose to
// stop at the critical-file question).
enum class CommandOutcome { kContinue, kAbort };

// What a run works with. The references outlive the run.
struct RunEnvironment {
  Platform& platform;
  InstallWindow& window;
  const PathTokens& tokens;    // resolves the targets' path tokens
  PffArchiveTable& archives;   // open for the program's lifetime
  std::string program_folder;  // ends with a separator; sources are looked up here
  std::string credits_file;    // empty when the mod has no credits
  std::int32_t control_line_count = 0;
};

class RunContext {
 public:
  explicit RunContext(const RunEnvironment& env) : env_(env) {}

  const RunEnvironment& env() const { return env_; }
  FileSystem& fs() const { return env_.platform.fs; }
  Dialogs& dialogs() const { return env_.platform.dialogs; }
  InstallWindow& window() const { return env_.window; }

  // Starts the next line of Control.ini: the line number goes up by one.
  void BeginLine(std::string text);
  void SetWords(std::vector<std::string> words) { words_ = std::move(words); }
  const std::vector<std::string>& words() const { return words_; }
  // Word n of the line, counting the keyword as word 1. Requires 1 <= n <= words().size().
  const std::string& Word(std::size_t n) const {
    assert(n >= 1 && n <= words_.size());
    return words_[n - 1];
  }
  std::int32_t line_number() const { return line_number_; }
  std::int32_t operations() const { return operations_; }
  std::int32_t errors() const { return errors_; }

  void AddOperation() { ++operations_; }
  void AddError() { ++errors_; }

  // An entry of the status list and the log. The run's first entry starts a new log.
  void Log(const std::string& message);
  // A command's announcement: the entry, then one operation.
  void Announce(const std::string& message);
  // The entry for a line that is refused or has too few words for its command; counts
  // one operation and one error.
  void RefuseLine();
  // "Error: File Not Found! ( <path> ), Operation could not be completed!"; one error.
  void ReportNotFound(const std::string& path);
  // True when the file exists; otherwise the not-found entry for it.
  bool RequireFile(const std::string& path);
  // The per-line failure entry for a failed step of a command; one error.
  void ReportFailure(const Failure& failure);
  // The same entry for a failure outside any command (the control file, the line itself,
  // the progress bar); it also counts one operation, so the summary's count of operations
  // performed never goes below what the commands did.
  void ReportLineFailure(const Failure& failure);
  // True when `status` is ok; otherwise its per-line failure entry.
  bool Step(const Status& status);

  // The program folder + `name`.
  std::string SourcePath(const std::string& name) const { return env_.program_folder + name; }
  // Word 3 with its path token replaced; each call resolves anew. When the folder browser
  // fails: its per-line failure entry (counting an operation too while the command is not
  // yet announced) and nullopt, and the command goes no further.
  std::optional<std::string> ResolveTarget();

 private:
  const RunEnvironment& env_;
  std::int32_t line_number_ = 0;
  std::int32_t operations_ = 0;
  std::int32_t errors_ = 0;
  bool logged_ = false;
  bool announced_ = false;  // the line's command has been announced
  std::string line_;
  std::vector<std::string> words_;
};

}  // namespace dfm
