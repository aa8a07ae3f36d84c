// A fresh folder under the system's temp folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

namespace dfm::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("dfm-test-" + std::to_string(rd()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as a string with a trailing separator ("/", on Windows "\\").
  std::string str() const {
    return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }
  // Everything below the folder: files as path -> bytes, folders as path + "/" -> "".
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_)) {
      const std::string rel = std::filesystem::relative(e.path(), path_).generic_string();
      if (e.is_directory()) out[rel + "/"] = "";
      if (e.is_regular_file()) out[rel] = Read(rel);
    }
    return out;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace dfm::testing
