#include "platform/posix/posix_path.h"
#include "base/ascii.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace dfm::posix {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// The names of the folder scanned last, by their lower-case spelling, valid while the
// folder's modification time is unchanged. Creating many files in one folder (extracting
// an archive) would otherwise scan the growing folder once for every file; NoteCreated
// keeps the index valid across the files this program creates itself. (A name another
// program adds within the same clock tick as one of ours, which leaves the folder's time
// as it was, is found once the folder changes again.)
struct FolderIndex {
  std::string dir;
  struct stat st {};
  // lower-case spelling -> the byte-wise smallest spelling and how many spellings exist
  std::unordered_map<std::string, std::pair<std::string, int>> names;
  bool valid = false;
  bool just_checked = false;  // the last lookup found `dir` unchanged or rescanned it
};

thread_local FolderIndex index_;
thread_local int batches_ = 0;

// The remembered listing is `folder`'s and, inside a batch, trusted as it is.
bool TrustedIndexOf(const std::string& folder) {
  return batches_ > 0 && index_.valid && index_.dir == folder;
}

bool SameTime(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Adds `name` under its lower-case spelling. When several spellings exist, the byte-wise
// smallest wins, so the choice does not depend on the order in which the folder happens
// to list its entries.
void AddName(std::unordered_map<std::string, std::pair<std::string, int>>& names,
             const std::string& name) {
  auto [it, added] = names.emplace(LowerAscii(name), std::make_pair(name, 1));
  if (added) return;
  ++it->second.second;
  if (name < it->second.first) it->second.first = name;
}

// The folder part of a resolved path, spelled as ResolvePath hands folders to the lookup:
// with its trailing "/"; "." for a bare name.
std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// `name` in a folder as FolderOf spells it.
std::string InFolder(const std::string& folder, const std::string& name) {
  return folder == "." ? name : folder + name;
}

// Finds `name` in `dir` without regard to case; empty when absent.
std::string FindInsensitive(const std::string& dir, std::string_view name) {
  const std::string folder = dir.empty() ? "." : dir;
  struct stat st {};
  index_.just_checked = false;
  if (TrustedIndexOf(folder)) {
    st = index_.st;
  } else if (::stat(folder.c_str(), &st) != 0) {
    return {};
  }
  if (!index_.valid || index_.dir != folder || !SameTime(index_.st, st)) {
    index_.valid = false;
    std::unique_ptr<DIR, DirCloser> d(::opendir(folder.c_str()));
    if (!d) return {};
    index_.names.clear();
    while (const dirent* e = ::readdir(d.get())) AddName(index_.names, e->d_name);
    index_.dir = folder;
    index_.st = st;
    index_.valid = true;
  }
  index_.just_checked = true;
  auto it = index_.names.find(LowerAscii(name));
  return it == index_.names.end() ? std::string() : it->second.first;
}

}  // namespace

void BeginBatch() {
  // A listing read before the batch may be out of date: it is read again before it is
  // trusted.
  if (batches_++ == 0) index_.valid = false;
}

bool InBatch() {
  return batches_ > 0;
}

void EndBatch() {
  if (--batches_ == 0) index_.valid = false;  // other programs may change the folder now
}

void NoteCreated(const std::string& path) {
  const std::string folder = FolderOf(path);
  bool fresh = index_.valid && (index_.just_checked || batches_ > 0) && index_.dir == folder &&
               !NameOf(path).empty();
  index_.just_checked = false;
  if (!fresh) return;
  struct stat st = index_.st;
  if (batches_ == 0 && ::stat(folder.c_str(), &st) != 0) {
    index_.valid = false;
    return;
  }
  // A file opened for creating may have existed under this very spelling.
  if (!index_.names.count(LowerAscii(NameOf(path)))) AddName(index_.names, NameOf(path));
  index_.st = st;
}

bool IndexIsCurrent(const std::string& path) {
  const std::string folder = FolderOf(path);
  if (TrustedIndexOf(folder)) return true;
  struct stat st {};
  return index_.valid && index_.dir == folder && ::stat(folder.c_str(), &st) == 0 &&
         SameTime(index_.st, st);
}

void NoteRemoved(const std::string& path) {
  struct stat st = index_.st;
  auto it = index_.names.find(LowerAscii(NameOf(path)));
  bool known =
      it != index_.names.end() && it->second.second == 1 && it->second.first == NameOf(path);
  if (!index_.valid || index_.dir != FolderOf(path) || !known ||
      (batches_ == 0 && ::stat(FolderOf(path).c_str(), &st) != 0)) {
    index_.valid = false;
    return;
  }
  index_.names.erase(it);
  index_.st = st;
}

void NoteRenamed(const std::string& from, const std::string& to, bool current) {
  if (!index_.valid) return;
  const std::string from_folder = FolderOf(from), to_folder = FolderOf(to);
  const bool inside = index_.dir.compare(0, from.size() + 1, from + "/") == 0;  // a folder moved
  if (inside || (!current && (index_.dir == from_folder || index_.dir == to_folder))) {
    index_.valid = false;
    return;
  }
  if (index_.dir == from_folder) NoteRemoved(from);
  if (!index_.valid || index_.dir != to_folder) return;
  const std::string name = NameOf(to);
  auto it = index_.names.find(LowerAscii(name));
  if (it != index_.names.end() && (it->second.second != 1 || it->second.first != name)) {
    index_.valid = false;  // replaced a file spelled otherwise: left to a rescan
    return;
  }
  if (batches_ == 0 && ::stat(to_folder.c_str(), &index_.st) != 0) {
    index_.valid = false;
    return;
  }
  if (it == index_.names.end()) AddName(index_.names, name);
}

std::string MappedPath(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

std::string ResolvePath(const std::string& path) {
  index_.just_checked = false;
  std::string p = MappedPath(path);
  const std::string folder = FolderOf(p), name = NameOf(p);
  const bool plain = !name.empty() && name != "." && name != "..";
  if (plain && TrustedIndexOf(folder)) {
    auto it = index_.names.find(LowerAscii(name));
    if (it == index_.names.end()) return p;                                 // a new name
    if (it->second.second == 1) return InFolder(folder, it->second.first);  // its one spelling
  }
  if (p.empty() || Exists(p)) return p;
  // When the folder exists as written, only the name needs looking up.
  if (plain && (folder == "." || folder == "/" || Exists(folder))) {
    std::string found = FindInsensitive(folder, name);
    return found.empty() ? p : InFolder(folder, found);
  }

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
