// A file system that adds up the wall time spent in each kind of call, for the benchmarks'
// breakdowns: "open", "read", "write", "size", "close", "stat_length", "stat_time",
// "stat" (length and time together), "isdir", "remove"; other calls pass through untimed.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace dfm::testing {

class TimingFileSystem final : public FileSystem {
 public:
  using Totals = std::map<std::string, double>;
  explicit TimingFileSystem(FileSystem& inner) : inner_(inner) {}
  Totals totals;

  template <class F>
  auto Time(const char* what, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    auto result = f();
    totals[what] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    auto file = Time("open", [&] { return inner_.Open(path, mode); });
    if (!file) return file.failure();
    return std::unique_ptr<File>(std::make_unique<TimingFile>(*this, std::move(*file)));
  }
  Result<std::uint64_t> FileLength(const std::string& p) override {
    return Time("stat_length", [&] { return inner_.FileLength(p); });
  }
  Result<LocalDateTime> ModifiedTime(const std::string& p) override {
    return Time("stat_time", [&] { return inner_.ModifiedTime(p); });
  }
  Result<FileStat> Stat(const std::string& p) override {
    return Time("stat", [&] { return inner_.Stat(p); });
  }
  Status SetModifiedTime(const std::string& p, const LocalDateTime& t) override {
    return inner_.SetModifiedTime(p, t);
  }
  Status SyncFolder(const std::string& p) override { return inner_.SyncFolder(p); }
  Result<std::string> ExactPath(const std::string& p) override { return inner_.ExactPath(p); }
  Result<bool> IsDirectory(const std::string& p) override {
    return Time("isdir", [&] { return inner_.IsDirectory(p); });
  }
  Status CopyFile(const std::string& a, const std::string& b) override {
    return inner_.CopyFile(a, b);
  }
  Status Rename(const std::string& a, const std::string& b) override { return inner_.Rename(a, b); }
  Status ReplaceFile(const std::string& a, const std::string& b) override {
    return inner_.ReplaceFile(a, b);
  }
  Result<FileIdentity> Identity(const std::string& p) override { return inner_.Identity(p); }
  Status RemoveFile(const std::string& p) override {
    return Time("remove", [&] { return inner_.RemoveFile(p); });
  }
  Status MakeDirectory(const std::string& p) override { return inner_.MakeDirectory(p); }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& p) override {
    return inner_.ListDirectory(p);
  }
  Result<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& p) override {
    return inner_.SetCurrentDirectory(p);
  }

 private:
  class TimingFile final : public File {
   public:
    TimingFile(TimingFileSystem& fs, std::unique_ptr<File> inner)
        : fs_(fs), inner_(std::move(inner)) {}
    Status ReadAt(std::uint64_t o, void* p, std::size_t n) override {
      return fs_.Time("read", [&] { return inner_->ReadAt(o, p, n); });
    }
    Status WriteAt(std::uint64_t o, const void* p, std::size_t n) override {
      return fs_.Time("write", [&] { return inner_->WriteAt(o, p, n); });
    }
    Result<std::uint64_t> Size() override {
      return fs_.Time("size", [&] { return inner_->Size(); });
    }
    Status Close() override {
      return fs_.Time("close", [&] { return inner_->Close(); });
    }
    Status Sync() override {
      return fs_.Time("sync", [&] { return inner_->Sync(); });
    }
    Status SetLength(std::uint64_t n) override { return inner_->SetLength(n); }

   private:
    TimingFileSystem& fs_;
    std::unique_ptr<File> inner_;
  };
  FileSystem& inner_;
};

}  // namespace dfm::testing
