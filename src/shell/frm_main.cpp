#include "shell/frm_main.h"

#include <algorithm>

#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "shell/install_log.h"
#include "shell/path_tokens.h"

namespace dfm {

void frmMain::ClickInstall() {
  const int version = state_.df_version;
  if (!IsFolderKnown(state_.game_folders, version)) {
    platform_.dialogs.MessageBox("Please Set Valid Delta Force " + std::to_string(version) +
                                 " Path First!");
    return;
  }
  ExpandForInstall();
  const RunOutcome outcome = RunInstallScript();
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

void frmMain::ExpandForInstall() {
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

void frmMain::ClickChange() {
  if (state_.controls.change.caption == "Finished") {
    EndProgram();
    return;
  }
  const int version = state_.df_version;
  if (!IsGameVersion(version)) return;
  // Cancelling keeps the folder that was known; an unknown one stays "Nothing".
  std::string& folder = state_.game_folders[version];
  if (auto chosen = platform_.dialogs.BrowseForFolder(SelectFolderPrompt(version)))
    folder = *chosen;
  state_.controls.folder = folder;
  ShowControls();
}

void frmMain::ClickAbout() {
  if (credits_window_) {
    credits_window_->BringToFront();
    return;
  }
  std::unique_ptr<CreditsCanvas> canvas = view_.OpenCreditsWindow();
  if (!canvas) return;
  credits_window_ = canvas.get();
  canvas->Show();
  platform_.pump.ProcessPendingEvents();
  frmCredits credits(platform_, state_.credits, state_.program_folder, *canvas);
  credits.StartUp();
  credits_window_ = nullptr;
}

bool frmMain::RequestClose() {
  if (!state_.installing) return true;
  MsgAnswer answer = platform_.dialogs.MessageBox(
      "Prgram Is Currently Installing!\r\nIt May Not Be Save To Quit During Installation!\r\n"
      "Are You Sure You Want To Quit?",
      {}, MsgButtons::kYesNo);
  if (answer == MsgAnswer::kYes) state_.quit_requested = true;
  return false;
}

RunOutcome frmMain::RunInstallScript() {
  log_failure_reported_ = false;
  ++runs_;
  RunEnvironment env{platform_,           *this,
                     archives_,           state_.program_folder,
                     state_.credits.file, state_.control_line_count};
  last_run_ = dfm::RunInstallScript(env);
  return last_run_.outcome;
}

bool frmMain::IsLineAllowed(const std::vector<std::string>& words) const {
  return dfm::IsLineAllowed(words, state_.credits.file);
}

void frmMain::EndProgram() {
  ended_ = true;
  if (credits_window_) credits_window_->Close();
  view_.EndProgram();
}

void frmMain::AddLogEntry(const std::string& message, bool first_entry) {
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

std::string frmMain::ResolvePathTokens(std::string_view text) {
  std::string resolved = dfm::ResolvePathTokens(text, state_.game_folders, platform_.dialogs);
  if (style_ == PathStyle::kPosix) std::replace(resolved.begin(), resolved.end(), '\\', '/');
  return resolved;
}

void frmMain::ClearStatusList() {
  state_.controls.status.clear();
  view_.StatusCleared();
}

void frmMain::SetProgressWidth(int twips) {
  state_.controls.progress_width = twips;
  ShowControls();
}

void frmMain::RestoreAfterAbort() {
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
