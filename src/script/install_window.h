// What the script run needs from the main window: its log, its status list and progress
// bar, the quit request, and the way back after an abort. The main window's presenter
// implements it; tests may fake it.
#pragma once

#include <string>

namespace dfm {

class InstallWindow {
 public:
  virtual ~InstallWindow() = default;

  // Writes the message to InstallLog.txt (a new log when `first_entry`), adds it to the
  // status list and lets the window repaint. Never fails: a log that cannot be written
  // is the window's to report.
  virtual void AddLogEntry(const std::string& message, bool first_entry) = 0;
  virtual void ClearStatusList() = 0;
  // The status list's width in twips: the progress bar's full width.
  virtual int StatusListWidth() const = 0;
  virtual void SetProgressWidth(int twips) = 0;
  // Whether the user confirmed quitting during the installation.
  virtual bool QuitRequested() const = 0;
  // Puts the window back into its ready state after the user aborted the run: progress
  // bar empty, not installing, change button "Change!" and enabled, status frame out of
  // view, window collapsed, Install visible, default mouse pointer.
  virtual void RestoreAfterAbort() = 0;
};

}  // namespace dfm
