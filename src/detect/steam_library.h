// Steam's libraryfolders.vdf: a KeyValues text that lists the folders where Steam keeps
// games. KeyValues is a tree of "key" "value" pairs and "key" { ... } blocks; keys and
// values are quoted (with \\ \" \n \t escapes) or bare words, // starts a comment to the
// end of the line, and a [$CONDITION] after a value is ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dfm {

struct KeyValues {
  std::string key;
  std::string value;                // a pair's text
  std::vector<KeyValues> children;  // a block's pairs, in the text's order
  bool is_block = false;
};

// The top-level pairs of `text`; nullopt when it is not well formed (a string or block
// left open, a "}" without its "{", a key without a value, blocks nested deeper than 32).
std::optional<std::vector<KeyValues>> ParseKeyValues(std::string_view text);

// The libraries a libraryfolders.vdf names, in its order: below the "libraryfolders"
// block, every key made of digits whose value is the folder (older files) or a block with
// the folder as "path" (current files). Other keys are ignored; nullopt when the text is
// not well formed.
std::optional<std::vector<std::string>> SteamLibraryFolders(std::string_view text);

}  // namespace dfm
