// The image commands: "Convert_Jpg_To_Tga <jpeg> <tga>" and
// "Create_Detail_Map <tga> <pcx>". Each runs one line of at least 3 words; the source
// lies in the program folder, the target may hold a path token.
#pragma once

#include "script/run_context.h"

namespace dfm {

CommandOutcome RunConvertJpgToTga(RunContext& run);
CommandOutcome RunCreateDetailMap(RunContext& run);

}  // namespace dfm
