// dfmod inspect INSTALLER: the payload, the entries of Main.zip, the settings header as
// start-up reads it (start-up itself runs, in a scratch folder), and the lint findings.
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <sstream>

#include "base/path_utils.h"
#include "detect/game_search.h"
#include "dfmod/cli.h"
#include "dfmod/cli_dialogs.h"
#include "dfmod/payload_report.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "script/control_file.h"
#include "script/lint.h"
#include "script/script_run.h"
#include "shell/frm_main.h"
#include "shell/payload.h"
#include "zip/zip_archive.h"

namespace dfm::cli {
namespace {

namespace stdfs = std::filesystem;

// A fresh folder under the system's temp folder, removed with its contents; the current
// directory, which start-up changes, is restored as well.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
      stdfs::path p =
          stdfs::temp_directory_path(ec_) / ("dfmod-inspect-" + std::to_string(random()));
      if (!ec_ && stdfs::create_directory(p, ec_)) path_ = p;
    }
  }
  ~ScratchFolder() {
    std::error_code ec;
    stdfs::current_path(saved_cwd_, ec);
    if (!path_.empty()) stdfs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  std::string folder() const { return path_.string() + "/"; }

 private:
  std::error_code ec_;
  stdfs::path saved_cwd_ = stdfs::current_path(ec_);
  stdfs::path path_;
};

// The host's clock, except that the time of day leaps a second at each look, so start-up's
// wait is over at once.
class LeapingClock final : public Clock {
 public:
  explicit LeapingClock(Clock& host) : host_(host) {}
  double SecondsSinceMidnight() override { return seconds_ += 1.0; }
  LocalDateTime Now() override { return host_.Now(); }
  std::string WeekdayName(int weekday) override { return host_.WeekdayName(weekday); }
  std::string MonthName(int month) override { return host_.MonthName(month); }

 private:
  Clock& host_;
  double seconds_ = 0;
};

const char* FormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBitmap:
      return "bitmap";
    case PictureFormat::kIcon:
      return "icon";
    case PictureFormat::kCursor:
      return "cursor";
    case PictureFormat::kGif:
      return "GIF";
    case PictureFormat::kJpeg:
      return "JPEG";
    case PictureFormat::kMetafile:
      return "metafile";
    case PictureFormat::kEnhancedMetafile:
      return "enhanced metafile";
  }
  return "picture";
}

// Remembers the pictures start-up handed to the window.
class InspectView final : public MainView {
 public:
  std::string icon = "(none)";
  std::string background = "(none)";

  void ControlsChanged(const MainControls&) override {}
  void StatusAdded(const std::string&) override {}
  void StatusCleared() override {}
  void EndProgram() override {}
  Status ShowIcon(const Picture& picture) override {
    icon = GetFileName(picture.path) + " (" + FormatName(picture.format) + ")";
    return {};
  }
  Status ShowBackground(const Picture& picture) override {
    background = picture.path + " (" + FormatName(picture.format) + ")";
    return {};
  }
};

const char* GameName(int version) {
  return IsGameVersion(version) ? GameTitle(version).data() : "no game: the installer ends";
}

const char* MethodName(std::uint16_t method) {
  switch (method) {
    case 0:
      return "stored";
    case 8:
      return "deflated";
    default:
      return "other";
  }
}

// Lists the entries of Main.zip; false when it is no ZIP archive.
bool PrintEntries(std::ostream& out, FileSystem& fs, const std::string& installer,
                  const PayloadLayout& layout) {
  auto bytes = ReadPayloadPiece(fs, installer, layout.main_zip_offset, layout.main_zip_length);
  auto archive =
      bytes ? ZipArchive::FromBytes(std::move(*bytes)) : Result<ZipArchive>(bytes.failure());
  if (!archive) {
    out << "Main.zip: not readable as a ZIP archive (" << archive.failure().description << ")\n";
    return false;
  }
  const std::uint64_t count = archive->EntryCount();
  out << "Main.zip: " << count << (count == 1 ? " entry" : " entries") << "\n";
  if (count > 0) out << "        size     packed  method    name\n";
  for (std::uint64_t i = 0; i < count; ++i) {
    auto e = archive->Entry(i);
    if (!e) {
      out << "  entry " << i << ": " << e.failure().description << "\n";
      continue;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %10llu %10llu  %-8s  ",
                  static_cast<unsigned long long>(e->size),
                  static_cast<unsigned long long>(e->compressed_size), MethodName(e->compression));
    out << buf << e->name << (e->encryption != 0 ? "  (encrypted)" : "") << "\n";
  }
  return true;
}

void Setting(std::ostream& out, const char* key, const std::string& value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "  %-21s ", key);
  out << buf << value << "\n";
}

std::string ColourText(const Rgb& c) {
  return std::to_string(c.red) + " " + std::to_string(c.green) + " " + std::to_string(c.blue);
}

