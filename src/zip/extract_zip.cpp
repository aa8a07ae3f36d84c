#include "zip/extract_zip.h"

#include <limits>

namespace dfm {
namespace {

// The module's state, shared by every extraction object; runs never overlap.
struct ZipGlueState {
  std::string message_text;
  bool password_refused = false;
};

ZipGlueState& State() {
  static ZipGlueState state;
  return state;
}

std::int32_t Flag(bool b) {
  return b ? 1 : 0;
}

Result<std::int32_t> Narrow(std::int32_t v, const char* what) {
  if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
    return Result<std::int32_t>::Fail(err::kOverflow,
                                      std::string("Overflow: ") + what + " " + std::to_string(v));
  return v;
}

}  // namespace

void ResetUnzipState() {
  State() = ZipGlueState{};
}

const std::string& LastUnzipMessage() {
  return State().message_text;
}

void UnzipDialogCallbacks::Print(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (!text.empty() && text[0] == '\n') {
    State().message_text += "\r\n";
  } else {
    State().message_text.append(text);
  }
}

int UnzipDialogCallbacks::Replace(const std::string& path) {
  MsgAnswer a = dialogs_.MessageBox("Overwrite " + path + "?", "VBUnZip32 - File Already Exists!",
                                    MsgButtons::kYesNoCancel, MsgIcon::kExclamation);
  switch (a) {
    case MsgAnswer::kYes:
      return unzip::kReplaceYes;
    case MsgAnswer::kCancel:
      return unzip::kReplaceNone;
    default:
      return unzip::kReplaceNo;
  }
}

int UnzipDialogCallbacks::Password(std::string& answer, std::size_t capacity, const std::string&,
                                   const std::string&) {
  if (State().password_refused) return 1;
  std::string given = dialogs_.InputBox("Please Enter The Password!").value_or("");
  if (given.empty()) {
    State().password_refused = true;
    return 1;
  }
  answer = given.substr(0, capacity > 0 ? capacity - 1 : 0);
  return 0;
}

Result<UnzipOptionRecord> BuildOptionRecord(const ExtractZipArgs& a) {
  auto quiet = Narrow(a.message_level, "MessageLevel");
  if (!quiet) return quiet.failure();
  auto list = Narrow(a.extract_list, "ExtractList");
  if (!list) return list.failure();
  auto privilege = Narrow(a.privilege, "Privilege");
  if (!privilege) return privilege.failure();
  UnzipOptionRecord r;
  r.extract_only_newer = Flag(a.extract_only_newer);
  r.space_to_underscore = Flag(a.space_to_underscore);
  r.prompt_overwrite = Flag(a.prompt_overwrite);
  r.quiet = *quiet;
  r.to_stdout = Flag(a.write_to_stdout);
  r.test = Flag(a.test_zip);
  r.list = *list;
  r.freshen = Flag(a.extract_newer);
  r.comment = Flag(a.display_comment);
  r.honor_folders = Flag(a.honor_directories);
  r.overwrite = Flag(a.overwrite_files);
  r.text_crlf = Flag(a.convert_cr_to_crlf);
  r.verbose = Flag(a.verbose);
  r.case_sensitive = Flag(a.case_sensitive);
  r.privilege = *privilege;
  r.zip_name = a.zip_name;
  r.extract_dir = a.extract_dir;
  return r;
}

Result<std::int32_t> ExtractZip(FileSystem& fs, Dialogs& dialogs, const ExtractZipArgs& args) {
  ResetUnzipState();
  auto record = BuildOptionRecord(args);
  if (!record) return record.failure();
  UnzipDialogCallbacks callbacks(dialogs);
  return RunUnzip(fs, *record, callbacks);
}

}  // namespace dfm
