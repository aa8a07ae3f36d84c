#include "common/uninstall_run.h"

#include <memory>

#include "platform/host.h"
#include "shell/payload.h"
#include "shell/uninstall_keys.h"

namespace dfm::cli {

void PruneUninstallList(const Io& io) {
  std::unique_ptr<UninstallList> list = io.make_uninstall_list ? io.make_uninstall_list() : nullptr;
  if (list) PruneUninstallList(*list, *MakeHostFileSystem());
}

std::function<Status(const std::string&, int, const std::string&)> RegisterCompleted(
    const Io& io, const std::string& restore_folder) {
  std::shared_ptr<UninstallList> list = io.make_uninstall_list ? io.make_uninstall_list() : nullptr;
  if (!list || restore_folder.empty()) return {};
  std::string parent = restore_folder;  // the copy goes beside the folder of restore points
  while (parent.size() > 1 && (parent.back() == '\\' || parent.back() == '/')) parent.pop_back();
  const UninstallProgram program{ProgramFolderOf(parent) + kProgramCopyName, Version()};
  return [list, restore_folder, program](const std::string& id, int game,
                                         const std::string& folder) -> Status {
    auto fs = MakeHostFileSystem();
    auto self = MakeHostProcess()->ExecutablePath();
    if (!self) return self.failure();
    if (Status st = KeepProgramCopy(*fs, *self, program.path, program.version); !st) return st;
    return RegisterInstall(*list, *fs, restore_folder, id, game, folder, program);
  };
}

}  // namespace dfm::cli
