#include "script/script_run.h"

#include <cmath>
#include <limits>

#include "base/path_utils.h"
#include "platform/event_pump.h"
#include "platform/file_exists.h"
#include "script/control_file.h"
#include "script/file_commands.h"
#include "script/image_commands.h"
#include "script/pack_command.h"

namespace dfm {
namespace {

// Runs the command the line's keyword names; other keywords (the header keys among them)
// do nothing. A command with fewer words than it needs gets the refusal entry.
CommandOutcome Dispatch(RunContext& run) {
  const std::string keyword = LowerAscii(run.Word(1));
  auto command = FindCommand(keyword);
  if (!command) return CommandOutcome::kContinue;
  if (run.words().size() < static_cast<std::size_t>(command->words)) {
    run.RefuseLine();
    return CommandOutcome::kContinue;
  }
  switch (command->id) {
    case CommandKey::kPack:
      return RunPack(run);
    case CommandKey::kCopy:
      return RunCopy(run);
    case CommandKey::kMove:
      return RunMove(run);
    case CommandKey::kDelete:
      return RunDelete(run);
    case CommandKey::kConvertJpgToTga:
      return RunConvertJpgToTga(run);
    case CommandKey::kCreateDetailMap:
      return RunCreateDetailMap(run);
  }
  return CommandOutcome::kContinue;
}

void UpdateProgress(RunContext& run) {
  InstallWindow& window = run.window();
  auto width =
      ProgressWidth(run.line_number(), run.env().control_line_count, window.StatusListWidth());
  if (width)
    window.SetProgressWidth(*width);
  else
    run.ReportLineFailure(width.failure());
}

CommandOutcome RunLine(RunContext& run, const std::string& line) {
  run.BeginLine(line);
  UpdateProgress(run);
  if (auto words = SplitLine(line))
    run.SetWords(std::move(*words));
  else
    run.ReportLineFailure(words.failure());
  run.env().platform.pump.ProcessPendingEvents();
  if (run.words().size() < 2) return CommandOutcome::kContinue;
  if (!IsLineAllowed(run.words(), run.env().credits_file)) {
    run.RefuseLine();
    return CommandOutcome::kContinue;
  }
  return Dispatch(run);
}

void Summarize(RunContext& run) {
  run.Log(std::to_string(run.operations() - run.errors()) + " Operations Performed!");
  run.Log(std::to_string(run.errors()) + " Errors Occurred!");
  run.Log("Installation Completed!");
  std::string text = "Installation Complete!";
  if (run.errors() != 0) {
    text += "\r\nHowever There Where " + std::to_string(run.errors()) +
            " Errors!\r\nPlease Consult The \"InstallLog.txt\" For More Information!";
  }
  run.dialogs().MessageBox(text);
}

// Runs the lines of Control.ini; the outcome tells whether the run goes on to the summary.
RunOutcome RunLines(RunContext& run) {
  auto lines = ReadControlLines(run.fs(), kControlFileName);
  if (!lines) {
    run.ReportLineFailure(lines.failure());
    return RunOutcome::kCompleted;
  }
  for (const std::string& line : *lines) {
    if (run.window().QuitRequested()) return RunOutcome::kProgramEnded;
    if (RunLine(run, line) == CommandOutcome::kAbort) {
      run.window().RestoreAfterAbort();
      return RunOutcome::kAborted;
    }
  }
  return RunOutcome::kCompleted;
}

}  // namespace

bool IsLineAllowed(const std::vector<std::string>& words, std::string_view credits_file) {
  return !MentionsReservedName(words, credits_file);
}

Result<int> ProgressWidth(std::int32_t line, std::int32_t line_count, int full_width) {
  if (line_count == 0) return Failure{err::kDivisionByZero, "Division by zero"};
  double share = static_cast<double>(line) / static_cast<double>(line_count);
  double width = RoundHalfEven(share * full_width);
  if (!(std::fabs(width) <= std::numeric_limits<int>::max())) {
    return Failure{err::kOverflow, "Overflow: progress width"};
  }
  return static_cast<int>(width);
}

RunResult RunInstallScript(const RunEnvironment& env) {
  RunContext run(env);
  env.window.ClearStatusList();
  const std::string control = env.program_folder + kControlFileName;
  if (FileExists(env.platform.fs, env.platform.dialogs, control)) {
    RunOutcome outcome = RunLines(run);
    if (outcome != RunOutcome::kCompleted) return {outcome, run.operations(), run.errors()};
  } else {
    run.Log("Error: File Not Found! ( " + control + " ), Installation could not be completed!");
    run.AddError();
    run.AddOperation();
  }
  Summarize(run);
  return {RunOutcome::kCompleted, run.operations(), run.errors()};
}

}  // namespace dfm
