// <windows.h> for the Windows host's files, without the macros that would rename the
// platform interfaces' own methods (CopyFile would become CopyFileA, and so on). Include
// it after every other system header.
#pragma once

#include <windows.h>

#undef CopyFile
#undef MessageBox
#undef ReplaceFile
#undef SetCurrentDirectory
