#include "zip/unzip_settings.h"

namespace dfm {

Result<std::int32_t> UnzipSettings::Unzip(const std::string& zip_file_name,
                                          const std::string& extract_dir) {
  if (!zip_file_name.empty()) zip_file_name_ = zip_file_name;
  if (!extract_dir.empty()) extract_dir_ = extract_dir;
  return ExtractZip(fs_, dialogs_, Arguments());
}

ExtractZipArgs UnzipSettings::Arguments() const {
  ExtractZipArgs args;
  args.zip_name = zip_file_name_;
  args.extract_dir = extract_dir_;
  args.extract_newer = ExtractNewer();
  args.space_to_underscore = SpaceToUnderScore();
  args.prompt_overwrite = PromptOverwrite();
  args.message_level = message_level_;
  args.write_to_stdout = WriteToStdOut();
  args.test_zip = TestZip();
  args.extract_list = extract_list_;
  args.extract_only_newer = ExtractOnlyNewer();
  args.display_comment = DisplayComment();
  args.honor_directories = HonorDirectories();
  args.overwrite_files = OverWriteFiles();
  args.convert_cr_to_crlf = ConvertCRtoCRLF();
  args.verbose = Verbose();
  args.case_sensitive = CaseSensitive();
  args.privilege = privilege_;
  return args;
}

std::string UnzipSettings::GetLastMessage() const {
  return LastUnzipMessage();
}

}  // namespace dfm
