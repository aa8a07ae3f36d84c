#include "script/file_commands.h"

#include "base/path_utils.h"
#include "platform/file_exists.h"
#include "script/control_file.h"

namespace dfm {
namespace {

// FileSystem::Rename's failure when source and target lie on different volumes.
bool IsCrossVolume(const Failure& failure) {
  return failure.code == err::kNotSameDevice;
}

// Whether `target` names the file `source` names, however the two are spelled ("." steps,
// letter case, a linked folder): only the file system can tell.
bool SameFile(FileSystem& fs, const std::string& source, const std::string& target) {
  auto a = fs.Identity(source);
  auto b = a ? fs.Identity(target) : a;
  return a && b && *a == *b;
}

// The target file's path; nullopt after the failure entry of a folder browser that failed.
std::optional<std::string> TargetPath(RunContext& run) {
  auto folder = run.ResolveTarget();
  if (!folder) return std::nullopt;
  return CopyTargetFolder(run.fs(), *folder) + run.Word(2);
}

// Removes an existing file at `target`: the entry, the delete (a failure is reported
// and the copy is still tried), one operation.
void RemoveExistingTarget(RunContext& run, const std::string& target) {
  if (!FileExists(run.fs(), run.dialogs(), target)) return;
  run.Log("Removing Existing File: " + target);
  run.Step(run.fs().RemoveFile(target));
  run.AddOperation();
}

void MoveAcrossVolumes(RunContext& run, const std::string& from, const std::string& to) {
  if (!run.Step(run.fs().CopyFile(from, to))) return;
  run.Step(run.fs().RemoveFile(from));
}

CommandOutcome Transfer(RunContext& run, const char* verb, bool move) {
  const std::string& name = run.Word(2);
  const auto shown = TargetPath(run);
  if (!shown) return CommandOutcome::kContinue;
  run.Announce(std::string(verb) + name + " To " + *shown);
  const std::string source = run.SourcePath(name);
  if (!run.RequireFile(source)) return CommandOutcome::kContinue;
  // A target that is the source itself (the installer runs from the game's folder) is
  // already in place; removing it first would lose it.
  const auto existing = TargetPath(run);
  if (!existing || SameFile(run.fs(), source, *existing)) return CommandOutcome::kContinue;
  RemoveExistingTarget(run, *existing);
  const auto target = TargetPath(run);
  if (!target) return CommandOutcome::kContinue;
  if (!move) {
    run.Step(run.fs().CopyFile(source, *target));
    return CommandOutcome::kContinue;
  }
  Status renamed = run.fs().Rename(source, *target);
  if (!renamed.ok() && IsCrossVolume(renamed.failure())) {
    MoveAcrossVolumes(run, source, *target);
  } else {
    run.Step(renamed);
  }
  return CommandOutcome::kContinue;
}

}  // namespace

std::string CopyTargetFolder(FileSystem& fs, const std::string& resolved) {
  auto is_folder = fs.IsDirectory(resolved);
  if (is_folder.ok() && *is_folder) return AsFolder(resolved);
  return GetFolder(resolved);
}

CommandOutcome RunCopy(RunContext& run) {
  return Transfer(run, "Copying ", false);
}

CommandOutcome RunMove(RunContext& run) {
  return Transfer(run, "Moving ", true);
}

CommandOutcome RunDelete(RunContext& run) {
  const std::string name = GetFileName(run.Word(2));
  run.Announce("Deleting Temporary File ( " + name + " )");
  const std::string path = run.SourcePath(name);
  if (run.RequireFile(path)) run.Step(run.fs().RemoveFile(path));
  return CommandOutcome::kContinue;
}

}  // namespace dfm
