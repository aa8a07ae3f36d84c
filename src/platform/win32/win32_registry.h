// Windows' own registry behind the Registry interface.
#pragma once

#include <memory>

#include "platform/registry.h"
#include "platform/uninstall_list.h"

namespace dfm::win32 {

std::unique_ptr<Registry> MakeRegistry();
// The current user's uninstall list (win32_uninstall_list.cpp).
std::unique_ptr<UninstallList> MakeUninstallList();

}  // namespace dfm::win32
