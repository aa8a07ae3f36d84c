#include "shell/installed_mods_window.h"

#include <cstdio>

#include "base/path_utils.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "restore/install_stack.h"

namespace dfm {
namespace {

using State = RestorePointInfo::State;

// The game folder an install belongs to: the first of its folders that holds a file it
// touched (every known game's folder is noted at the start of an install).
std::string FolderOf(const RestorePointInfo& p) {
  for (const auto& g : p.game_folders) {
    const std::string f = FoldedPath(g);
    for (const auto& key : p.keys) {
      if (key.size() > f.size() && key.compare(0, f.size(), f) == 0 && key[f.size()] == '\\')
        return g;
    }
  }
  return p.game_folders.empty() ? "(no game folder)" : p.game_folders.front();
}

std::string StateText(const RestorePointInfo& p) {
  if (!p.damage.empty()) return p.damage;
  if (p.left > 0) return "partly removed: " + std::to_string(p.left) + " files left";
  switch (p.state) {
    case State::kComplete:
      return "installed";
    case State::kInterrupted:
      return "interrupted";
    case State::kRolledBack:
      return "interrupted and rolled back";
    case State::kUndone:
      return "removed";
  }
  return {};
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Files(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " file" : " files");
}

std::string Entries(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " archive entry" : " archive entries");
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += "\r\n" + l;
  return out;
}

}  // namespace

std::string RemoveQuestion(const RestorePointInfo& p, const std::vector<Cover>& covers) {
  std::string text = "Remove " + p.mod + " from " + FolderOf(p) + "?\r\n\r\n" +
                     Files(p.files.size()) + " and " + Entries(p.entries.size()) +
                     " go back to how they were before it was installed.";
  if (covers.empty()) return text;
  text += "\r\n\r\nLater installs changed some of the same files; those stay as they left them:";
  for (const Cover& c : covers) text += "\r\n" + c.mod + ": " + CountText(c.items);
  return text;
}

void InstalledModsWindow::Open(const std::string& id) {
  Refresh();
  if (id.empty()) return;
  for (std::size_t i = 0; i < controls_.rows.size(); ++i) {
    if (controls_.rows[i].id == id) {
      Select(static_cast<int>(i));
      ClickRemove();
      return;
    }
  }
  platform_.dialogs.MessageBox("No install " + id + " is kept in " + folder_ + ".");
}

void InstalledModsWindow::Refresh() {
  const std::string selected = SelectedPoint() ? SelectedPoint()->id : std::string();
  RestoreStore store(platform_.fs, folder_);
  auto listed = store.List();
  if (!listed) {
    platform_.dialogs.MessageBox("The installs could not be listed:\r\n" +
                                 listed.failure().description);
    Show();
    return;
  }
  // Game folders in the order of their newest install; each folder's installs newest first.
  std::vector<std::string> folders;
  for (const auto& p : *listed) {
    const std::string f = FolderOf(p);
    bool seen = false;
    for (const auto& g : folders) seen = seen || FoldedPath(g) == FoldedPath(f);
    if (!seen) folders.push_back(f);
  }
  points_ = std::move(*listed);
  controls_.rows.clear();
  row_points_.clear();
  for (const auto& folder : folders) {
    controls_.rows.push_back({true, {}, folder, {}, {}, {}, {}, {}, {}, false});
    row_points_.push_back(-1);
    for (std::size_t i = 0; i < points_.size(); ++i) {
      const RestorePointInfo& p = points_[i];
      if (FoldedPath(FolderOf(p)) != FoldedPath(folder)) continue;
      std::string covered;
      for (const Cover& c : CoveredBy(points_, p.id))
        covered += (covered.empty() ? "" : ", ") + c.mod;
      controls_.rows.push_back({false, p.id, folder, p.mod, InstalledText(p.started),
                                FileName(p.installer),
                                Files(p.files.size()) + ", " + Entries(p.entries.size()),
                                StateText(p), covered, IsLive(p)});
      row_points_.push_back(static_cast<int>(i));
    }
  }
  controls_.selected = -1;
  for (std::size_t i = 0; i < controls_.rows.size(); ++i) {
    if (!selected.empty() && controls_.rows[i].id == selected)
      controls_.selected = static_cast<int>(i);
  }
  Select(controls_.selected);
}

void InstalledModsWindow::Select(int row) {
  controls_.selected = row >= 0 && row < static_cast<int>(controls_.rows.size()) ? row : -1;
  const InstalledModRow* r = controls_.selected < 0 ? nullptr : &controls_.rows[controls_.selected];
  controls_.remove_enabled = r && r->removable;
  controls_.details_enabled = r && !r->heading;
  Show();
}

