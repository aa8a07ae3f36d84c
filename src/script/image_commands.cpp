#include "script/image_commands.h"

#include "image/detail_map.h"
#include "image/tga.h"

namespace dfm {

CommandOutcome RunConvertJpgToTga(RunContext& run) {
  const std::string& name = run.Word(2);
  const auto shown = run.ResolveTarget();
  if (!shown) return CommandOutcome::kContinue;
  run.Announce("Converting " + name + " To " + *shown);
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  if (const auto target = run.ResolveTarget())
    run.Step(ConvertJpgToTga(run.fs(), run.dialogs(), source, *target));
  return CommandOutcome::kContinue;
}

CommandOutcome RunCreateDetailMap(RunContext& run) {
  const std::string& name = run.Word(2);
  const auto shown = run.ResolveTarget();
  if (!shown) return CommandOutcome::kContinue;
  run.Announce("Creating Effect Detail Map For " + name + " ( " + *shown + " )");
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  if (const auto target = run.ResolveTarget()) run.Step(CreateDetailMap(run.fs(), source, *target));
  return CommandOutcome::kContinue;
}

}  // namespace dfm
