#include "script/pack_command.h"

#include "base/path_utils.h"
#include "platform/event_pump.h"

namespace dfm {

bool AskAbortForMissingArchive(Dialogs& dialogs, const std::string& archive) {
  const std::string text = "A critical Delta Force file was not found: \r\n( " + archive +
                           " )\r\nThis is most likely due to an invalid Delta Force path!\r\n"
                           "Would you like to abort installation? (so you can select a "
                           "valid path)";
  return dialogs.MessageBox(text, "Warning: Critical File Missing!", MsgButtons::kYesNo,
                            MsgIcon::kNone) == MsgAnswer::kYes;
}

CommandOutcome RunPack(RunContext& run) {
  const std::string& name = run.Word(2);
  const auto shown = run.ResolveTarget();
  if (!shown) return CommandOutcome::kContinue;
  run.Announce("Adding " + name + " To " + *shown);
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  const auto archive = run.ResolveTarget();
  if (!archive) return CommandOutcome::kContinue;
  if (!run.RequireFile(*archive)) {
    bool abort = AskAbortForMissingArchive(run.dialogs(), *archive);
    return abort ? CommandOutcome::kAbort : CommandOutcome::kContinue;
  }
  const auto target = run.ResolveTarget();
  if (!target) return CommandOutcome::kContinue;
  PffArchiveTable& archives = run.env().archives;
  const int handle = archives.OpenFile(*target);
  run.env().platform.pump.ProcessPendingEvents();
  // The table has shown its own failures in message boxes; the line's failure entry and
  // error count come on top, so that the summary, the log and the exit code tell of it.
  if (handle == PffArchiveTable::kNoSlot) {
    run.ReportFailure(Failure{err::kOverflow, "Overflow"});
  } else {
    run.Step(archives.AddFile(handle, source));
  }
  return CommandOutcome::kContinue;
}

}  // namespace dfm