const RestorePointInfo* InstalledModsWindow::SelectedPoint() const {
  if (controls_.selected < 0 || row_points_[controls_.selected] < 0) return nullptr;
  return &points_[row_points_[controls_.selected]];
}

void InstalledModsWindow::ClickRemove() {
  const RestorePointInfo* selected = SelectedPoint();
  // Not again while an undo is under way (the view's events are pumped meanwhile).
  if (!selected || !controls_.remove_enabled || controls_.busy) return;
  const RestorePointInfo point = *selected;
  if (platform_.dialogs.MessageBox(RemoveQuestion(point, CoveredBy(points_, point.id)),
                                   "Remove Mod", MsgButtons::kYesNo,
                                   MsgIcon::kQuestion) != MsgAnswer::kYes)
    return;
  if (!Remove(point)) return;
  Refresh();
  for (const auto& p : points_) {
    if (p.id == point.id && !IsLive(p) && on_removed_) on_removed_(p);
  }
}

bool InstalledModsWindow::Remove(const RestorePointInfo& point) {
  RestoreStore store(platform_.fs, folder_);
  auto lock = store.Lock();
  if (!lock && lock.failure().code == err::kFileAlreadyOpen) {
    platform_.dialogs.MessageBox(
        "Another install or undo is under way with the restore points in " + folder_ +
        ".\r\nRemove the mod once it has finished.");
    return false;
  }
  // The view hears of each thousandth of the way: a long undo moves the bar without a
  // repaint per step.
  auto steps = [this](std::size_t done, std::size_t total) {
    const auto share = [total](std::size_t n) { return total == 0 ? 0 : n * 1000 / total; };
    if (total == controls_.progress_total && share(done) == share(controls_.progress_done)) return;
    controls_.progress_done = done;
    controls_.progress_total = total;
    Show();
    platform_.pump.ProcessPendingEvents();
  };
  auto undo = [&](bool force) {
    controls_.busy = true;
    controls_.progress_done = controls_.progress_total = 0;
    Show();
    platform_.pump.ProcessPendingEvents();
    auto report = store.Undo(point.id, force, platform_.clock.Now(), steps);
    controls_.busy = false;
    controls_.progress_done = controls_.progress_total = 0;
    Show();
    return report;
  };
  auto report = undo(false);
  if (!report) {
    platform_.dialogs.MessageBox(
        point.mod + " could not be removed:\r\n" + report.failure().description, "Remove Mod",
        MsgButtons::kOk, MsgIcon::kCritical);
    return false;
  }
  if (!report->changed.empty() && report->failures.empty()) {
    const std::string question =
        point.mod + " was partly removed: " + Files(report->files) + " put back.\r\n\r\n" +
        "These files were changed since the install and were left alone:" + Lines(report->changed) +
        "\r\n\r\nPut them back too? The changes made to them since are lost.";
    if (platform_.dialogs.MessageBox(question, "Remove Mod", MsgButtons::kYesNo,
                                     MsgIcon::kExclamation) != MsgAnswer::kYes)
      return true;
    report = undo(true);  // its count takes in what the first pass put back
    if (!report) {
      platform_.dialogs.MessageBox(
          point.mod + " could not be removed:\r\n" + report.failure().description, "Remove Mod",
          MsgButtons::kOk, MsgIcon::kCritical);
      return true;
    }
  }
  std::string text;
  if (report->rolled_back) {
    text = RolledBackText(*report);
  } else if (report->complete()) {
    text = point.mod + " was removed: " + Files(report->files) + " put back.";
  } else {
    text = point.mod + " was partly removed: " + Files(report->files) + " put back, " +
           Files(report->left) + " left." + Lines(report->failures);
  }
  platform_.dialogs.MessageBox(text, "Remove Mod", MsgButtons::kOk,
                               report->complete() ? MsgIcon::kInformation : MsgIcon::kExclamation);
  return true;
}

void InstalledModsWindow::ClickDetails() {
  if (const RestorePointInfo* p = SelectedPoint())
    view_.ShowText(p->mod + " - " + p->id, ManifestText(*p));
}

void InstalledModsWindow::Show() {
  view_.ControlsChanged(controls_);
}

// When the install started, as the player's locale writes a date and time; a time the
// manifest does not spell "YYYY-MM-DD hh:mm" (or that names no day) as it stands.
std::string InstalledModsWindow::InstalledText(const std::string& started) const {
  LocalDateTime t;
  if (std::sscanf(started.c_str(), "%4d-%2d-%2d %2d:%2d", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute) != 5 ||
      t.year < 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
      t.hour > 23 || t.minute < 0 || t.minute > 59)
    return started;
  return platform_.clock.DateTimeText(t);
}

}  // namespace dfm
