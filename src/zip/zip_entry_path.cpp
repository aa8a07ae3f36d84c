#include "zip/zip_entry_path.h"
#include "base/ascii.h"

#include <algorithm>
#include <array>

namespace dfm {
namespace {

std::vector<std::string> SplitName(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      parts.emplace_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

bool IsDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string b = UpperAscii(base);
  static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kFixed.begin(), kFixed.end(), b) != kFixed.end()) return true;
  return b.size() == 4 && (b.starts_with("COM") || b.starts_with("LPT")) && b[3] >= '1' &&
         b[3] <= '9';
}

bool OnlyDotsAndBlanks(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

// Why `component` cannot be written on a `target` system; empty when it can.
std::string ComponentProblem(std::string_view component, PathStyle target) {
  if (component.empty() || component == "." || component == "..") return "has no usable file name";
  if (target != PathStyle::kWindows) return {};
  if (component.find(':') != std::string_view::npos) return "names a drive or holds a colon";
  if (OnlyDotsAndBlanks(component)) return "has no usable file name";
  if (IsDeviceName(component)) return "names a device";
  return {};
}

}  // namespace

EntryPlace PlaceEntry(std::string_view name, bool honor_folders, bool spaces_to_underscores,
                      PathStyle target) {
  EntryPlace place;
  place.is_folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
  std::vector<std::string> parts = SplitName(name);
  if (!honor_folders) {
    if (place.is_folder) return place;
    place.components.push_back(parts.back());
  } else {
    for (auto& part : parts) {
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        place.problem = "leads outside the extraction folder";
        return place;
      }
      place.components.push_back(std::move(part));
    }
    if (place.is_folder) {
      if (place.components.empty()) place.problem = "has no usable file name";
    } else if (place.components.empty()) {
      place.components.emplace_back();
    }
  }
  for (auto& component : place.components) {
    place.problem = ComponentProblem(component, target);
    if (!place.problem.empty()) return place;
    if (spaces_to_underscores) std::replace(component.begin(), component.end(), ' ', '_');
  }
  return place;
}

}  // namespace dfm
