// InstalledModsWindow: the presenter of the window that lists every install kept in the
// folder of restore points, grouped by game folder, and removes the one the player picks.
// A host's view (InstalledModsView) renders its controls and forwards the clicks.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "restore/install_stack.h"
#include "restore/restore_points.h"

namespace dfm {

inline constexpr char kInstalledModsTitle[] = "Installed Mods - DF Mod Installer";

// One line of the list: a game folder's heading, or an install below it.
struct InstalledModRow {
  bool heading = false;
  std::string id;  // the restore point; empty for a heading
  std::string folder, mod, installed, installer, changes, state, covered_by;
  bool removable = false;  // live: complete, interrupted, or partly undone
};

struct InstalledModsControls {
  std::string title = kInstalledModsTitle;
  std::vector<InstalledModRow> rows;  // folders by their newest install, newest first below
  int selected = -1;                  // index into rows; -1: none
  bool remove_enabled = false;
  bool details_enabled = false;
  bool busy = false;  // an undo is under way: the buttons wait, the progress bar moves
  // How far the undo under way has come: steps done of the total (0 of 0 before it knows).
  std::size_t progress_done = 0, progress_total = 0;
};

class InstalledModsView {
 public:
  virtual ~InstalledModsView() = default;
  virtual void ControlsChanged(const InstalledModsControls& controls) = 0;
  // A read-only text (a restore point's manifest) in a window of its own.
  virtual void ShowText(const std::string& title, const std::string& text) = 0;
  // The window closes and its event loop ends.
  virtual void Close() = 0;
};

// "Remove <mod> from <folder>?", what goes back, and what stays as the later installs
// `covers` (CoveredBy) left it.
std::string RemoveQuestion(const RestorePointInfo& point, const std::vector<Cover>& covers);

class InstalledModsWindow {
 public:
  // Every reference outlives the presenter. `folder` is the folder of restore points.
  InstalledModsWindow(Platform& platform, InstalledModsView& view, std::string folder)
      : platform_(platform), view_(view), folder_(std::move(folder)) {}

  const InstalledModsControls& controls() const { return controls_; }
  // Called with each install removed (wholly undone or rolled back), after the refresh.
  void set_on_removed(std::function<void(const RestorePointInfo&)> f) {
    on_removed_ = std::move(f);
  }

  // Lists the installs and shows the window; with `id`, selects its row and asks to
  // remove it (the route of Windows' uninstall list).
  void Open(const std::string& id = {});
  // Lists the installs again, keeping the selection on the same install where it is left.
  void Refresh();
  void Select(int row);
  // Remove: the question, the undo, the outcome; then the list is refreshed. A failed
  // undo leaves the list as it was and says why.
  void ClickRemove();
  // Details: the selected install's manifest.
  void ClickDetails();
  // Close (the window's close box too): not while an undo is under way.
  void ClickClose() {
    if (!controls_.busy) view_.Close();
  }

 private:
  const RestorePointInfo* SelectedPoint() const;
  // Undoes `point` under the store's lock; false when the player is told it could not.
  bool Remove(const RestorePointInfo& point);
  void Show();
  std::string InstalledText(const std::string& started) const;

  Platform& platform_;
  InstalledModsView& view_;
  std::string folder_;
  InstalledModsControls controls_;
  std::vector<RestorePointInfo> points_;  // as listed, newest first
  std::vector<int> row_points_;           // each row's index into points_; -1: a heading
  std::function<void(const RestorePointInfo&)> on_removed_;
};

}  // namespace dfm
