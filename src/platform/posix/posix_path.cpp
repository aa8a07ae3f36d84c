#include "platform/posix/posix_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace dfm::posix {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// Finds `name` in `dir` without regard to case; empty when absent. When several
// spellings exist, the byte-wise smallest wins, so the choice does not depend on the
// order in which the folder happens to list its entries.
std::string FindInsensitive(const std::string& dir, std::string_view name) {
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.empty() ? "." : dir.c_str()));
  if (!d) return {};
  std::string best;
  while (const dirent* e = ::readdir(d.get())) {
    std::string_view entry = e->d_name;
    if (EqualsIgnoreAsciiCase(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  return best;
}

}  // namespace

std::string ResolvePath(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.empty() || Exists(p)) return p;

  std::string out;
  std::size_t pos = 0;
  if (p[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool missing = false;  // once a folder is missing, nothing below it can be found
  while (pos <= p.size()) {
    std::size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string_view comp(p.data() + pos, next - pos);
    if (!comp.empty()) {
      std::string candidate = out + std::string(comp);
      if (!missing && comp != "." && comp != ".." && !Exists(candidate)) {
        std::string found = FindInsensitive(out.empty() ? "." : out, comp);
        if (!found.empty()) {
          candidate = out + found;
        } else {
          missing = true;
        }
      }
      out = candidate;
    }
    if (next < p.size()) out += '/';
    pos = next + 1;
  }
  return out;
}

}  // namespace dfm::posix
