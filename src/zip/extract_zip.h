// The glue between the installer and the extraction library. ExtractZip turns
// the extraction settings into the library's option record, supplies the callbacks (text
// printed by the library is collected; questions go to the user) and makes the one call.
#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "zip/zip_extract.h"

namespace dfm {

// ExtractZip's arguments, in its order.
struct ExtractZipArgs {
  std::string zip_name;
  std::string extract_dir;
  bool extract_newer = false;
  bool space_to_underscore = false;
  bool prompt_overwrite = false;
  std::int32_t message_level = 0;
  bool write_to_stdout = false;
  bool test_zip = false;
  std::int32_t extract_list = 0;
  bool extract_only_newer = false;
  bool display_comment = false;
  bool honor_directories = false;
  bool overwrite_files = false;
  bool convert_cr_to_crlf = false;
  bool verbose = false;
  bool case_sensitive = false;
  std::int32_t privilege = 0;
};

// The option record for `args`: flags as 1 or 0, the three numbers narrowed to signed
// 16 bits (a number outside that range fails with err::kOverflow).
Result<UnzipOptionRecord> BuildOptionRecord(const ExtractZipArgs& args);

// Resets the module's message text and password refusal, builds the option record and
// runs the extraction over `fs`; the library's result code, or the record's failure.
Result<std::int32_t> ExtractZip(FileSystem& fs, Dialogs& dialogs, const ExtractZipArgs& args);

// What the library printed during the last ExtractZip call; line feeds become CR LF.
const std::string& LastUnzipMessage();

// The callbacks ExtractZip hands to the library, over the module's state.
class UnzipDialogCallbacks final : public UnzipCallbacks {
 public:
  explicit UnzipDialogCallbacks(Dialogs& dialogs) : dialogs_(dialogs) {}
  // Appends the text up to its first zero byte; a piece starting with a line feed is
  // appended as CR LF alone.
  void Print(std::string_view text) override;
  // "Overwrite " + path + "?" titled "VBUnZip32 - File Already Exists!", Yes/No/Cancel,
  // warning icon: Yes replaces, No keeps, Cancel keeps this and every later file.
  int Replace(const std::string& path) override;
  // Asks "Please Enter The Password!" until the user once leaves it empty (or cancels);
  // then 1 without asking for the rest of the run. An answer longer than the buffer is cut.
  int Password(std::string& answer, std::size_t capacity, const std::string& prompt,
               const std::string& entry) override;
  void Message(const UnzipEntryNote&) override {}
  int Service(const std::string&, std::uint64_t) override { return 0; }

 private:
  Dialogs& dialogs_;
};

// Clears the module's state, as the start of every ExtractZip call does.
void ResetUnzipState();

}  // namespace dfm
