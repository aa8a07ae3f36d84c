// Test doubles for the platform interfaces.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"

namespace dfm::testing {

// Records every dialog and answers from queues (default: OK / No / cancelled).
class RecordingDialogs : public Dialogs {
 public:
  struct Box {
    std::string text;
    std::string title;
    MsgButtons buttons;
    MsgIcon icon;
  };
  std::vector<Box> boxes;
  std::vector<std::string> prompts;  // input boxes and folder browsers, in order
  std::deque<MsgAnswer> answers;
  std::deque<std::optional<std::string>> inputs;
  std::deque<std::optional<std::string>> folders;
  std::optional<Failure> browse_failure;  // the next folder browser fails with it

  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override {
    boxes.push_back({text, title, buttons, icon});
    const bool ok = buttons == MsgButtons::kOk || buttons == MsgButtons::kOkCancel;
    return Next(answers).value_or(ok ? MsgAnswer::kOk : MsgAnswer::kNo);
  }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string&,
                                      const std::string&) override {
    prompts.push_back(prompt);
    return Next(inputs).value_or(std::nullopt);
  }
  Result<std::optional<std::string>> BrowseForFolder(const std::string& title) override {
    prompts.push_back(title);
    if (auto failure = std::exchange(browse_failure, std::nullopt)) return *failure;
    return Next(folders).value_or(std::nullopt);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes) out.push_back(b.text);
    return out;
  }

 private:
  template <class T>
  static std::optional<T> Next(std::deque<T>& queue) {
    if (queue.empty()) return std::nullopt;
    T v = std::move(queue.front());
    queue.pop_front();
    return v;
  }
};

// Counts what is pumped. A wait counts as one pump, is recorded in `waits` and returns at
// once, after `on_wait` (which may move a FixedClock on by the time waited).
class CountingPump : public EventPump {
 public:
  int count = 0;
  std::function<void()> on_pump;
  std::vector<double> waits;
  std::function<void(double)> on_wait;
  void ProcessPendingEvents() override {
    ++count;
    if (on_pump) on_pump();
  }
  void WaitForEvents(double max_seconds) override {
    waits.push_back(max_seconds);
    if (on_wait) on_wait(max_seconds);
    ProcessPendingEvents();
  }
};

// A clock that stands still unless a test moves it.
class FixedClock : public Clock {
 public:
  LocalDateTime now{2026, 12, 6, 15, 42, 7, 0, 0};
  double seconds_since_midnight = 15 * 3600 + 42 * 60 + 7;
  double step = 0;  // added on each SecondsSinceMidnight call
  double SecondsSinceMidnight() override {
    double v = seconds_since_midnight;
    seconds_since_midnight += step;
    return v;
  }
  LocalDateTime Now() override { return now; }
  std::string WeekdayName(int w) override {
    static const char* const kNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
    return (w >= 0 && w < 7) ? kNames[w] : "";
  }
  std::string MonthName(int m) override {
    static const char* const kNames[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    return (m >= 1 && m <= 12) ? kNames[m - 1] : "";
  }
  // "6 December 2026, 15:42".
  std::string DateTimeText(const LocalDateTime& t) override {
    char time[16];
    std::snprintf(time, sizeof time, ", %02d:%02d", t.hour % 100, t.minute % 100);
    return std::to_string(t.day) + " " + MonthName(t.month) + " " + std::to_string(t.year) + time;
  }
};

// Wraps a file system and fails chosen operations. Each rule names an operation
// ("open", "read", "write", "size", "sync", "truncate", "close", "length", "mtime", "settime",
// "isdir", "syncdir", "lock", "identity", "copy", "rename", "replace", "remove", "mkdir", "list",
// "cwd", "chdir"), an optional path substring and how many matching calls pass before it fails
// (then it fails every time, or `times` times).
class FaultyFileSystem : public FileSystem {
 public:
  struct Rule {
    std::string op{};
    std::string path_contains{};  // empty: any path
    int skip = 0;
    int times = -1;  // -1: forever
    Failure failure{err::kDeviceIoError, "Device I/O error (injected)"};
  };

  explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}
  void Fail(Rule rule) { rules_.push_back(std::move(rule)); }
  void Clear() { rules_.clear(); }
  // Operations seen, as "op path" lines.
  std::vector<std::string> log;

  // After this many changes (writes, truncations, copies, renames, removals, folders
  // made, times set, opens for writing) every later change fails, as if the program had
  // died there. -1: never.
  int crash_after = -1;
  int changes() const { return changes_; }
  bool crashed() const { return crash_after >= 0 && changes_ > crash_after; }
  // Each file's length at its latest sync: what a crash keeps of what was appended.
  std::map<std::string, std::uint64_t> synced;
  // Paths that begin with this lie on a volume of their own: a rename between them and
  // other paths fails as the hosts fail it.
  std::string volume;
  std::optional<Failure> Across(const std::string& from, const std::string& to) const {
    if (volume.empty() || (from.rfind(volume, 0) == 0) == (to.rfind(volume, 0) == 0))
      return std::nullopt;
    return Failure{err::kNotSameDevice, "Can't rename with different drive: " + from + " and " +
                                            to + " are on different volumes"};
  }