std::string OutcomeText(StartUpOutcome outcome) {
  switch (outcome) {
    case StartUpOutcome::kReady:
      return "ready: Install is enabled";
    case StartUpOutcome::kNoControlFile:
      return "no Control.ini: the window stays unusable";
    case StartUpOutcome::kEnded:
      return "ended: invalid or missing game version";
  }
  return {};
}

void PrintHeader(std::ostream& out, StartUpOutcome outcome, const WindowState& s,
                 const InspectView& view) {
  out << "settings header, as start-up reads it:\n";
  Setting(out, "start-up", OutcomeText(outcome));
  Setting(out, "control lines", std::to_string(s.control_line_count));
  Setting(out, "window_caption", s.controls.title);
  Setting(out, "mod_name", s.controls.mod_name);
  Setting(out, "df_version", std::to_string(s.df_version) + " (" + GameName(s.df_version) + ")");
  Setting(out, "icon", view.icon);
  Setting(out, "skin", view.background);
  Setting(out, "credits", s.credits.file.empty() ? "(none)" : s.credits.file);
  Setting(out, "credits_font", s.credits.font);
  Setting(out, "credits_font_size", std::to_string(s.credits.font_size));
  Setting(out, "credits_color_back", ColourText(s.credits.back));
  Setting(out, "credits_color_fore", ColourText(s.credits.fore));
  Setting(out, "credits_color_shadow", ColourText(s.credits.shadow));
}

// `text` with the scratch folder named as the installer's own folder, where a real start-up
// unpacks.
std::string InstallerFolderFor(std::string text, const std::string& scratch,
                               const std::string& own) {
  for (std::size_t at = text.find(scratch); at != std::string::npos;
       at = text.find(scratch, at + own.size())) {
    text.replace(at, scratch.size(), own);
  }
  return text;
}

// Runs start-up on the installer in `folder` and prints what it read; false when start-up
// showed a message or did not make the window ready.
bool PrintStartUp(std::ostream& out, FileSystem& fs, const std::string& installer,
                  const std::string& folder) {
  auto host_clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = MakeHostRegistry();
  std::ostringstream messages;
  CliDialogs dialogs(messages, kProgramTitle, CliAnswers{MsgAnswer::kNo, std::nullopt, {}});
  NullEventPump pump;
  LeapingClock clock(*host_clock);
  Platform platform{fs, dialogs, pump, clock, *process, *registry};
  InspectView view;
  frmMain window(platform, view);
  window.state().program_folder = folder;
  window.ShowInitialWindow();
  const StartUpOutcome outcome = window.RunStartUp(installer);

  PrintHeader(out, outcome, window.state(), view);
  const std::string shown = InstallerFolderFor(messages.str(), folder, ProgramFolderOf(installer));
  out << "start-up messages:" << (shown.empty() ? " none\n" : "\n") << shown;
  return outcome == StartUpOutcome::kReady && shown.empty();
}

// Lints the extracted Control.ini; false when there are findings.
bool PrintLint(std::ostream& out, FileSystem& fs, const std::string& folder) {
  auto lines = ReadControlLines(fs, folder + kControlFileName);
  if (!lines) {
    out << "lint findings: Control.ini not read\n";
    return false;
  }
  auto findings = LintControlLines(*lines);
  out << "lint findings:" << (findings.empty() ? " none\n" : "\n");
  for (const LintFinding& f : findings) {
    out << "  " << kControlFileName << ':' << f.line << ": " << f.message << '\n';
  }
  return findings.empty();
}

}  // namespace

int Inspect(const Args& args, Io& io) {
  constexpr const char* kUsage = " (usage: dfmod inspect INSTALLER)";
  std::vector<std::string> operands;
  bool options_done = false;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      return UsageError(io, "inspect: unknown option '" + a + "'" + kUsage);
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 1)
    return UsageError(io, std::string("inspect: give exactly one INSTALLER") + kUsage);
  std::error_code ec;
  const std::string installer = stdfs::absolute(operands[0], ec).string();
  auto fs = MakeHostFileSystem();
  auto layout = ReadPayloadLayout(*fs, installer);
  if (!layout) return UsageError(io, "inspect: " + layout.failure().description);

  io.out << "payload: " << layout->file_length << " bytes\n";
  PrintPayloadLayout(io.out, *layout);
  bool clean = PrintEntries(io.out, *fs, installer, *layout);
  ScratchFolder scratch;
  if (!scratch.ok()) {
    io.err << "dfmod: inspect: no scratch folder to run start-up in\n";
    return kExitFindings;
  }
  clean = PrintStartUp(io.out, *fs, installer, scratch.folder()) && clean;
  clean = PrintLint(io.out, *fs, scratch.folder()) && clean;
  return clean ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
