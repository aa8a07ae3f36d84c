// Windows' own registry behind the Registry interface.
#pragma once

#include <memory>

#include "platform/registry.h"

namespace dfm::win32 {

std::unique_ptr<Registry> MakeRegistry();

}  // namespace dfm::win32
