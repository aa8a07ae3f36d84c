// What the game search needs to know of the machine besides its files and its registry:
// environment variables (the home folder, the Program Files folders, $WINEPREFIX) and how
// a folder named by a Wine prefix's registry is reached on this host.
#pragma once

#include <optional>
#include <string>

namespace dfm {

class Environment {
 public:
  virtual ~Environment() = default;

  // The value of environment variable `name`; nullopt when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;

  // A folder as the registry of the Wine prefix at `prefix` names it ("C:\Games\DFLW"), as
  // a folder of this host; `prefix` empty means the Wine prefix whose registry the programs read.
  // Windows gives the folder unchanged. nullopt when the folder names a drive that the
  // prefix does not have.
  virtual std::optional<std::string> HostFolder(const std::string& folder,
                                                const std::string& prefix) = 0;

  // One name for each folder, whatever the way to it (symbolic links resolved), so that two
  // names of one folder are looked at once; the folder as given when it cannot be resolved.
  virtual std::string CanonicalFolder(const std::string& folder) = 0;

  // True on hosts where Windows games run in Wine prefixes: the search then also looks in
  // the user's home folder (native Steam, Proton, Wine, Lutris and Bottles prefixes).
  virtual bool HasWinePrefixes() const = 0;
};

}  // namespace dfm
