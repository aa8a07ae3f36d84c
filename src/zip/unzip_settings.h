// UnzipSettings: the extraction settings as properties, and one call to extract.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/result.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "zip/extract_zip.h"

namespace dfm {

// Flags are kept as the 16-bit numbers 1 and 0; a flag reads true exactly when it holds 1.
// Defaults: MessageLevel 2 (no messages), HonorDirectories, OverWriteFiles and
// CaseSensitive true, every other flag false, ExtractList and Privilege 0, texts empty.
class UnzipSettings {
 public:
  UnzipSettings(FileSystem& fs, Dialogs& dialogs) : fs_(fs), dialogs_(dialogs) {}

  bool ExtractNewer() const { return extract_newer_ == 1; }
  void SetExtractNewer(bool v) { extract_newer_ = Flag(v); }
  bool SpaceToUnderScore() const { return space_to_underscore_ == 1; }
  void SetSpaceToUnderScore(bool v) { space_to_underscore_ = Flag(v); }
  bool PromptOverwrite() const { return prompt_overwrite_ == 1; }
  void SetPromptOverwrite(bool v) { prompt_overwrite_ = Flag(v); }
  std::int32_t MessageLevel() const { return message_level_; }
  void SetMessageLevel(std::int32_t v) { message_level_ = v; }
  bool WriteToStdOut() const { return write_to_stdout_ == 1; }
  void SetWriteToStdOut(bool v) { write_to_stdout_ = Flag(v); }
  bool TestZip() const { return test_zip_ == 1; }
  void SetTestZip(bool v) { test_zip_ = Flag(v); }
  std::int32_t ExtractList() const { return extract_list_; }
  void SetExtractList(std::int32_t v) { extract_list_ = v; }
  bool ExtractOnlyNewer() const { return extract_only_newer_ == 1; }
  void SetExtractOnlyNewer(bool v) { extract_only_newer_ = Flag(v); }
  bool DisplayComment() const { return display_comment_ == 1; }
  void SetDisplayComment(bool v) { display_comment_ = Flag(v); }
  bool HonorDirectories() const { return honor_directories_ == 1; }
  void SetHonorDirectories(bool v) { honor_directories_ = Flag(v); }
  bool OverWriteFiles() const { return overwrite_files_ == 1; }
  void SetOverWriteFiles(bool v) { overwrite_files_ = Flag(v); }
  bool ConvertCRtoCRLF() const { return convert_cr_to_crlf_ == 1; }
  void SetConvertCRtoCRLF(bool v) { convert_cr_to_crlf_ = Flag(v); }
  bool Verbose() const { return verbose_ == 1; }
  void SetVerbose(bool v) { verbose_ = Flag(v); }
  bool CaseSensitive() const { return case_sensitive_ == 1; }
  void SetCaseSensitive(bool v) { case_sensitive_ = Flag(v); }
  std::int32_t Privilege() const { return privilege_; }
  void SetPrivilege(std::int32_t v) { privilege_ = v; }
  const std::string& ZipFileName() const { return zip_file_name_; }
  void SetZipFileName(std::string v) { zip_file_name_ = std::move(v); }
  const std::string& ExtractDir() const { return extract_dir_; }
  void SetExtractDir(std::string v) { extract_dir_ = std::move(v); }

  // A non-empty argument first replaces ZipFileName or ExtractDir (for later calls too).
  // Then extracts with every property: the library's result (0 when all went well), or
  // a failure (a number property outside signed 16 bits) before anything is extracted.
  Result<std::int32_t> Unzip(const std::string& zip_file_name = {},
                             const std::string& extract_dir = {});
  // What the library printed during the last extraction.
  std::string GetLastMessage() const;
  // The arguments Unzip hands to ExtractZip: every property, in ExtractZip's order.
  ExtractZipArgs Arguments() const;

 private:
  static std::int16_t Flag(bool v) { return v ? 1 : 0; }

  FileSystem& fs_;
  Dialogs& dialogs_;
  std::int16_t extract_newer_ = 0;
  std::int16_t space_to_underscore_ = 0;
  std::int16_t prompt_overwrite_ = 0;
  std::int32_t message_level_ = 2;
  std::int16_t write_to_stdout_ = 0;
  std::int16_t test_zip_ = 0;
  std::int32_t extract_list_ = 0;
  std::int16_t extract_only_newer_ = 0;
  std::int16_t display_comment_ = 0;
  std::int16_t honor_directories_ = 1;
  std::int16_t overwrite_files_ = 1;
  std::int16_t convert_cr_to_crlf_ = 0;
  std::int16_t verbose_ = 0;
  std::int16_t case_sensitive_ = 1;
  std::int32_t privilege_ = 0;
  std::string zip_file_name_;
  std::string extract_dir_;
};

}  // namespace dfm
