#include "script/path_tokens.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace dfm {
namespace {

// One resolution each, in order on the same folders (3 and 1 known at first) and dialogs,
// which fail, choose nothing and then E:\LW: the text, what it becomes, the folders asked for.
TEST(ResolvePathTokens, ReplacesTheFirstTokenOfTheLowestVersionAndAsksForUnknownFolders) {
  testing::RecordingDialogs dialogs;
  dialogs.folders = {std::nullopt, "E:\\LW"};
  dialogs.browse_failure = Failure{err::kInvalidProcedureCall, "no chooser"};
  GameFolders folders;
  folders[1] = "";  // a key without a readable path: known, and empty
  folders[3] = "C:\\";
  const std::string ask2 = "Please Select Your Delta Force 2 Folder!";
  const struct {
    const char* text;
    std::string resolved;
    std::vector<std::string> asked;
  } rows[] = {
      {"Kyv_DF3_Location\\Dflw.pff", "C:\\\\Dflw.pff", {}},
      {"xKyv_DF1_Locationy", "xy", {}},
      {"kyv_df3_location\\Dflw.pff", "kyv_df3_location\\Dflw.pff", {}},
      {"Kyv_DF3_Locatio", "Kyv_DF3_Locatio", {}},
      {"Kyv_DF2_Location\\Dflw.pff", "failed: no chooser", {ask2}},
      {"Kyv_DF3_Location\\Kyv_DF2_Location\\Kyv_DF2_Location",
       "Kyv_DF3_Location\\Nothing\\Kyv_DF2_Location",
       {ask2, ask2}},
      {"Kyv_DF2_Location\\Dflw.pff", "E:\\LW\\Dflw.pff", {ask2, ask2, ask2}},
      {"Kyv_DF2_Location", "E:\\LW", {ask2, ask2, ask2}},
  };
  for (const auto& row : rows) {
    auto resolved = ResolvePathTokens(row.text, folders, dialogs);
    EXPECT_EQ(resolved ? *resolved : "failed: " + resolved.failure().description, row.resolved);
    EXPECT_EQ(dialogs.prompts, row.asked) << row.text;
  }
  EXPECT_EQ(folders[3], "C:\\");
}

}  // namespace
}  // namespace dfm
