// dfmod inspect INSTALLER: the payload, the entries of Main.zip, the settings header as
// start-up reads it (start-up itself runs, in a scratch folder that receives only
// Control.ini and the pictures its header names), and the lint findings.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <set>
#include <sstream>

#include "base/ascii.h"
#include "base/path_utils.h"
#include "common/cli_dialogs.h"
#include "detect/game_search.h"
#include "dfmod/cli.h"
#include "dfmod/payload_report.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "script/control_file.h"
#include "script/lint.h"
#include "script/script_run.h"
#include "shell/main_window.h"
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

// Main.zip of the installer, or its failure.
Result<ZipArchive> OpenMainZip(FileSystem& fs, const std::string& installer,
                               const PayloadLayout& layout) {
  auto bytes = ReadPayloadPiece(fs, installer, layout.main_zip_offset, layout.main_zip_length);
  if (!bytes) return bytes.failure();
  return ZipArchive::FromBytes(std::move(*bytes));
}

void PrintEntries(std::ostream& out, const ZipArchive& archive) {
  const std::uint64_t count = archive.EntryCount();
  out << "Main.zip: " << count << (count == 1 ? " entry" : " entries") << "\n";
  if (count > 0) out << "        size     packed  method    name\n";
  for (std::uint64_t i = 0; i < count; ++i) {
    auto e = archive.Entry(i);
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
}

// Entries larger than this are not unpacked for start-up, whatever the header names.
constexpr std::uint64_t kLargestUnpacked = 64u << 20;

// Writes the entries whose names without folders are `name` (any letter case) into
// `folder` under that name, as start-up's extraction would (the last one wins). Entries
// that cannot be read (encrypted: no password is given here) are left out. Returns what
// it says about the entries it wrote or left out.
std::string UnpackNamed(FileSystem& fs, const ZipArchive& archive, const std::string& name,
                        const std::string& folder) {
  std::string said;
  for (std::uint64_t i = 0; i < archive.EntryCount(); ++i) {
    auto e = archive.Entry(i);
    if (!e || e->IsFolder()) continue;
    const std::string file = e->name.substr(e->name.find_last_of("/\\") + 1);
    if (LowerAscii(file) != LowerAscii(name)) continue;
    if (e->size > kLargestUnpacked) {
      said += " " + file + " (" + std::to_string(e->size) + " bytes: left out)";
      continue;
    }
    auto reader = archive.OpenEntry(i, std::nullopt);
    if (!reader) continue;
    auto target = fs.Open(folder + file, OpenMode::kCreateFresh);
    if (!target) continue;
    // No more than the entry's header announces, however much its data inflates to.
    unsigned char buf[1 << 16];
    for (std::uint64_t at = 0; at < e->size;) {
      auto n = (*reader)->Read(buf, static_cast<std::size_t>(
                                        std::min<std::uint64_t>(sizeof buf, e->size - at)));
      if (!n || *n == 0 || !(*target)->WriteAt(at, buf, *n)) break;
      at += *n;
    }
    said += " " + file;
  }
  return said;
}

// Unpacks Control.ini and the icon and skin pictures its lines name: all that start-up
// reads. Prints which files it unpacked.
void UnpackForStartUp(std::ostream& out, FileSystem& fs, const ZipArchive& archive,
                      const std::string& folder) {
  std::string said = UnpackNamed(fs, archive, kControlFileName, folder);
  std::set<std::string> pictures;
  if (auto lines = ReadControlLines(fs, folder + kControlFileName)) {
    for (const std::string& line : *lines) {
      auto words = SplitLine(line);
      if (!words || words->size() < 2) continue;
      const std::string key = LowerAscii((*words)[0]);
      if (key == "icon" || key == "skin") pictures.insert(LowerAscii(GetFileName((*words)[1])));
    }
  }
  for (const std::string& picture : pictures) {
    if (!picture.empty()) said += UnpackNamed(fs, archive, picture, folder);
  }
  out << "unpacked for start-up:" << (said.empty() ? " nothing" : said) << "\n";
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

// Runs start-up on the files unpacked into `folder` and prints what it read; false when
// start-up showed a message or did not make the window ready.
bool PrintStartUp(std::ostream& out, FileSystem& fs, const std::string& installer,
                  const std::string& folder, const RegistryFactory& make_registry) {
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = make_registry();
  std::ostringstream messages;
  CliAnswers answers;
  answers.yes_no = MsgAnswer::kNo;
  CliDialogs dialogs(messages, kProgramTitle, answers);
  NullEventPump pump;
  Platform platform{fs, dialogs, pump, *clock, *process, *registry};
  InspectView view;
  MainWindow window(platform, view);
  window.state().program_folder = folder;
  window.ShowInitialWindow();
  StartUpOutcome outcome = StartUpOutcome::kNoControlFile;
  if (auto st = fs.SetCurrentDirectory(folder); !st) {
    dialogs.MessageBox(st.failure().description, "", MsgButtons::kOk, MsgIcon::kNone);
  } else {
    outcome = window.StartUpFromProgramFolder();
  }

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
  std::vector<std::string> operands;
  bool options_done = false;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      return UsageError(io, "inspect", "unknown option '" + a + "'");
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 1) return UsageError(io, "inspect", "give exactly one INSTALLER");
  const std::string& given = operands[0];
  if (std::string problem = InputFileProblem(given); !problem.empty())
    return InputError(io, "inspect", given, problem);
  auto fs = MakeHostFileSystem();
  auto layout = ReadPayloadLayout(*fs, given);
  if (!layout) {
    // Any file can be given: say first what it is not, then why.
    std::string why = layout.failure().description;
    if (layout.failure().code == err::kInvalidFileFormat) {
      const std::string lead = "Invalid payload in " + given + ": ";
      if (why.rfind(lead, 0) == 0) why.erase(0, lead.size());
      why = "not an installer: no payload trailer (" + why + ")";
    }
    return InputError(io, "inspect", given, why);
  }

  io.out << "payload: " << layout->file_length << " bytes\n";
  PrintPayloadLayout(io.out, *layout);
  auto archive = OpenMainZip(*fs, given, *layout);
  if (archive) {
    PrintEntries(io.out, *archive);
  } else {
    io.out << "Main.zip: not readable as a ZIP archive (" << archive.failure().description << ")\n";
  }
  ScratchFolder scratch;
  if (!scratch.ok()) {
    io.err << "dfmod: inspect: no scratch folder to run start-up in\n";
    return kExitFindings;
  }
  if (archive) UnpackForStartUp(io.out, *fs, *archive, scratch.folder());
  std::error_code ec;
  const std::string installer = stdfs::absolute(given, ec).string();
  bool clean =
      archive.ok() && PrintStartUp(io.out, *fs, installer, scratch.folder(), io.make_registry);
  clean = PrintLint(io.out, *fs, scratch.folder()) && clean;
  return clean ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
