// The load sequence and start-up's reading of the settings header of Control.ini.
#include "shell/start_up.h"

#include <cmath>

#include "base/path_utils.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/file_exists.h"
#include "script/control_file.h"
#include "script/path_tokens.h"
#include "script/script_run.h"
#include "shell/main_window.h"
#include "shell/payload.h"
#include "shell/picture_file.h"

namespace dfm {
namespace {

using Words = std::vector<std::string>;

// The whole number of `word` when it fits a signed `bits`-bit number.
Result<double> WholeNumberOf(std::string_view word, int bits) {
  if (auto v = WholeNumber(word, bits)) return *v;
  return Failure{err::kOverflow, "Overflow"};
}

int ColourComponent(std::string_view word) {
  const double v = RoundHalfEven(NumberValue(word));
  return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v);
}

// Folders given for all three games leave nothing to search for.
bool EveryGameChosen(const std::map<int, std::string>& chosen) {
  return chosen.count(1) && chosen.count(2) && chosen.count(3);
}

}  // namespace

std::string MissingControlFileText(const std::string& control_path) {
  return "Error: File Not Found! ( " + control_path + " ), Installation could not be completed!";
}

std::string InvalidVersionText() {
  return "Invalid Or Missing Delta Force Version In Control.ini!\r\nInstaller Will Exit!";
}

std::string ControlFileErrorText(std::int32_t line, const Failure& failure) {
  return "An Error Occurred Processing The Control File On Line #" + std::to_string(line) +
         ", Error: " + failure.description + " #" + std::to_string(failure.code);
}

Result<std::int16_t> WholeNumber16(std::string_view word) {
  auto v = WholeNumberOf(word, 16);
  if (!v) return v.failure();
  return static_cast<std::int16_t>(*v);
}

Result<std::int32_t> WholeNumber32(std::string_view word) {
  auto v = WholeNumberOf(word, 32);
  if (!v) return v.failure();
  return static_cast<std::int32_t>(*v);
}

Result<std::int16_t> GameVersionOf(std::string_view word) {
  auto v = WholeNumber16(word);
  if (v && *v == 0) return std::int16_t{3};
  return v;
}

std::optional<Rgb> ColourOf(const Words& words) {
  if (words.size() < 4) return std::nullopt;
  if (ColourWordOutOfRange(words)) return std::nullopt;
  return Rgb{ColourComponent(words[1]), ColourComponent(words[2]), ColourComponent(words[3])};
}

// The load sequence.

StartUpOutcome MainWindow::Load(const std::string& program_file, const FolderMapper& map,
                                const std::map<int, std::string>& chosen) {
  state_.program_folder = ProgramFolderOf(program_file);
  ShowInitialWindow();
  if (!EveryGameChosen(chosen)) FindGameFolders(map);
  return StartUpWith(program_file, chosen);
}

StartUpOutcome MainWindow::Load(const std::string& program_file, Environment& environment,
                                const std::map<int, std::string>& chosen) {
  state_.program_folder = ProgramFolderOf(program_file);
  ShowInitialWindow();
  if (!EveryGameChosen(chosen)) FindGameFolders(environment);
  return StartUpWith(program_file, chosen);
}

StartUpOutcome MainWindow::StartUpWith(const std::string& program_file,
                                       const std::map<int, std::string>& chosen) {
  for (const auto& [version, folder] : chosen) {
    if (IsGameVersion(version)) state_.game_folders[version] = folder;
  }
  return RunStartUp(program_file);
}

void MainWindow::ShowInitialWindow() {
  state_.quit_requested = false;
  state_.credits = CreditsSettings{};
  ShowControls();
  platform_.pump.ProcessPendingEvents();
}

void MainWindow::FindGameFolders(const FolderMapper& map) {
  state_.game_folders = dfm::FindGameFolders(platform_.registry, map);
}

void MainWindow::FindGameFolders(Environment& environment) {
  state_.game_folders = dfm::FindGameFolders(platform_.registry, platform_.fs, environment);
}

StartUpOutcome MainWindow::RunStartUp(const std::string& program_file) {
  unpacked_.clear();
  UnpackPayload(platform_, state_.program_folder, program_file, &unpacked_);
  return StartUpFromProgramFolder();
}