  std::optional<Failure> Crash(const std::string& op) {
    static const std::set<std::string> kChanges{"write", "truncate", "copy",   "rename", "remove",
                                                "mkdir", "settime",  "create", "replace"};
    if (kChanges.count(op) && changes_++ >= crash_after && crash_after >= 0)
      return Failure{err::kDeviceIoError, "Device I/O error (the program died)"};
    return std::nullopt;
  }

  // What `call` gives, unless a rule or the crash fails `op` on `path`.
  template <class Call>
  auto Pass(const char* op, const std::string& path, Call call) -> decltype(call()) {
    if (auto f = Check(op, path)) return *f;
    return call();
  }
  std::optional<Failure> Check(const std::string& op, const std::string& path) {
    log.push_back(op + " " + path);
    if (auto f = Crash(op)) return f;
    for (auto& r : rules_) {
      if (r.op != op) continue;
      if (!r.path_contains.empty() && path.find(r.path_contains) == std::string::npos) continue;
      if (r.skip > 0) {
        --r.skip;
        continue;
      }
      if (r.times == 0) continue;
      if (r.times > 0) --r.times;
      return r.failure;
    }
    return std::nullopt;
  }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  Result<std::uint64_t> FileLength(const std::string& path) override {
    return Pass("length", path, [&] { return inner_.FileLength(path); });
  }
  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    return Pass("mtime", path, [&] { return inner_.ModifiedTime(path); });
  }
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override {
    return Pass("settime", path, [&] { return inner_.SetModifiedTime(path, time); });
  }
  Result<bool> IsDirectory(const std::string& path) override {
    return Pass("isdir", path, [&] { return inner_.IsDirectory(path); });
  }
  Status SyncFolder(const std::string& path) override {
    return Pass("syncdir", path, [&] { return inner_.SyncFolder(path); });
  }
  Result<std::string> ExactPath(const std::string& path) override { return inner_.ExactPath(path); }
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override {
    return Pass("lock", path, [&] { return inner_.Lock(path); });
  }
  Result<FileIdentity> Identity(const std::string& path) override {
    return Pass("identity", path, [&] { return inner_.Identity(path); });
  }
  // The copy itself goes through this wrapper's opens, writes and "replace".
  Status CopyFile(const std::string& from, const std::string& to) override {
    return Pass("copy", from + " -> " + to, [&] { return FileSystem::CopyFile(from, to); });
  }
  Status Rename(const std::string& from, const std::string& to) override {
    if (auto f = Across(from, to)) return *f;
    return Pass("rename", from + " -> " + to, [&] { return inner_.Rename(from, to); });
  }
  Status ReplaceFile(const std::string& from, const std::string& to) override {
    if (auto f = Across(from, to)) return *f;
    return Pass("replace", from + " -> " + to, [&] { return inner_.ReplaceFile(from, to); });
  }
  Status RemoveFile(const std::string& path) override {
    return Pass("remove", path, [&] { return inner_.RemoveFile(path); });
  }
  Status CanRemove(const std::string& path) override {
    return Pass("canremove", path, [&] { return inner_.CanRemove(path); });
  }
  Status MakeDirectory(const std::string& path) override {
    return Pass("mkdir", path, [&] { return inner_.MakeDirectory(path); });
  }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    return Pass("list", path, [&] { return inner_.ListDirectory(path); });
  }
  Result<std::string> CurrentDirectory() override {
    return Pass("cwd", "", [&] { return inner_.CurrentDirectory(); });
  }
  Status SetCurrentDirectory(const std::string& path) override {
    return Pass("chdir", path, [&] { return inner_.SetCurrentDirectory(path); });
  }

 private:
  FileSystem& inner_;
  std::vector<Rule> rules_;
  int changes_ = 0;
};

class FaultyFile : public File {
 public:
  FaultyFile(FaultyFileSystem& fs, std::unique_ptr<File> inner, std::string path)
      : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
  Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
    return fs_.Pass("read", path_, [&] { return inner_->ReadAt(offset, out, size); });
  }
  Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return fs_.Pass("write", path_, [&] { return inner_->WriteAt(offset, data, size); });
  }
  Result<std::uint64_t> Size() override {
    return fs_.Pass("size", path_, [&] { return inner_->Size(); });
  }
  Status Sync() override {
    if (auto f = fs_.Check("sync", path_)) return *f;
    if (fs_.crashed()) return Failure{err::kDeviceIoError, "Device I/O error (the program died)"};
    Status st = inner_->Sync();
    if (auto size = inner_->Size(); st && size) fs_.synced[path_] = *size;
    return st;
  }
  Status SetLength(std::uint64_t length) override {
    return fs_.Pass("truncate", path_, [&] { return inner_->SetLength(length); });
  }
  Status Close() override {
    if (auto f = fs_.Check("close", path_)) {
      (void)inner_->Close();
      return *f;
    }
    return inner_->Close();
  }

 private:
  FaultyFileSystem& fs_;
  std::unique_ptr<File> inner_;
  std::string path_;
};

inline Result<std::unique_ptr<File>> FaultyFileSystem::Open(const std::string& path,
                                                            OpenMode mode) {
  if (auto f = Check("open", path)) return *f;
  if (mode != OpenMode::kRead) {
    if (auto f = Crash("create")) return *f;
  }
  auto file = inner_.Open(path, mode);
  if (!file) return file.failure();
  return std::unique_ptr<File>(std::make_unique<FaultyFile>(*this, std::move(*file), path));
}

}  // namespace dfm::testing
