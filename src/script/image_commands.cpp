#include "script/image_commands.h"

namespace dfm {

CommandOutcome RunConvertJpgToTga(RunContext& run) {
  const std::string& name = run.Word(2);
  run.Announce("Converting " + name + " To " + run.ResolveTarget());
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  // TODO(image): ConvertJpgToTga(source, run.ResolveTarget())
  return CommandOutcome::kContinue;
}

CommandOutcome RunCreateDetailMap(RunContext& run) {
  const std::string& name = run.Word(2);
  run.Announce("Creating Effect Detail Map For " + name + " ( " + run.ResolveTarget() + " )");
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  // TODO(image): CreateDetailMap(source, run.ResolveTarget())
  return CommandOutcome::kContinue;
}

}  // namespace dfm
