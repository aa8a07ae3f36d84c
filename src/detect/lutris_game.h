// Lutris keeps one YAML file per installed game; a Windows game's file names the Wine
// prefix it runs in:
//   game:
//     exe: /home/player/Games/df2/drive_c/NovaLogic/Delta Force 2/DF2.EXE
//     prefix: /home/player/Games/df2
// Only this much of YAML is read: block mappings by indentation, plain, 'single-quoted'
// and "double-quoted" scalars on one line, and # comments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dfm {

// The "prefix" of the top-level "game" mapping; nullopt when there is none, when it is
// empty or null, or when the text is not of the shape above (a tab in an indentation, a
// quoted scalar left open, a top-level line that is not "key: value").
std::optional<std::string> LutrisGamePrefix(std::string_view yaml);

}  // namespace dfm
