#include "shell/install_log.h"

#include <cstdio>
#include <memory>

namespace dfm {
namespace {

std::string TwoDigits(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

}  // namespace

std::string InstallLogHeader(Clock& clock) {
  const LocalDateTime now = clock.Now();
  return "Kyv Obrik's DF Mod Installer\r\nLog Created On " + clock.WeekdayName(now.weekday) +
         " The " + TwoDigits(now.day) + " Of " + clock.MonthName(now.month) + " At " +
         TwoDigits(now.hour) + ":" + TwoDigits(now.minute) + ":" + TwoDigits(now.second) + "\r\n";
}

Status WriteInstallLogEntry(FileSystem& fs, Clock& clock, const std::string& path,
                            const std::string& message, bool first_entry) {
  std::string text = first_entry ? InstallLogHeader(clock) : std::string();
  text += message;
  text += "\r\n";
  auto file = fs.Open(path, first_entry ? OpenMode::kCreateFresh : OpenMode::kAppend);
  if (!file) return file.failure();
  Status written = (*file)->WriteAt(0, text.data(), text.size());
  Status closed = (*file)->Close();
  return written.ok() ? closed : written;
}

}  // namespace dfm
