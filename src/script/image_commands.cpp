#include "script/image_commands.h"

#include "image/detail_map.h"
#include "image/tga.h"

namespace dfm {

CommandOutcome RunConvertJpgToTga(RunContext& run) {
  const std::string& name = run.Word(2);
  run.Announce("Converting " + name + " To " + run.ResolveTarget());
  const std::string source = run.SourcePath(name);
  if (run.RequireFile(source)) {
    run.Step(ConvertJpgToTga(run.fs(), run.dialogs(), source, run.ResolveTarget()));
  }
  return CommandOutcome::kContinue;
}

CommandOutcome RunCreateDetailMap(RunContext& run) {
  const std::string& name = run.Word(2);
  run.Announce("Creating Effect Detail Map For " + name + " ( " + run.ResolveTarget() + " )");
  const std::string source = run.SourcePath(name);
  if (run.RequireFile(source)) run.Step(CreateDetailMap(run.fs(), source, run.ResolveTarget()));
  return CommandOutcome::kContinue;
}

}  // namespace dfm
