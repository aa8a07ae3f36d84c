#include "detect/game_search.h"

#include <algorithm>
#include <cassert>
#include <set>

#include "base/ascii.h"
#include "base/path_style.h"
#include "detect/lutris_game.h"
#include "detect/steam_library.h"
#include "registry/registry_reader.h"
#include "registry/tree_registry.h"

namespace dfm {
namespace {

constexpr std::string_view kPrograms[] = {"df.exe", "df2.exe", "dflw.exe"};
constexpr const char* kRetailFolders[] = {"Delta Force", "Delta Force 2",
                                          "Delta Force Land Warrior"};

// Steam's library lists and Lutris's game files are small: a larger file is not one.
constexpr std::uint64_t kMaxListFileBytes = 16u << 20;

// A whole file as text; nullopt when it cannot be read or is too large.
std::optional<std::string> ReadListFile(FileSystem& fs, const std::string& path) {
  auto length = fs.FileLength(path);
  if (!length || *length > kMaxListFileBytes) return std::nullopt;
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

// `folder` + separator + `name`, with the separator the folder already uses ("/" where it
// has one, "\" where it has only those, else the host's own).
std::string Join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/' || folder.back() == '\\') return folder + std::string(name);
  bool slash = folder.find('/') != std::string::npos;
  bool backslash = folder.find('\\') != std::string::npos;
  char sep = slash || (!backslash && HostPathStyle() == PathStyle::kPosix) ? '/' : '\\';
  return folder + sep + std::string(name);
}

// One spelling per folder: "/" separators, no trailing one, ASCII lower case.
std::string Spelling(const std::string& folder) {
  std::string key = LowerAscii(folder);
  std::replace(key.begin(), key.end(), '\\', '/');
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

// A key opened for reading through the registry reader, closed when it goes.
class OpenKey {
 public:
  OpenKey(Registry& registry, RegKey root, const std::string& path) : reader_(registry) {
    open_ = reader_.OpenRegistry(root, path);
    // A 32-bit system has no WOW6432Node: the same key is there without it.
    const std::string wow = "SOFTWARE\\WOW6432Node\\";
    if (!open_ && LowerAscii(path.substr(0, wow.size())) == LowerAscii(wow))
      open_ = reader_.OpenRegistry(root, "SOFTWARE\\" + path.substr(wow.size()));
  }

  explicit operator bool() const { return open_; }
  // A text value (plain or expandable) without its terminating zero bytes.
  std::optional<std::string> Text(const std::string& name) { return reader_.GetText(name); }
  std::vector<std::string> Subkeys() {
    return reader_.GetAllSubDirectories().value_or(std::vector<std::string>{});
  }

 private:
  RegistryReader reader_;
  bool open_ = false;
};

// How the folders that one source names become host folders: unchanged (a native Steam's
// own files), or through the environment for the registry of the prefix `prefix` ("" for
// the host's registry).
struct Naming {
  bool from_registry = false;
  std::string prefix;
};

class Searcher {
 public:
  Searcher(FileSystem& fs, Environment& env, const std::array<bool, 3>& wanted)
      : fs_(fs), env_(env), wanted_(wanted) {}

  GameSearchOutcomes Run(Registry& registry) {
    Registries(registry, Naming{true, ""}, std::nullopt);
    if (!env_.HasWinePrefixes()) return std::move(outcomes_);
    const std::string home = env_.Variable("HOME").value_or("");
    if (home.empty()) return std::move(outcomes_);
    for (const char* root : {".steam/steam", ".local/share/Steam",
                             ".var/app/com.valvesoftware.Steam/.local/share/Steam"})
      SteamRoot(Join(home, root), Naming{}, FolderSource::kSteam);
    for (std::size_t i = 0; i < libraries_.size(); ++i) {  // grows as prefixes add libraries
      const std::string compat = Join(Join(libraries_[i], "steamapps"), "compatdata");
      for (const std::string& id : Listing(compat, true))
        Prefix(Join(Join(compat, id), "pfx"), FolderSource::kProton);
    }
    if (auto prefix = env_.Variable("WINEPREFIX"); prefix && !prefix->empty())
      Prefix(*prefix, FolderSource::kWine);
    Prefix(Join(home, ".wine"), FolderSource::kWine);
    for (const char* games : {".config/lutris/games", ".local/share/lutris/games",
                              ".var/app/net.lutris.Lutris/config/lutris/games",
                              ".var/app/net.lutris.Lutris/data/lutris/games"})
      LutrisGames(Join(home, games), home);
    for (const char* bottles :
         {".local/share/bottles/bottles", ".var/app/com.usebottles.bottles/data/bottles/bottles"}) {
      const std::string folder = Join(home, bottles);
      for (const std::string& name : Listing(folder, true))
        Prefix(Join(folder, name), FolderSource::kBottles);
    }
    return std::move(outcomes_);
  }

 private:
  std::string FolderKey(const std::string& folder) {
    return Spelling(env_.CanonicalFolder(folder));
  }

  bool Done() const {
    return std::none_of(wanted_.begin(), wanted_.end(), [](bool w) { return w; });
  }

  std::optional<std::string> HostName(const std::string& folder, const Naming& naming) {
    if (!naming.from_registry) return folder;
    return env_.HostFolder(folder, naming.prefix);
  }

  // The names of a folder's subfolders (or files), sorted; empty when it cannot be read.
  std::vector<std::string> Listing(const std::string& folder, bool folders) {
    std::vector<std::string> names;
    if (Done()) return names;
    if (auto entries = fs_.ListDirectory(folder)) {
      for (const DirEntry& e : *entries) {
        if (e.is_directory == folders) names.push_back(e.name);
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  void Reject(const FolderCandidate& candidate, const std::string& reason, int version) {
    outcomes_[version].rejected.push_back({candidate, reason});
  }

  // Takes `named` (as its source names it) for every wanted version whose program file it
  // holds; every other wanted version records why it was passed over.
  void Offer(const std::string& named, const Naming& naming, FolderSource source) {
    if (Done() || named.empty()) return;
    std::optional<std::string> folder = HostName(named, naming);
    FolderCandidate candidate{folder.value_or(named), source};
    if (!seen_.insert(FolderKey(candidate.folder)).second) return;
    auto entries = folder ? fs_.ListDirectory(*folder) : Result<std::vector<DirEntry>>(Failure{});
    for (int v = 0; v < 3; ++v) {
      if (!wanted_[v]) continue;
      if (!folder) {
        Reject(candidate, "its drive is not one of the prefix's", v);
      } else if (!entries) {
        Reject(candidate, "no such folder", v);
      } else if (std::any_of(entries->begin(), entries->end(), [&](const DirEntry& e) {
                   return !e.is_directory && LowerAscii(e.name) == kPrograms[v];
                 })) {
        outcomes_[v].found = candidate;
        wanted_[v] = false;
      } else {
        Reject(candidate, "no " + std::string(kPrograms[v]) + " in it", v);
      }
    }
  }

  // The libraries of the Steam in `root` and the game folders in them.
  void SteamRoot(const std::string& named_root, const Naming& naming, FolderSource source) {
    std::optional<std::string> root = HostName(named_root, naming);
    if (Done() || !root) return;
    std::vector<std::string> libraries{*root};
    const std::string steamapps = Join(*root, "steamapps");
    if (auto vdf = ReadListFile(fs_, Join(steamapps, "libraryfolders.vdf"))) {
      for (const std::string& named :
           SteamLibraryFolders(*vdf).value_or(std::vector<std::string>{})) {
        if (auto library = HostName(named, naming)) libraries.push_back(*library);
      }
    }
    for (const std::string& library : libraries) {
      if (!library_keys_.insert(FolderKey(library)).second) continue;
      libraries_.push_back(library);
      const std::string common = Join(Join(library, "steamapps"), "common");
      for (const std::string& game : Listing(common, true))
        Offer(Join(common, game), Naming{}, source);
    }
  }

  // Steam, GOG and the retail folders as `registry` and the Program Files folders name them.
  void Registries(Registry& registry, const Naming& naming,
                  const std::optional<FolderSource>& prefix_source) {
    const FolderSource steam = prefix_source.value_or(FolderSource::kSteam);
    if (auto path =
            OpenKey(registry, reg::kCurrentUser, "Software\\Valve\\Steam").Text("SteamPath"))
      SteamRoot(*path, naming, steam);
    if (auto path = OpenKey(registry, reg::kLocalMachine, "SOFTWARE\\WOW6432Node\\Valve\\Steam")
                        .Text("InstallPath"))
      SteamRoot(*path, naming, steam);
    OpenKey games(registry, reg::kLocalMachine, "SOFTWARE\\WOW6432Node\\GOG.com\\Games");
    for (const std::string& id : games.Subkeys()) {
      if (auto path =
              OpenKey(registry, reg::kLocalMachine, "SOFTWARE\\WOW6432Node\\GOG.com\\Games\\" + id)
                  .Text("path"))
        Offer(*path, naming, prefix_source.value_or(FolderSource::kGog));
    }
    std::vector<std::string> program_files;
    Naming retail_naming = naming;
    if (prefix_source) {
      program_files = {"C:\\Program Files", "C:\\Program Files (x86)"};
    } else {
      retail_naming = Naming{};
      for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        if (auto folder = env_.Variable(name); folder && !folder->empty())
          program_files.push_back(*folder);
      }
    }
    for (const std::string& base : program_files) {
      for (const char* game : kRetailFolders)
        Offer(Join(Join(base, "NovaLogic"), game), retail_naming,
              prefix_source.value_or(FolderSource::kRetail));
    }
  }

  // A Wine prefix: its registry's App Paths keys, then its Steam, GOG and retail folders.
  void Prefix(const std::string& prefix, FolderSource source) {
    if (Done() || !prefix_keys_.insert(FolderKey(prefix)).second) return;
    std::vector<std::string> files = Listing(prefix, false);
    if (std::find(files.begin(), files.end(), "system.reg") == files.end()) return;
    std::unique_ptr<TreeRegistry> registry = ReadPrefixRegistry(fs_, prefix);
    const Naming naming{true, prefix};
    for (int version = 1; version <= 3; ++version) {
      if (auto path = OpenKey(*registry, reg::kLocalMachine, GameRegistryKey(version)).Text("Path"))
        Offer(*path, naming, source);
    }
    Registries(*registry, naming, source);
  }

  void LutrisGames(const std::string& folder, const std::string& home) {
    for (const std::string& name : Listing(folder, false)) {
      const std::string lower = LowerAscii(name);
      if (!lower.ends_with(".yml") && !lower.ends_with(".yaml")) continue;
      auto yaml = ReadListFile(fs_, Join(folder, name));
      auto prefix = yaml ? LutrisGamePrefix(*yaml) : std::nullopt;
      if (!prefix) continue;
      if (*prefix == "~" || prefix->starts_with("~/")) prefix = home + prefix->substr(1);
      if ((*prefix)[0] != '/') continue;  // Lutris writes absolute folders only
      Prefix(*prefix, FolderSource::kLutris);
    }
  }

  FileSystem& fs_;
  Environment& env_;
  std::array<bool, 3> wanted_;
  GameSearchOutcomes outcomes_;
  std::set<std::string> seen_;          // candidate folders offered
  std::set<std::string> library_keys_;  // Steam libraries looked into
  std::vector<std::string> libraries_;  // the same, in order
  std::set<std::string> prefix_keys_;   // prefixes looked into
};

}  // namespace

std::string_view GameProgramFile(int version) {
  assert(version >= 1 && version <= 3);
  return kPrograms[version - 1];
}

std::string_view GameTitle(int version) {
  assert(version >= 1 && version <= 3);
  static constexpr std::string_view kTitles[] = {"Delta Force", "Delta Force 2",
                                                 "Delta Force Land Warrior"};
  return kTitles[version - 1];
}

std::string GameRegistryKey(int version) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" +
         std::string(GameProgramFile(version));
}

std::string_view FolderSourceName(FolderSource source) {
  static constexpr std::string_view kNames[] = {"App Paths",      "Steam library", "GOG",
                                                "retail default", "Wine prefix",   "Proton prefix",
                                                "Lutris prefix",  "Bottles prefix"};
  return kNames[static_cast<int>(source)];
}

GameSearchOutcomes SearchGameFolders(FileSystem& fs, Registry& registry, Environment& env,
                                     const std::array<bool, 3>& wanted) {
  return Searcher(fs, env, wanted).Run(registry);
}

}  // namespace dfm
