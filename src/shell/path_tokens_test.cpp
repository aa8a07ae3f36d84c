#include "shell/path_tokens.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace dfm {
namespace {

using testing::RecordingDialogs;

TEST(ResolvePathTokens, ReplacesTheTokenByTheFolderAsItIs) {
  RecordingDialogs dialogs;
  GameFolders folders;
  folders[3] = "C:\\Games\\DFLW";
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Location\\Dflw.pff", folders, dialogs),
            "C:\\Games\\DFLW\\Dflw.pff");
  folders[3] = "C:\\";
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Location\\Dflw.pff", folders, dialogs), "C:\\\\Dflw.pff");
  folders[1] = "";  // a key without a readable path: known, and empty
  EXPECT_EQ(ResolvePathTokens("xKyv_DF1_Locationy", folders, dialogs), "xy");
  EXPECT_TRUE(dialogs.prompts.empty());
}

TEST(ResolvePathTokens, OnlyTheFirstOccurrenceOfTheLowestVersionInExactCase) {
  RecordingDialogs dialogs;
  GameFolders folders;
  folders[2] = "D2";
  folders[3] = "D3";
  EXPECT_EQ(
      ResolvePathTokens("Kyv_DF3_Location\\Kyv_DF2_Location\\Kyv_DF2_Location", folders, dialogs),
      "Kyv_DF3_Location\\D2\\Kyv_DF2_Location");
  EXPECT_EQ(ResolvePathTokens("kyv_df3_location\\Dflw.pff", folders, dialogs),
            "kyv_df3_location\\Dflw.pff");
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Locatio", folders, dialogs), "Kyv_DF3_Locatio");
  EXPECT_TRUE(dialogs.prompts.empty());
}

TEST(ResolvePathTokens, AsksForAnUnknownFolderUntilOneIsChosen) {
  RecordingDialogs dialogs;
  GameFolders folders;
  dialogs.folders = {std::nullopt, "E:\\LW"};
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Location\\Dflw.pff", folders, dialogs), "Nothing\\Dflw.pff");
  EXPECT_EQ(folders[3], "Nothing");
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Location\\Dflw.pff", folders, dialogs), "E:\\LW\\Dflw.pff");
  EXPECT_EQ(ResolvePathTokens("Kyv_DF3_Location", folders, dialogs), "E:\\LW");
  EXPECT_EQ(dialogs.prompts,
            (std::vector<std::string>{"Please Select Your Delta Force 3 Folder!",
                                      "Please Select Your Delta Force 3 Folder!"}));
  EXPECT_EQ(folders[1], "Nothing");  // other games untouched
}

}  // namespace
}  // namespace dfm