StartUpOutcome MainWindow::StartUpFromProgramFolder() {
  state_.control_line_count = 0;
  const std::string control = state_.program_folder + kControlFileName;
  if (!FileExists(platform_.fs, platform_.dialogs, control)) {
    platform_.dialogs.MessageBox(MissingControlFileText(control));
    return StartUpOutcome::kNoControlFile;
  }
  ReadSettingsHeader(control);
  if (ended_) return StartUpOutcome::kEnded;
  if (!IsGameVersion(state_.df_version)) {
    platform_.dialogs.MessageBox(InvalidVersionText());
    EndProgram();
    return StartUpOutcome::kEnded;
  }
  state_.controls.change.visible = true;
  state_.controls.install.enabled = true;
  ShowControls();
  return StartUpOutcome::kReady;
}

// The settings header. Every line is looked at; a failed line is reported with its number
// and leaves everything as it was.
void MainWindow::ReadSettingsHeader(const std::string& control_path) {
  std::int32_t line_number = 0;
  auto report = [&](const Failure& f) {
    platform_.dialogs.MessageBox(ControlFileErrorText(line_number, f));
  };
  auto lines = ReadControlLines(platform_.fs, control_path);
  if (!lines) {
    report(lines.failure());
    return;
  }
  for (const std::string& line : *lines) {
    ++line_number;
    ++state_.control_line_count;
    Status applied = ApplyHeaderLine(line);
    if (ended_) return;
    if (!applied) report(applied.failure());
  }
  ShowControls();
}

Status MainWindow::ApplyHeaderLine(const std::string& line) {
  auto words = SplitLine(line);
  if (!words) return words.failure();
  if (words->size() < 2) return {};
  const std::string key = LowerAscii((*words)[0]);
  auto needed = FindHeaderKey(key);
  if (!needed || words->size() < static_cast<std::size_t>(needed->words)) return {};
  switch (needed->id) {
    case HeaderKey::kIcon:
      return SetIcon(*words);
    case HeaderKey::kSkin:
      return SetSkin(*words);
    case HeaderKey::kCredits:
      return SetCredits(*words);
    case HeaderKey::kCreditsFont:
      return SetCreditsFont(*words);
    case HeaderKey::kCreditsFontSize:
      return SetCreditsFontSize(*words);
    case HeaderKey::kCreditsColourBack:
    case HeaderKey::kCreditsColourFore:
    case HeaderKey::kCreditsColourShadow:
      return SetCreditsColour(*words);
    case HeaderKey::kModName:
      return SetModName(*words);
    case HeaderKey::kWindowCaption:
      return SetWindowCaption(*words);
    case HeaderKey::kGameVersion:
      return SetGameVersion(*words);
  }
  return {};
}

// The icon is looked up by its file name in the program folder; the background picture
// by its path as written, so a relative one resolves against the program folder.
Status MainWindow::SetIcon(const Words& words) {
  auto picture = LoadIconPicture(platform_.fs, state_.program_folder + GetFileName(words[1]));
  if (!picture) return picture.failure();
  return view_.ShowIcon(*picture);
}

Status MainWindow::SetSkin(const Words& words) {
  auto picture = LoadPicture(platform_.fs, words[1]);
  if (!picture) return picture.failure();
  return view_.ShowBackground(*picture);
}

Status MainWindow::SetCredits(const Words& words) {
  state_.credits.file = GetFileName(words[1]);
  state_.controls.about.visible = true;
  return {};
}

Status MainWindow::SetCreditsFont(const Words& words) {
  state_.credits.font = words[1];
  return {};
}

Status MainWindow::SetCreditsFontSize(const Words& words) {
  auto size = WholeNumber32(words[1]);
  if (!size) return size.failure();
  state_.credits.font_size = *size;
  return {};
}

Status MainWindow::SetCreditsColour(const Words& words) {
  auto colour = ColourOf(words);
  if (!colour) return {};
  const std::string key = LowerAscii(words[0]);
  Rgb& target = key == "credits_color_back"   ? state_.credits.back
                : key == "credits_color_fore" ? state_.credits.fore
                                              : state_.credits.shadow;
  target = *colour;
  return {};
}

Status MainWindow::SetModName(const Words& words) {
  state_.controls.mod_name = words[1];
  return {};
}

Status MainWindow::SetWindowCaption(const Words& words) {
  state_.controls.title = words[1];
  return {};
}

Status MainWindow::SetGameVersion(const Words& words) {
  auto version = GameVersionOf(words[1]);
  if (!version) return version.failure();
  state_.df_version = *version;
  if (!IsGameVersion(*version)) {
    platform_.dialogs.MessageBox(InvalidVersionText());
    EndProgram();
    return {};
  }
  MainControls& c = state_.controls;
  if (state_.game_folders[*version] == kNothing) {
    c.folder = SelectFolderPrompt(*version);
    c.change.caption = "Set";
  } else {
    c.folder = state_.game_folders[*version];
  }
  return {};
}

}  // namespace dfm
