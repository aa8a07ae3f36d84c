#include "shell/main_window.h"

#include "base/path_utils.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "script/path_tokens.h"
#include "shell/install_log.h"

namespace dfm {

void MainWindow::ClickInstall() {
  const int version = state_.df_version;
  if (!IsFolderKnown(state_.game_folders, version)) {
    platform_.dialogs.MessageBox("Please Set Valid Delta Force " + std::to_string(version) +
                                 " Path First!");
    return;
  }
  if (!LockRestorePoints()) return;
  RecoverInterrupted();
  if (!BeginRestorePoint()) {
    store_lock_.reset();
    return;
  }
  ExpandForInstall();
  const RunOutcome outcome = RunInstallScript();
  store_lock_.reset();
  if (outcome == RunOutcome::kProgramEnded) {
    EndProgram();
    return;
  }
  MainControls& c = state_.controls;
  state_.installing = false;
  if (outcome == RunOutcome::kCompleted) c.change = {"Finished", c.change.visible, true};
  c.pointer = MousePointer::kDefault;
  ShowControls();
}

void MainWindow::ExpandForInstall() {
  MainControls& c = state_.controls;
  c.install.visible = false;
  c.status_frame_left = 0;
  c.window_height = kExpandedHeight;
  c.pointer = MousePointer::kWait;
  ShowControls();
  platform_.pump.ProcessPendingEvents();
  state_.installing = true;
  c.change.caption = "Working!";
  c.change.enabled = false;
  ShowControls();
}

void MainWindow::ClickChange() {
  if (state_.controls.change.caption == "Finished") {
    EndProgram();
    return;
  }
  const int version = state_.df_version;
  if (!IsGameVersion(version)) return;
  // Cancelling keeps the folder that was known; an unknown one stays "Nothing". A browser
  // that fails says why and keeps it too.
  std::string& folder = state_.game_folders[version];
  auto chosen = platform_.dialogs.BrowseForFolder(SelectFolderPrompt(version));
  if (!chosen) {
    const Failure& f = chosen.failure();
    platform_.dialogs.MessageBox("Error: " + f.description + ", #" + std::to_string(f.code), {},
                                 MsgButtons::kOk, MsgIcon::kCritical);
  } else if (*chosen) {
    folder = **chosen;
  }
  state_.controls.folder = folder;
  ShowControls();
}

void MainWindow::ClickAbout() {
  if (credits_window_) {
    credits_window_->BringToFront();
    return;
  }
  std::unique_ptr<CreditsCanvas> canvas = view_.OpenCreditsWindow();
  if (!canvas) return;
  credits_window_ = canvas.get();
  canvas->Show();
  platform_.pump.ProcessPendingEvents();
  CreditsWindow credits(platform_, state_.credits, state_.program_folder, *canvas);
  credits.set_speed(credits_speed_);
  credits.StartUp();
  credits_window_ = nullptr;
}

bool MainWindow::RequestClose() {
  if (!state_.installing) return true;
  MsgAnswer answer = platform_.dialogs.MessageBox(
      "Prgram Is Currently Installing!\r\nIt May Not Be Save To Quit During Installation!\r\n"
      "Are You Sure You Want To Quit?",
      {}, MsgButtons::kYesNo);
  if (answer == MsgAnswer::kYes) state_.quit_requested = true;
  return false;
}

bool MainWindow::LockRestorePoints() {
  restore_point_failed_ = false;
  if (restore_.folder.empty()) return true;
  auto lock = RestoreStore(platform_.fs, restore_.folder).Lock();
  if (lock) {
    store_lock_ = std::move(*lock);
    return true;
  }
  // Any other trouble with the folder is the restore point's to report.
  if (lock.failure().code != err::kFileAlreadyOpen) return true;
  platform_.dialogs.MessageBox("Another install or undo is under way with the restore points in " +
                               restore_.folder + ".\r\nInstall again once it has finished.");
  restore_point_failed_ = true;
  return false;
}

void MainWindow::RecoverInterrupted() {
  if (restore_.folder.empty()) return;
  std::vector<std::string> folders{state_.program_folder};
  for (int v = 1; v <= 3; ++v) {
    if (IsFolderKnown(state_.game_folders, v)) folders.push_back(state_.game_folders[v]);
  }
  RestoreStore store(platform_.fs, restore_.folder);
  for (const UndoReport& r : store.RecoverInterrupted(folders, platform_.clock.Now())) {
    platform_.dialogs.MessageBox(RolledBackText(r));
  }
}

bool MainWindow::BeginRestorePoint() {
  if (restore_.mode == RestorePolicy::Mode::kOff || restore_.folder.empty()) return true;
  InstallDescription install{state_.controls.mod_name, restore_.installer, {}, {}};
  if (auto sha = FileSha256(platform_.fs, restore_.installer)) install.installer_sha = *sha;
  for (int v = 1; v <= 3; ++v) {
    if (IsFolderKnown(state_.game_folders, v))
      install.game_folders.push_back(state_.game_folders[v]);
  }
  // The installer's own files stay out of the restore point: its log, and what start-up
  // extracted beside it, which the install deletes.
  std::set<std::string> own = unpacked_;
  own.insert(FoldedPath(AsFolder(state_.program_folder) + kInstallLogName));
  RestoreStore store(platform_.fs, restore_.folder);
  auto point = store.Begin(
      install, platform_.clock.Now(),
      [own = std::move(own)](const std::string& path) { return own.count(FoldedPath(path)) > 0; },
      restore_.rehearsal);
  if (point) {
    point_ = std::move(*point);
    return true;
  }
  const std::string why =
      "The restore point could not be written:\r\n" + point.failure().description;
  if (restore_.mode == RestorePolicy::Mode::kAsk &&
      platform_.dialogs.MessageBox(why + "\r\nInstall without a restore point?", "Restore Point",
                                   MsgButtons::kYesNo) == MsgAnswer::kYes)
    return true;
  if (restore_.mode == RestorePolicy::Mode::kRequire) platform_.dialogs.MessageBox(why);
  restore_point_failed_ = true;
  return false;
}

RunOutcome MainWindow::RunInstallScript() {
  log_failure_reported_ = false;
  ++runs_;
  const PathTokens tokens(state_.game_folders, style_, platform_.dialogs);
  auto run = [&](Platform& platform) {
    RunEnvironment env{platform,
                       *this,
                       tokens,
                       archives_,
                       state_.program_folder,
                       state_.credits.file,
                       state_.control_line_count};
    last_run_ = dfm::RunInstallScript(env);
  };
  if (point_) {
    Platform journaled{point_->fs(),    platform_.dialogs, platform_.pump,
                       platform_.clock, platform_.process, platform_.registry};
    archives_.UseFileSystem(point_->fs());
    archives_.set_add_observer([this](const std::string& archive, const PffEntry& entry,
                                      const PffPlacement& placement) {
      static const char* const kHow[] = {"dead space reused whole", "tail of dead space",
                                         "appended"};
      point_->NoteEntry(archive, PffNameText(entry.name), kHow[static_cast<int>(placement.kind)],
                        placement.replaced_size, entry.data_size);
    });
    archives_.set_before_add([this](const std::string& archive, const PffEntry& entry,
                                    const PffEntry* replaced, const Bytes& bytes) {
      return point_->NoteBefore(archive, entry.name, replaced, bytes);
    });
    run(journaled);
    archives_.UseFileSystem(platform_.fs);
    archives_.set_add_observer({});
    archives_.set_before_add({});
    if (Status st = point_->Finish(platform_.clock.Now()); !st) {
      // Said in the log too: the install stays, but without a restore point to trust.
      AddLogEntry("Restore Point " + point_->id() + " Not Finished: " + st.failure().description,
                  false);
      platform_.dialogs.MessageBox("The restore point could not be finished:\r\n" +
                                   st.failure().description +
                                   "\r\nThis install may not be undone from it.");
    } else if (restore_.completed && !restore_.rehearsal) {
      const int game = state_.df_version;
      if (Status st = restore_.completed(point_->id(), game, state_.game_folders[game]); !st)
        AddLogEntry("Uninstall List Not Updated: " + st.failure().description, false);
    }
    point_.reset();
    return last_run_.outcome;
  }
  run(platform_);
  return last_run_.outcome;
}

bool MainWindow::IsLineAllowed(const std::vector<std::string>& words) const {
  return dfm::IsLineAllowed(words, state_.credits.file);
}

void MainWindow::EndProgram() {
  ended_ = true;
  if (credits_window_) credits_window_->Close();
  view_.EndProgram();
}

void MainWindow::AddLogEntry(const std::string& message, bool first_entry) {
  Status written =
      WriteInstallLogEntry(platform_.fs, platform_.clock, kInstallLogName, message, first_entry);
  state_.controls.status.push_back(message);
  view_.StatusAdded(message);
  if (!written.ok() && !log_failure_reported_) {
    log_failure_reported_ = true;
    platform_.dialogs.MessageBox("Error in AddLogEntry\r\n" + written.failure().description);
  }
  platform_.pump.ProcessPendingEvents();
}

void MainWindow::ClearStatusList() {
  state_.controls.status.clear();
  view_.StatusCleared();
}

void MainWindow::SetProgressWidth(int twips) {
  state_.controls.progress_width = twips;
  ShowControls();
}

void MainWindow::RestoreAfterAbort() {
  MainControls& c = state_.controls;
  c.progress_width = 0;
  state_.installing = false;
  c.change.caption = "Change!";
  c.change.enabled = true;
  ShowControls();
  platform_.pump.ProcessPendingEvents();
  c.status_frame_left = kStatusFrameHidden;
  c.window_height = kCollapsedHeight;
  c.install.visible = true;
  c.pointer = MousePointer::kDefault;
  ShowControls();
}

}  // namespace dfm
